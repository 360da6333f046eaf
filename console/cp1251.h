// What a console cell shows for each Windows-1251 byte.  The code page's
// table itself lives in textio/cp1251.h (file reading converts through it
// too); its functions are named here as well, for the devices.
#ifndef PATCONV_CONSOLE_CP1251_H_
#define PATCONV_CONSOLE_CP1251_H_

#include <cstdint>

#include "textio/cp1251.h"

namespace console {

using textio::Cp1251ToUnicode;
using textio::Cp1251ToUtf8;
using textio::UnicodeToCp1251;
using textio::Utf8ToCp1251;

/// What a console cell holding `byte` shows: the byte's character, with the
/// control bytes 0x01-0x1F and 0x7F drawn as the console's pictures
/// (smileys, arrows ...), 0x00 as a blank, the soft hyphen as '-' and the
/// undefined 0x98 as '?'.  Never a control character.
uint32_t CellGlyph(uint8_t byte);

}  // namespace console

#endif  // PATCONV_CONSOLE_CP1251_H_
