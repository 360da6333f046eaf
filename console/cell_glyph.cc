#include "console/cell_glyph.h"

#include "textio/cp1251.h"

namespace console {
namespace {

// The pictures a console shows for the control bytes 0x00 to 0x1F.
constexpr uint16_t kControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 00
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  // 08
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 10
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 18
};

constexpr uint32_t kHouse = 0x2302;  // the picture of 0x7F

}  // namespace

uint32_t CellGlyph(uint8_t byte) {
  if (byte < 0x20) return kControlGlyphs[byte];
  if (byte == 0x7F) return kHouse;
  if (byte == 0xAD) return '-';  // terminals disagree on the soft hyphen's width
  if (byte == 0x98) return '?';
  return textio::Cp1251ToUnicode(byte);
}

}  // namespace console
