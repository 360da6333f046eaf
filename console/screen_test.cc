// The console's set-up, the text view, clear screen and place cursor, checked
// by the screen the memory console is left with.
#include "console/screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "console/testing/rig.h"

namespace console {
namespace {

// --- Set-up -------------------------------------------------------------------

TEST(ScreenSetUp, NothingIsTouchedBeforeTheFirstConsoleOperation) {
  MemoryDevice device(Shape(20, 5));
  device.SetInputMode(0x01F6);
  device.PutRow(0, "C:\\> patconv");
  device.SetCursorPosition(At(12, 0));
  device.SetCursorVisible(false);
  {
    textio::Channels channels;
    Console console(device, channels);
    EXPECT_EQ(device.input_mode(), 0x01F6u);
    EXPECT_EQ(device.Row(0), "C:\\> patconv");
    EXPECT_EQ(device.cursor(), At(12, 0));
    EXPECT_FALSE(device.cursor_visible());
    EXPECT_FALSE(device.handler_registered());
    EXPECT_EQ(device.flushes(), 0);
    // Channel 0 is not open yet: a print on it is a bad call and shows nothing.
    EXPECT_EQ(channels.Print(textio::kConsoleChannel, "x", textio::kFlagLineEnd),
              textio::kStatusBadCall);
    EXPECT_EQ(device.Row(0), "C:\\> patconv");
  }
  EXPECT_EQ(device.stdout_bytes(), "");
}

TEST(ScreenSetUp, TheFirstOperationOfAnyKindAddsProcessedInputOnce) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> operation;
  };
  const Case cases[] = {
      {"clear screen", [](Rig& r) { r.console.ClearScreen(); }},
      {"place cursor", [](Rig& r) { r.console.PlaceCursor(2, 2, -1); }},
      {"print", [](Rig& r) { r.console.Print("x"); }},
      {"empty print", [](Rig& r) { r.console.Print(""); }},
      {"prompted input", [](Rig& r) { r.console.PromptedInput("P", true, true); }},
  };
  for (const Case& c : cases) {
    for (uint32_t mode : {0x0000u, 0x01F6u, 0x0086u}) {
      SCOPED_TRACE(std::string(c.name) + " on mode " + std::to_string(mode));
      Rig rig(Shape(20, 5));
      rig.device.Type("{Enter}{Enter}");
      rig.device.SetInputMode(mode);
      c.operation(rig);
      EXPECT_EQ(rig.device.input_mode(), mode | 0x0001u);
      // Set up once: a mode changed afterwards is left alone.
      rig.device.SetInputMode(mode);
      rig.console.ClearScreen();
      rig.console.PromptedInput("P", true, true);
      EXPECT_EQ(rig.device.input_mode(), mode);
    }
  }
}

TEST(ScreenSetUp, AConsoleAreaOfOneRowOrOneColumnIsNoConsole) {
  struct Case {
    int width, height;
    Rows window;         // after "ab" CR LF and "cd"
    std::string output;  // the same prints on standard output
  };
  const Case cases[] = {
      {20, 1, {""}, "ab\r\ncd"}, {1, 5, {"", "", "", "", ""}, "ab\r\ncd"}, {1, 1, {""}, "ab\r\ncd"},
      {2, 2, {"", "cd"}, ""},  // "ab" wraps, CR LF scrolls, "cd" fills the last row
      {3, 2, {"ab", "cd"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    Rig rig(Shape(c.width, c.height));
    rig.console.ClearScreen();
    rig.console.Print("ab\r\n");
    rig.console.Print("cd");
    rig.console.FlushOutput();
    EXPECT_EQ(rig.device.WindowRows(), c.window);
    EXPECT_EQ(rig.device.stdout_bytes(), c.output);
  }
}

TEST(ScreenSetUp, TheConsoleTestIsMadeAgainAfterEveryPrintThatReachesTheScreen) {
  Rig rig(Shape(20, 5));
  rig.console.ClearScreen();
  rig.console.Print("a");
  rig.device.MoveWindow(0, 0);  // the window is made one row high
  rig.console.Print("b");       // still drawn: the area is read at the end of a print
  rig.console.Print("c");       // now standard output is no console
  rig.console.FlushOutput();
  EXPECT_EQ(rig.device.Row(0), "ab");
  EXPECT_EQ(rig.device.stdout_bytes(), "c");
}

TEST(ScreenTextView, KeepsTheRowsOfItsFirstUseWhenTheWindowGrows) {
  Rig rig(Shape(20, 10, 30));
  rig.console.ClearScreen();
  rig.device.MoveWindow(0, 14);
  rig.console.Print("x");  // the console area now has 15 rows; the view still 10
  EXPECT_EQ(rig.console.PlaceCursor(12, 1, -1), 0x10000 + 1 * 256 + 2);
  EXPECT_EQ(rig.device.cursor(), At(1, 0));
  rig.console.PlaceCursor(10, 1, -1);
  EXPECT_EQ(rig.device.cursor(), At(0, 9));
}

TEST(ScreenTextView, KeepsTheRowsOfItsFirstUseWhenTheWindowShrinks) {
  Rig rig(Shape(20, 10, 30));
  rig.console.Print("x");  // the first use fixes the view at rows 1 to 10
  for (int y = 0; y < 30; ++y) rig.device.PutRow(y, "row " + std::to_string(y));
  rig.device.MoveWindow(0, 4);
  rig.console.Print("y");
  rig.console.PlaceCursor(8, 1, -1);
  EXPECT_EQ(rig.device.cursor(), At(0, 7));
  rig.console.ClearScreen();  // blanks the ten rows of the view, not the five of the window
  for (int y = 0; y < 10; ++y) EXPECT_EQ(rig.device.Row(y), "") << "row " << y;
  for (int y = 10; y < 30; ++y) EXPECT_EQ(rig.device.Row(y), "row " + std::to_string(y));
}

// --- Clear screen ----------------------------------------------------------------

TEST(ScreenClear, BlanksOnlyTheWindowRowsOverTheWholeBufferWidth) {
  MemoryDevice::Options options = Shape(30, 10, 50, 20);
  options.max_window_width = 20;  // the window shows 20 of the 30 columns
  options.attribute = 0x1E;
  Rig rig(options);
  auto text_of = [](int y) {
    return (y < 10 ? "r0" : "r") + std::to_string(y) + std::string(26, '#');
  };
  for (int y = 0; y < 50; ++y) rig.device.PutRow(y, text_of(y));
  rig.device.FillAttribute(0x40, 30 * 50, At(0, 0));
  rig.device.SetCursorPosition(At(7, 33));

  rig.console.ClearScreen();

  for (int y = 0; y < 50; ++y) {
    SCOPED_TRACE("row " + std::to_string(y));
    bool window_row = y >= 20 && y <= 29;
    EXPECT_EQ(rig.device.Row(y), window_row ? "" : text_of(y));
    EXPECT_EQ(rig.device.AttributeAt(0, y), window_row ? 0x1E : 0x40);
    EXPECT_EQ(rig.device.AttributeAt(29, y), window_row ? 0x1E : 0x40);
  }
  EXPECT_EQ(rig.device.cursor(), At(0, 20));
  EXPECT_EQ(rig.device.window(), (Rect{0, 20, 19, 29}));
}

TEST(ScreenClear, LeavesTheCursorVisibilityAsItIs) {
  for (int visibility : {0, 1}) {
    Rig rig(Shape(20, 5));
    rig.console.PlaceCursor(3, 3, visibility);
    rig.console.ClearScreen();
    EXPECT_EQ(rig.device.cursor_visible(), visibility == 1);
    EXPECT_EQ(rig.device.cursor(), At(0, 0));
  }
}

TEST(ScreenClear, DropsAPendingLineFeed) {
  Rig rig(Shape(10, 3));
  rig.console.ClearScreen();
  rig.console.PlaceCursor(3, 1, -1);
  rig.console.Print("0123456789");  // fills the last row: the line feed waits
  rig.console.ClearScreen();
  rig.console.Print("Z");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"Z", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(1, 0));
}

TEST(ScreenClear, AndPlaceCursorDoNothingVisibleWhenStandardOutputIsNoConsole) {
  MemoryDevice::Options options = Shape(20, 5);
  options.stdout_console = false;
  Rig rig(options);
  rig.console.ClearScreen();
  // The bounds are those of an 80 x 25 screen; the cursor's row and column
  // cannot be read, so a refused call reports row 0, column 0.
  EXPECT_EQ(rig.console.PlaceCursor(5, 1, -1), 5 * 256 + 1);
  EXPECT_EQ(rig.console.PlaceCursor(25, 80, 1), 25 * 256 + 80);
  EXPECT_EQ(rig.console.PlaceCursor(26, 1, -1), 0);
  EXPECT_EQ(rig.console.PlaceCursor(1, 81, -1), 0);
  rig.console.ClearScreen();
  rig.console.FlushOutput();
  EXPECT_EQ(rig.device.stdout_bytes(), "");
}

// --- Place cursor -------------------------------------------------------------------

TEST(ScreenPlaceCursor, MovesWithinTheViewAndRefusesEverythingElse) {
  struct Case {
    int row, column, visibility;
    Coord cursor;  // the cursor starts at row 3, column 7: (6, 2)
    int result;
    bool visible;
  };
  const int kWasVisible = 0x10000;
  const Case cases[] = {
      {5, 1, -1, At(0, 4), kWasVisible + 5 * 256 + 1, true},
      {0, 9, -1, At(8, 2), kWasVisible + 3 * 256 + 9, true},  // row 0: the current row
      {4, 0, -1, At(6, 3), kWasVisible + 4 * 256 + 7, true},  // column 0: the current column
      {0, 0, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {10, 20, -1, At(19, 9), kWasVisible + 10 * 256 + 20, true},  // the view's last cell
      {1, 1, 0, At(0, 0), kWasVisible + 1 * 256 + 1, false},
      {1, 1, 7, At(0, 0), kWasVisible + 1 * 256 + 1, true},  // any positive value shows
      // Refused: the position stays, only the visibility request is done.
      {11, 1, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {-1, 1, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {1, -1, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {1, 21, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {0, 21, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {-3, 0, -1, At(6, 2), kWasVisible + 3 * 256 + 7, true},
      {11, 1, 0, At(6, 2), kWasVisible + 3 * 256 + 7, false},
      {1, 99, 0, At(6, 2), kWasVisible + 3 * 256 + 7, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("place cursor (" + std::to_string(c.row) + ", " + std::to_string(c.column) + ", " +
                 std::to_string(c.visibility) + ")");
    Rig rig(Shape(20, 10));
    rig.console.ClearScreen();
    rig.console.PlaceCursor(3, 7, -1);
    EXPECT_EQ(rig.console.PlaceCursor(c.row, c.column, c.visibility), c.result);
    EXPECT_EQ(rig.device.cursor(), c.cursor);
    EXPECT_EQ(rig.device.cursor_visible(), c.visible);
  }
}

TEST(ScreenPlaceCursor, TheResultCarriesTheVisibilityBeforeTheCall) {
  Rig rig(Shape(20, 10));
  rig.console.ClearScreen();
  EXPECT_EQ(rig.console.PlaceCursor(2, 3, 0), 0x10000 + 2 * 256 + 3);
  EXPECT_EQ(rig.console.PlaceCursor(0, 0, -1), 2 * 256 + 3);
  EXPECT_EQ(rig.console.PlaceCursor(99, 0, 1), 2 * 256 + 3);  // refused, but shows
  EXPECT_EQ(rig.console.PlaceCursor(0, 0, -1), 0x10000 + 2 * 256 + 3);
}

TEST(ScreenPlaceCursor, TheResultTakesRowAndColumnModulo256) {
  Rig wide(Shape(300, 10));
  wide.console.ClearScreen();
  EXPECT_EQ(wide.console.PlaceCursor(2, 300, -1), 0x10000 + 2 * 256 + (300 - 256));
  EXPECT_EQ(wide.device.cursor(), At(299, 1));
  Rig tall(Shape(20, 300));
  tall.console.ClearScreen();
  EXPECT_EQ(tall.console.PlaceCursor(260, 3, -1), 0x10000 + (260 - 256) * 256 + 3);
  EXPECT_EQ(tall.device.cursor(), At(2, 259));
}

TEST(ScreenPlaceCursor, RowFiveOnAWindowOfFourRowsLeavesTheCursorWhereItWas) {
  Rig rig(Shape(20, 4));
  rig.console.ClearScreen();
  rig.console.Print("ab");
  EXPECT_EQ(rig.console.PlaceCursor(5, 1, -1), 0x10000 + 1 * 256 + 3);
  rig.console.Print("c");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"abc", "", "", ""}));
}

TEST(ScreenPlaceCursor, CountsRowsFromTheTopOfTheWindow) {
  Rig rig(Shape(20, 10, 40, 15));
  rig.console.ClearScreen();
  EXPECT_EQ(rig.device.cursor(), At(0, 15));
  rig.console.PlaceCursor(5, 3, -1);
  EXPECT_EQ(rig.device.cursor(), At(2, 19));
  rig.console.Print("x");
  EXPECT_EQ(rig.device.WindowRows()[4], "  x");
}

TEST(ScreenPlaceCursor, RefusedOrNotItDropsAPendingLineFeed) {
  for (int row : {0, 99}) {
    SCOPED_TRACE("place cursor (" + std::to_string(row) + ", 0, -1)");
    Rig rig(Shape(10, 3));
    rig.console.ClearScreen();
    rig.console.PlaceCursor(3, 1, -1);
    rig.console.Print("0123456789");
    rig.console.PlaceCursor(row, 0, -1);
    // The next text lands on the last cell again instead of a new row.
    rig.console.Print("X");
    EXPECT_EQ(rig.device.WindowRows(), (Rows{"", "", "012345678X"}));
    EXPECT_EQ(rig.device.cursor(), At(9, 2));
  }
}

}  // namespace
}  // namespace console
