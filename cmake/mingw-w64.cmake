# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler
# (package g++-mingw-w64-x86-64):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The win32 thread model is taken: the program starts no threads of its own,
# and this variant needs no libwinpthread beside the executable.  The C
# runtime is the system's msvcrt.dll, the compiler's default.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PATCONV_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_CXX_COMPILER NAMES ${PATCONV_MINGW_TRIPLE}-g++-win32 ${PATCONV_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${PATCONV_MINGW_TRIPLE}-gcc-win32 ${PATCONV_MINGW_TRIPLE}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${PATCONV_MINGW_TRIPLE}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${PATCONV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests built for Windows can run on this machine through wine.
find_program(PATCONV_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PATCONV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PATCONV_WINE})
endif()
