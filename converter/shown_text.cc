#include "converter/shown_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "textio/utf8.h"

namespace converter {
namespace {

void AppendHex(std::string* shown, unsigned char byte) {
  static const char kHex[] = "0123456789ABCDEF";
  *shown += "\\x";
  *shown += kHex[byte >> 4];
  *shown += kHex[byte & 0xF];
}

bool PrintableAscii(unsigned char byte) { return byte >= 0x20 && byte < 0x7F; }

// Length of the UTF-8 character that starts at `text[i]`, or 0 when the
// bytes there are not one that is safe to show: no character at all, or a
// C1 control (U+0080-U+009F; U+009B is CSI), on which a terminal may act as
// on an escape sequence.
size_t Utf8Length(std::string_view text, size_t i) {
  uint32_t code_point = 0;
  const size_t length = textio::Utf8Sequence(text, i, &code_point);
  return code_point >= 0x80 && code_point <= 0x9F ? 0 : length;
}

}  // namespace

std::string ShownName(std::string_view name) {
  std::string shown;
  for (size_t i = 0; i < name.size();) {
    auto byte = static_cast<unsigned char>(name[i]);
    size_t length = byte < 0x80 ? (PrintableAscii(byte) ? 1 : 0) : Utf8Length(name, i);
    if (length > 0) {
      shown.append(name.substr(i, length));
      i += length;
    } else {
      AppendHex(&shown, byte);
      ++i;
    }
  }
  return shown;
}

std::string ShownAscii(std::string_view text) {
  std::string shown;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (PrintableAscii(byte)) {
      shown += c;
    } else {
      AppendHex(&shown, byte);
    }
  }
  return shown;
}

std::string ShownCount(int64_t count) {
  char text[kGroupedCountSize];
  return std::string(text, GroupDigits(count, text));
}

size_t GroupDigits(int64_t count, char (&out)[kGroupedCountSize]) {
  // Written from the last digit on, then turned round.
  uint64_t rest = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
  size_t length = 0;
  for (;; rest /= 10) {
    if (length % 4 == 3) out[length++] = ',';
    out[length++] = static_cast<char>('0' + rest % 10);
    if (rest < 10) break;
  }
  if (count < 0) out[length++] = '-';
  std::reverse(out, out + length);
  return length;
}

}  // namespace converter
