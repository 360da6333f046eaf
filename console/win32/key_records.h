// Key records and the keyboard layout of the Windows console, through the
// Unicode calls and the program's one Windows-1251 table.
//
// Part of library console_win32, Windows builds only.
#ifndef PATCONV_CONSOLE_WIN32_KEY_RECORDS_H_
#define PATCONV_CONSOLE_WIN32_KEY_RECORDS_H_

#include <windows.h>

#include <cstdint>

#include "console/key_event.h"
#include "console/key_map.h"

namespace console {

// A KEY_EVENT_RECORD as it is, field by field, but for its character:
// key decoding is the engine's.  A character that Windows-1251 lacks is
// marked so, to be refused; of a character beyond the Basic Multilingual
// Plane, which comes as two records, the first is marked and the second
// types nothing.
KeyEvent ToKeyEvent(const KEY_EVENT_RECORD& record);

/// The keyboard layout of the console's user, through USER32's Unicode
/// calls and the Windows-1251 table, so that the layout's characters are
/// those of the key records.
class Win32KeyMap final : public KeyMap {
 public:
  // A character the table lacks is none; the dead-key flag is kept.
  uint32_t VirtualKeyToChar(uint32_t virtual_key) const override;
  uint32_t VirtualKeyToScan(uint32_t virtual_key) const override;
  int16_t CharToVirtualKey(uint8_t character) const override;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_WIN32_KEY_RECORDS_H_
