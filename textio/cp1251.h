// Windows-1251, the code page the program thinks in (console cells, typed
// characters, transcoded source files), and its one table to Unicode.  The
// console devices draw cells and take typed characters through it, and the
// reader of files saved as UTF-8 or UTF-16 turns their characters back into
// it, whatever the code page or locale of the system.
#ifndef PATCONV_TEXTIO_CP1251_H_
#define PATCONV_TEXTIO_CP1251_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace textio {

/// The Unicode code point of a Windows-1251 byte; 0xFFFD for 0x98, which the
/// code page leaves undefined.
uint32_t Cp1251ToUnicode(uint8_t byte);

/// The Windows-1251 byte of a code point, or -1 when the code page has none.
int UnicodeToCp1251(uint32_t code_point);

/// Windows-1251 bytes to UTF-8, byte by byte through Cp1251ToUnicode.
std::string Cp1251ToUtf8(const std::string& bytes);

/// UTF-8 text as Windows-1251 bytes, character by character: a character
/// the code page lacks, and a byte that is no part of UTF-8, become '?'.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace textio

#endif  // PATCONV_TEXTIO_CP1251_H_
