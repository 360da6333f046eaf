// Key codes: key decoding and Alt-number entry.
//
// Decoding a key-down record (virtual key v, scan code s, character c):
//   0. A character that Windows-1251 lacks gives kCharacterOutsideCp1251.
//   1. ENHANCED_KEY and c = 0: s is looked up in the enhanced-key table; a
//      key missing from it gives no code.
//   2. Otherwise s > 0x58: c, or no code when c = 0.
//   3. Otherwise the main key table's entry for s is taken (the no-modifier
//      column only when c = 0, else the key's unshifted character).  An
//      entry of 256 or more is an extended code, but only when c is the
//      key's own character in either letter case; in every other case the
//      code is c, or none when c = 0.  So Alt+A is extended while an AltGr
//      character, which differs from its key's own, passes as typed.
// The modifier column is chosen in the order Alt, Ctrl, Shift, none.
// Table entries below 256 are never codes themselves; they are written as
// the characters the keys give, to keep the tables readable.
#include "console/key_codes.h"

#include <cstddef>

namespace console {
namespace {

// One row of a key table: the entries for a scan code under each modifier.
struct KeyRow {
  uint8_t scan;
  uint16_t none;
  uint16_t shift;
  uint16_t ctrl;
  uint16_t alt;
};

// The keys of the separate cursor block, and the keypad's Enter and divide;
// they come with ENHANCED_KEY.
constexpr KeyRow kEnhancedKeys[] = {
    // scan  none    Shift   Ctrl    Alt
    {0x1C, 0x000D, 0x000D, 0x000A, 0xA600},  // keypad Enter
    {0x35, 0x002F, 0x003F, 0x9500, 0xA400},  // keypad /
    {0x47, 0x4700, 0x4700, 0x7700, 0x9700},  // Home
    {0x48, 0x4800, 0x4800, 0x8D00, 0x9800},  // Up
    {0x49, 0x4900, 0x4900, 0x8400, 0x9900},  // Page Up
    {0x4B, 0x4B00, 0x4B00, 0x7300, 0x9B00},  // Left
    {0x4D, 0x4D00, 0x4D00, 0x7400, 0x9D00},  // Right
    {0x4F, 0x4F00, 0x4F00, 0x7500, 0x9F00},  // End
    {0x50, 0x5000, 0x5000, 0x9100, 0xA000},  // Down
    {0x51, 0x5100, 0x5100, 0x7600, 0xA100},  // Page Down
    {0x52, 0x5200, 0x5200, 0x9200, 0xA200},  // Insert
    {0x53, 0x5300, 0x5300, 0x9300, 0xA300},  // Delete
};

// Every key of the main keyboard and the numeric keypad, indexed by scan.
constexpr KeyRow kMainKeys[] = {
    // scan  none    Shift   Ctrl    Alt
    {0x00, 0, 0, 0, 0},                      // (no key)
    {0x01, 0x1B, 0x1B, 0x1B, 0x0100},        // Escape
    {0x02, '1', '!', 0, 0x0200},             // 1
    {0x03, '2', '@', 0x0300, 0x0300},        // 2
    {0x04, '3', '#', 0, 0x0400},             // 3
    {0x05, '4', '$', 0, 0x0500},             // 4
    {0x06, '5', '%', 0, 0x0600},             // 5
    {0x07, '6', '^', 0x1E, 0x0700},          // 6
    {0x08, '7', '&', 0, 0x0800},             // 7
    {0x09, '8', '*', 0, 0x0900},             // 8
    {0x0A, '9', '(', 0, 0x0A00},             // 9
    {0x0B, '0', ')', 0, 0x0B00},             // 0
    {0x0C, '-', '_', 0x1F, 0x0C00},          // minus
    {0x0D, '=', '+', 0, 0x0D00},             // equals
    {0x0E, 0x08, 0x08, 0x7F, 0x0E00},        // Backspace
    {0x0F, 0x09, 0x0F00, 0x9400, 0xA500},    // Tab
    {0x10, 'q', 'Q', 0x11, 0x1000},          // Q
    {0x11, 'w', 'W', 0x17, 0x1100},          // W
    {0x12, 'e', 'E', 0x05, 0x1200},          // E
    {0x13, 'r', 'R', 0x12, 0x1300},          // R
    {0x14, 't', 'T', 0x14, 0x1400},          // T
    {0x15, 'y', 'Y', 0x19, 0x1500},          // Y
    {0x16, 'u', 'U', 0x15, 0x1600},          // U
    {0x17, 'i', 'I', 0x09, 0x1700},          // I
    {0x18, 'o', 'O', 0x0F, 0x1800},          // O
    {0x19, 'p', 'P', 0x10, 0x1900},          // P
    {0x1A, '[', '{', 0x1B, 0x1A00},          // [
    {0x1B, ']', '}', 0x1D, 0x1B00},          // ]
    {0x1C, 0x0D, 0x0D, 0x0A, 0x1C00},        // Enter
    {0x1D, 0, 0, 0, 0},                      // Ctrl
    {0x1E, 'a', 'A', 0x01, 0x1E00},          // A
    {0x1F, 's', 'S', 0x13, 0x1F00},          // S
    {0x20, 'd', 'D', 0x04, 0x2000},          // D
    {0x21, 'f', 'F', 0x06, 0x2100},          // F
    {0x22, 'g', 'G', 0x07, 0x2200},          // G
    {0x23, 'h', 'H', 0x08, 0x2300},          // H
    {0x24, 'j', 'J', 0x0A, 0x2400},          // J
    {0x25, 'k', 'K', 0x0B, 0x2500},          // K
    {0x26, 'l', 'L', 0x0C, 0x2600},          // L
    {0x27, ';', ':', 0, 0x2700},             // semicolon
    {0x28, '\'', '"', 0, 0x2800},            // apostrophe
    {0x29, '`', '~', 0, 0x2900},             // grave accent
    {0x2A, 0, 0, 0, 0},                      // left Shift
    {0x2B, '\\', '|', 0x1C, '\\'},           // backslash
    {0x2C, 'z', 'Z', 0x1A, 0x2C00},          // Z
    {0x2D, 'x', 'X', 0x18, 0x2D00},          // X
    {0x2E, 'c', 'C', 0x03, 0x2E00},          // C
    {0x2F, 'v', 'V', 0x16, 0x2F00},          // V
    {0x30, 'b', 'B', 0x02, 0x3000},          // B
    {0x31, 'n', 'N', 0x0E, 0x3100},          // N
    {0x32, 'm', 'M', 0x0D, 0x3200},          // M
    {0x33, ',', '<', 0, 0x3300},             // comma
    {0x34, '.', '>', 0, 0x3400},             // full stop
    {0x35, '/', '?', 0, 0x3500},             // slash
    {0x36, 0, 0, 0, 0},                      // right Shift
    {0x37, '*', '*', 0, '*'},                // keypad *
    {0x38, 0, 0, 0, 0},                      // Alt
    {0x39, ' ', ' ', ' ', ' '},              // space bar
    {0x3A, 0, 0, 0, 0},                      // Caps Lock
    {0x3B, 0x3B00, 0x5400, 0x5E00, 0x6800},  // F1
    {0x3C, 0x3C00, 0x5500, 0x5F00, 0x6900},  // F2
    {0x3D, 0x3D00, 0x5600, 0x6000, 0x6A00},  // F3
    {0x3E, 0x3E00, 0x5700, 0x6100, 0x6B00},  // F4
    {0x3F, 0x3F00, 0x5800, 0x6200, 0x6C00},  // F5
    {0x40, 0x4000, 0x5900, 0x6300, 0x6D00},  // F6
    {0x41, 0x4100, 0x5A00, 0x6400, 0x6E00},  // F7
    {0x42, 0x4200, 0x5B00, 0x6500, 0x6F00},  // F8
    {0x43, 0x4300, 0x5C00, 0x6600, 0x7000},  // F9
    {0x44, 0x4400, 0x5D00, 0x6700, 0x7100},  // F10
    {0x45, 0, 0, 0, 0},                      // Num Lock
    {0x46, 0, 0, 0, 0},                      // Scroll Lock
    {0x47, 0x4700, '7', 0x7700, 0},          // keypad 7 / Home
    {0x48, 0x4800, '8', 0x8D00, 0},          // keypad 8 / Up
    {0x49, 0x4900, '9', 0x8400, 0},          // keypad 9 / Page Up
    {0x4A, '-', '-', 0, '-'},                // keypad minus
    {0x4B, 0x4B00, '4', 0x7300, 0},          // keypad 4 / Left
    {0x4C, 0x4C00, '5', 0x8F00, 0x9C00},     // keypad 5
    {0x4D, 0x4D00, '6', 0x7400, 0},          // keypad 6 / Right
    {0x4E, '+', '+', 0, '+'},                // keypad plus
    {0x4F, 0x4F00, '1', 0x7500, 0},          // keypad 1 / End
    {0x50, 0x5000, '2', 0x9100, 0},          // keypad 2 / Down
    {0x51, 0x5100, '3', 0x7600, 0},          // keypad 3 / Page Down
    {0x52, 0x5200, '0', 0x9200, 0},          // keypad 0 / Insert
    {0x53, 0x5300, '.', 0x9300, 0},          // keypad . / Delete
    {0x54, 0, 0, 0, 0},                      // SysRq
    {0x55, 0, 0, 0, 0},                      // (no key)
    {0x56, '\\', '|', 0x1C, 0},              // the 102nd key
    {0x57, 0x8500, 0x8700, 0x8900, 0x8B00},  // F11
    {0x58, 0x8600, 0x8800, 0x8A00, 0x8C00},  // F12
};

constexpr size_t kMainKeyCount = sizeof(kMainKeys) / sizeof(kMainKeys[0]);
static_assert(kMainKeyCount == 0x59, "one row per scan code 0x00 to 0x58");

// Lookup by index relies on every row sitting at its own scan code.
constexpr bool RowsSitAtTheirScan() {
  for (size_t i = 0; i < kMainKeyCount; ++i) {
    if (kMainKeys[i].scan != i) return false;
  }
  return true;
}
static_assert(RowsSitAtTheirScan(), "main key table out of order");

enum class Column { kNone, kShift, kCtrl, kAlt };

Column ModifierColumn(uint32_t control_state) {
  if ((control_state & kAltPressed) != 0) return Column::kAlt;
  if ((control_state & kCtrlPressed) != 0) return Column::kCtrl;
  if ((control_state & kShiftPressed) != 0) return Column::kShift;
  return Column::kNone;
}

uint32_t Entry(const KeyRow& row, Column column) {
  switch (column) {
    case Column::kShift: return row.shift;
    case Column::kCtrl: return row.ctrl;
    case Column::kAlt: return row.alt;
    case Column::kNone: break;
  }
  return row.none;
}

int ExtendedCode(uint32_t value) { return static_cast<int>((value & 0xFF00u) + 0xFFu); }

int CharacterCode(uint8_t character) { return character != 0 ? character : kNoKeyCode; }

// ASCII only: the decoding must not change with the C locale.
uint32_t OtherLetterCase(uint32_t ch) {
  if (ch >= 'A' && ch <= 'Z') return ch + ('a' - 'A');
  if (ch >= 'a' && ch <= 'z') return ch - ('a' - 'A');
  return ch;
}

int DecodeEnhanced(const KeyEvent& event) {
  for (const KeyRow& row : kEnhancedKeys) {
    if (row.scan != event.scan_code) continue;
    uint32_t value = Entry(row, ModifierColumn(event.control_state));
    if (value == 0) return kNoKeyCode;
    return value < 256 ? static_cast<int>(value) : ExtendedCode(value);
  }
  return kNoKeyCode;
}

int DecodeMain(const KeyEvent& event, const KeyMap& key_map) {
  const uint32_t ch = key_map.VirtualKeyToChar(event.virtual_key);
  const uint32_t ch2 = OtherLetterCase(ch);
  const uint32_t c = event.character;
  const KeyRow& row = kMainKeys[event.scan_code];
  const Column column = ModifierColumn(event.control_state);
  uint32_t value = Entry(row, column);
  if (column == Column::kNone && c != 0) value = ch;
  if (value >= 256 && (c == ch || c == ch2)) return ExtendedCode(value);
  return CharacterCode(event.character);
}

bool AltAlone(uint32_t control_state) {
  return (control_state & kAltPressed) != 0 &&
         (control_state & (kCtrlPressed | kShiftPressed)) == 0;
}

bool IsKeypadDigit(uint16_t virtual_key) {
  return virtual_key >= kVkNumpad0 && virtual_key <= kVkNumpad9;
}

}  // namespace

int DecodeKey(const KeyEvent& event, const KeyMap& key_map) {
  if (!event.key_down || event.repeat_count == 0) return kNoKeyCode;
  // Whatever the modifiers: a character was typed, and it has no byte here.
  if (event.outside_cp1251) return kCharacterOutsideCp1251;
  if ((event.control_state & kEnhancedKey) != 0 && event.character == 0) {
    return DecodeEnhanced(event);
  }
  if (event.scan_code >= kMainKeyCount) return CharacterCode(event.character);
  return DecodeMain(event, key_map);
}

KeyCodes::KeyCodes(const KeyMap& key_map) : key_map_(key_map) {}

void KeyCodes::Handle(const KeyEvent& event, std::vector<int>* codes) {
  const bool alt_alone = AltAlone(event.control_state);
  if (!event.key_down) {
    // Releasing Alt (or adding Ctrl or Shift to it) ends the composition.
    if (!alt_alone && alt_number_ != 0) QueueComposed(codes);
    return;
  }
  if (event.repeat_count == 0) return;
  const int code = DecodeKey(event, key_map_);
  if (alt_alone && IsKeypadDigit(event.virtual_key)) {
    alt_number_ = alt_number_ * 10u + static_cast<uint32_t>(event.virtual_key - kVkNumpad0);
    if (code != kNoKeyCode) codes->push_back(code);
    return;
  }
  if (code != kNoKeyCode) {
    alt_number_ = 0;
    codes->push_back(code);
    return;
  }
  // A key without a code (Alt itself repeating, say) keeps a composition
  // going while Alt is alone; any other modifier mix ends it.
  if (!alt_alone && alt_number_ != 0) QueueComposed(codes);
}

void KeyCodes::QueueComposed(std::vector<int>* codes) {
  codes->push_back(static_cast<int>(alt_number_ & 0xFFu));
  alt_number_ = 0;
}

}  // namespace console
