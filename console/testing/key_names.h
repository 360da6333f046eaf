// Keys of the US layout called by name, as key scripts and tests write them.
#ifndef PATCONV_CONSOLE_TESTING_KEY_NAMES_H_
#define PATCONV_CONSOLE_TESTING_KEY_NAMES_H_

#include <cstdint>
#include <string_view>

#include "console/key_event.h"

namespace console {

/// A key of the US layout pressed alone, by name (KeyPress of its virtual
/// key): Enter, Esc, Tab, Backspace, Space, Home, End, Left, Right, Up,
/// Down, PgUp, PgDn, Insert, Delete, F1 to F12, the keypad's Num0 to Num9,
/// Multiply, Add, Subtract, Decimal, Divide, and Shift, Ctrl, Alt, Clear,
/// Pause, CapsLock, NumLock, ScrollLock, LShift, RShift, LCtrl, RCtrl, LAlt,
/// RAlt; false when no key has the name.
bool NamedKeyPress(std::string_view name, uint32_t state, KeyEvent* key);

}  // namespace console

#endif  // PATCONV_CONSOLE_TESTING_KEY_NAMES_H_
