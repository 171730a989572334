# Cross build for 64-bit Windows with the MinGW-w64 compilers of a Debian or
# Ubuntu host (packages g++-mingw-w64-x86-64-posix and its gcc). Used by the
# mingw preset; the program it builds runs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLOMET_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLOMET_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLOMET_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PLOMET_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's tree only; programs that run
# during the build (Python for the tests) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PLOMET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the thread library are linked in, so the
# executables run without any DLL of the MinGW tree beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
