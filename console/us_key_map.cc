// The fixed US-QWERTY layout that stands in for the system's keyboard layout
// where the Windows mapping calls do not exist.
#include <array>
#include <cstdint>

#include "console/key_map.h"

namespace console {
namespace {

// One key of the layout: its virtual key, set-1 scan code, the characters
// it gives alone and with Shift (0 for none), and whether it is an enhanced
// key.  This is the one table of keys: the mapping services and the
// terminal's key decoder take their keys from it.
struct LayoutKey {
  uint8_t virtual_key;
  uint8_t scan_code;
  uint8_t plain;
  uint8_t shifted;
  bool enhanced = false;
};

// Ordered so that a character found by CharToVirtualKey is the one a
// Windows US layout reports first (the main keyboard before the keypad).
constexpr LayoutKey kKeys[] = {
    {0x08, 0x0E, 0x08, 0x08},
    {0x09, 0x0F, 0x09, 0x09},
    {0x0D, 0x1C, 0x0D, 0x0D},
    {0x1B, 0x01, 0x1B, 0x1B},
    {0x20, 0x39, ' ', ' '},
    {0x30, 0x0B, '0', ')'},
    {0x31, 0x02, '1', '!'},
    {0x32, 0x03, '2', '@'},
    {0x33, 0x04, '3', '#'},
    {0x34, 0x05, '4', '$'},
    {0x35, 0x06, '5', '%'},
    {0x36, 0x07, '6', '^'},
    {0x37, 0x08, '7', '&'},
    {0x38, 0x09, '8', '*'},
    {0x39, 0x0A, '9', '('},
    {0x41, 0x1E, 'a', 'A'},
    {0x42, 0x30, 'b', 'B'},
    {0x43, 0x2E, 'c', 'C'},
    {0x44, 0x20, 'd', 'D'},
    {0x45, 0x12, 'e', 'E'},
    {0x46, 0x21, 'f', 'F'},
    {0x47, 0x22, 'g', 'G'},
    {0x48, 0x23, 'h', 'H'},
    {0x49, 0x17, 'i', 'I'},
    {0x4A, 0x24, 'j', 'J'},
    {0x4B, 0x25, 'k', 'K'},
    {0x4C, 0x26, 'l', 'L'},
    {0x4D, 0x32, 'm', 'M'},
    {0x4E, 0x31, 'n', 'N'},
    {0x4F, 0x18, 'o', 'O'},
    {0x50, 0x19, 'p', 'P'},
    {0x51, 0x10, 'q', 'Q'},
    {0x52, 0x13, 'r', 'R'},
    {0x53, 0x1F, 's', 'S'},
    {0x54, 0x14, 't', 'T'},
    {0x55, 0x16, 'u', 'U'},
    {0x56, 0x2F, 'v', 'V'},
    {0x57, 0x11, 'w', 'W'},
    {0x58, 0x2D, 'x', 'X'},
    {0x59, 0x15, 'y', 'Y'},
    {0x5A, 0x2C, 'z', 'Z'},
    {0xBA, 0x27, ';', ':'},
    {0xBB, 0x0D, '=', '+'},
    {0xBC, 0x33, ',', '<'},
    {0xBD, 0x0C, '-', '_'},
    {0xBE, 0x34, '.', '>'},
    {0xBF, 0x35, '/', '?'},
    {0xC0, 0x29, '`', '~'},
    {0xDB, 0x1A, '[', '{'},
    {0xDC, 0x2B, '\\', '|'},
    {0xDD, 0x1B, ']', '}'},
    {0xDE, 0x28, '\'', '"'},
    // Numeric keypad with Num Lock on.
    {0x60, 0x52, '0', 0},
    {0x61, 0x4F, '1', 0},
    {0x62, 0x50, '2', 0},
    {0x63, 0x51, '3', 0},
    {0x64, 0x4B, '4', 0},
    {0x65, 0x4C, '5', 0},
    {0x66, 0x4D, '6', 0},
    {0x67, 0x47, '7', 0},
    {0x68, 0x48, '8', 0},
    {0x69, 0x49, '9', 0},
    {0x6A, 0x37, '*', 0},
    {0x6B, 0x4E, '+', 0},
    {0x6D, 0x4A, '-', 0},
    {0x6E, 0x53, '.', 0},
    {0x6F, 0x35, '/', 0, true},
    // Keys without characters.
    {0x10, 0x2A, 0, 0},
    {0x11, 0x1D, 0, 0},
    {0x12, 0x38, 0, 0},
    {0x0C, 0x4C, 0, 0},  // keypad 5 with Num Lock off
    {0x13, 0x45, 0, 0},
    {0x14, 0x3A, 0, 0},
    {0x21, 0x49, 0, 0, true},
    {0x22, 0x51, 0, 0, true},
    {0x23, 0x4F, 0, 0, true},
    {0x24, 0x47, 0, 0, true},
    {0x25, 0x4B, 0, 0, true},
    {0x26, 0x48, 0, 0, true},
    {0x27, 0x4D, 0, 0, true},
    {0x28, 0x50, 0, 0, true},
    {0x2D, 0x52, 0, 0, true},
    {0x2E, 0x53, 0, 0, true},
    {0x70, 0x3B, 0, 0},
    {0x71, 0x3C, 0, 0},
    {0x72, 0x3D, 0, 0},
    {0x73, 0x3E, 0, 0},
    {0x74, 0x3F, 0, 0},
    {0x75, 0x40, 0, 0},
    {0x76, 0x41, 0, 0},
    {0x77, 0x42, 0, 0},
    {0x78, 0x43, 0, 0},
    {0x79, 0x44, 0, 0},
    {0x7A, 0x57, 0, 0},
    {0x7B, 0x58, 0, 0},
    {0x90, 0x45, 0, 0},
    {0x91, 0x46, 0, 0},
    {0xA0, 0x2A, 0, 0},
    {0xA1, 0x36, 0, 0},
    {0xA2, 0x1D, 0, 0},
    {0xA3, 0x1D, 0, 0},
    {0xA4, 0x38, 0, 0},
    {0xA5, 0x38, 0, 0},
};

const LayoutKey* FindVirtualKey(uint32_t virtual_key) {
  for (const LayoutKey& key : kKeys) {
    if (key.virtual_key == virtual_key) return &key;
  }
  return nullptr;
}

class UsLayout final : public KeyMap {
 public:
  UsLayout() {
    vk_scan_.fill(-1);
    // Plain characters first, so that a character that two keys give is
    // found on the key that gives it without Shift.
    // The keypad comes last: '*' and '+' belong to Shift+8 and Shift+=.
    for (const LayoutKey& key : kKeys) {
      if (!IsKeypad(key)) Learn(key.plain, key.virtual_key, 0);
    }
    for (const LayoutKey& key : kKeys) {
      if (!IsKeypad(key)) Learn(key.shifted, key.virtual_key, 1);
    }
    for (const LayoutKey& key : kKeys) {
      if (IsKeypad(key)) Learn(key.plain, key.virtual_key, 0);
    }
    // Control characters typed with Ctrl.  Line feed belongs to Ctrl+Enter
    // before Ctrl+J, as the system's own table lists it.
    Learn(0x0A, 0x0D, 2);  // Ctrl+Enter
    for (int letter = 'A'; letter <= 'Z'; ++letter) {
      Learn(static_cast<uint8_t>(letter - '@'), static_cast<uint8_t>(letter), 2);
    }
    Learn(0x1C, 0xDC, 2);  // Ctrl+backslash
    Learn(0x1D, 0xDD, 2);  // Ctrl+]
    Learn(0x00, 0x32, 3);  // Ctrl+Shift+2
    Learn(0x1E, 0x36, 3);  // Ctrl+Shift+6
    Learn(0x1F, 0xBD, 3);  // Ctrl+Shift+minus
    Learn(0x7F, 0x08, 2);  // Ctrl+Backspace
  }

  uint32_t VirtualKeyToChar(uint32_t virtual_key) const override {
    const LayoutKey* key = FindVirtualKey(virtual_key);
    if (key == nullptr) return 0;
    // Letters are reported in upper case, as the system does.
    if (key->plain >= 'a' && key->plain <= 'z') return key->shifted;
    return key->plain;
  }

  uint32_t VirtualKeyToScan(uint32_t virtual_key) const override {
    const LayoutKey* key = FindVirtualKey(virtual_key);
    return key == nullptr ? 0 : key->scan_code;
  }

  int16_t CharToVirtualKey(uint8_t character) const override { return vk_scan_[character]; }

 private:
  static bool IsKeypad(const LayoutKey& key) {
    return key.virtual_key >= 0x60 && key.virtual_key <= 0x6F;
  }

  void Learn(uint8_t character, uint8_t virtual_key, int shift_state) {
    if (character == 0 && shift_state < 2) return;
    if (vk_scan_[character] != -1) return;
    vk_scan_[character] = static_cast<int16_t>(shift_state << 8 | virtual_key);
  }

  std::array<int16_t, 256> vk_scan_;
};

}  // namespace

const KeyMap& UsKeyMap() {
  static const UsLayout layout;
  return layout;
}

KeyEvent KeyPress(uint16_t virtual_key, uint32_t state) {
  const LayoutKey* key = FindVirtualKey(virtual_key);
  if (key == nullptr) return KeyDown(virtual_key, 0, 0, state);
  return KeyDown(key->virtual_key, key->scan_code, key->plain,
                 key->enhanced ? state | kEnhancedKey : state);
}

}  // namespace console
