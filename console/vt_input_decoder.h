// Turns the bytes a VT terminal sends for the keyboard into console key event
// records.  Pure: bytes and the time they arrived go in, records come out; no
// terminal, no sleeping.
#ifndef PATCONV_CONSOLE_VT_INPUT_DECODER_H_
#define PATCONV_CONSOLE_VT_INPUT_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <deque>

#include "console/key_event.h"
#include "console/key_map.h"

namespace console {

class VtInputDecoder {
 public:
  struct Options {
    /// Typed characters arrive as UTF-8 and are turned into Windows-1251
    /// bytes (a character without one is dropped).  When false, every byte
    /// from 0x80 up is taken as a Windows-1251 byte as it is.
    bool utf8 = true;
    /// The terminal's erase character (termios VERASE): this byte is the
    /// Backspace key; the other of 0x08 / 0x7F is Ctrl+Backspace.
    uint8_t erase_character = 0x7F;
  };

  /// How long a lone ESC waits for the rest of a sequence.
  static constexpr int64_t kEscapeWaitMs = 50;
  /// How long an unfinished sequence waits for its next byte.
  static constexpr int64_t kSequenceWaitMs = 100;
  /// How long an Alt+keypad number waits before its Alt is released.
  static constexpr int64_t kAltNumberIdleMs = 500;

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

 private:
  // Implementation state is the decoder's own; see the .cc file.
  struct State;
  const KeyMap& key_map_;
  Options options_;
  std::deque<KeyEvent> ready_;
  // Bytes of an unfinished sequence or character, and when the last one came.
  unsigned char pending_[64] = {};
  size_t pending_size_ = 0;
  int64_t pending_since_ = 0;
  // An Alt+keypad number under way: Alt is down, waiting for more digits.
  bool alt_number_open_ = false;
  int64_t alt_number_since_ = 0;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_INPUT_DECODER_H_
