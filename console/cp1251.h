// Windows-1251, the code page of the console's cells and typed characters,
// and its one table to Unicode: both devices draw cells and take typed
// characters through it, whatever the code page or locale of the system.
#ifndef PATCONV_CONSOLE_CP1251_H_
#define PATCONV_CONSOLE_CP1251_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace console {

/// The Unicode code point of a Windows-1251 byte; 0xFFFD for 0x98, which the
/// code page leaves undefined.
uint32_t Cp1251ToUnicode(uint8_t byte);

/// The Windows-1251 byte of a code point, or -1 when the code page has none.
int UnicodeToCp1251(uint32_t code_point);

/// What a console cell holding `byte` shows: the byte's character, with the
/// control bytes 0x01-0x1F and 0x7F drawn as the console's pictures
/// (smileys, arrows ...), 0x00 as a blank, the soft hyphen as '-' and the
/// undefined 0x98 as '?'.  Never a control character.
uint32_t CellGlyph(uint8_t byte);

/// Windows-1251 bytes to UTF-8, byte by byte through Cp1251ToUnicode.
std::string Cp1251ToUtf8(const std::string& bytes);

/// UTF-8 text as Windows-1251 bytes, character by character: a character
/// the code page lacks, and a byte that is no part of UTF-8, become '?'.
std::string Utf8ToCp1251(std::string_view text);

}  // namespace console

#endif  // PATCONV_CONSOLE_CP1251_H_
