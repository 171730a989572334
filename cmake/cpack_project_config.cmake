# Read by CPack once for each generator it runs.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(PLOMET_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT PLOMET_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "The .deb needs dpkg-shlibdeps (Debian package dpkg-dev) to find its "
                        "dependencies; install it, or make only the archive: cpack -G TGZ")
  endif()
endif()
