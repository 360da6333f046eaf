// Bytes from a file or a typed answer made safe to quote in a line for
// standard error: whatever they hold, the line neither acts on a terminal
// nor breaks in two.
#ifndef PATCONV_CONVERTER_SHOWN_TEXT_H_
#define PATCONV_CONVERTER_SHOWN_TEXT_H_

#include <cstddef>
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

/// The most bytes GroupDigits writes: a minus sign, 19 digits, 6 commas.
inline constexpr size_t kGroupedCountSize = 26;

/// ShownCount's text written into `out`; returns its length.  No allocation
/// and no shared state: safe in a signal handler.
size_t GroupDigits(int64_t count, char (&out)[kGroupedCountSize]);

}  // namespace converter

#endif  // PATCONV_CONVERTER_SHOWN_TEXT_H_
