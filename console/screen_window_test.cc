// The text view against a window the user has moved or shrunk: the view
// never reaches past the buffer's last row, and without a console area the
// cursor is never sent outside the buffer.
#include <gtest/gtest.h>

#include <string>

#include "console/testing/rig.h"

namespace console {
namespace {

// A 10 x 5 window over 8 buffer rows; the view is fixed at 5 rows by the
// first clear, then the user moves the window to the buffer's last 3 rows,
// where a 5-row view would end 2 rows past the buffer.
struct ShrunkWindow : Rig {
  ShrunkWindow() : Rig(Shape(10, 5, 8)) {
    console.ClearScreen();
    device.MoveWindow(5, 7);
    console.Print({}, true);  // the area is read again at the end of a print
  }
};

TEST(ScreenViewPastTheBuffer, PrintedLinesScrollAtTheBuffersLastRowAndNoneIsLost) {
  ShrunkWindow rig;
  rig.console.PlaceCursor(1, 1, -1);
  EXPECT_EQ(rig.device.cursor(), At(0, 5));
  rig.console.Print("L1\r\nL2\r\nL3\r\nL4\r\nL5\r\nL6\r\n");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"L5", "L6", ""}));
  EXPECT_EQ(rig.device.Row(4), "L4");
  EXPECT_EQ(rig.device.Row(3), "L3");
  EXPECT_EQ(rig.device.cursor(), At(0, 7));
  EXPECT_EQ(rig.device.out_of_buffer_calls(), 0);
}

TEST(ScreenViewPastTheBuffer, RowsOfTheViewBeyondTheBufferAreRefused) {
  struct Case {
    int row, column;
    Coord cursor;  // where the cursor stands afterwards, from (4, 6)
  };
  const Case cases[] = {
      {1, 1, At(0, 5)},  {3, 2, At(1, 7)},  // the buffer's last row
      {4, 1, At(4, 6)},                     // row 8 of the buffer does not exist: refused
      {5, 10, At(4, 6)},                    // the view's last row, 2 past the buffer: refused
      {0, 3, At(2, 6)},                     // row 0 keeps the current row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.row) + ", column " + std::to_string(c.column));
    ShrunkWindow rig;
    rig.console.PlaceCursor(2, 5, -1);
    ASSERT_EQ(rig.device.cursor(), At(4, 6));
    rig.console.PlaceCursor(c.row, c.column, -1);
    EXPECT_EQ(rig.device.cursor(), c.cursor);
    EXPECT_EQ(rig.device.out_of_buffer_calls(), 0);
  }
}

TEST(ScreenViewPastTheBuffer, ClearScreenBlanksOnlyRowsOfTheBuffer) {
  ShrunkWindow rig;
  for (int y = 0; y < 8; ++y) rig.device.PutRow(y, "row" + std::to_string(y));
  rig.console.ClearScreen();
  EXPECT_EQ(rig.device.Row(4), "row4");  // above the window: scroll-back
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 5));
  EXPECT_EQ(rig.device.out_of_buffer_calls(), 0);
}

TEST(ScreenNoConsoleArea, APrintBegunOnAConsoleStaysInsideTheBuffer) {
  // The window becomes one row between two prints: the print that follows
  // still draws in the area it began with, wrapping at the buffer's edge.
  Rig rig(Shape(10, 5, 8));
  rig.console.ClearScreen();
  rig.console.PlaceCursor(5, 1, -1);
  rig.device.MoveWindow(7, 7);
  rig.console.Print("a line longer than the buffer");
  EXPECT_EQ(rig.device.out_of_buffer_calls(), 0);
  EXPECT_EQ(rig.device.Row(4), "a line lon");
  EXPECT_EQ(rig.device.Row(5), "ger than t");
  EXPECT_EQ(rig.device.Row(6), "he buffer");
}

TEST(ScreenNoConsoleArea, PlaceCursorLeavesTheCursorWhereItIs) {
  // A one-row window is no console area: place cursor then works on a
  // stand-in 80 x 25 screen, whose cells need not exist in the buffer.
  Rig rig(Shape(10, 5, 8));
  rig.console.ClearScreen();
  rig.console.PlaceCursor(2, 3, -1);
  rig.device.MoveWindow(6, 6);
  rig.console.Print({}, true);
  ASSERT_FALSE(rig.console.screen().stdout_is_console());
  // Row 4 of the view, column 70: cell (69, 9), outside a 10 x 8 buffer.
  const int result = rig.console.PlaceCursor(4, 70, -1);
  EXPECT_EQ(result, 0x10000 + 4 * 256 + 70);
  EXPECT_EQ(rig.device.cursor(), At(2, 1));
  EXPECT_EQ(rig.device.out_of_buffer_calls(), 0);
}

}  // namespace
}  // namespace console
