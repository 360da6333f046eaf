// The fixed US layout answers as the Windows mapping calls do on a US
// keyboard layout.
#include <gtest/gtest.h>

#include <cstdint>

#include "console/key_event.h"
#include "console/key_map.h"
#include "console/testing/key_names.h"

namespace console {
namespace {

struct VirtualKeyCase {
  const char* key;
  uint32_t virtual_key;
  uint32_t character;  // MAPVK_VK_TO_CHAR
  uint32_t scan_code;  // MAPVK_VK_TO_VSC
};

constexpr VirtualKeyCase kVirtualKeys[] = {
    // Letters report their upper case.
    {"A", 0x41, 'A', 0x1E},
    {"M", 0x4D, 'M', 0x32},
    {"Q", 0x51, 'Q', 0x10},
    {"Z", 0x5A, 'Z', 0x2C},
    {"1", 0x31, '1', 0x02},
    {"0", 0x30, '0', 0x0B},
    {"semicolon", 0xBA, ';', 0x27},
    {"equals", 0xBB, '=', 0x0D},
    {"comma", 0xBC, ',', 0x33},
    {"minus", 0xBD, '-', 0x0C},
    {"full stop", 0xBE, '.', 0x34},
    {"slash", 0xBF, '/', 0x35},
    {"grave", 0xC0, '`', 0x29},
    {"[", 0xDB, '[', 0x1A},
    {"backslash", 0xDC, '\\', 0x2B},
    {"]", 0xDD, ']', 0x1B},
    {"apostrophe", 0xDE, '\'', 0x28},
    {"Backspace", 0x08, 0x08, 0x0E},
    {"Tab", 0x09, 0x09, 0x0F},
    {"Enter", 0x0D, 0x0D, 0x1C},
    {"Escape", 0x1B, 0x1B, 0x01},
    {"space", 0x20, ' ', 0x39},
    // The keypad digits (Num Lock on) share their scans with the cursor
    // keys of the keypad (Num Lock off).
    {"keypad 0", 0x60, '0', 0x52},
    {"keypad 1", 0x61, '1', 0x4F},
    {"keypad 5", 0x65, '5', 0x4C},
    {"keypad 7", 0x67, '7', 0x47},
    {"keypad 9", 0x69, '9', 0x49},
    {"keypad *", 0x6A, '*', 0x37},
    {"keypad +", 0x6B, '+', 0x4E},
    {"keypad -", 0x6D, '-', 0x4A},
    {"keypad .", 0x6E, '.', 0x53},
    {"keypad /", 0x6F, '/', 0x35},
    {"keypad 5, Num Lock off", 0x0C, 0, 0x4C},
    {"Home", 0x24, 0, 0x47},
    {"End", 0x23, 0, 0x4F},
    {"Page Up", 0x21, 0, 0x49},
    {"Page Down", 0x22, 0, 0x51},
    {"Left", 0x25, 0, 0x4B},
    {"Up", 0x26, 0, 0x48},
    {"Right", 0x27, 0, 0x4D},
    {"Down", 0x28, 0, 0x50},
    {"Insert", 0x2D, 0, 0x52},
    {"Delete", 0x2E, 0, 0x53},
    {"F1", 0x70, 0, 0x3B},
    {"F4", 0x73, 0, 0x3E},
    {"F10", 0x79, 0, 0x44},
    {"F11", 0x7A, 0, 0x57},
    {"F12", 0x7B, 0, 0x58},
    {"Shift", 0x10, 0, 0x2A},
    {"Ctrl", 0x11, 0, 0x1D},
    {"Alt", 0x12, 0, 0x38},
    {"Caps Lock", 0x14, 0, 0x3A},
    {"Num Lock", 0x90, 0, 0x45},
    {"right Shift", 0xA1, 0, 0x36},
    {"no such key", 0xFF, 0, 0},
    {"no key", 0x00, 0, 0},
};

TEST(UsKeyMap, VirtualKeyToCharAndScan) {
  const KeyMap& map = UsKeyMap();
  for (const VirtualKeyCase& c : kVirtualKeys) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(map.VirtualKeyToChar(c.virtual_key), c.character);
    EXPECT_EQ(map.VirtualKeyToScan(c.virtual_key), c.scan_code);
  }
}

TEST(UsKeyMap, EveryLetterAndDigitKeyGivesItsOwnCharacter) {
  const KeyMap& map = UsKeyMap();
  for (uint32_t vk = 'A'; vk <= 'Z'; ++vk) EXPECT_EQ(map.VirtualKeyToChar(vk), vk);
  for (uint32_t vk = '0'; vk <= '9'; ++vk) EXPECT_EQ(map.VirtualKeyToChar(vk), vk);
  for (uint32_t vk = 0x60; vk <= 0x69; ++vk) {
    EXPECT_EQ(map.VirtualKeyToChar(vk), '0' + (vk - 0x60));
  }
  for (uint32_t vk = 0x70; vk <= 0x7B; ++vk) EXPECT_EQ(map.VirtualKeyToChar(vk), 0u);
}

struct CharCase {
  const char* what;
  uint8_t character;
  int16_t typed;  // VkKeyScanA: shift state << 8 | virtual key
};

constexpr CharCase kChars[] = {
    {"a", 'a', 0x0041},
    {"A", 'A', 0x0141},
    {"z", 'z', 0x005A},
    {"1", '1', 0x0031},
    {"!", '!', 0x0131},
    {"@", '@', 0x0132},
    {"space", ' ', 0x0020},
    {"tilde", '~', 0x01C0},
    {"backslash", '\\', 0x00DC},
    {"bar", '|', 0x01DC},
    {"double quote", '"', 0x01DE},
    // A character that the main keyboard and the keypad both give belongs
    // to the main keyboard.
    {"* (Shift+8, not keypad *)", '*', 0x0138},
    {"+ (Shift+=, not keypad +)", '+', 0x01BB},
    {"- (not keypad -)", '-', 0x00BD},
    {". (not keypad .)", '.', 0x00BE},
    {"/ (not keypad /)", '/', 0x00BF},
    {"7 (not keypad 7)", '7', 0x0037},
    // Keys whose own character is a control character.
    {"backspace", 0x08, 0x0008},
    {"tab", 0x09, 0x0009},
    {"carriage return", 0x0D, 0x000D},
    {"escape", 0x1B, 0x001B},
    // Control characters typed with Ctrl (and Shift).
    {"Ctrl+A", 0x01, 0x0241},
    {"Ctrl+C", 0x03, 0x0243},
    {"Ctrl+Z", 0x1A, 0x025A},
    {"line feed is Ctrl+Enter", 0x0A, 0x020D},
    {"Ctrl+backslash", 0x1C, 0x02DC},
    {"Ctrl+]", 0x1D, 0x02DD},
    {"Ctrl+Shift+6", 0x1E, 0x0336},
    {"Ctrl+Shift+minus", 0x1F, 0x03BD},
    {"Ctrl+Shift+2", 0x00, 0x0332},
    {"Ctrl+Backspace", 0x7F, 0x0208},
    // Bytes from 0x80 up are on no key of the layout.
    {"0x80", 0x80, -1},
    {"0xC0", 0xC0, -1},
    {"0xE9", 0xE9, -1},
    {"0xFF", 0xFF, -1},
};

TEST(UsKeyMap, CharToVirtualKey) {
  const KeyMap& map = UsKeyMap();
  for (const CharCase& c : kChars) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(map.CharToVirtualKey(c.character), c.typed);
  }
}

// Typing a character the way the layout says gives that character back:
// the key's own character, its Shift character, or Ctrl+letter.
TEST(UsKeyMap, EveryPrintableAsciiCharacterIsTypedByAKeyThatGivesIt) {
  const KeyMap& map = UsKeyMap();
  for (int character = 0x20; character < 0x7F; ++character) {
    SCOPED_TRACE(character);
    const int16_t typed = map.CharToVirtualKey(static_cast<uint8_t>(character));
    ASSERT_GE(typed, 0);
    const uint32_t vk = static_cast<uint32_t>(typed) & 0xFFu;
    const uint32_t shift = static_cast<uint32_t>(typed) >> 8;
    EXPECT_LE(shift, 1u) << "printable characters need at most Shift";
    EXPECT_NE(map.VirtualKeyToScan(vk), 0u);
    const uint32_t own = map.VirtualKeyToChar(vk);
    if (character >= 'a' && character <= 'z') {
      EXPECT_EQ(shift, 0u);
      EXPECT_EQ(own, static_cast<uint32_t>(character - 'a' + 'A'));
    } else if (shift == 0) {
      EXPECT_EQ(own, static_cast<uint32_t>(character));
    }
  }
}

// The records of keys pressed alone, by name (key scripts) and by virtual
// key (the terminal's decoder): the cursor block and the keypad's divide are
// enhanced keys, the keypad's digits and the function keys are not.
TEST(UsKeyMap, KeyPressesByNameAndByVirtualKey) {
  struct PressCase {
    const char* name;
    KeyEvent key;
  };
  const PressCase cases[] = {
      {"Enter", KeyDown(0x0D, 0x1C, '\r', 0)},
      {"Esc", KeyDown(0x1B, 0x01, 0x1B, 0)},
      {"Space", KeyDown(0x20, 0x39, ' ', 0)},
      {"Home", KeyDown(0x24, 0x47, 0, kEnhancedKey)},
      {"Delete", KeyDown(0x2E, 0x53, 0, kEnhancedKey)},
      {"Divide", KeyDown(0x6F, 0x35, '/', kEnhancedKey)},
      {"Num7", KeyDown(0x67, 0x47, '7', 0)},
      {"F12", KeyDown(0x7B, 0x58, 0, 0)},
      {"Alt", KeyDown(0x12, 0x38, 0, 0)},
  };
  for (const PressCase& c : cases) {
    SCOPED_TRACE(c.name);
    KeyEvent expected = c.key;
    expected.control_state |= kShiftPressed;
    KeyEvent key;
    ASSERT_TRUE(NamedKeyPress(c.name, kShiftPressed, &key));
    EXPECT_EQ(key, expected);
    EXPECT_EQ(KeyPress(c.key.virtual_key, kShiftPressed), expected);
  }
  KeyEvent key;
  EXPECT_FALSE(NamedKeyPress("", 0, &key));
  EXPECT_FALSE(NamedKeyPress("A", 0, &key));  // character keys go by their character
  EXPECT_FALSE(NamedKeyPress("home", 0, &key));
  EXPECT_EQ(KeyPress(0xFF, kLeftAltPressed), KeyDown(0xFF, 0, 0, kLeftAltPressed));
}

}  // namespace
}  // namespace console
