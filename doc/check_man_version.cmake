# Checks that the generated man page's .TH line names "plomet VERSION" as its
# source, the text man shows in the footer.
file(STRINGS ${PAGE} th REGEX "^\\.TH ")
if(NOT th MATCHES "^\\.TH PLOMET 1 [^ ]+ \"plomet ([^\"]*)\" ")
  message(FATAL_ERROR "no .TH line of the form .TH PLOMET 1 DATE \"plomet VERSION\": ${th}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "the man page says version ${CMAKE_MATCH_1}, the project ${VERSION}")
endif()
