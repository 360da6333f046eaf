# Read by cpack once for each generator of the native build (CPACK_GENERATOR
# names the one at work): the zip takes its files from the Windows build tree.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_PATCONV_WINDOWS_BINARY_DIR};patconv;ALL;/")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-win64")
endif()
