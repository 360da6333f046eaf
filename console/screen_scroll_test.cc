// Scrolling the text view: through a buffer taller than the window, at the
// buffer's bottom, by more rows than the buffer holds, and inside a view whose
// window has since changed height.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/testing/rig.h"

namespace console {
namespace {

std::string Line(int n) { return "L" + std::to_string(n); }

std::string Lines(int from, int to) {
  std::string text;
  for (int n = from; n <= to; ++n) text += Line(n) + "\r\n";
  return text;
}

// Every row of the buffer, top to bottom.
Rows BufferRows(const MemoryDevice& device, int height) {
  Rows rows;
  for (int y = 0; y < height; ++y) rows.push_back(device.Row(y));
  return rows;
}

TEST(ScreenScrollInATallerBuffer, TheWindowMovesDownOneRowPerLineUntilTheBufferEnds) {
  struct Case {
    int lines;  // L1 .. Ln, each followed by CR LF, in a 10 x 3 window over 8 buffer rows
    Rows buffer;
    int window_top;
  };
  const Case cases[] = {
      {2, {"L1", "L2", "", "", "", "", "", ""}, 0},
      {3, {"L1", "L2", "L3", "", "", "", "", ""}, 1},
      {5, {"L1", "L2", "L3", "L4", "L5", "", "", ""}, 3},
      {7, {"L1", "L2", "L3", "L4", "L5", "L6", "L7", ""}, 5},
      // Only at the buffer's last row does the content move up, losing its top.
      {8, {"L2", "L3", "L4", "L5", "L6", "L7", "L8", ""}, 5},
      {10, {"L4", "L5", "L6", "L7", "L8", "L9", "L10", ""}, 5},
  };
  for (const Case& c : cases) {
    for (bool one_print : {false, true}) {
      SCOPED_TRACE(std::to_string(c.lines) + (one_print ? " lines in one print" : " prints"));
      Rig rig(Shape(10, 3, 8));
      rig.console.ClearScreen();
      if (one_print) {
        rig.console.Print(Lines(1, c.lines));
      } else {
        for (int n = 1; n <= c.lines; ++n) rig.console.Print(Lines(n, n));
      }
      EXPECT_EQ(BufferRows(rig.device, 8), c.buffer);
      EXPECT_EQ(rig.device.window(), (Rect{0, c.window_top, 9, c.window_top + 2}));
      EXPECT_EQ(rig.device.cursor(), At(0, c.window_top + 2));
    }
  }
}

TEST(ScreenScrollInATallerBuffer, TextFillingTheWindowsLastRowMovesTheWindowOnlyAtTheNextPrint) {
  Rig rig(Shape(10, 3, 8));
  rig.console.ClearScreen();
  rig.console.Print(Lines(1, 2) + "0123456789");
  EXPECT_EQ(rig.device.window(), (Rect{0, 0, 9, 2}));
  EXPECT_EQ(rig.device.cursor(), At(9, 2));
  rig.console.Print("X");
  EXPECT_EQ(rig.device.window(), (Rect{0, 1, 9, 3}));
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"L2", "0123456789", "X"}));
  EXPECT_EQ(rig.device.Row(0), "L1");
}

TEST(ScreenScrollInATallerBuffer, ClearScreenThenBlanksOnlyTheRowsTheWindowHasReached) {
  Rig rig(Shape(10, 3, 8));
  rig.console.ClearScreen();
  rig.console.Print(Lines(1, 5));
  rig.console.ClearScreen();
  EXPECT_EQ(BufferRows(rig.device, 8), (Rows{"L1", "L2", "L3", "", "", "", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 3));
  rig.console.PlaceCursor(2, 4, -1);
  EXPECT_EQ(rig.device.cursor(), At(3, 4));
}

TEST(ScreenScrollInATallerBuffer, ARefusedWindowMoveIsIgnoredAndNoTextIsLost) {
  MemoryDevice::Options options = Shape(20, 3, 8);
  options.max_window_width = 10;  // the window cannot show the buffer's full width
  Rig rig(options);
  rig.console.ClearScreen();
  for (int n = 1; n <= 4; ++n) rig.console.Print(Lines(n, n));
  EXPECT_EQ(BufferRows(rig.device, 8), (Rows{"L1", "L2", "L3", "L4", "", "", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 4));
  EXPECT_EQ(rig.device.window().right - rig.device.window().left, 9);
}

TEST(ScreenScrollByMany, MovesTheBufferUpOrBlanksTheViewWhenTheBufferHasTooFewRows) {
  struct Case {
    int window_top;  // a 4-row window over 12 buffer rows
    int line_feeds;  // printed on the window's last row
    Rows buffer;
    int final_window_top;
  };
  const Case cases[] = {
      {8,
       1,
       {"row1", "row2", "row3", "row4", "row5", "row6", "row7", "row8", "row9", "row10", "row11",
        ""},
       8},
      // More than half the buffer: the rows between the moved block and the
      // vacated bottom are blank as well.
      {8, 7, {"row7", "row8", "row9", "row10", "row11", "", "", "", "", "", "", ""}, 8},
      {8, 11, {"row11", "", "", "", "", "", "", "", "", "", "", ""}, 8},
      // As many rows as the buffer holds, or more: only the view is blanked.
      {8, 12, {"row0", "row1", "row2", "row3", "row4", "row5", "row6", "row7", "", "", "", ""}, 8},
      {8, 20, {"row0", "row1", "row2", "row3", "row4", "row5", "row6", "row7", "", "", "", ""}, 8},
      // The view first moves down to the buffer's bottom, by 8 rows; the
      // other 5 move the content up.
      {0, 13, {"row5", "row6", "row7", "row8", "row9", "row10", "row11", "", "", "", "", ""}, 8},
      {0,
       8,
       {"row0", "row1", "row2", "row3", "row4", "row5", "row6", "row7", "row8", "row9", "row10",
        "row11"},
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.line_feeds) + " line feeds on a window at row " +
                 std::to_string(c.window_top));
    MemoryDevice::Options options = Shape(10, 4, 12, c.window_top);
    options.attribute = 0x1E;
    Rig rig(options);
    rig.console.ClearScreen();
    for (int y = 0; y < 12; ++y) rig.device.PutRow(y, "row" + std::to_string(y));
    rig.device.FillAttribute(0x40, 10 * 12, At(0, 0));
    rig.console.PlaceCursor(4, 1, -1);
    rig.console.Print(std::string(static_cast<size_t>(c.line_feeds), '\n'));
    EXPECT_EQ(BufferRows(rig.device, 12), c.buffer);
    // Rows vacated by the scroll are blank in the current attribute; moved
    // rows keep their own.
    for (int y = 0; y < 12; ++y) {
      const int attribute = c.buffer[static_cast<size_t>(y)].empty() ? 0x1E : 0x40;
      EXPECT_EQ(rig.device.AttributeAt(0, y), attribute) << "row " << y;
      EXPECT_EQ(rig.device.AttributeAt(9, y), attribute) << "row " << y;
    }
    EXPECT_EQ(rig.device.window().top, c.final_window_top);
    EXPECT_EQ(rig.device.cursor(), At(0, c.final_window_top + 3));
  }
}

TEST(ScreenScrollByLineFeeds, TheHostKeepsTheEarlierOutputAndEveryRowThatLeavesTheTop) {
  Rig rig(Shape(10, 3));
  rig.device.host_history = true;
  rig.device.PutRow(0, "earlier");
  rig.console.ClearScreen();  // the first clear passes the window's rows on, a later one does not
  rig.console.Print(Lines(1, 3) + "0123456789X");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"L3", "0123456789", "X"}));
  EXPECT_EQ(rig.device.AttributeAt(9, 2), 7);  // the current attribute, not the host's
  EXPECT_EQ(rig.device.cursor(), At(1, 2));
  rig.console.ClearScreen();
  EXPECT_EQ(rig.device.history(), (Rows{"earlier", "", "", "L1", "L2"}));
}

// --- The sub-view: the window's height changed after the view was fixed --------------

TEST(ScreenSubView, ScrollingStaysInsideTheViewWhenTheWindowShrank) {
  Rig rig(Shape(20, 10, 30));
  rig.console.ClearScreen();  // the view: rows 1 to 10
  rig.device.PutRow(10, "below the view");
  rig.device.PutRow(29, "buffer bottom");
  rig.device.MoveWindow(0, 4);
  for (int n = 1; n <= 12; ++n) rig.console.Print(Lines(n, n));
  Rows expected = {"L4", "L5", "L6", "L7", "L8", "L9", "L10", "L11", "L12", "", "below the view"};
  EXPECT_EQ(BufferRows(rig.device, 11), expected);
  EXPECT_EQ(rig.device.Row(29), "buffer bottom");
  EXPECT_EQ(rig.device.window(), (Rect{0, 0, 19, 4}));
  EXPECT_EQ(rig.device.cursor(), At(0, 9));
}

TEST(ScreenSubView, ManyLineFeedsMoveTheViewsContentUpOrBlankTheView) {
  for (int k : {1, 3, 7, 9, 10, 15}) {
    SCOPED_TRACE(std::to_string(k) + " line feeds on the view's last row");
    Rig rig(Shape(20, 10, 30));
    rig.console.ClearScreen();  // the view: rows 1 to 10
    for (int y = 0; y < 10; ++y) rig.device.PutRow(y, "v" + std::to_string(y));
    rig.device.PutRow(10, "below the view");
    rig.device.MoveWindow(0, 4);
    rig.console.Print("\r");  // a print reads the new console area
    rig.console.PlaceCursor(10, 1, -1);
    rig.console.Print(std::string(static_cast<size_t>(k), '\n'));
    Rows expected;
    for (int y = 0; y < 10; ++y) expected.push_back(y + k < 10 ? "v" + std::to_string(y + k) : "");
    expected.push_back("below the view");
    EXPECT_EQ(BufferRows(rig.device, 11), expected);
    EXPECT_EQ(rig.device.window(), (Rect{0, 0, 19, 4}));
    EXPECT_EQ(rig.device.cursor(), At(0, 9));
  }
}

TEST(ScreenSubView, ScrollingStaysInsideTheViewWhenTheWindowGrew) {
  Rig rig(Shape(20, 5, 30));
  rig.console.ClearScreen();  // the view: rows 1 to 5
  rig.device.PutRow(5, "below the view");
  rig.device.MoveWindow(0, 14);
  rig.console.Print("\r");  // a print reads the new console area
  for (int n = 1; n <= 8; ++n) rig.console.Print(Lines(n, n));
  EXPECT_EQ(BufferRows(rig.device, 7), (Rows{"L5", "L6", "L7", "L8", "", "below the view", ""}));
  EXPECT_EQ(rig.device.window(), (Rect{0, 0, 19, 14}));
  EXPECT_EQ(rig.device.cursor(), At(0, 4));
  // Text filling the view's last row waits for the next print there too.
  rig.console.Print("01234567890123456789");
  EXPECT_EQ(rig.device.cursor(), At(19, 4));
  rig.console.Print("X");
  EXPECT_EQ(BufferRows(rig.device, 6),
            (Rows{"L6", "L7", "L8", "01234567890123456789", "X", "below the view"}));
}

}  // namespace
}  // namespace console
