# Install rules and the packages that `make package` (CPack) makes:
#
#   patconv_<version>_<arch>.deb   /usr/bin/patconv, its manual page, README,
#                                  copyright (with the license) and changelog
#                                  under /usr/share/doc/patconv
#   patconv-<version>-win64.zip    patconv.exe, README.txt (for Windows users)
#                                  and LICENSE.txt with CR LF line ends, from
#                                  the Windows build (cmake/windows_build.cmake)
#                                  when there is one
#
# Sets, for tests/CMakeLists.txt:
#   PATCONV_MANUAL_PAGE   the manual page, with this version in it
include(GNUInstallDirs)

if(WIN32)
  # On Windows: the program and its two texts side by side, as Notepad and
  # the console's `type` read them: CR LF line ends, and the README written
  # for Windows users in UTF-8 with a byte-order mark, which every Notepad
  # takes for UTF-8.
  function(patconv_windows_text source destination mark)
    file(READ ${source} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${destination} "${mark}${content}")
  endfunction()
  configure_file(doc/README-windows.txt.in ${PROJECT_BINARY_DIR}/README-windows.txt @ONLY)
  string(ASCII 239 187 191 utf8_mark)
  patconv_windows_text(${PROJECT_BINARY_DIR}/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt
                       "${utf8_mark}")
  patconv_windows_text(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt "")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  install(TARGETS patconv RUNTIME DESTINATION .)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)
else()
  set(PATCONV_MANUAL_PAGE ${PROJECT_BINARY_DIR}/patconv.1)
  configure_file(doc/patconv.1.in ${PATCONV_MANUAL_PAGE} @ONLY)
  configure_file(doc/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
  include(cmake/debian_copyright.cmake)
  # Debian's layout: the manual page and the changelog compressed by gzip
  # -9n (no name, no time: the same bytes from every build).
  find_program(PATCONV_GZIP gzip)
  set(manual_page ${PATCONV_MANUAL_PAGE})
  set(changelog ${PROJECT_BINARY_DIR}/changelog)
  if(PATCONV_GZIP)
    foreach(text manual_page changelog)
      add_custom_command(OUTPUT ${${text}}.gz
                         COMMAND ${PATCONV_GZIP} -9nkf ${${text}}
                         DEPENDS ${${text}} VERBATIM)
      set(${text} ${${text}}.gz)
    endforeach()
    add_custom_target(patconv_compressed_texts ALL DEPENDS ${manual_page} ${changelog})
  endif()
  # What `make install` builds: the program and the texts that go with it.
  add_custom_target(patconv_installed)
  add_dependencies(patconv_installed patconv)
  if(TARGET patconv_compressed_texts)
    add_dependencies(patconv_installed patconv_compressed_texts)
  endif()
  install(TARGETS patconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${manual_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The copyright file holds the license: Debian ships no second copy.
  install(FILES README.md ${PROJECT_BINARY_DIR}/copyright ${changelog}
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# --- CPack -------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME patconv)
set(CPACK_PACKAGE_CONTACT "patconv maintainers <maintainers@users.noreply.c-seed-9ee962ff.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert tracker pattern text into Vortex Tracker II pattern text")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "patconv reads pattern text copied from ModPlug Tracker or OpenMPT and\n"
  "writes the notes of its first three channels as pattern text that\n"
  "Vortex Tracker II accepts. It asks for the two file names and shows\n"
  "every converted row. With its standard streams redirected it works as\n"
  "a plain filter. With --clipboard it converts the pattern rows on the\n"
  "clipboard and puts the result back, ready to paste into the tracker\n"
  "(through xclip or xsel on X11, wl-clipboard on Wayland).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME patconv-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  # The tools --clipboard reaches the desktop's clipboard through.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xclip | xsel | wl-clipboard")
  find_program(PATCONV_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(PATCONV_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    # What dpkg-shlibdeps finds for this program, without the versions.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
  find_program(PATCONV_DPKG dpkg)
  if(NOT PATCONV_DPKG)
    # Without dpkg to ask, the architecture comes from the processor.
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
    elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
    endif()
  endif()
  if(PATCONV_WINDOWS_BINARY_DIR)
    # The zip is packed from the Windows build tree: cmake/cpack_generator.cmake
    # switches to it for the ZIP generator.
    list(APPEND CPACK_GENERATOR ZIP)
    set(CPACK_PATCONV_WINDOWS_BINARY_DIR ${PATCONV_WINDOWS_BINARY_DIR})
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_generator.cmake)
  endif()
endif()
include(CPack)
