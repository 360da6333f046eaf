// Key codes: console key event records become the key codes the line reader
// acts on (key decoding), and characters typed as decimal codes with Alt
// held on the numeric keypad (Alt-number entry) are composed here.
//
// A key code is 0 to 255 for a character (a Windows-1251 byte, whatever the
// system's code page or locale) or s * 256 + 255 for an extended key, s
// being its extended scan code.
#ifndef PATCONV_CONSOLE_KEY_CODES_H_
#define PATCONV_CONSOLE_KEY_CODES_H_

#include <cstdint>
#include <vector>

#include "console/key_event.h"
#include "console/key_map.h"

namespace console {

/// The decoding gives no code: a key without a meaning, such as Shift alone.
inline constexpr int kNoKeyCode = -1;
/// Alt+F4, also queued when the console window is closed.
inline constexpr int kCloseKeyCode = 0x6BFF;
/// A typed character that Windows-1251 lacks: the line reader refuses it
/// with a tone.  Above every code of the key tables.
inline constexpr int kCharacterOutsideCp1251 = 0x10000;
/// No key: the console's buffer changed its size, queued in order with the
/// keys; the line reader draws its line again at the new width.
inline constexpr int kConsoleResized = 0x10001;

// Extended codes the line editor acts on (the cursor block, and the numeric
// keypad with Num Lock off, alone or with Shift).
inline constexpr int kKeyHome = 0x47FF;
inline constexpr int kKeyUp = 0x48FF;
inline constexpr int kKeyPageUp = 0x49FF;
inline constexpr int kKeyLeft = 0x4BFF;
inline constexpr int kKeyRight = 0x4DFF;
inline constexpr int kKeyEnd = 0x4FFF;
inline constexpr int kKeyDown = 0x50FF;
inline constexpr int kKeyPageDown = 0x51FF;
inline constexpr int kKeyInsert = 0x52FF;
inline constexpr int kKeyDelete = 0x53FF;

/// Key decoding of a key-down event record: a key code (0-255 a character,
/// an extended key s*256+255, kCharacterOutsideCp1251), or kNoKeyCode.  A key-up record, and a
/// key-down record with a repeat count of 0, give kNoKeyCode.  One code per
/// record, whatever its repeat count.
int DecodeKey(const KeyEvent& event, const KeyMap& key_map);

/// Turns console key events into key codes: the key decoding of key-down
/// events plus the composition of characters typed as decimal codes with
/// Alt held (Alt-number entry).  One per console; the composition value
/// lives across lines.
class KeyCodes {
 public:
  /// `key_map` must outlive this object.
  explicit KeyCodes(const KeyMap& key_map);

  /// Handles one key event (down or up); appends the codes it gives to
  /// `codes`, in order (none, one, or two: a composed character and the
  /// code of the key that ended the composition never come together).
  /// A key-down event with a repeat count of 0 is ignored.
  void Handle(const KeyEvent& event, std::vector<int>* codes);

  /// The Alt-number value: 0 when no composition is under way.
  uint32_t alt_number() const { return alt_number_; }

 private:
  // Queues the value mod 256 as a character and ends the composition.
  void QueueComposed(std::vector<int>* codes);

  const KeyMap& key_map_;
  // Unsigned so that a long run of digits wraps instead of overflowing.
  uint32_t alt_number_ = 0;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_KEY_CODES_H_
