// The keyboard layout's mapping services, as the Windows calls MapVirtualKey
// and VkKeyScan give them, with characters as Windows-1251 bytes.
#ifndef PATCONV_CONSOLE_KEY_MAP_H_
#define PATCONV_CONSOLE_KEY_MAP_H_

#include <cstdint>

#include "console/key_event.h"

namespace console {

/// Maps between virtual keys, scan codes and characters of one keyboard
/// layout.  The Win32 device answers with the real calls (their Unicode
/// forms, through the Windows-1251 table); elsewhere a fixed
/// US layout (UsKeyMap) stands in.
class KeyMap {
 public:
  virtual ~KeyMap() = default;

  /// MapVirtualKey(vk, MAPVK_VK_TO_CHAR): the key's unshifted character
  /// (letters in upper case), 0 when it has none.
  virtual uint32_t VirtualKeyToChar(uint32_t virtual_key) const = 0;

  /// MapVirtualKey(vk, MAPVK_VK_TO_VSC): the key's scan code, 0 when none.
  virtual uint32_t VirtualKeyToScan(uint32_t virtual_key) const = 0;

  /// VkKeyScan(c): the virtual key in the low byte and the shift state in
  /// the high byte (1 Shift, 2 Ctrl, 4 Alt); -1 when no key gives c.
  virtual int16_t CharToVirtualKey(uint8_t character) const = 0;
};

/// The fixed US-QWERTY layout.
const KeyMap& UsKeyMap();

/// A key of the US layout pressed alone: the key-down record with its scan
/// code and the character it gives without Shift, ENHANCED_KEY for the keys
/// of the separate cursor block and the keypad's divide, and `state` added.
/// A virtual key the layout lacks gives scan code 0 and no character.
KeyEvent KeyPress(uint16_t virtual_key, uint32_t state = 0);

}  // namespace console

#endif  // PATCONV_CONSOLE_KEY_MAP_H_
