# Packages, made by CPack from the install rules ("cpack" in a build
# directory, or the workflow presets package and package-mingw):
#   Linux:   plomet_VERSION_ARCH.deb and plomet-VERSION-linux-ARCH.tar.gz
#   Windows: plomet-VERSION-win64.zip, flat: plomet.exe, README.txt, reference.txt and the
#            man page as plain text, plomet.txt
# The version is the one project() declares.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The reference beside it, where the README's links find it.
install(FILES ${PROJECT_SOURCE_DIR}/doc/reference.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "plomet developers")
set(CPACK_PACKAGE_CONTACT "plomet developers <dev@plomet.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "estimate how long the backup of the files in a listing will take")
set(CPACK_PACKAGE_DESCRIPTION
    "plomet reads a text listing of files with their sizes (a capture of the command\n"
    "shell's recursive directory listing, or a backup client's schedule log), sorts\n"
    "the files into four size classes, divides each class's bytes by the throughput\n"
    "measured for files of that size, and prints a table and two time estimates.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)
# Directories made while packaging do not take the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" plomet_arch)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
  endif()
  # The archive holds only the component windows_archive: everything side by
  # side in one folder, texts with CR LF line ends. A plain install keeps the
  # usual bin/ and share/ layout.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};windows_archive;/")
  install(TARGETS plomet RUNTIME DESTINATION . COMPONENT windows_archive EXCLUDE_FROM_ALL)

  set(texts ${PROJECT_BINARY_DIR}/windows/README.txt)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/windows/README.txt
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/README.md
            -DOUT=${PROJECT_BINARY_DIR}/windows/README.txt -DBOM=ON
            -P ${CMAKE_CURRENT_LIST_DIR}/windows_text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/windows_text.cmake
    VERBATIM)
  list(APPEND texts ${PROJECT_BINARY_DIR}/windows/reference.txt)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/windows/reference.txt
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/doc/reference.md
            -DOUT=${PROJECT_BINARY_DIR}/windows/reference.txt -DBOM=ON
            -P ${CMAKE_CURRENT_LIST_DIR}/windows_text.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/reference.md ${CMAKE_CURRENT_LIST_DIR}/windows_text.cmake
    VERBATIM)
  # A cross build finds the host's groff.
  find_program(GROFF groff)
  if(GROFF)
    list(APPEND texts ${PROJECT_BINARY_DIR}/windows/plomet.txt)
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/windows/plomet.txt
      COMMAND ${CMAKE_COMMAND} -DGROFF=${GROFF} -DIN=${PLOMET_MAN_PAGE}
              -DOUT=${PROJECT_BINARY_DIR}/windows/plomet.txt
              -P ${CMAKE_CURRENT_LIST_DIR}/windows_text.cmake
      DEPENDS ${PLOMET_MAN_PAGE} ${CMAKE_CURRENT_LIST_DIR}/windows_text.cmake
      VERBATIM)
  else()
    message(WARNING "groff not found: the Windows archive will lack the man page as text")
  endif()
  add_custom_target(windows_texts ALL DEPENDS ${texts})
  install(FILES ${texts} DESTINATION . COMPONENT windows_archive EXCLUDE_FROM_ALL)
else()
  # Debian's policy, which lintian checks: the copyright and a changelog of
  # the version beside the documents, the changelog (as the man page) made
  # with gzip -9n. The changelog's date is the build's, or SOURCE_DATE_EPOCH.
  include(${CMAKE_CURRENT_LIST_DIR}/gzip.cmake)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  string(TIMESTAMP PLOMET_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
                 ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
  if(PLOMET_GZIP)
    plomet_gzip(${PROJECT_BINARY_DIR}/debian/changelog ${PROJECT_BINARY_DIR}/debian/gz/changelog.gz
                changelog_gz)
    install(FILES ${PROJECT_BINARY_DIR}/debian/gz/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-linux-${plomet_arch})

  # The .deb: plomet_VERSION_ARCH.deb, installed under /usr.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The C++ runtime is linked dynamically, as Debian's own packages link it:
  # dpkg-shlibdeps derives the dependencies (libc6, libstdc++6, libgcc-s1)
  # and their lowest versions from the symbols the program uses.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Without dpkg-shlibdeps CPack would make a .deb with no dependencies at
  # all: refuse instead, when the .deb is made.
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_project_config.cmake)
endif()

include(CPack)
