// The keys of the VT terminals' byte sequences: which key each control byte,
// CSI and SS3 sequence and modifier parameter stands for.  The grammar and
// the state machine that cuts the input into sequences are the input
// decoder's (vt_input_decoder.cc); these are its tables.
#ifndef PATCONV_CONSOLE_VT_VT_KEY_SEQUENCES_H_
#define PATCONV_CONSOLE_VT_VT_KEY_SEQUENCES_H_

#include <cstddef>
#include <cstdint>

#include "console/key_event.h"
#include "console/key_map.h"

namespace console {

/// F1 to F12 by number, 1-based.
KeyEvent FunctionKey(int number);
/// A keypad digit key, Num Lock on.
KeyEvent KeypadDigit(int digit);
KeyEvent EscapeKey();

/// Splits a body of the form "", "a" or "a;b" (decimal, an empty field is 0).
/// Returns the number of fields, or -1 when the body is anything else.
int ParseParameters(const unsigned char* body, size_t size, int values[2]);

/// Adds modifiers to a decoded key.  Keypad keys lose their character with
/// Ctrl (Ctrl+keypad Enter is Ctrl+Enter, char 10), keypad digits also with
/// Alt, as a Windows console reports them.
void AddModifiers(uint32_t state, KeyEvent* key);

/// A key of the main keyboard named by one byte (not ESC): control bytes,
/// Backspace, printable characters and Windows-1251 bytes.  Backspace is
/// what the terminal sends for it (its erase character) and 0x08 (Ctrl+H,
/// and what VTE terminals send for Ctrl+Backspace): a shell deletes with
/// either.  Only 0x7F where the erase character is 0x08 is Ctrl+Backspace,
/// the one way a terminal tells that key apart.
KeyEvent ByteKey(const KeyMap& key_map, uint8_t erase, unsigned char byte);
/// The same key with Alt (ESC before the byte).
KeyEvent AltByteKey(const KeyMap& key_map, uint8_t erase, unsigned char byte);

/// The key of CSI <parameters> <final>, modifiers included; false for none.
bool DecodeCsi(unsigned char final_byte, int count, const int values[2], KeyEvent* key);
/// The key of SS3 <parameters> <final>: SS3 m x (older xterm, the modified
/// keypad) or SS3 1 ; m x, modifiers included; false for none.
bool DecodeSs3(unsigned char final_byte, int count, const int values[2], KeyEvent* key);

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_VT_KEY_SEQUENCES_H_
