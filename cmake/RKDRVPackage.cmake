# What cpack makes from a build. On Windows a zip and an installer,
# rkdrv-VERSION-win64.zip and rkdrv-VERSION-win64-setup.exe, of what the
# build installs plus the licence and a short readme. The Debian packages
# come from debian/ instead.
set(CPACK_PACKAGE_NAME rkdrv)
set(CPACK_PACKAGE_VENDOR "The RKDRV authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY rkdrv)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_PACKAGE_FILE_NAME rkdrv-${PROJECT_VERSION}-win64)
  # The installer's own script, in place of cpack's.
  list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging/windows)
  set(CPACK_NSIS_PACKAGE_NAME "rkdrv ${PROJECT_VERSION}")
  set(CPACK_NSIS_DISPLAY_NAME "rkdrv ${PROJECT_VERSION}")
  # Per generator: the installer's file name ends in "-setup".
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/windows/RKDRVCPackOptions.cmake)

  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${PROJECT_BINARY_DIR}/README.txt @ONLY
    NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
else()
  set(CPACK_GENERATOR TGZ)
endif()

include(CPack)
