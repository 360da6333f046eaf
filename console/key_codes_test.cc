// Key decoding and Alt-number entry, on the records a Windows console sends
// and on the records the terminal device builds with the fixed US layout.
#include "console/key_codes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/key_event.h"
#include "console/key_map.h"

namespace console {
namespace {

// --- Records and layouts -----------------------------------------------------

KeyEvent Down(uint16_t vk, uint16_t scan, uint8_t character, uint32_t state = 0) {
  KeyEvent event;
  event.key_down = true;
  event.repeat_count = 1;
  event.virtual_key = vk;
  event.scan_code = scan;
  event.character = character;
  event.control_state = state;
  return event;
}

KeyEvent Up(uint16_t vk, uint16_t scan, uint8_t character, uint32_t state = 0) {
  KeyEvent event = Down(vk, scan, character, state);
  event.key_down = false;
  return event;
}

// A key of the main keyboard that types characters on a US layout.
struct TypingKey {
  uint8_t vk;
  uint8_t scan;
  uint8_t plain;
  uint8_t shifted;
};

constexpr TypingKey kTypingKeys[] = {
    {0x31, 0x02, '1', '!'}, {0x32, 0x03, '2', '@'}, {0x33, 0x04, '3', '#'},  {0x34, 0x05, '4', '$'},
    {0x35, 0x06, '5', '%'}, {0x36, 0x07, '6', '^'}, {0x37, 0x08, '7', '&'},  {0x38, 0x09, '8', '*'},
    {0x39, 0x0A, '9', '('}, {0x30, 0x0B, '0', ')'}, {0xBD, 0x0C, '-', '_'},  {0xBB, 0x0D, '=', '+'},
    {0x51, 0x10, 'q', 'Q'}, {0x57, 0x11, 'w', 'W'}, {0x45, 0x12, 'e', 'E'},  {0x52, 0x13, 'r', 'R'},
    {0x54, 0x14, 't', 'T'}, {0x59, 0x15, 'y', 'Y'}, {0x55, 0x16, 'u', 'U'},  {0x49, 0x17, 'i', 'I'},
    {0x4F, 0x18, 'o', 'O'}, {0x50, 0x19, 'p', 'P'}, {0xDB, 0x1A, '[', '{'},  {0xDD, 0x1B, ']', '}'},
    {0x41, 0x1E, 'a', 'A'}, {0x53, 0x1F, 's', 'S'}, {0x44, 0x20, 'd', 'D'},  {0x46, 0x21, 'f', 'F'},
    {0x47, 0x22, 'g', 'G'}, {0x48, 0x23, 'h', 'H'}, {0x4A, 0x24, 'j', 'J'},  {0x4B, 0x25, 'k', 'K'},
    {0x4C, 0x26, 'l', 'L'}, {0xBA, 0x27, ';', ':'}, {0xDE, 0x28, '\'', '"'}, {0xC0, 0x29, '`', '~'},
    {0x5A, 0x2C, 'z', 'Z'}, {0x58, 0x2D, 'x', 'X'}, {0x43, 0x2E, 'c', 'C'},  {0x56, 0x2F, 'v', 'V'},
    {0x42, 0x30, 'b', 'B'}, {0x4E, 0x31, 'n', 'N'}, {0x4D, 0x32, 'm', 'M'},  {0xBC, 0x33, ',', '<'},
    {0xBE, 0x34, '.', '>'}, {0xBF, 0x35, '/', '?'},
};

// What MapVirtualKey and VkKeyScan answer on Windows with a US layout, for
// the keys these tests press.
class WindowsUsKeyMap final : public KeyMap {
 public:
  uint32_t VirtualKeyToChar(uint32_t vk) const override {
    if (const TypingKey* key = Find(vk)) return Upper(key->plain);
    if (vk >= 0x60 && vk <= 0x69) return '0' + (vk - 0x60);  // keypad digits
    switch (vk) {
      case 0x08:
      case 0x09:
      case 0x0D:
      case 0x1B: return vk;
      case 0x20: return ' ';
      case 0x6A: return '*';
      case 0x6B: return '+';
      case 0x6D: return '-';
      case 0x6E: return '.';
      case 0x6F: return '/';
      case 0xDC: return '\\';
      default: return 0;
    }
  }

  uint32_t VirtualKeyToScan(uint32_t vk) const override {
    if (const TypingKey* key = Find(vk)) return key->scan;
    if (vk >= 0x70 && vk <= 0x79) return 0x3B + (vk - 0x70);  // F1-F10
    static constexpr uint8_t kScans[][2] = {
        {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C}, {0x1B, 0x01}, {0x20, 0x39}, {0x10, 0x2A},
        {0x11, 0x1D}, {0x12, 0x38}, {0x14, 0x3A}, {0x0C, 0x4C}, {0x24, 0x47}, {0x26, 0x48},
        {0x21, 0x49}, {0x25, 0x4B}, {0x27, 0x4D}, {0x23, 0x4F}, {0x28, 0x50}, {0x22, 0x51},
        {0x2D, 0x52}, {0x2E, 0x53}, {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51},
        {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D}, {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49},
        {0x6A, 0x37}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0x35}, {0x7A, 0x57},
        {0x7B, 0x58}, {0xDC, 0x2B}, {0x90, 0x45}, {0x5B, 0x5B},
    };
    for (const auto& pair : kScans) {
      if (pair[0] == vk) return pair[1];
    }
    return 0;
  }

  int16_t CharToVirtualKey(uint8_t character) const override {
    for (const TypingKey& key : kTypingKeys) {
      if (key.plain == character) return key.vk;
      if (key.shifted == character) return static_cast<int16_t>(0x100 | key.vk);
    }
    if (character == 0x00) return 0x0332;  // Ctrl+Shift+2
    if (character >= 0x01 && character <= 0x1A) return static_cast<int16_t>(0x240 | character);
    return -1;
  }

 private:
  static const TypingKey* Find(uint32_t vk) {
    for (const TypingKey& key : kTypingKeys) {
      if (key.vk == vk) return &key;
    }
    return nullptr;
  }
  static uint32_t Upper(uint8_t c) { return c >= 'a' && c <= 'z' ? c - 32u : c; }
};

const WindowsUsKeyMap kWindowsUs;

// --- Decoding, on both layouts -------------------------------------------------

struct DecodeCase {
  const char* what;
  KeyEvent event;
  int code;
};

class KeyCodesDecode : public ::testing::TestWithParam<const KeyMap*> {
 protected:
  void ExpectCodes(const std::vector<DecodeCase>& cases) const {
    for (const DecodeCase& c : cases) {
      EXPECT_EQ(DecodeKey(c.event, *GetParam()), c.code) << c.what;
    }
  }
};

// No prefix: the tests are named KeyCodesDecode.<test>/<layout>.
INSTANTIATE_TEST_SUITE_P(, KeyCodesDecode, ::testing::Values(&UsKeyMap(), &kWindowsUs),
                         [](const ::testing::TestParamInfo<const KeyMap*>& layout) {
                           return std::string(layout.index == 0 ? "UsKeyMap" : "WindowsUs");
                         });

// The modifier states that select the Ctrl and Alt columns: either hand's
// key, and the modifiers that come later in the order Alt, Ctrl, Shift.
constexpr uint32_t kCtrlStates[] = {kLeftCtrlPressed, kRightCtrlPressed,
                                    kLeftCtrlPressed | kShiftPressed};
constexpr uint32_t kAltStates[] = {kLeftAltPressed, kRightAltPressed,
                                   kLeftAltPressed | kLeftCtrlPressed | kShiftPressed};

struct ColumnCase {
  const char* key;
  uint16_t vk;
  uint16_t scan;
  uint32_t extra_state;  // ENHANCED_KEY for the cursor block
  int none, shift, ctrl, alt;
};

// Presses the key without a character under each modifier column.
void ExpectColumns(const ColumnCase& c, const KeyMap& map) {
  SCOPED_TRACE(c.key);
  auto decode = [&](uint32_t state) {
    return DecodeKey(Down(c.vk, c.scan, 0, c.extra_state | state), map);
  };
  EXPECT_EQ(decode(0), c.none) << "no modifier";
  EXPECT_EQ(decode(kShiftPressed), c.shift) << "Shift";
  for (uint32_t s : kCtrlStates) EXPECT_EQ(decode(s), c.ctrl) << "Ctrl, state " << s;
  for (uint32_t s : kAltStates) EXPECT_EQ(decode(s), c.alt) << "Alt, state " << s;
}

TEST_P(KeyCodesDecode, EnhancedKeysWithoutCharacterInEveryColumn) {
  const ColumnCase cases[] = {
      {"keypad Enter", 0x0D, 0x1C, kEnhancedKey, 13, 13, 10, 0xA6FF},
      {"keypad /", 0x6F, 0x35, kEnhancedKey, '/', '?', 0x95FF, 0xA4FF},
      {"Home", 0x24, 0x47, kEnhancedKey, kKeyHome, kKeyHome, 0x77FF, 0x97FF},
      {"Up", 0x26, 0x48, kEnhancedKey, kKeyUp, kKeyUp, 0x8DFF, 0x98FF},
      {"Page Up", 0x21, 0x49, kEnhancedKey, kKeyPageUp, kKeyPageUp, 0x84FF, 0x99FF},
      {"Left", 0x25, 0x4B, kEnhancedKey, kKeyLeft, kKeyLeft, 0x73FF, 0x9BFF},
      {"Right", 0x27, 0x4D, kEnhancedKey, kKeyRight, kKeyRight, 0x74FF, 0x9DFF},
      {"End", 0x23, 0x4F, kEnhancedKey, kKeyEnd, kKeyEnd, 0x75FF, 0x9FFF},
      {"Down", 0x28, 0x50, kEnhancedKey, kKeyDown, kKeyDown, 0x91FF, 0xA0FF},
      {"Page Down", 0x22, 0x51, kEnhancedKey, kKeyPageDown, kKeyPageDown, 0x76FF, 0xA1FF},
      {"Insert", 0x2D, 0x52, kEnhancedKey, kKeyInsert, kKeyInsert, 0x92FF, 0xA2FF},
      {"Delete", 0x2E, 0x53, kEnhancedKey, kKeyDelete, kKeyDelete, 0x93FF, 0xA3FF},
  };
  for (const ColumnCase& c : cases) ExpectColumns(c, *GetParam());
}

TEST_P(KeyCodesDecode, FunctionKeysInEveryColumn) {
  const ColumnCase cases[] = {
      {"F1", 0x70, 0x3B, 0, 0x3BFF, 0x54FF, 0x5EFF, 0x68FF},
      {"F2", 0x71, 0x3C, 0, 0x3CFF, 0x55FF, 0x5FFF, 0x69FF},
      {"F3", 0x72, 0x3D, 0, 0x3DFF, 0x56FF, 0x60FF, 0x6AFF},
      {"F4", 0x73, 0x3E, 0, 0x3EFF, 0x57FF, 0x61FF, kCloseKeyCode},
      {"F5", 0x74, 0x3F, 0, 0x3FFF, 0x58FF, 0x62FF, 0x6CFF},
      {"F6", 0x75, 0x40, 0, 0x40FF, 0x59FF, 0x63FF, 0x6DFF},
      {"F7", 0x76, 0x41, 0, 0x41FF, 0x5AFF, 0x64FF, 0x6EFF},
      {"F8", 0x77, 0x42, 0, 0x42FF, 0x5BFF, 0x65FF, 0x6FFF},
      {"F9", 0x78, 0x43, 0, 0x43FF, 0x5CFF, 0x66FF, 0x70FF},
      {"F10", 0x79, 0x44, 0, 0x44FF, 0x5DFF, 0x67FF, 0x71FF},
      {"F11", 0x7A, 0x57, 0, 0x85FF, 0x87FF, 0x89FF, 0x8BFF},
      {"F12", 0x7B, 0x58, 0, 0x86FF, 0x88FF, 0x8AFF, 0x8CFF},
  };
  for (const ColumnCase& c : cases) ExpectColumns(c, *GetParam());
}

// Num Lock off: the keypad sends the cursor keys' virtual keys, without
// ENHANCED_KEY, and no character.
TEST_P(KeyCodesDecode, KeypadWithNumLockOffGivesCursorCodes) {
  const ColumnCase cases[] = {
      {"keypad 7", 0x24, 0x47, 0, kKeyHome, kNoKeyCode, 0x77FF, kNoKeyCode},
      {"keypad 8", 0x26, 0x48, 0, kKeyUp, kNoKeyCode, 0x8DFF, kNoKeyCode},
      {"keypad 9", 0x21, 0x49, 0, kKeyPageUp, kNoKeyCode, 0x84FF, kNoKeyCode},
      {"keypad 4", 0x25, 0x4B, 0, kKeyLeft, kNoKeyCode, 0x73FF, kNoKeyCode},
      {"keypad 5", 0x0C, 0x4C, 0, 0x4CFF, kNoKeyCode, 0x8FFF, 0x9CFF},
      {"keypad 6", 0x27, 0x4D, 0, kKeyRight, kNoKeyCode, 0x74FF, kNoKeyCode},
      {"keypad 1", 0x23, 0x4F, 0, kKeyEnd, kNoKeyCode, 0x75FF, kNoKeyCode},
      {"keypad 2", 0x28, 0x50, 0, kKeyDown, kNoKeyCode, 0x91FF, kNoKeyCode},
      {"keypad 3", 0x22, 0x51, 0, kKeyPageDown, kNoKeyCode, 0x76FF, kNoKeyCode},
      {"keypad 0", 0x2D, 0x52, 0, kKeyInsert, kNoKeyCode, 0x92FF, kNoKeyCode},
      {"keypad .", 0x2E, 0x53, 0, kKeyDelete, kNoKeyCode, 0x93FF, kNoKeyCode},
  };
  for (const ColumnCase& c : cases) ExpectColumns(c, *GetParam());
}

TEST_P(KeyCodesDecode, KeypadWithNumLockOnGivesCharacters) {
  std::vector<DecodeCase> cases;
  for (uint16_t digit = 0; digit <= 9; ++digit) {
    const uint16_t vk = static_cast<uint16_t>(kVkNumpad0 + digit);
    const auto ch = static_cast<uint8_t>('0' + digit);
    const uint16_t scan = static_cast<uint16_t>(GetParam()->VirtualKeyToScan(vk));
    cases.push_back({"keypad digit", Down(vk, scan, ch, kNumLockOn), ch});
    cases.push_back({"Shift+keypad digit", Down(vk, scan, ch, kShiftPressed), ch});
  }
  cases.push_back({"keypad .", Down(0x6E, 0x53, '.', kNumLockOn), '.'});
  cases.push_back({"keypad *", Down(0x6A, 0x37, '*', kNumLockOn), '*'});
  cases.push_back({"keypad -", Down(0x6D, 0x4A, '-', kNumLockOn), '-'});
  cases.push_back({"keypad +", Down(0x6B, 0x4E, '+', kNumLockOn), '+'});
  cases.push_back({"Alt+keypad *", Down(0x6A, 0x37, '*', kLeftAltPressed), '*'});
  cases.push_back({"Alt+keypad -", Down(0x6D, 0x4A, '-', kLeftAltPressed), '-'});
  cases.push_back({"Alt+keypad +", Down(0x6B, 0x4E, '+', kLeftAltPressed), '+'});
  cases.push_back({"Ctrl+keypad *", Down(0x6A, 0x37, '*', kLeftCtrlPressed), '*'});
  cases.push_back({"keypad Enter", Down(0x0D, 0x1C, 13, kEnhancedKey), 13});
  cases.push_back({"Ctrl+keypad Enter", Down(0x0D, 0x1C, 10, kEnhancedKey | kLeftCtrlPressed), 10});
  cases.push_back({"keypad /", Down(0x6F, 0x35, '/', kEnhancedKey), '/'});
  ExpectCodes(cases);
}

// Alt with a key whose character is the key's own (either case) is extended:
// its scan code in the high byte.
TEST_P(KeyCodesDecode, AltWithMainKeysGivesExtendedCodes) {
  for (const TypingKey& key : kTypingKeys) {
    const int expected = key.scan * 256 + 255;
    const uint8_t lower = key.plain;
    const uint8_t upper = key.plain >= 'a' && key.plain <= 'z' ? key.shifted : key.plain;
    SCOPED_TRACE(std::string(1, static_cast<char>(key.plain)));
    EXPECT_EQ(DecodeKey(Down(key.vk, key.scan, lower, kLeftAltPressed), *GetParam()), expected);
    EXPECT_EQ(DecodeKey(Down(key.vk, key.scan, upper, kRightAltPressed), *GetParam()), expected);
    EXPECT_EQ(
        DecodeKey(Down(key.vk, key.scan, upper, kLeftAltPressed | kShiftPressed), *GetParam()),
        expected);
  }
  ExpectCodes({
      {"Alt+Escape", Down(0x1B, 0x01, 0x1B, kLeftAltPressed), 0x01FF},
      {"Alt+Backspace", Down(0x08, 0x0E, 0x08, kLeftAltPressed), 0x0EFF},
      {"Alt+Tab", Down(0x09, 0x0F, 0x09, kLeftAltPressed), 0xA5FF},
      {"Alt+Enter", Down(0x0D, 0x1C, 0x0D, kLeftAltPressed), 0x1CFF},
      {"Alt+Shift+1 gives !, not the key's own",
       Down(0x31, 0x02, '!', kLeftAltPressed | kShiftPressed), '!'},
      {"Alt+space stays a space", Down(0x20, 0x39, ' ', kLeftAltPressed), ' '},
      {"Alt+backslash stays a backslash", Down(0xDC, 0x2B, '\\', kLeftAltPressed), '\\'},
      {"Alt+keypad Enter", Down(0x0D, 0x1C, 0x0D, kLeftAltPressed | kEnhancedKey), 0x1CFF},
  });
}

TEST_P(KeyCodesDecode, TabAndCharacterKeys) {
  ExpectCodes({
      {"Tab", Down(0x09, 0x0F, 9), 9},
      {"Shift+Tab", Down(0x09, 0x0F, 9, kShiftPressed), 0x0FFF},
      {"Ctrl+Tab", Down(0x09, 0x0F, 9, kLeftCtrlPressed), 0x94FF},
      {"Ctrl+Tab without a character", Down(0x09, 0x0F, 0, kLeftCtrlPressed), kNoKeyCode},
      {"a", Down(0x41, 0x1E, 'a'), 'a'},
      {"Shift+a", Down(0x41, 0x1E, 'A', kShiftPressed), 'A'},
      {"a with Caps Lock", Down(0x41, 0x1E, 'A', kCapsLockOn), 'A'},
      {"1", Down(0x31, 0x02, '1'), '1'},
      {"Shift+1", Down(0x31, 0x02, '!', kShiftPressed), '!'},
      {"Shift+backslash", Down(0xDC, 0x2B, '|', kShiftPressed), '|'},
      {"space", Down(0x20, 0x39, ' '), ' '},
      {"Backspace", Down(0x08, 0x0E, 8), 8},
      {"Enter", Down(0x0D, 0x1C, 13), 13},
      {"Escape", Down(0x1B, 0x01, 27), 27},
      {"a Windows-1251 letter", Down(0xDE, 0x28, 0xFD), 0xFD},
  });
}

TEST_P(KeyCodesDecode, CtrlKeysGiveControlCharacters) {
  ExpectCodes({
      {"Ctrl+A", Down(0x41, 0x1E, 0x01, kLeftCtrlPressed), 1},
      {"Ctrl+H", Down(0x48, 0x23, 0x08, kLeftCtrlPressed), 8},
      {"Ctrl+I", Down(0x49, 0x17, 0x09, kLeftCtrlPressed), 9},
      {"Ctrl+J", Down(0x4A, 0x24, 0x0A, kLeftCtrlPressed), 10},
      {"Ctrl+M", Down(0x4D, 0x32, 0x0D, kRightCtrlPressed), 13},
      {"Ctrl+Z", Down(0x5A, 0x2C, 0x1A, kLeftCtrlPressed), 26},
      {"Ctrl+[", Down(0xDB, 0x1A, 0x1B, kLeftCtrlPressed), 27},
      {"Ctrl+Shift+H", Down(0x48, 0x23, 0x08, kLeftCtrlPressed | kShiftPressed), 8},
      {"Ctrl+Backspace", Down(0x08, 0x0E, 0x7F, kLeftCtrlPressed), 127},
      {"Ctrl+Enter", Down(0x0D, 0x1C, 0x0A, kLeftCtrlPressed), 10},
      {"Ctrl+2 without a character", Down(0x32, 0x03, 0, kLeftCtrlPressed), kNoKeyCode},
      {"Ctrl+2 with its own character", Down(0x32, 0x03, '2', kLeftCtrlPressed), 0x03FF},
      {"Ctrl+Shift+2", Down(0x32, 0x03, 0, kLeftCtrlPressed | kShiftPressed), kNoKeyCode},
  });
}

// AltGr is reported as right Alt plus left Ctrl.  Records of a German layout.
TEST_P(KeyCodesDecode, AltGrCharacterPassesAsTyped) {
  constexpr uint32_t kAltGr = kRightAltPressed | kLeftCtrlPressed;
  ExpectCodes({
      {"AltGr+Q is @", Down(0x51, 0x10, '@', kAltGr), '@'},
      {"AltGr+7 is {", Down(0x37, 0x08, '{', kAltGr), '{'},
      {"AltGr+E is the euro sign", Down(0x45, 0x12, 0x88, kAltGr), 0x88},
      {"AltGr giving the key's own letter", Down(0x51, 0x10, 'q', kAltGr), 0x10FF},
  });
}

TEST_P(KeyCodesDecode, KeysWithoutMeaningGiveNoCode) {
  ExpectCodes({
      {"Shift alone", Down(0x10, 0x2A, 0, kShiftPressed), kNoKeyCode},
      {"right Shift alone", Down(0x10, 0x36, 0, kShiftPressed), kNoKeyCode},
      {"Ctrl alone", Down(0x11, 0x1D, 0, kLeftCtrlPressed), kNoKeyCode},
      {"right Ctrl alone", Down(0x11, 0x1D, 0, kRightCtrlPressed | kEnhancedKey), kNoKeyCode},
      {"Alt alone", Down(0x12, 0x38, 0, kLeftAltPressed), kNoKeyCode},
      {"right Alt alone", Down(0x12, 0x38, 0, kRightAltPressed | kEnhancedKey), kNoKeyCode},
      {"Caps Lock", Down(0x14, 0x3A, 0, kCapsLockOn), kNoKeyCode},
      {"Num Lock", Down(0x90, 0x45, 0, kEnhancedKey | kNumLockOn), kNoKeyCode},
      {"Alt+keypad 6, Num Lock on", Down(0x66, 0x4D, 0, kLeftAltPressed | kNumLockOn), kNoKeyCode},
      {"no key at all", Down(0, 0, 0), kNoKeyCode},
  });
}

// A character that Windows-1251 lacks is a code of its own, whatever the
// key's modifiers and table entries; its key going up gives nothing.
TEST_P(KeyCodesDecode, CharacterOutsideWindows1251) {
  auto outside = [](KeyEvent event) {
    event.outside_cp1251 = true;
    return event;
  };
  ExpectCodes({
      {"a-umlaut key", outside(Down(0xDE, 0x28, 0)), kCharacterOutsideCp1251},
      {"with Alt", outside(Down(0x41, 0x1E, 0, kLeftAltPressed)), kCharacterOutsideCp1251},
      {"with AltGr", outside(Down(0x45, 0x12, 0, kRightAltPressed | kLeftCtrlPressed)),
       kCharacterOutsideCp1251},
      {"pasted (no key)", outside(Down(0, 0, 0)), kCharacterOutsideCp1251},
      {"key up", outside(Up(0xDE, 0x28, 0)), kNoKeyCode},
  });
}

TEST_P(KeyCodesDecode, ScansBeyondTheMainTableGiveTheirCharacter) {
  ExpectCodes({
      {"Windows key, enhanced", Down(0x5B, 0x5B, 0, kEnhancedKey), kNoKeyCode},
      {"scan 0x59 without a character", Down(0, 0x59, 0), kNoKeyCode},
      {"scan 0x59 with a character", Down(0, 0x59, 'x'), 'x'},
      {"scan 0x70 with Alt and its key's character", Down(0x41, 0x70, 'a', kLeftAltPressed), 'a'},
      {"enhanced scan 0x60 with a character", Down(0, 0x60, 'y', kEnhancedKey), 'y'},
  });
}

TEST_P(KeyCodesDecode, OnlyKeyDownWithRepeatsGivesACode) {
  KeyEvent repeated = Down(0x41, 0x1E, 'a');
  repeated.repeat_count = 5;
  KeyEvent no_repeat = Down(0x41, 0x1E, 'a');
  no_repeat.repeat_count = 0;
  ExpectCodes({
      {"repeated once per record", repeated, 'a'},
      {"repeat count 0", no_repeat, kNoKeyCode},
      {"key up", Up(0x41, 0x1E, 'a'), kNoKeyCode},
      {"key up of Home", Up(0x24, 0x47, 0, kEnhancedKey), kNoKeyCode},
  });
}

// The code the control handler queues for a closed window.
TEST_P(KeyCodesDecode, CloseKeyIsAltF4) {
  EXPECT_EQ(DecodeKey(Down(0x73, 0x3E, 0, kLeftAltPressed), *GetParam()), kCloseKeyCode);
}

// --- Records built by the terminal device -----------------------------------

// The terminal device types a character with the key and shift state the US
// layout gives for it (Alt added for an ESC prefix); a byte on no key gets
// virtual key 0 and scan 0.
KeyEvent TerminalRecord(uint8_t character, uint32_t extra_state = 0) {
  const KeyMap& map = UsKeyMap();
  const int16_t typed = map.CharToVirtualKey(character);
  if (typed < 0) return Down(0, 0, character, extra_state);
  const auto bits = static_cast<uint16_t>(typed);
  uint32_t state = extra_state;
  if ((bits & 0x100) != 0) state |= kShiftPressed;
  if ((bits & 0x200) != 0) state |= kLeftCtrlPressed;
  const auto vk = static_cast<uint16_t>(bits & 0xFF);
  return Down(vk, static_cast<uint16_t>(map.VirtualKeyToScan(vk)), character, state);
}

TEST(KeyCodesTerminalRecord, TypedBytesPassAsThemselves) {
  for (int c = 0x01; c <= 0xFF; ++c) {
    const auto character = static_cast<uint8_t>(c);
    EXPECT_EQ(DecodeKey(TerminalRecord(character), UsKeyMap()), c) << "byte " << c;
  }
  // NUL is Ctrl+Shift+2, whose key is not its own character.
  EXPECT_EQ(DecodeKey(TerminalRecord(0), UsKeyMap()), kNoKeyCode);
}

// With Alt, a key's own character (a letter in either case, a digit, or an
// unshifted sign) becomes the key's extended code; Shift signs, the space,
// the backslash key and bytes on no key stay characters.
TEST(KeyCodesTerminalRecord, AltPrefixedCharacters) {
  const std::string extended =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-=[];',./`";
  for (int c = 0x20; c <= 0xFF; ++c) {
    if (c == 0x7F) continue;
    const KeyEvent event = TerminalRecord(static_cast<uint8_t>(c), kLeftAltPressed);
    const bool own = extended.find(static_cast<char>(c)) != std::string::npos;
    const int expected = own ? event.scan_code * 256 + 255 : c;
    EXPECT_EQ(DecodeKey(event, UsKeyMap()), expected) << "Alt+byte " << c;
  }
  EXPECT_EQ(DecodeKey(TerminalRecord('a', kLeftAltPressed), UsKeyMap()), 0x1EFF);
  EXPECT_EQ(DecodeKey(TerminalRecord('/', kLeftAltPressed), UsKeyMap()), 0x35FF);
}

// --- Alt-number entry ----------------------------------------------------------

constexpr uint32_t kAltAlone = kLeftAltPressed | kNumLockOn;

KeyEvent AltDown() { return Down(kVkMenu, 0x38, 0, kAltAlone); }
// Windows puts the composed character on the Alt release; it is not used.
KeyEvent AltUp(uint8_t character = 0) { return Up(kVkMenu, 0x38, character, kNumLockOn); }

KeyEvent PadDown(int digit, uint32_t state = kAltAlone, uint8_t character = 0) {
  const auto vk = static_cast<uint16_t>(kVkNumpad0 + digit);
  return Down(vk, static_cast<uint16_t>(UsKeyMap().VirtualKeyToScan(vk)), character, state);
}

KeyEvent PadUp(int digit, uint32_t state = kAltAlone) {
  KeyEvent event = PadDown(digit, state);
  event.key_down = false;
  return event;
}

class KeyCodesHandle : public ::testing::Test {
 protected:
  // Handles the events in order; returns the codes they queued.
  std::vector<int> Press(const std::vector<KeyEvent>& events) {
    std::vector<int> codes;
    for (const KeyEvent& event : events) input_->Handle(event, &codes);
    return codes;
  }

  // Alt held while `digits` are tapped on the keypad; Alt stays down.
  std::vector<int> HoldAltAndTap(const std::string& digits) {
    std::vector<KeyEvent> events = {AltDown()};
    for (char d : digits) {
      events.push_back(PadDown(d - '0'));
      events.push_back(PadUp(d - '0'));
    }
    return Press(events);
  }

  void Reset() { input_.emplace(UsKeyMap()); }

  std::optional<KeyCodes> input_{std::in_place, UsKeyMap()};
};

struct ComposeCase {
  const char* digits;
  uint32_t value;          // the value while Alt is still held
  std::vector<int> codes;  // queued when Alt is released
};

TEST_F(KeyCodesHandle, ComposesTheValueModulo256WhenAltIsReleased) {
  const ComposeCase cases[] = {
      {"65", 65, {'A'}},
      {"97", 97, {'a'}},
      {"0065", 65, {'A'}},
      {"233", 233, {233}},  // on no key of the layout
      {"10", 10, {10}},
      {"256", 256, {0}},
      {"1000", 1000, {232}},
      // 4294967362 = 2^32 + 66: the value wraps.
      {"4294967362", 66, {'B'}},
      {"0", 0, {}},
      {"", 0, {}},
  };
  for (const ComposeCase& c : cases) {
    SCOPED_TRACE(c.digits);
    Reset();
    EXPECT_TRUE(HoldAltAndTap(c.digits).empty());
    EXPECT_EQ(input_->alt_number(), c.value);
    EXPECT_EQ(Press({AltUp(static_cast<uint8_t>(c.value))}), c.codes);
    EXPECT_EQ(input_->alt_number(), 0u);
  }
}

TEST_F(KeyCodesHandle, ComposesTheSameWithTheSystemsKeyMap) {
  KeyCodes windows(kWindowsUs);
  std::vector<int> queued;
  // Alt+3, 3 is '!', which the layout types as Shift+1.
  for (const KeyEvent& event : {AltDown(), PadDown(3), PadDown(3), AltUp()}) {
    windows.Handle(event, &queued);
  }
  EXPECT_EQ(queued, std::vector<int>{'!'});
}

TEST_F(KeyCodesHandle, KeyWithACodeEndsTheCompositionAndIsQueued) {
  HoldAltAndTap("6");
  EXPECT_EQ(Press({Down(0x41, 0x1E, 'a', kAltAlone)}), std::vector<int>{0x1EFF});
  EXPECT_EQ(input_->alt_number(), 0u);
  HoldAltAndTap("5");
  EXPECT_EQ(Press({AltUp()}), std::vector<int>{5});
}

TEST_F(KeyCodesHandle, KeyWithoutACodeKeepsTheCompositionWhileAltIsAlone) {
  HoldAltAndTap("6");
  KeyEvent alt_repeat = AltDown();
  alt_repeat.repeat_count = 3;
  EXPECT_TRUE(Press({alt_repeat, Down(0x14, 0x3A, 0, kAltAlone | kCapsLockOn)}).empty());
  EXPECT_EQ(input_->alt_number(), 6u);
  EXPECT_EQ(HoldAltAndTap("5"), std::vector<int>{});
  EXPECT_EQ(Press({AltUp()}), std::vector<int>{'A'});
}

TEST_F(KeyCodesHandle, KeyWithoutACodeAndAnotherModifierQueuesTheValue) {
  HoldAltAndTap("6");
  EXPECT_EQ(Press({Down(kVkShift, 0x2A, 0, kAltAlone | kShiftPressed)}), std::vector<int>{6});
  EXPECT_EQ(input_->alt_number(), 0u);
  EXPECT_TRUE(Press({Up(kVkShift, 0x2A, 0, kAltAlone), AltUp()}).empty());
}

TEST_F(KeyCodesHandle, KeypadDigitWithCtrlOrShiftAlsoHeldDoesNotAccumulate) {
  const uint32_t kCtrlAlt = kAltAlone | kLeftCtrlPressed;
  const uint32_t kShiftAlt = kAltAlone | kShiftPressed;
  EXPECT_TRUE(Press({PadDown(6, kCtrlAlt), PadUp(6, kCtrlAlt)}).empty());
  EXPECT_TRUE(Press({PadDown(6, kShiftAlt), PadUp(6, kShiftAlt)}).empty());
  EXPECT_EQ(input_->alt_number(), 0u);
  // Under way, such a digit ends the composition like any key without a code.
  HoldAltAndTap("6");
  EXPECT_EQ(Press({PadDown(5, kCtrlAlt)}), std::vector<int>{6});
  EXPECT_EQ(input_->alt_number(), 0u);
}

TEST_F(KeyCodesHandle, ReleaseEndsTheCompositionOnlyWhenAltIsNoLongerAlone) {
  HoldAltAndTap("7");
  EXPECT_TRUE(Press({Up(kVkMenu, 0x38, 0, kRightAltPressed)}).empty()) << "the other Alt held";
  EXPECT_EQ(Press({PadUp(7, kAltAlone | kLeftCtrlPressed)}), std::vector<int>{7});
  EXPECT_TRUE(Press({AltUp()}).empty());
}

TEST_F(KeyCodesHandle, KeypadDigitWithACharacterIsQueuedAsWell) {
  EXPECT_EQ(Press({AltDown(), PadDown(6, kAltAlone, '6')}), std::vector<int>{'6'});
  EXPECT_EQ(input_->alt_number(), 6u);
  EXPECT_EQ(Press({AltUp()}), std::vector<int>{6});
}

TEST_F(KeyCodesHandle, OrdinaryKeysAreQueued) {
  KeyEvent no_repeat = Down(0x42, 0x30, 'b');
  no_repeat.repeat_count = 0;
  KeyEvent pad_no_repeat = PadDown(4);
  pad_no_repeat.repeat_count = 0;
  const std::vector<KeyEvent> events = {
      Down(0x41, 0x1E, 'a'),               // a
      Up(0x41, 0x1E, 'a'),                 // nothing
      no_repeat,                           // nothing
      Down(0x10, 0x2A, 0, kShiftPressed),  // nothing
      Down(0x24, 0x47, 0, kEnhancedKey),   // Home
      PadDown(4, kNumLockOn, '4'),         // 4, without Alt
      AltDown(),                           // nothing
      pad_no_repeat,                       // nothing, and no digit taken
  };
  EXPECT_EQ(Press(events), (std::vector<int>{'a', kKeyHome, '4'}));
  EXPECT_EQ(input_->alt_number(), 0u) << "a record with repeat count 0 is ignored";
}

}  // namespace
}  // namespace console
