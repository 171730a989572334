# Builds every package in one command, run from anywhere:
#   cmake -P cmake/package_all.cmake
# the .deb and the .tar.gz in build/package (workflow preset package), the
# .zip for Windows in build/package-mingw (workflow preset package-mingw,
# which needs the MinGW-w64 cross compilers).
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(made "")
foreach(preset package package-mingw)
  execute_process(COMMAND ${CMAKE_COMMAND} --workflow --preset ${preset}
                  WORKING_DIRECTORY ${root} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --workflow --preset ${preset} failed")
  endif()
  # Only this version's packages, not those an older one left.
  include(${root}/build/${preset}/CPackConfig.cmake)
  file(GLOB files ${root}/build/${preset}/*${CPACK_PACKAGE_VERSION}*.deb
       ${root}/build/${preset}/*${CPACK_PACKAGE_VERSION}*.tar.gz
       ${root}/build/${preset}/*${CPACK_PACKAGE_VERSION}*.zip)
  list(APPEND made ${files})
endforeach()
list(JOIN made "\n  " made)
message("Packages of plomet ${CPACK_PACKAGE_VERSION}:\n  ${made}")
