# The copyright file of the Debian package, in Debian's machine-readable
# format, made from LICENSE: its holder and its terms (the MIT license, which
# Debian calls Expat).  Writes <build>/copyright.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" holder "${license}")
set(holder "${CMAKE_MATCH_1}")
string(FIND "${license}" "Permission is hereby granted" start)
string(SUBSTRING "${license}" ${start} -1 terms)
string(STRIP "${terms}" terms)
# The terms as a field's continuation lines: one blank before each line, an
# empty line as ".".
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${PROJECT_NAME}\n"
  "\n"
  "Files: *\n"
  "Copyright: ${holder}\n"
  "License: Expat\n"
  " ${terms}\n")
