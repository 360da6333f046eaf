// What a console cell shows for each Windows-1251 byte: the code page's
// character (textio/cp1251.h), or the console's picture for a control byte.
#ifndef PATCONV_CONSOLE_CELL_GLYPH_H_
#define PATCONV_CONSOLE_CELL_GLYPH_H_

#include <cstdint>

namespace console {

/// What a console cell holding `byte` shows: the byte's character, with the
/// control bytes 0x01-0x1F and 0x7F drawn as the console's pictures
/// (smileys, arrows ...), 0x00 as a blank, the soft hyphen as '-' and the
/// undefined 0x98 as '?'.  Never a control character.
uint32_t CellGlyph(uint8_t byte);

}  // namespace console

#endif  // PATCONV_CONSOLE_CELL_GLYPH_H_
