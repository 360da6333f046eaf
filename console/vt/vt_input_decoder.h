// Turns the bytes a VT terminal sends for the keyboard into console key event
// records.  Pure: bytes and the time they arrived go in, records come out; no
// terminal, no sleeping.
#ifndef PATCONV_CONSOLE_VT_VT_INPUT_DECODER_H_
#define PATCONV_CONSOLE_VT_VT_INPUT_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <deque>

#include "console/key_event.h"
#include "console/key_map.h"
#include "console/vt/terminal_charset.h"

namespace console {

class VtInputDecoder {
 public:
  struct Options {
    /// The charset typed characters arrive in (bytes from 0x80 up start
    /// one); each becomes its Windows-1251 byte, or a record marked
    /// outside_cp1251 when Windows-1251 lacks it.  Must outlive the decoder.
    const TerminalCharset* charset = &TerminalCharset::Utf8();
    /// The terminal's erase character (termios VERASE), a control byte
    /// other than NUL, Tab, LF, CR and ESC: this byte is the Backspace key,
    /// as 0x08 always is.  0x7F is Backspace too, unless the erase
    /// character is 0x08: it is then Ctrl+Backspace.
    uint8_t erase_character = 0x7F;
  };

  /// How long a lone ESC waits for the rest of a sequence.
  static constexpr int64_t kEscapeWaitMs = 50;
  /// How long an unfinished sequence waits for its next byte.
  static constexpr int64_t kSequenceWaitMs = 100;
  /// How long an Alt+keypad number waits before its Alt is released.
  static constexpr int64_t kAltNumberIdleMs = 500;
  /// The longest control string (OSC, DCS, APC, PM, SOS) taken as one: its
  /// bytes beyond this are keys again.
  static constexpr size_t kMaxStringBytes = 4096;

  /// A report of the terminal's own that the device asked for.
  struct Report {
    enum class Kind : uint8_t {
      kPrivateMode,       // DECRPM, CSI ? mode ; value $ y
      kDeviceAttributes,  // primary device attributes, CSI ? ... c
    };
    Kind kind = Kind::kPrivateMode;
    int mode = 0;   // kPrivateMode: the mode reported on
    int value = 0;  // kPrivateMode: 1 set, 2 reset, 3 always set, 4 always reset, 0 unknown
  };

  VtInputDecoder(const KeyMap& key_map, Options options);

  /// Takes bytes read from the terminal at `now_ms` (a monotonic clock).
  void Feed(const char* data, size_t size, int64_t now_ms);
  /// Lets time pass to `now_ms`: settles what waits for more bytes (a lone
  /// Escape, an unfinished sequence, an Alt+keypad number).
  void Tick(int64_t now_ms);
  /// The time at which Tick next has something to settle; -1 when nothing
  /// waits.
  int64_t Deadline() const;
  /// Takes the oldest finished record; false when there is none.
  bool Next(KeyEvent* event);
  /// Finished records wait to be taken.
  bool has_records() const { return !ready_.empty(); }
  /// Takes the oldest report the terminal sent; false when there is none.
  bool NextReport(Report* report);

 private:
  // What the bytes held back so far have started.
  enum class Stage : uint8_t {
    kGround,        // nothing held back
    kEscape,        // ESC
    kEscapeEscape,  // ESC ESC
    kCsi,           // ESC [ and the body so far
    kCsiLinux,      // ESC [ [ (the Linux console's F1-F5)
    kSs3,           // ESC O and the body so far
    kCharacter,     // the first bytes of a character in the terminal's charset
    kString,        // ESC ] P _ ^ X: a control string up to BEL or ST (ESC \ )
    kStringEscape,  // an ESC inside a control string
    kMouse,         // CSI M: the three bytes (or UTF-8 characters) of a mouse report
  };
  // The longest sequence body (parameters, intermediates) kept; a longer one
  // is swallowed up to its final byte and dropped.
  static constexpr size_t kMaxBody = 16;

  void TakeByte(unsigned char byte);
  void TakeGround(unsigned char byte);
  void TakeAfterEscape(unsigned char byte);
  void TakeAfterEscapeEscape(unsigned char byte);
  void TakeCsiByte(unsigned char byte);
  void TakeSs3Byte(unsigned char byte);
  void TakeLinuxByte(unsigned char byte);
  // The text path: characters in the terminal's charset.
  void StartCharacter(unsigned char byte, bool alt);
  void TakeCharacterByte(unsigned char byte);
  void AddCharacterByte(unsigned char byte);
  void DeliverCharacter(uint32_t code_point);
  void ExpireCharacter();
  // Control strings and reports: consumed whole, never keys.
  void StartString(unsigned char introducer);
  void TakeStringByte(unsigned char byte);
  void TakeStringEscapeByte(unsigned char byte);
  void StartMouseReport();
  void TakeMouseByte(unsigned char byte);
  bool TakeReport(unsigned char final_byte);
  void StartSequence(Stage stage, bool alt);
  void AppendBody(unsigned char byte);
  void Abort(unsigned char byte);
  void Expire();
  void FinishSequence(bool csi, unsigned char final_byte);
  int64_t HeldDeadline() const;

  // Hands a decoded key press on: to the Alt+keypad number when it is a
  // keypad digit with Alt alone, else as a key-down and key-up record.
  void Deliver(KeyEvent key);
  // Ends what is held back without a key (closes an Alt+keypad number too).
  void Drop();
  void Press(const KeyEvent& key);
  void AltDigit(const KeyEvent& key);
  void CloseAltNumber();

  const KeyMap& key_map_;
  Options options_;
  std::deque<KeyEvent> ready_;

  Stage stage_ = Stage::kGround;
  // The sequence or character held back was prefixed by one more ESC (Alt).
  bool alt_prefix_ = false;
  // When the last byte came; what is held back waits from then on.
  int64_t held_since_ = 0;
  unsigned char body_[kMaxBody] = {};
  size_t body_size_ = 0;
  bool body_overflow_ = false;
  // The bytes of the character being assembled.
  char character_[TerminalCharset::kLongestCharacter] = {};
  size_t character_size_ = 0;
  // The control string under way: its introducer and its length so far.
  unsigned char string_introducer_ = 0;
  size_t string_bytes_ = 0;
  // The mouse report under way: coordinates still to come, and whether the
  // last byte began a two-byte UTF-8 coordinate.
  int mouse_items_left_ = 0;
  bool mouse_lead_byte_ = false;
  std::deque<Report> reports_;

  // An Alt+keypad number under way: Alt is down, waiting for more digits.
  bool alt_number_open_ = false;
  int64_t alt_number_since_ = 0;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_VT_INPUT_DECODER_H_
