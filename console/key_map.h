// The keyboard layout's mapping services, as the Windows calls
// MapVirtualKeyA and VkKeyScanA give them.
#ifndef PATCONV_CONSOLE_KEY_MAP_H_
#define PATCONV_CONSOLE_KEY_MAP_H_

#include <cstdint>

namespace console {

/// Maps between virtual keys, scan codes and characters of one keyboard
/// layout.  The Win32 device answers with the real calls; elsewhere a fixed
/// US layout (UsKeyMap) stands in.
class KeyMap {
 public:
  virtual ~KeyMap() = default;

  /// MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR): the key's unshifted character
  /// (letters in upper case), 0 when it has none.
  virtual uint32_t VirtualKeyToChar(uint32_t virtual_key) const = 0;

  /// MapVirtualKeyA(vk, MAPVK_VK_TO_VSC): the key's scan code, 0 when none.
  virtual uint32_t VirtualKeyToScan(uint32_t virtual_key) const = 0;

  /// VkKeyScanA(c): the virtual key in the low byte and the shift state in
  /// the high byte (1 Shift, 2 Ctrl, 4 Alt); -1 when no key gives c.
  virtual int16_t CharToVirtualKey(uint8_t character) const = 0;
};

/// The fixed US-QWERTY layout.
const KeyMap& UsKeyMap();

}  // namespace console

#endif  // PATCONV_CONSOLE_KEY_MAP_H_
