// Key records and the keyboard layout: see key_records.h.
#include "console/win32/key_records.h"

#include "textio/cp1251.h"

namespace console {

KeyEvent ToKeyEvent(const KEY_EVENT_RECORD& record) {
  KeyEvent key;
  key.key_down = record.bKeyDown != FALSE;
  key.repeat_count = record.wRepeatCount;
  key.virtual_key = record.wVirtualKeyCode;
  key.scan_code = record.wVirtualScanCode;
  key.control_state = record.dwControlKeyState;
  const WCHAR typed = record.uChar.UnicodeChar;
  if (typed != 0 && !IS_LOW_SURROGATE(typed)) {
    const int byte = textio::UnicodeToCp1251(typed);
    key.character = byte < 0 ? 0 : static_cast<uint8_t>(byte);
    key.outside_cp1251 = byte < 0;
  }
  return key;
}

uint32_t Win32KeyMap::VirtualKeyToChar(uint32_t virtual_key) const {
  const UINT mapped = ::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_CHAR);
  const int byte = textio::UnicodeToCp1251(mapped & 0xFFFFu);
  if (byte <= 0) return 0;
  return (mapped & 0x80000000u) | static_cast<uint32_t>(byte);
}

uint32_t Win32KeyMap::VirtualKeyToScan(uint32_t virtual_key) const {
  return ::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
}

int16_t Win32KeyMap::CharToVirtualKey(uint8_t character) const {
  return ::VkKeyScanW(static_cast<WCHAR>(textio::Cp1251ToUnicode(character)));
}

}  // namespace console
