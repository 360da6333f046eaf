// UTF-8, read and written: the program's own decoder of it (file names in
// messages, characters typed on a terminal) and encoder (cells drawn on a
// terminal, file names made from typed lines).  On Windows the system's
// calls turn UTF-8 into the UTF-16 of file names and console text.
#ifndef PATCONV_TEXTIO_UTF8_H_
#define PATCONV_TEXTIO_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace textio {

/// Decodes one character of two to four bytes, a byte at a time, so that
/// bytes arriving in pieces (from a terminal) decode as a whole string does.
class Utf8Decoder {
 public:
  /// Starts a character at its lead byte; false, with nothing started, when
  /// the byte cannot lead one (ASCII, a continuation byte, 0xC0, 0xC1 and
  /// 0xF5 up).
  bool Start(unsigned char lead);
  /// Takes the next byte of the character started; false when it is no
  /// continuation byte (the character is cut short there).
  bool Take(unsigned char byte);
  /// Every byte of the character started has been taken.
  bool complete() const { return missing_ == 0; }
  /// A complete character is one: no overlong form, no surrogate, nothing
  /// past U+10FFFF.
  bool valid() const;
  /// The code point of a complete character.
  uint32_t code_point() const { return code_point_; }

 private:
  uint32_t code_point_ = 0;
  uint32_t smallest_ = 0;  // the smallest code point of this length
  int missing_ = 0;
};

/// The length of the valid character of two to four bytes that starts at
/// `text[i]`, with its code point in *code_point; 0 when there is none.
size_t Utf8Sequence(std::string_view text, size_t i, uint32_t* code_point);

/// True when `text` is valid UTF-8 and holds a character beyond ASCII.
bool IsUtf8BeyondAscii(std::string_view text);

/// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string* out, uint32_t code_point);

}  // namespace textio

#endif  // PATCONV_TEXTIO_UTF8_H_
