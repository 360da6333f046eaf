#include "textio/utf8.h"

namespace textio {

bool Utf8Decoder::Start(unsigned char lead) {
  if (lead < 0xC2 || lead > 0xF4) return false;
  // The smallest code point each length may carry (shorter forms are overlong).
  constexpr uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
  missing_ = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
  code_point_ = lead & (0x3Fu >> missing_);
  smallest_ = kSmallest[missing_];
  return true;
}

bool Utf8Decoder::Take(unsigned char byte) {
  if ((byte & 0xC0) != 0x80) return false;
  code_point_ = code_point_ << 6 | (byte & 0x3Fu);
  --missing_;
  return true;
}

bool Utf8Decoder::valid() const {
  return code_point_ >= smallest_ && (code_point_ < 0xD800 || code_point_ > 0xDFFF) &&
         code_point_ <= 0x10FFFF;
}

size_t Utf8Sequence(std::string_view text, size_t i, uint32_t* code_point) {
  Utf8Decoder decoder;
  if (i >= text.size() || !decoder.Start(static_cast<unsigned char>(text[i]))) return 0;
  size_t next = i + 1;
  while (!decoder.complete()) {
    if (next == text.size() || !decoder.Take(static_cast<unsigned char>(text[next]))) return 0;
    ++next;
  }
  if (!decoder.valid()) return 0;
  *code_point = decoder.code_point();
  return next - i;
}

bool IsUtf8BeyondAscii(std::string_view text) {
  bool beyond = false;
  for (size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t code_point = 0;
    const size_t length = Utf8Sequence(text, i, &code_point);
    if (length == 0) return false;
    beyond = true;
    i += length;
  }
  return beyond;
}

void AppendUtf8(std::string* out, uint32_t code_point) {
  auto put = [out](uint32_t value) { out->push_back(static_cast<char>(value)); };
  if (code_point < 0x80) {
    put(code_point);
  } else if (code_point < 0x800) {
    put(0xC0 | (code_point >> 6));
    put(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    put(0xE0 | (code_point >> 12));
    put(0x80 | ((code_point >> 6) & 0x3F));
    put(0x80 | (code_point & 0x3F));
  } else {
    put(0xF0 | (code_point >> 18));
    put(0x80 | ((code_point >> 12) & 0x3F));
    put(0x80 | ((code_point >> 6) & 0x3F));
    put(0x80 | (code_point & 0x3F));
  }
}

}  // namespace textio
