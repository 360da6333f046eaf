// The charset a terminal shows and sends, and the conversions between it and
// the console's Windows-1251 cells and typed characters.
//
// UTF-8 needs nothing but the program's own Windows-1251 table.  Any other
// charset (Windows-1251, KOI8-R, CP866, ISO-8859-5 ...) goes through the C
// library's iconv, with Unicode in between: so the one table serves every
// charset, the console's pictures of control bytes included, and a typed
// character that Windows-1251 lacks is told apart from bytes that are no
// character at all.
#ifndef PATCONV_CONSOLE_VT_TERMINAL_CHARSET_H_
#define PATCONV_CONSOLE_VT_TERMINAL_CHARSET_H_

#include <iconv.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace console {

class TerminalCharset {
 public:
  /// What the bytes of a typed character so far make.
  enum class Step { kMore, kCharacter, kInvalid };

  /// The longest character Decode waits for, in bytes.
  static constexpr size_t kLongestCharacter = 8;

  /// UTF-8, the charset of every modern terminal.
  static const TerminalCharset& Utf8();
  /// A charset by its iconv name; null when iconv cannot convert it.
  static std::unique_ptr<TerminalCharset> Named(const std::string& codeset);
  /// The charset the environment's locale gives the terminal (LC_ALL,
  /// LC_CTYPE, LANG): UTF-8 for a UTF-8 locale, and also for C, POSIX, an
  /// unset locale or one that is not installed (a terminal that then still
  /// shows UTF-8 is the usual case); any other codeset through iconv, UTF-8
  /// again when iconv cannot convert it.  The program's own locale is left
  /// as it was.
  static std::unique_ptr<TerminalCharset> FromLocale();

  ~TerminalCharset();
  TerminalCharset(const TerminalCharset&) = delete;
  TerminalCharset& operator=(const TerminalCharset&) = delete;

  bool utf8() const { return utf8_; }
  const std::string& name() const { return name_; }

  /// The bytes that draw a cell holding `byte`: the console's glyph for it
  /// (CellGlyph) in this charset, '?' where the charset lacks that glyph.
  /// Never a control byte.
  const std::string& Glyph(uint8_t byte) const { return glyphs_[byte]; }

  /// Decodes a typed character: `bytes` are its bytes so far, the first one
  /// from 0x80 up.  kMore: they begin a character; kCharacter: they are one,
  /// its code point in *code_point; kInvalid: they are none.
  Step Decode(std::string_view bytes, uint32_t* code_point) const;

  /// A typed line (Windows-1251) in this charset, for a file name: a byte
  /// whose character the charset lacks becomes '?', as its cell shows it.
  std::string FromCp1251(std::string_view line) const;
  /// The other way: text in this charset (a file name) as Windows-1251, a
  /// character that Windows-1251 lacks, or bytes that are no character, as
  /// '?'.
  std::string ToCp1251(std::string_view text) const;

 private:
  TerminalCharset(std::string name, iconv_t to_terminal, iconv_t from_terminal);
  void FillGlyphs();
  /// Converts all of `in` with `cd`; false when iconv refuses any of it.
  static bool Convert(iconv_t cd, std::string_view in, std::string* out);

  std::string name_;
  bool utf8_;
  // (iconv_t)-1 for UTF-8.  A conversion starts from the initial state each
  // time, so the descriptors' state never carries over between calls.
  iconv_t to_terminal_;
  iconv_t from_terminal_;
  std::array<std::string, 256> glyphs_;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_TERMINAL_CHARSET_H_
