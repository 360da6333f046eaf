#include "console/cp1251.h"

#include <array>

#include "textio/utf8.h"

namespace console {
namespace {

// Code points of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F.
constexpr uint16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// The pictures a console shows for the control bytes 0x00 to 0x1F.
constexpr uint16_t kControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 00
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  // 08
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 10
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 18
};

constexpr uint32_t kHouse = 0x2302;  // the picture of 0x7F

}  // namespace

uint32_t Cp1251ToUnicode(uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410u + (byte - 0xC0u);
  return kHigh[byte - 0x80];
}

int UnicodeToCp1251(uint32_t code_point) {
  if (code_point < 0x80) return static_cast<int>(code_point);
  if (code_point >= 0x0410 && code_point <= 0x044F) {
    return static_cast<int>(code_point - 0x0410 + 0xC0);
  }
  if (code_point == 0xFFFD) return -1;
  for (int i = 0; i < 64; ++i) {
    if (kHigh[i] == code_point) return 0x80 + i;
  }
  return -1;
}

uint32_t CellGlyph(uint8_t byte) {
  if (byte < 0x20) return kControlGlyphs[byte];
  if (byte == 0x7F) return kHouse;
  if (byte == 0xAD) return '-';  // terminals disagree on the soft hyphen's width
  if (byte == 0x98) return '?';
  return Cp1251ToUnicode(byte);
}

std::string Cp1251ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) textio::AppendUtf8(&out, Cp1251ToUnicode(static_cast<uint8_t>(c)));
  return out;
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (static_cast<uint8_t>(text[i]) < 0x80) {
      out += text[i++];
      continue;
    }
    uint32_t code_point = 0;
    const size_t length = textio::Utf8Sequence(text, i, &code_point);
    const int byte = length > 0 ? UnicodeToCp1251(code_point) : -1;
    out += byte < 0 ? '?' : static_cast<char>(byte);
    i += length > 0 ? length : 1;
  }
  return out;
}

}  // namespace console
