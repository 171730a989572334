# Installs into an empty prefix and checks that it holds the program and its man page
# (compressed, MAN_SUFFIX .gz, where gzip was found).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(path bin/plomet${EXE_SUFFIX} share/man/man1/plomet.1${MAN_SUFFIX})
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
