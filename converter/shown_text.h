// Bytes from a file or a typed answer made safe to quote in a line for
// standard error: whatever they hold, the line neither acts on a terminal
// nor breaks in two.
#ifndef PATCONV_CONVERTER_SHOWN_TEXT_H_
#define PATCONV_CONVERTER_SHOWN_TEXT_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace converter {

/// A file name made safe to show: control bytes, C1 controls and bytes that
/// are not part of UTF-8 appear as \xNN; other characters as they are.
std::string ShownName(std::string_view name);

/// Text shown in ASCII alone: printable ASCII as it is, every other byte
/// as \xNN.
std::string ShownAscii(std::string_view text);

/// A count as people read it, its digits in groups of three: "5,050".
std::string ShownCount(int64_t count);

}  // namespace converter

#endif  // PATCONV_CONVERTER_SHOWN_TEXT_H_
