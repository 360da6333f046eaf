#include "console/vt/terminal_charset.h"

#include <langinfo.h>
#include <strings.h>

#include <cerrno>
#include <clocale>

#include "console/cell_glyph.h"
#include "textio/cp1251.h"
#include "textio/utf8.h"

namespace console {
namespace {

const iconv_t kNoConversion = reinterpret_cast<iconv_t>(-1);

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool IsUtf8Name(const std::string& codeset) {
  return SameName(codeset, "UTF-8") || SameName(codeset, "UTF8");
}

// The codeset of the C and POSIX locales (glibc's name, and others').
bool IsAsciiName(const std::string& codeset) {
  return SameName(codeset, "ANSI_X3.4-1968") || SameName(codeset, "ASCII") ||
         SameName(codeset, "US-ASCII");
}

// Bytes a terminal could take for a control: never drawn as a glyph.
bool HasControlByte(const std::string& bytes) {
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

}  // namespace

TerminalCharset::TerminalCharset(std::string name, iconv_t to_terminal, iconv_t from_terminal)
    : name_(std::move(name)),
      utf8_(to_terminal == kNoConversion),
      to_terminal_(to_terminal),
      from_terminal_(from_terminal) {
  FillGlyphs();
}

TerminalCharset::~TerminalCharset() {
  if (to_terminal_ != kNoConversion) iconv_close(to_terminal_);
  if (from_terminal_ != kNoConversion) iconv_close(from_terminal_);
}

const TerminalCharset& TerminalCharset::Utf8() {
  static const TerminalCharset* const utf8 =
      new TerminalCharset("UTF-8", kNoConversion, kNoConversion);
  return *utf8;
}

std::unique_ptr<TerminalCharset> TerminalCharset::Named(const std::string& codeset) {
  iconv_t to_terminal = iconv_open(codeset.c_str(), "UTF-8");
  if (to_terminal == kNoConversion) return nullptr;
  iconv_t from_terminal = iconv_open("UTF-8", codeset.c_str());
  if (from_terminal == kNoConversion) {
    iconv_close(to_terminal);
    return nullptr;
  }
  return std::unique_ptr<TerminalCharset>(new TerminalCharset(codeset, to_terminal, from_terminal));
}

std::unique_ptr<TerminalCharset> TerminalCharset::FromLocale() {
  const char* current = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = current != nullptr ? current : "C";
  std::string codeset;
  if (const char* name = std::setlocale(LC_CTYPE, "")) {
    const char* langinfo = nl_langinfo(CODESET);
    if (langinfo != nullptr) codeset = langinfo;
    if (std::string(name) == "C" || std::string(name) == "POSIX") codeset.clear();
  }
  std::setlocale(LC_CTYPE, saved.c_str());
  std::unique_ptr<TerminalCharset> charset;
  if (!codeset.empty() && !IsUtf8Name(codeset) && !IsAsciiName(codeset)) {
    charset = Named(codeset);
  }
  if (!charset) charset.reset(new TerminalCharset("UTF-8", kNoConversion, kNoConversion));
  return charset;
}

bool TerminalCharset::Convert(iconv_t cd, std::string_view in, std::string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // the initial state
  char buffer[64];
  auto* input = const_cast<char*>(in.data());  // iconv does not write it
  size_t input_left = in.size();
  for (bool flushed = false; !flushed;) {
    char* output = buffer;
    size_t output_left = sizeof buffer;
    size_t result;
    if (input_left > 0) {
      result = iconv(cd, &input, &input_left, &output, &output_left);
    } else {
      // What a stateful charset needs to end in its initial state.
      result = iconv(cd, nullptr, nullptr, &output, &output_left);
      flushed = true;
    }
    out->append(buffer, static_cast<size_t>(output - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  return true;
}

void TerminalCharset::FillGlyphs() {
  for (int byte = 0; byte < 256; ++byte) {
    std::string unicode;
    textio::AppendUtf8(&unicode, CellGlyph(static_cast<uint8_t>(byte)));
    std::string& glyph = glyphs_[static_cast<size_t>(byte)];
    if (utf8_) {
      glyph = unicode;
    } else if (!Convert(to_terminal_, unicode, &glyph) || glyph.empty() || HasControlByte(glyph)) {
      glyph = "?";
    }
  }
}

TerminalCharset::Step TerminalCharset::Decode(std::string_view bytes, uint32_t* code_point) const {
  if (bytes.empty()) return Step::kMore;
  std::string unicode;
  if (utf8_) {
    unicode = bytes;
  } else {
    iconv(from_terminal_, nullptr, nullptr, nullptr, nullptr);
    auto* input = const_cast<char*>(bytes.data());
    size_t input_left = bytes.size();
    char buffer[32];
    char* output = buffer;
    size_t output_left = sizeof buffer;
    if (iconv(from_terminal_, &input, &input_left, &output, &output_left) ==
        static_cast<size_t>(-1)) {
      // EINVAL: the bytes end inside a character.
      if (errno != EINVAL) return Step::kInvalid;
      return bytes.size() < kLongestCharacter ? Step::kMore : Step::kInvalid;
    }
    unicode.assign(buffer, static_cast<size_t>(output - buffer));
    // A shift sequence of a stateful charset gives no character yet.
    if (unicode.empty()) return bytes.size() < kLongestCharacter ? Step::kMore : Step::kInvalid;
  }
  // Exactly one character, whole.
  textio::Utf8Decoder decoder;
  if (!decoder.Start(static_cast<unsigned char>(unicode[0]))) {
    if (utf8_ || unicode.size() != 1) return Step::kInvalid;
    *code_point = static_cast<unsigned char>(unicode[0]);  // ASCII from iconv
    return Step::kCharacter;
  }
  size_t i = 1;
  for (; i < unicode.size() && !decoder.complete(); ++i) {
    if (!decoder.Take(static_cast<unsigned char>(unicode[i]))) return Step::kInvalid;
  }
  if (!decoder.complete()) return utf8_ ? Step::kMore : Step::kInvalid;
  if (i != unicode.size() || !decoder.valid()) return Step::kInvalid;
  *code_point = decoder.code_point();
  return Step::kCharacter;
}

std::string TerminalCharset::FromCp1251(std::string_view line) const {
  if (utf8_) return textio::Cp1251ToUtf8(std::string(line));
  std::string out;
  for (char c : line) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80) {
      out += c;
      continue;
    }
    std::string unicode;
    textio::AppendUtf8(&unicode, textio::Cp1251ToUnicode(byte));
    std::string converted;
    out += Convert(to_terminal_, unicode, &converted) && !converted.empty() ? converted : "?";
  }
  return out;
}

std::string TerminalCharset::ToCp1251(std::string_view text) const {
  if (utf8_) return textio::Utf8ToCp1251(text);
  std::string unicode;
  iconv(from_terminal_, nullptr, nullptr, nullptr, nullptr);
  auto* input = const_cast<char*>(text.data());  // iconv does not write it
  size_t input_left = text.size();
  while (input_left > 0) {
    char buffer[64];
    char* output = buffer;
    size_t output_left = sizeof buffer;
    const size_t result = iconv(from_terminal_, &input, &input_left, &output, &output_left);
    unicode.append(buffer, static_cast<size_t>(output - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      // A byte that begins no character: shown as one, converted on after it.
      unicode += '?';
      ++input;
      --input_left;
      iconv(from_terminal_, nullptr, nullptr, nullptr, nullptr);
    }
  }
  return textio::Utf8ToCp1251(unicode);
}

}  // namespace console
