# The tests start Python once per end-to-end case, so its start-up time counts
# some hundred times. A python3 found first on PATH may be a version manager's
# shim, a script that picks an interpreter and starts it, at several times the
# cost of an interpreter's own start. Unless Python3_EXECUTABLE is given, the
# tests therefore use the system's own interpreter where there is one, else
# the interpreter that PATH's python3 runs (its sys.executable, behind any
# shim), provided it is Python 3.8 or later.
if(NOT DEFINED Python3_EXECUTABLE)
  set(plomet_python_candidates "")
  if(CMAKE_HOST_UNIX AND NOT CMAKE_HOST_APPLE AND EXISTS /usr/bin/python3)
    list(APPEND plomet_python_candidates /usr/bin/python3)
  endif()
  find_program(plomet_python_on_path NAMES python3 python NO_CACHE)
  if(plomet_python_on_path)
    list(APPEND plomet_python_candidates ${plomet_python_on_path})
  endif()
  foreach(candidate IN LISTS plomet_python_candidates)
    execute_process(COMMAND ${candidate} -c
                            "import sys; print(sys.executable if sys.version_info >= (3, 8) else '')"
                    OUTPUT_VARIABLE plomet_python_real OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE plomet_python_status ERROR_QUIET)
    if(plomet_python_status EQUAL 0 AND plomet_python_real AND EXISTS "${plomet_python_real}")
      set(Python3_EXECUTABLE "${plomet_python_real}" CACHE FILEPATH
          "The Python interpreter that runs the tests")
      break()
    endif()
  endforeach()
endif()
