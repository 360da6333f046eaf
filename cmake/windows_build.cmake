# The Windows build, driven from the native one: when Debian's MinGW-w64
# cross compiler is installed, patconv.exe is cross-built in <build>/windows
# as part of the normal build, for the Windows zip (cmake/packaging.cmake)
# and, when wine is installed too, for the tests that tests/CMakeLists.txt
# runs under wine.  Otherwise those tests are reported as skipped.
#
# Sets, for cmake/packaging.cmake and tests/CMakeLists.txt:
#   PATCONV_WINDOWS_BINARY_DIR  the Windows build tree (empty when left out)
#   PATCONV_WINDOWS_EXE       the cross-built patconv.exe, when wine can test it
#   PATCONV_WINE              the wine loader
#   PATCONV_WINESERVER        the wine server
#   PATCONV_WINDOWS_SKIPPED   why the Windows tests are skipped
include(ExternalProject)

set(PATCONV_WINDOWS_BINARY_DIR "")
set(PATCONV_WINDOWS_EXE "")
set(PATCONV_WINDOWS_SKIPPED "")

find_program(PATCONV_MINGW_CXX NAMES x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-g++)
# Debian's wine64 package puts the 64-bit loader and server here, without a
# link on the PATH when the wine package is missing.
find_program(PATCONV_WINE NAMES wine64 wine PATHS /usr/lib/wine)
find_program(PATCONV_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine)

if(NOT PATCONV_MINGW_CXX)
  set(PATCONV_WINDOWS_SKIPPED
      "no MinGW-w64 cross compiler, Debian package g++-mingw-w64-x86-64-win32")
  patconv_leave_out("Windows build, zip and wine tests" "${PATCONV_WINDOWS_SKIPPED}")
  return()
endif()

set(PATCONV_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(patconv_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${PATCONV_WINDOWS_BINARY_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DPATCONV_BUILD_TESTS=OFF
    -DPATCONV_WARNINGS_AS_ERRORS=${PATCONV_WARNINGS_AS_ERRORS}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target patconv
  # The sources are this tree: let the inner build decide what is stale.
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  TEST_COMMAND "")

if(NOT PATCONV_BUILD_TESTS)
  return()
endif()
if(NOT PATCONV_WINE OR NOT PATCONV_WINESERVER)
  set(PATCONV_WINDOWS_SKIPPED "no wine, Debian package wine64")
  patconv_leave_out("wine tests" "${PATCONV_WINDOWS_SKIPPED}")
  return()
endif()
set(PATCONV_WINDOWS_EXE ${PATCONV_WINDOWS_BINARY_DIR}/converter/patconv.exe)
