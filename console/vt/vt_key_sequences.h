// The keys of the VT terminals' byte sequences: which key each control byte,
// CSI and SS3 sequence and modifier parameter stands for.  The state machine
// that cuts the input into sequences, and the rest of its grammar, are the
// input decoder's (vt_input_decoder.cc); these are its tables.  CSI = ESC [,
// SS3 = ESC O, m = modifier parameter (m - 1 is a mask: 1 Shift, 2 Alt,
// 4 Ctrl, 8 Meta taken as Alt):
//
//   sequence  := CSI cursor | CSI [1] ; m cursor           ; ESC [ 1;5A
//              | CSI n [; m] ~ | CSI n $ | CSI n ^ | CSI n @   ; rxvt suffixes:
//                                                         ;   $ Shift ^ Ctrl @ both
//              | CSI a..d                                 ; rxvt Shift+arrows
//              | CSI 1 ; m R                              ; F3 (never a report)
//              | CSI 1 ; m keypad
//              | CSI [ A..E                               ; Linux console F1-F5
//              | SS3 [[1 ;] m] (cursor | keypad | a..d)   ; SS3 a..d: rxvt Ctrl+arrows
//   cursor    := A Up | B Down | C Right | D Left | H Home | F End
//              | P F1 | Q F2 | R F3 | S F4 | Z Shift+Tab (CSI only)
//   n         := 1 Home | 2 Insert | 3 Delete | 4 End | 5 PgUp | 6 PgDn
//              | 7 Home | 8 End (rxvt) | 11-15 F1-F5 | 17-21 F6-F10
//              | 23 F11 | 24 F12
//   keypad    := p..y 0-9 | n . | M Enter | j * | k + | m - | o /
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
