// Key event records: the one input form of the console engine.
//
// A record has the shape of a Windows console KEY_EVENT_RECORD.  The Win32
// device passes the records of ReadConsoleInputW through, their characters
// turned into Windows-1251; the terminal device builds them from the bytes a
// terminal sends.  Key decoding, Alt-number entry
// and the line editor work on these records alone.
#ifndef PATCONV_CONSOLE_KEY_EVENT_H_
#define PATCONV_CONSOLE_KEY_EVENT_H_

#include <cstdint>

namespace console {

// Control-key state bits (dwControlKeyState).
inline constexpr uint32_t kRightAltPressed = 0x0001;
inline constexpr uint32_t kLeftAltPressed = 0x0002;
inline constexpr uint32_t kRightCtrlPressed = 0x0004;
inline constexpr uint32_t kLeftCtrlPressed = 0x0008;
inline constexpr uint32_t kShiftPressed = 0x0010;
inline constexpr uint32_t kNumLockOn = 0x0020;
inline constexpr uint32_t kScrollLockOn = 0x0040;
inline constexpr uint32_t kCapsLockOn = 0x0080;
inline constexpr uint32_t kEnhancedKey = 0x0100;

inline constexpr uint32_t kAltPressed = kRightAltPressed | kLeftAltPressed;
inline constexpr uint32_t kCtrlPressed = kRightCtrlPressed | kLeftCtrlPressed;

// Virtual key codes used by name in this program.
inline constexpr uint16_t kVkBack = 0x08;
inline constexpr uint16_t kVkTab = 0x09;
inline constexpr uint16_t kVkReturn = 0x0D;
inline constexpr uint16_t kVkShift = 0x10;
inline constexpr uint16_t kVkControl = 0x11;
inline constexpr uint16_t kVkMenu = 0x12;  // Alt
inline constexpr uint16_t kVkEscape = 0x1B;
inline constexpr uint16_t kVkPrior = 0x21;  // Page Up
inline constexpr uint16_t kVkNext = 0x22;   // Page Down
inline constexpr uint16_t kVkEnd = 0x23;
inline constexpr uint16_t kVkHome = 0x24;
inline constexpr uint16_t kVkLeft = 0x25;
inline constexpr uint16_t kVkUp = 0x26;
inline constexpr uint16_t kVkRight = 0x27;
inline constexpr uint16_t kVkDown = 0x28;
inline constexpr uint16_t kVkInsert = 0x2D;
inline constexpr uint16_t kVkDelete = 0x2E;
inline constexpr uint16_t kVkNumpad0 = 0x60;
inline constexpr uint16_t kVkNumpad9 = 0x69;
inline constexpr uint16_t kVkMultiply = 0x6A;  // the keypad's keys other than its digits
inline constexpr uint16_t kVkAdd = 0x6B;
inline constexpr uint16_t kVkSubtract = 0x6D;
inline constexpr uint16_t kVkDecimal = 0x6E;
inline constexpr uint16_t kVkDivide = 0x6F;
inline constexpr uint16_t kVkF1 = 0x70;
inline constexpr uint16_t kVkF4 = 0x73;

/// One key going down or up, as the console reports it.
struct KeyEvent {
  bool key_down = false;
  uint16_t repeat_count = 1;
  uint16_t virtual_key = 0;
  uint16_t scan_code = 0;
  /// The character as a Windows-1251 byte (the devices translate what the
  /// system delivers); 0 when the key gives none.
  uint8_t character = 0;
  uint32_t control_state = 0;
  /// The key typed a character that Windows-1251 lacks (é, ä, 日 ...);
  /// `character` is then 0.  Such a key is refused, never taken as some
  /// other character.
  bool outside_cp1251 = false;

  friend bool operator==(const KeyEvent& a, const KeyEvent& b) {
    return a.key_down == b.key_down && a.repeat_count == b.repeat_count &&
           a.virtual_key == b.virtual_key && a.scan_code == b.scan_code &&
           a.character == b.character && a.control_state == b.control_state &&
           a.outside_cp1251 == b.outside_cp1251;
  }
  friend bool operator!=(const KeyEvent& a, const KeyEvent& b) { return !(a == b); }
};

/// A key going down, repeat count 1: the one builder of key event records.
constexpr KeyEvent KeyDown(uint16_t virtual_key, uint16_t scan_code, uint8_t character,
                           uint32_t control_state) {
  KeyEvent key;
  key.key_down = true;
  key.repeat_count = 1;
  key.virtual_key = virtual_key;
  key.scan_code = scan_code;
  key.character = character;
  key.control_state = control_state;
  return key;
}

/// The same key going up.
constexpr KeyEvent KeyUp(KeyEvent key) {
  key.key_down = false;
  return key;
}

/// One console input event.  Only key events carry data; a change of the
/// buffer's size (WINDOW_BUFFER_SIZE_EVENT) is reported as such, and the
/// others (mouse, focus, menu) are taken from the input and dropped.
struct InputEvent {
  enum class Type { kKey, kBufferSize, kOther };
  Type type = Type::kKey;
  KeyEvent key;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_KEY_EVENT_H_
