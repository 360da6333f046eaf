#include "textio/cp1251.h"

#include "textio/utf8.h"

namespace textio {
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

std::string Cp1251ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(&out, Cp1251ToUnicode(static_cast<uint8_t>(c)));
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
    const size_t length = Utf8Sequence(text, i, &code_point);
    const int byte = length > 0 ? UnicodeToCp1251(code_point) : -1;
    out += byte < 0 ? '?' : static_cast<char>(byte);
    i += length > 0 ? length : 1;
  }
  return out;
}

}  // namespace textio
