// Console print on a console: the byte rules, wrapping at the buffer's right
// edge, long runs, the pending line feed and failed writes, checked by the
// screen the memory console is left with.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/testing/rig.h"

namespace console {
namespace {

const std::string kLetters = "abcdefghijklmnopqrst";  // a full row of the 20-column console

// --- The bytes ---------------------------------------------------------------------

TEST(ScreenPrint, ControlBytesMoveTheCursorAndEveryOtherByteIsACell) {
  struct Case {
    const char* name;
    int column;  // where the print starts, on a row that reads kLetters
    std::string bytes;
    std::string row;       // the row afterwards
    std::string next_row;  // the row below afterwards
    int cursor_x, cursor_y;
    size_t beeps;
  };
  const Case cases[] = {
      {"TAB at column 1: 8 spaces", 1, "\t|", "        |jklmnopqrst", "", 9, 0, 0},
      {"TAB at column 5: 4 spaces", 5, "\t|", "abcd    |jklmnopqrst", "", 9, 0, 0},
      {"TAB at column 8: 1 space", 8, "\t|", "abcdefg |jklmnopqrst", "", 9, 0, 0},
      {"TAB at column 9: 8 spaces", 9, "\t|", "abcdefgh        |rst", "", 17, 0, 0},
      {"TAB after text of the same print", 1, "ab\t|", "ab      |jklmnopqrst", "", 9, 0, 0},
      {"two TABs", 3, "\t\t|", "ab              |rst", "", 17, 0, 0},
      {"BS at column 1 does nothing", 1, "\b\bX", "Xbcdefghijklmnopqrst", "", 1, 0, 0},
      {"BS steps back without erasing", 5, "\b", kLetters, "", 3, 0, 0},
      {"BS after text", 5, "12\bX", "abcd1Xghijklmnopqrst", "", 6, 0, 0},
      {"CR returns to column 1", 5, "12\rX", "Xbcd12ghijklmnopqrst", "", 1, 0, 0},
      {"LF returns to column 1 of the next row", 5, "12\nX", "abcd12ghijklmnopqrst", "X", 1, 1, 0},
      {"CR LF", 5, "12\r\nX", "abcd12ghijklmnopqrst", "X", 1, 1, 0},
      {"BEL sounds and prints nothing", 1, "1\a2", "12cdefghijklmnopqrst", "", 2, 0, 1},
      {"BEL alone", 4, "\a\a", kLetters, "", 3, 0, 2},
      {"NUL, VT, FF, ESC, DEL and 0xFF are cells", 1, std::string("\0\v\f\x1b\x7f\xff", 6),
       std::string("\0\v\f\x1b\x7f\xff", 6) + "ghijklmnopqrst", "", 6, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(Shape(20, 5));
    rig.console.ClearScreen();
    rig.device.PutRow(0, kLetters);
    rig.console.PlaceCursor(1, c.column, -1);
    rig.console.Print(c.bytes);
    EXPECT_EQ(rig.device.Row(0), c.row);
    EXPECT_EQ(rig.device.Row(1), c.next_row);
    EXPECT_EQ(rig.device.cursor(), At(c.cursor_x, c.cursor_y));
    EXPECT_EQ(rig.device.beeps(),
              (std::vector<std::pair<int, int>>(c.beeps, std::pair<int, int>(1000, 250))));
  }
}

TEST(ScreenPrint, TextIsWrittenInTheCurrentAttribute) {
  MemoryDevice::Options options = Shape(20, 5);
  options.attribute = 0x1E;
  Rig rig(options);
  rig.device.FillAttribute(0x40, 20 * 5, At(0, 0));
  rig.console.PlaceCursor(1, 3, -1);
  rig.console.Print("ab\tc");
  for (int x = 0; x < 20; ++x) {
    EXPECT_EQ(rig.device.AttributeAt(x, 0), x >= 2 && x <= 8 ? 0x1E : 0x40) << "column " << x;
  }
}

TEST(ScreenPrint, ABellSoundsBeforeTheTextInFrontOfItIsShown) {
  Rig rig(Shape(20, 5));
  rig.console.ClearScreen();
  std::vector<std::string> rows_at_tone;
  rig.device.SetBeepHook([&] { rows_at_tone.push_back(rig.device.Row(0)); });
  rig.console.Print("ab");
  // A source row holding a BEL, echoed with its line end as the converter does.
  rig.channels.Print(textio::kConsoleChannel, "cd\aef", textio::kFlagLineEnd);
  EXPECT_EQ(rows_at_tone, (Rows{"ab"}));
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"abcdef", "", "", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 1));
}

TEST(ScreenPrint, AnEmptyPrintWithoutTheForceFlagDoesNothing) {
  Rig rig(Shape(20, 5));
  rig.console.ClearScreen();
  rig.console.Print("ab");
  const int flushes = rig.device.flushes();
  rig.console.Print("");
  EXPECT_EQ(rig.device.flushes(), flushes);
  EXPECT_EQ(rig.device.cursor(), At(2, 0));
}

// --- Wrapping and long runs ------------------------------------------------------

TEST(ScreenPrint, WrapsAtTheRightEdgeOfTheBuffer) {
  struct Case {
    int column;
    std::string bytes;
    Rows window;
    int cursor_x, cursor_y;
  };
  const Case cases[] = {
      {1, "0123456789AB", {"0123456789", "AB", "", ""}, 2, 1},
      {1, "0123456789", {"0123456789", "", "", ""}, 0, 1},  // not the last row: no waiting
      {9, "abc", {"        ab", "c", "", ""}, 1, 1},
      {1, "0123456789abcdefghij012", {"0123456789", "abcdefghij", "012", ""}, 3, 2},
      {4, "ab\b\b\b\b\b\b\bX", {"X  ab", "", "", ""}, 1, 0},  // BS stops at the left edge
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    Rig rig(Shape(10, 4));
    rig.console.ClearScreen();
    rig.console.PlaceCursor(1, c.column, -1);
    rig.console.Print(c.bytes);
    EXPECT_EQ(rig.device.WindowRows(), c.window);
    EXPECT_EQ(rig.device.cursor(), At(c.cursor_x, c.cursor_y));
  }
}

TEST(ScreenPrint, WrapsAtTheBufferEdgeEvenWhereTheWindowIsNarrower) {
  MemoryDevice::Options options = Shape(30, 4);
  options.max_window_width = 15;
  Rig rig(options);
  rig.console.ClearScreen();
  const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789";  // 36 bytes
  rig.console.Print(text);
  EXPECT_EQ(rig.device.Row(0), text.substr(0, 30));
  EXPECT_EQ(rig.device.Row(1), text.substr(30));
  EXPECT_EQ(rig.device.cursor(), At(6, 1));
  EXPECT_EQ(rig.device.window(), (Rect{0, 0, 14, 3}));
}

TEST(ScreenPrint, RunsLongerThan1024BytesFlowOnRowByRow) {
  Rig rig(Shape(80, 40));
  rig.console.ClearScreen();
  std::string text;
  // Upper- and lower-case alphabets in turn, so that no stretch repeats.
  for (int i = 0; i < 2100; ++i) {
    text.push_back(static_cast<char>('A' + i % 26 + (i / 26) % 2 * 32));
  }
  rig.console.Print(text);
  for (int y = 0; y <= 26; ++y) {
    EXPECT_EQ(rig.device.Row(y), text.substr(static_cast<size_t>(y) * 80, 80)) << "row " << y;
  }
  EXPECT_EQ(rig.device.cursor(), At(2100 % 80, 2100 / 80));
  // Gathered in runs of 1024 bytes and written one row segment at a time:
  // 0-1023 in 13 segments, 1024-2047 in 14 (16 + 12 x 80 + 48), 2048-2099 in 2.
  EXPECT_EQ(rig.device.cell_writes(), 13 + 14 + 2);
}

TEST(ScreenPrint, ATabStraddlingTheRunLimitStillEndsOnATabStop) {
  // 1022 letters end at column 43 of a 70-column row (1022 = 14 x 70 + 42);
  // the tab's 6 spaces take the run past 1024 bytes.
  Rig rig(Shape(70, 20));
  rig.console.ClearScreen();
  rig.console.Print(std::string(1022, 'a') + "\t|");
  EXPECT_EQ(rig.device.Row(14), std::string(42, 'a') + "      |");
  EXPECT_EQ(rig.device.cursor(), At(49, 14));
}

// --- The pending line feed -----------------------------------------------------------

struct PrintCall {
  std::string bytes;
  bool force = false;
};

TEST(ScreenPrint, PendingLineFeedWaitsForTheNextPrintWhenTextFillsTheLastRow) {
  struct Case {
    const char* name;
    std::vector<PrintCall> prints;  // made at row 4, column 1 of a 10 x 4 console
    Rows window;
    int cursor_x, cursor_y;
  };
  const Case cases[] = {
      {"text filling the last row: no scroll, the cursor on the last cell",
       {{"0123456789"}},
       {"row0", "row1", "row2", "0123456789"},
       9,
       3},
      {"the next print starts a new row, scrolling by one",
       {{"0123456789"}, {"X"}},
       {"row1", "row2", "0123456789", "X"},
       1,
       3},
      {"two rows of text ending in the last cell",
       {{"0123456789abcdefghij"}},
       {"row1", "row2", "0123456789", "abcdefghij"},
       9,
       3},
      {"a bell after the text still leaves it waiting",
       {{"0123456789\a"}},
       {"row0", "row1", "row2", "0123456789"},
       9,
       3},
      {"an empty print changes nothing",
       {{"0123456789"}, {""}},
       {"row0", "row1", "row2", "0123456789"},
       9,
       3},
      {"a forced empty print carries it out",
       {{"0123456789"}, {"", true}},
       {"row1", "row2", "0123456789", ""},
       0,
       3},
      {"a line end after it gives an empty row",
       {{"0123456789"}, {"\r\n"}},
       {"row2", "0123456789", "", ""},
       0,
       3},
      {"text ending short of the edge", {{"abc"}}, {"row0", "row1", "row2", "abc3"}, 3, 3},
      {"CR LF on the last row scrolls at once", {{"ab\r\n"}}, {"row1", "row2", "abw3", ""}, 0, 3},
      {"two LF on the last row scroll by two", {{"ab\n\n"}}, {"row2", "abw3", "", ""}, 0, 3},
      {"CR after a full last row scrolls at once",
       {{"0123456789\r"}},
       {"row1", "row2", "0123456789", ""},
       0,
       3},
      {"BS after a full last row scrolls at once",
       {{"0123456789\b"}},
       {"row1", "row2", "0123456789", ""},
       0,
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(Shape(10, 4));
    rig.console.ClearScreen();
    for (int y = 0; y < 4; ++y) rig.device.PutRow(y, "row" + std::to_string(y));
    rig.console.PlaceCursor(4, 1, -1);
    for (const PrintCall& print : c.prints) rig.console.Print(print.bytes, print.force);
    EXPECT_EQ(rig.device.WindowRows(), c.window);
    EXPECT_EQ(rig.device.cursor(), At(c.cursor_x, c.cursor_y));
  }
}

// --- Failures ----------------------------------------------------------------------

TEST(ScreenPrint, AFailedCellWriteDropsTheRestOfItsRun) {
  struct Case {
    std::string bytes;
    Rows window;
    int cursor_x, cursor_y;
  };
  // The second cell write fails: the first row segment is shown, the rest of
  // that run never is, and the cursor stays where the shown part ended.
  const Case cases[] = {
      {"0123456789ABCDEFGHIJKLMNO", {"0123456789", "", "", ""}, 0, 1},
      {"0123456789ABCDEFGHIJ\r\nxyz", {"0123456789", "", "xyz", ""}, 3, 2},
      {"abc\rABCDEFGHIJKLM\r\nxyz", {"abc", "xyz", "", ""}, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    Rig rig(Shape(10, 4));
    rig.console.ClearScreen();
    rig.device.fail_cell_write_number = 2;
    rig.console.Print(c.bytes);
    EXPECT_EQ(rig.device.WindowRows(), c.window);
    EXPECT_EQ(rig.device.cursor(), At(c.cursor_x, c.cursor_y));
  }
}

TEST(ScreenPrint, WhenNoCellCanBeWrittenOnlyTheMovesHappen) {
  Rig rig(Shape(10, 4));
  rig.console.ClearScreen();
  rig.console.PlaceCursor(2, 3, -1);
  rig.device.fail_cell_writes = true;
  rig.console.Print("abc");
  EXPECT_EQ(rig.device.cursor(), At(2, 1));
  rig.console.Print("abc\r\nd\te");
  EXPECT_EQ(rig.device.cursor(), At(0, 2));
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"", "", "", ""}));
}

TEST(ScreenPrint, AFailedBufferQueryPrintsAtTheTopLeftInAttribute7) {
  MemoryDevice::Options options = Shape(20, 5);
  options.attribute = 0x1E;
  Rig rig(options);
  rig.console.ClearScreen();
  rig.console.PlaceCursor(3, 5, -1);
  rig.console.Print("abc");
  rig.device.fail_buffer_info = true;
  rig.console.Print("XY");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"XY", "", "    abc", "", ""}));
  EXPECT_EQ(rig.device.AttributeAt(0, 0), 7);
  EXPECT_EQ(rig.device.AttributeAt(4, 2), 0x1E);
  EXPECT_EQ(rig.device.cursor(), At(2, 0));
  // The print found no console, so standard output no longer counts as one.
  rig.console.Print("Z");
  rig.console.FlushOutput();
  EXPECT_EQ(rig.device.Row(0), "XY");
  EXPECT_EQ(rig.device.stdout_bytes(), "Z");
}

}  // namespace
}  // namespace console
