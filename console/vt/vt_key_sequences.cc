#include "console/vt/vt_key_sequences.h"

namespace console {
namespace {

KeyEvent WithCharacter(KeyEvent key, uint8_t character) {
  key.character = character;
  return key;
}

// The final byte of an arrow, Home, End or F1-F4 (CSI or SS3 form).
bool CursorKey(unsigned char final_byte, KeyEvent* key) {
  switch (final_byte) {
    case 'A': *key = KeyPress(kVkUp); return true;
    case 'B': *key = KeyPress(kVkDown); return true;
    case 'C': *key = KeyPress(kVkRight); return true;
    case 'D': *key = KeyPress(kVkLeft); return true;
    case 'H': *key = KeyPress(kVkHome); return true;
    case 'F': *key = KeyPress(kVkEnd); return true;
    case 'P':
    case 'Q':
    case 'R':
    case 'S': *key = FunctionKey(final_byte - 'P' + 1); return true;
    default: return false;
  }
}

// rxvt's arrows with a lower-case final: a Up, b Down, c Right, d Left.
bool RxvtArrow(unsigned char final_byte, KeyEvent* key) {
  if (final_byte < 'a' || final_byte > 'd') return false;
  return CursorKey(static_cast<unsigned char>(final_byte - 'a' + 'A'), key);
}

// The keypad in application mode.
bool KeypadKey(unsigned char final_byte, KeyEvent* key) {
  if (final_byte >= 'p' && final_byte <= 'y') {
    *key = KeypadDigit(final_byte - 'p');
    return true;
  }
  switch (final_byte) {
    case 'n': *key = KeyPress(kVkDecimal, kNumLockOn); return true;
    case 'M': *key = KeyPress(kVkReturn, kEnhancedKey); return true;
    case 'j': *key = KeyPress(kVkMultiply); return true;
    case 'k': *key = KeyPress(kVkAdd); return true;
    case 'm': *key = KeyPress(kVkSubtract); return true;
    case 'o': *key = KeyPress(kVkDivide); return true;
    default: return false;
  }
}

// The number of CSI n ~ (and of rxvt's n $, n ^, n @).
bool NumberedKey(int number, KeyEvent* key) {
  switch (number) {
    case 1:
    case 7: *key = KeyPress(kVkHome); return true;
    case 4:
    case 8: *key = KeyPress(kVkEnd); return true;
    case 2: *key = KeyPress(kVkInsert); return true;
    case 3: *key = KeyPress(kVkDelete); return true;
    case 5: *key = KeyPress(kVkPrior); return true;
    case 6: *key = KeyPress(kVkNext); return true;
    default: break;
  }
  if (number >= 11 && number <= 15)
    *key = FunctionKey(number - 10);
  else if (number >= 17 && number <= 21)
    *key = FunctionKey(number - 11);
  else if (number == 23 || number == 24)
    *key = FunctionKey(number - 12);
  else
    return false;
  return true;
}

// The control-key bits of a modifier parameter; 0 and 1 mean none.
uint32_t ModifierState(int parameter) {
  if (parameter <= 1) return 0;
  const int mask = parameter - 1;
  uint32_t state = 0;
  if (mask & 1) state |= kShiftPressed;
  if (mask & 2) state |= kLeftAltPressed;
  if (mask & 4) state |= kLeftCtrlPressed;
  if (mask & 8) state |= kLeftAltPressed;  // Meta
  return state;
}

}  // namespace

KeyEvent FunctionKey(int number) { return KeyPress(static_cast<uint16_t>(kVkF1 + number - 1)); }

KeyEvent KeypadDigit(int digit) {
  return KeyPress(static_cast<uint16_t>(kVkNumpad0 + digit), kNumLockOn);
}

KeyEvent EscapeKey() { return KeyPress(kVkEscape); }

int ParseParameters(const unsigned char* body, size_t size, int values[2]) {
  values[0] = values[1] = 0;
  if (size == 0) return 0;
  int count = 1;
  for (size_t i = 0; i < size; ++i) {
    if (body[i] == ';') {
      if (++count > 2) return -1;
    } else if (body[i] >= '0' && body[i] <= '9') {
      int& value = values[count - 1];
      value = value * 10 + (body[i] - '0');
      if (value > 999) return -1;
    } else {
      return -1;
    }
  }
  return count;
}

void AddModifiers(uint32_t state, KeyEvent* key) {
  key->control_state |= state;
  const uint16_t vk = key->virtual_key;
  const bool ctrl = (state & kCtrlPressed) != 0;
  if (vk == kVkReturn && (key->control_state & kEnhancedKey) != 0) {
    if (ctrl) key->character = '\n';
  } else if (vk >= kVkNumpad0 && vk <= kVkNumpad9) {
    if (ctrl || (state & kAltPressed) != 0) key->character = 0;
  } else if (vk >= 0x6A && vk <= 0x6F) {
    if (ctrl) key->character = 0;
  }
}

KeyEvent ByteKey(const KeyMap& key_map, uint8_t erase, unsigned char byte) {
  if (byte == '\r') return KeyPress(kVkReturn);
  if (byte == '\n') return WithCharacter(KeyPress(kVkReturn, kLeftCtrlPressed), '\n');
  if (byte == '\t') return KeyPress(kVkTab);
  if (byte == 0x7F && erase == 0x08) {
    return WithCharacter(KeyPress(kVkBack, kLeftCtrlPressed), 0x7F);
  }
  if (byte == erase || byte == 0x08 || byte == 0x7F) return KeyPress(kVkBack);
  if (byte < 0x20) {
    const uint16_t vk = byte >= 0x01 && byte <= 0x1A
                            ? static_cast<uint16_t>(byte + 0x40)  // the letter
                            : static_cast<uint16_t>(key_map.CharToVirtualKey(byte) & 0xFF);
    return KeyDown(vk, static_cast<uint16_t>(key_map.VirtualKeyToScan(vk)), byte, kLeftCtrlPressed);
  }
  const int16_t vk_shift = key_map.CharToVirtualKey(byte);
  if (vk_shift == -1) return KeyDown(0, 0, byte, 0);
  const uint16_t vk = static_cast<uint16_t>(vk_shift & 0xFF);
  return KeyDown(vk, static_cast<uint16_t>(key_map.VirtualKeyToScan(vk)), byte,
                 (vk_shift & 0x100) != 0 ? kShiftPressed : 0);
}

bool DecodeCsi(unsigned char final_byte, int count, const int values[2], KeyEvent* key) {
  const bool cursor_form = count == 0 || values[0] <= 1;  // "", "1", "1;m"
  uint32_t state = ModifierState(values[1]);
  bool known = false;
  if (final_byte == '~') {
    known = NumberedKey(values[0], key);
  } else if (final_byte == '$' || final_byte == '^' || final_byte == '@') {
    known = count == 1 && NumberedKey(values[0], key);
    if (final_byte != '^') state |= kShiftPressed;
    if (final_byte != '$') state |= kLeftCtrlPressed;
  } else if (final_byte == 'R') {
    known = count == 2 && values[0] == 1 && CursorKey('R', key);
  } else if (final_byte == 'Z') {
    *key = KeyPress(kVkTab, kShiftPressed);
    known = cursor_form;
  } else if (count == 0 && RxvtArrow(final_byte, key)) {
    known = true;
    state |= kShiftPressed;
  } else {
    known = (cursor_form && CursorKey(final_byte, key)) ||
            (count == 2 && values[0] == 1 && KeypadKey(final_byte, key));
  }
  if (known) AddModifiers(state, key);
  return known;
}

bool DecodeSs3(unsigned char final_byte, int count, const int values[2], KeyEvent* key) {
  if (count == 2 && values[0] > 1) return false;
  uint32_t state = ModifierState(count == 1 ? values[0] : values[1]);
  if (RxvtArrow(final_byte, key)) {
    state |= kLeftCtrlPressed;
  } else if (!CursorKey(final_byte, key) && !KeypadKey(final_byte, key)) {
    return false;
  }
  AddModifiers(state, key);
  return true;
}

KeyEvent AltByteKey(const KeyMap& key_map, uint8_t erase, unsigned char byte) {
  KeyEvent key = ByteKey(key_map, erase, byte);
  key.control_state |= kLeftAltPressed;
  return key;
}

}  // namespace console
