// Keyboard line editing on one row of an 80-column console: key scripts
// typed after a prompt, checked by the line Enter returns, the row shown, the
// cursor and the tones.  Wrapping and scrolling on a narrow console are in
// line_reader_scroll_test.cc.
#include "console/line_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console/device.h"
#include "console/key_event.h"
#include "console/testing/rig.h"

namespace console {
namespace {

using Tones = std::vector<std::pair<int, int>>;

// The tone of Delete at the end of the line.
const Tones kOneTone = {{1000, 250}};

struct EditCase {
  const char* keys;
  const char* line;  // what Enter returns
  const char* row;   // the first row before Enter: "? " and the line
  int column;        // the cursor's column before Enter (0-based)
  int tones;         // tones of 1000 Hz for 250 ms
};

// Types the keys after "? " at the top of an 80 x 25 console, looks, then
// ends the line with Enter, which leaves the row alone and puts the cursor
// after the last character.
void CheckEdit(const EditCase& c) {
  SCOPED_TRACE(c.keys);
  Rig rig;
  EXPECT_EQ(rig.Edit("? ", {c.keys}), c.line);
  const Look& look = rig.looks().at(0);
  EXPECT_EQ(look.rows[0], c.row);
  EXPECT_EQ(look.rows[1], "");
  EXPECT_EQ(look.cursor, std::make_pair(c.column, 0));
  EXPECT_EQ(look.tones, Tones(static_cast<size_t>(c.tones), {1000, 250}));
  EXPECT_EQ(rig.device.WindowRows(), look.rows);
  EXPECT_EQ(rig.Cursor(), std::make_pair(2 + static_cast<int>(std::strlen(c.line)), 0));
}

TEST(LineReader, TypesAndMovesWithinTheLine) {
  const EditCase kCases[] = {
      {"abc", "abc", "? abc", 5, 0},
      {"abc{Left}{Left}X", "aXbc", "? aXbc", 4, 0},
      {"abc{Left}{Left}XY", "aXYbc", "? aXYbc", 5, 0},
      {"abc{Home}X", "Xabc", "? Xabc", 3, 0},
      {"abc{Home}{End}X", "abcX", "? abcX", 6, 0},
      {"abc{Home}{Right}X", "aXbc", "? aXbc", 4, 0},
      {"abc{Left}{Left}{End}", "abc", "? abc", 5, 0},
      {"abc{Home}", "abc", "? abc", 2, 0},
      // Shift with a cursor key is the key alone.
      {"abc{Shift+Left}X", "abXc", "? abXc", 5, 0},
      {"abc{Shift+Home}X", "Xabc", "? Xabc", 3, 0},
      // At the edges of the line the moves do nothing, silently; Up and
      // Down need a whole console width of line in their direction.
      {"{Left}", "", "?", 2, 0},
      {"{Right}", "", "?", 2, 0},
      {"ab{Right}", "ab", "? ab", 4, 0},
      {"ab{Home}{Left}", "ab", "? ab", 2, 0},
      {"ab{Up}", "ab", "? ab", 4, 0},
      {"ab{Down}", "ab", "? ab", 4, 0},
      {"ab{Left}{Up}{Down}", "ab", "? ab", 3, 0},
      {"{Home}{End}{Up}{Down}", "", "?", 2, 0},
  };
  for (const EditCase& c : kCases) CheckEdit(c);
}

TEST(LineReader, DeletesAndRedrawsTheRest) {
  const EditCase kCases[] = {
      // Delete takes the character under the cursor; at the end it sounds.
      {"ab{Delete}", "ab", "? ab", 4, 1},
      {"{Delete}", "", "?", 2, 1},
      {"abc{Left}{Left}{Delete}", "ac", "? ac", 3, 0},
      {"abc{Home}{Delete}", "bc", "? bc", 2, 0},
      {"abc{Home}{Delete}{Delete}{Delete}{Delete}", "", "?", 2, 1},
      {"abc{Left}{Delete}{Delete}", "ab", "? ab", 4, 1},
      // Backspace takes the character before it; at the start, nothing.
      {"abc{Backspace}", "ab", "? ab", 4, 0},
      {"abc{Left}{Backspace}", "ac", "? ac", 3, 0},
      {"abc{Backspace}{Backspace}{Backspace}", "", "?", 2, 0},
      {"{Backspace}", "", "?", 2, 0},
      {"abc{Home}{Backspace}", "abc", "? abc", 2, 0},
      {"abc{Backspace}d", "abd", "? abd", 5, 0},
      // Escape blanks the whole line and starts it again.
      {"abc{Esc}", "", "?", 2, 0},
      {"abc{Left}{Esc}", "", "?", 2, 0},
      {"abc{Home}{Esc}de", "de", "? de", 4, 0},
      {"{Esc}", "", "?", 2, 0},
      {"{Esc}x{Esc}{Esc}y", "y", "? y", 3, 0},
  };
  for (const EditCase& c : kCases) CheckEdit(c);
}

TEST(LineReader, ControlKeysActAsTheirEditingKeys) {
  const EditCase kCases[] = {
      {"abc{Ctrl+H}", "ab", "? ab", 4, 0},               // Backspace
      {"ab{Left}{Ctrl+H}", "b", "? b", 2, 0},            // Backspace
      {"{Ctrl+I}x", "        x", "?         x", 11, 0},  // Tab
      {"abc{Ctrl+[}d", "d", "? d", 3, 0},                // Escape
      // Ctrl+Backspace gives DEL, which is a character like any other.
      {"a{Ctrl+Backspace}b",
       "a\x7F"
       "b",
       "? a\x7F"
       "b",
       5, 0},
      {"{Ctrl+Backspace}", "\x7F", "? \x7F", 3, 0},
  };
  for (const EditCase& c : kCases) CheckEdit(c);
}

TEST(LineReader, InsertsCharactersOfTheUpperHalf) {
  const EditCase kCases[] = {
      // Windows-1251 letters arrive as their bytes and are shown as such.
      {"\xCF\xF0\xE8\xE2\xE5\xF2", "\xCF\xF0\xE8\xE2\xE5\xF2", "? \xCF\xF0\xE8\xE2\xE5\xF2", 8, 0},
      {"\xC0\xE1{Left}\xFF", "\xC0\xFF\xE1", "? \xC0\xFF\xE1", 4, 0},
      {"\x80\xA0", "\x80\xA0", "? \x80\xA0", 4, 0},
  };
  for (const EditCase& c : kCases) CheckEdit(c);
}

TEST(LineReader, CharacterOutsideWindows1251IsRefusedWithATone) {
  const EditCase kCases[] = {
      {"b{NotCp1251}r", "br", "? br", 4, 1},
      {"ab{Left}{NotCp1251}{NotCp1251}", "ab", "? ab", 3, 2},
  };
  for (const EditCase& c : kCases) CheckEdit(c);
}

TEST(LineReader, AltNumberEntryInsertsTheComposedCharacter) {
  const EditCase kCases[] = {
      {"{AltNum:65}", "A", "? A", 3, 0},
      {"x{AltNum:233}y", "x\xE9y", "? x\xE9y", 5, 0},
      {"ab{Left}{AltNum:49}", "a1b", "? a1b", 4, 0},
      // The value is taken mod 256: 256 gives code 0, which is ignored.
      {"x{AltNum:256}y", "xy", "? xy", 4, 0},
      {"{AltNum:321}", "A", "? A", 3, 0},
      // A composed code is a key code like a typed one: 8 is Backspace.
      {"ab{AltNum:8}", "a", "? a", 3, 0},
  };
  for (const EditCase& c : kCases) CheckEdit(c);
}

TEST(LineReader, KeysWithoutAMeaningChangeNothing) {
  const char* const kKeys[] = {
      "{Insert}",   "{PgUp}",      "{PgDn}",      "{Ctrl+Left}",   "{Ctrl+Right}", "{Ctrl+Home}",
      "{Ctrl+End}", "{Ctrl+Up}",   "{Ctrl+Down}", "{Ctrl+Delete}", "{Ctrl+PgUp}",  "{Alt+Left}",
      "{Alt+Home}", "{Shift+Tab}", "{Ctrl+Tab}",  "{Alt+Enter}",   "{Alt+a}",      "{Alt+1}",
      "{Ctrl+a}",   "{Ctrl+2}",    "{F1}",        "{F2}",          "{F3}",         "{F4}",
      "{F5}",       "{F6}",        "{F7}",        "{F8}",          "{F9}",         "{F10}",
      "{F11}",      "{F12}",       "{Shift+F1}",  "{Ctrl+F5}",     "{Alt+F10}",
      "{Alt+F4}",  // the close key's own code
  };
  for (const char* key : kKeys) {
    // The key comes between a Left and a typed c, which must land where
    // the Left put the edit position.
    std::string keys = std::string("ab{Left}") + key + "c";
    CheckEdit({keys.c_str(), "acb", "? acb", 4, 0});
  }
}

TEST(LineReader, TabStopsCountFromTheStartOfTheLine) {
  struct TabCase {
    const char* keys;
    const char* line;
    size_t position;  // the edit position after the keys
  };
  const TabCase kCases[] = {
      {"{Tab}x", "        x", 9},         // 8 spaces at 0
      {"abc{Tab}x", "abc     x", 9},      // 5 at 3
      {"abcdefg{Tab}x", "abcdefg x", 9},  // 1 at 7
      {"abcdefgh{Tab}x", "abcdefgh        x", 17},
      {"{Tab}{Tab}", "                ", 16},
      {"ab{Left}{Tab}", "a       b", 8},  // 7 at 1, inside the line
      {"abcd{Home}{Tab}", "        abcd", 8},
      {"abcdefghij{Left}{Left}{Left}{Tab}", "abcdefg hij", 8},
  };
  // The column where the line begins does not matter.
  const char* const kPrompts[] = {"", "? ", "abc", "Filename to Open:? "};
  for (const char* prompt : kPrompts) {
    for (const TabCase& c : kCases) {
      SCOPED_TRACE(std::string(prompt) + c.keys);
      Rig rig;
      EXPECT_EQ(rig.Edit(prompt, {c.keys}), c.line);
      std::string row = std::string(prompt) + c.line;
      row.erase(row.find_last_not_of(' ') + 1);
      const Look& look = rig.looks().at(0);
      EXPECT_EQ(look.rows[0], row);
      EXPECT_EQ(look.cursor, std::make_pair(static_cast<int>(std::strlen(prompt) + c.position), 0));
    }
  }
}

TEST(LineReader, EscapeBlanksTheCellsTheLineCovered) {
  Rig rig;
  rig.device.PutRow(1, "below");
  EXPECT_EQ(rig.Edit("Name? ", {"abc", "{Esc}", "{Esc}", "d"}), "d");
  const std::vector<Look>& looks = rig.looks();
  EXPECT_EQ(looks[0].rows[0], "Name? abc");
  EXPECT_EQ(looks[1].rows[0], "Name?");
  EXPECT_EQ(looks[1].cursor, std::make_pair(6, 0));
  EXPECT_EQ(looks[2].rows[0], "Name?");  // on an empty line, nothing
  EXPECT_EQ(looks[2].cursor, std::make_pair(6, 0));
  EXPECT_EQ(looks[3].rows[0], "Name? d");
  for (const Look& look : looks) EXPECT_EQ(look.rows[1], "below");
  EXPECT_TRUE(rig.device.beeps().empty());
}

TEST(LineReader, TheCursorIsShownWhileTheLineIsTypedThenPutBack) {
  for (bool visible : {false, true}) {
    SCOPED_TRACE(visible);
    Rig rig;
    rig.console.PlaceCursor(0, 0, visible ? 1 : 0);
    EXPECT_EQ(rig.Edit("? ", {"ab", "{Left}"}), "ab");
    EXPECT_TRUE(rig.looks()[0].cursor_visible);
    EXPECT_TRUE(rig.looks()[1].cursor_visible);
    EXPECT_EQ(rig.device.cursor_visible(), visible);
  }
}

// --- Through prompted input ----------------------------------------------------

TEST(LineReader, EnterReturnsTheWholeLineWhereverTheEditPositionIs) {
  Rig rig;
  rig.device.Type("abc{Left}{Left}X{Home}{Enter}");
  EXPECT_EQ(rig.Ask("Name:"), "aXbc");
  EXPECT_EQ(rig.device.Row(0), "Name:? aXbc");
  EXPECT_EQ(rig.Cursor(), std::make_pair(0, 1));  // the line end printed after it
}

TEST(LineReader, KeysTypedAheadServeTheNextPrompts) {
  Rig rig;
  // Ctrl+J and Ctrl+M end a line as Enter does.
  rig.device.Type("first{Enter}sec{Left}{Left}{Delete}{End}ond{Ctrl+J}third{Ctrl+M}x");
  EXPECT_EQ(rig.Ask("Name:"), "first");
  EXPECT_EQ(rig.Ask("Name:"), "scond");
  EXPECT_EQ(rig.Ask("Name:"), "third");
  EXPECT_EQ(rig.device.events_left(), 0u);
  EXPECT_EQ(rig.console.keyboard().queued(), 1u);  // the x waits for the next line
  std::vector<std::string> rows = {"Name:? first", "Name:? scond", "Name:? third", ""};
  rows.resize(25);
  EXPECT_EQ(rig.device.WindowRows(), rows);
  EXPECT_EQ(rig.Cursor(), std::make_pair(0, 3));
  rig.device.Type("y{Enter}");
  EXPECT_EQ(rig.Ask("Name:"), "xy");
}

InputEvent KeyRecord(bool down, uint16_t virtual_key, uint16_t scan_code, uint32_t state) {
  const KeyEvent key = KeyDown(virtual_key, scan_code, 0, state);
  InputEvent event;
  event.key = down ? key : KeyUp(key);
  return event;
}

TEST(LineReader, AltNumberValueCarriesOverToTheNextLine) {
  Rig rig;
  const uint32_t alt = kLeftAltPressed | kNumLockOn;
  // Alt held, 6 and 5 typed on the keypad, and Enter before Alt is let go:
  // the first line ends with the composition under way.
  rig.device.Type("ab{Enter}");
  rig.device.AddEvent(KeyRecord(true, kVkMenu, 0x38, alt));
  rig.device.AddEvent(KeyRecord(true, kVkNumpad0 + 6, 0x4D, alt));
  rig.device.AddEvent(KeyRecord(false, kVkNumpad0 + 6, 0x4D, alt));
  rig.device.AddEvent(KeyRecord(true, kVkNumpad0 + 5, 0x4C, alt));
  rig.device.AddEvent(KeyRecord(false, kVkNumpad0 + 5, 0x4C, alt));
  EXPECT_EQ(rig.Ask("Name:"), "ab");
  // Letting Alt go while the next line is read gives it the A.
  rig.Then([&rig] {
    rig.device.AddEvent(KeyRecord(false, kVkMenu, 0x38, kNumLockOn));
    rig.device.Type("b{Enter}");
  });
  EXPECT_EQ(rig.Ask("Name:"), "Ab");
}

TEST(LineReader, ClosingTheWindowQueuesAKeyThatChangesNothing) {
  Rig rig;
  rig.Then([&rig] {
    EXPECT_TRUE(rig.device.SendControlEvent(kCtrlCloseEvent));
    rig.device.Type("c{Enter}");
  });
  rig.device.Type("ab{Left}");
  EXPECT_EQ(rig.Ask("Name:"), "acb");
  EXPECT_EQ(rig.device.Row(0), "Name:? acb");
  EXPECT_TRUE(rig.device.beeps().empty());
}

}  // namespace
}  // namespace console
