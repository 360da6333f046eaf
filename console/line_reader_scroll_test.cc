// Keyboard line editing on a console 20 columns wide and 5 rows high, where
// the line wraps and the screen scrolls: the rows shown, the cursor after
// every stage of typing, and the line Enter returns.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/testing/rig.h"

namespace console {
namespace {

using Cell = std::pair<int, int>;  // column, row; 0-based

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxy";  // 25: wraps after r

// A line of 25 letters after "? " on the first row: row 0 holds a to r, row 1
// s to y, and the cursor stands after y.
class LineReaderWrappedLine : public ::testing::Test {
 protected:
  LineReaderWrappedLine() : rig_(Shape(20, 5)) {}
  Rig rig_;
};

TEST_F(LineReaderWrappedLine, WrapsAtTheRightEdge) {
  EXPECT_EQ(rig_.Edit("? ", {kLetters}), kLetters);
  EXPECT_EQ(rig_.looks()[0].rows, (Rows{"? abcdefghijklmnopqr", "stuvwxy", "", "", ""}));
  EXPECT_EQ(rig_.looks()[0].cursor, Cell(7, 1));
  EXPECT_EQ(rig_.Cursor(), Cell(7, 1));
}

TEST_F(LineReaderWrappedLine, UpAndDownMoveByAWholeWidthWhileTheLineReaches) {
  const std::vector<std::string> stages = {kLetters,       "{Up}",   "{Up}", "{Down}", "{Down}",
                                           "{Home}{Down}", "{Down}", "{Up}", "X"};
  const Cell kCursors[] = {
      {7, 1},  // edit position 25
      {7, 0},  // 5
      {7, 0},  // 5: no 20 characters before it
      {7, 1},  // 25
      {7, 1},  // 25: no 20 characters after it
      {2, 1},  // 20
      {2, 1},  // 20: 40 is past the end
      {2, 0},  // 0
      {3, 0},  // X inserted at 0
  };
  EXPECT_EQ(rig_.Edit("? ", stages), std::string("X") + kLetters);
  for (size_t i = 0; i < stages.size(); ++i) {
    SCOPED_TRACE(stages[i]);
    EXPECT_EQ(rig_.looks()[i].cursor, kCursors[i]);
  }
  EXPECT_EQ(rig_.looks().back().rows, (Rows{"? Xabcdefghijklmnopq", "rstuvwxy", "", "", ""}));
  EXPECT_EQ(rig_.Cursor(), Cell(8, 1));  // Enter: after the last character
  EXPECT_TRUE(rig_.device.beeps().empty());
}

TEST_F(LineReaderWrappedLine, InsertingMovesTheRestOntoTheNextRow) {
  EXPECT_EQ(rig_.Edit("? ", {kLetters, "{Up}{Right}{Right}X", "{Left}{Left}{Left}{Tab}"}),
            "abcde   fgXhijklmnopqrstuvwxy");
  EXPECT_EQ(rig_.looks()[1].rows, (Rows{"? abcdefgXhijklmnopq", "rstuvwxy", "", "", ""}));
  EXPECT_EQ(rig_.looks()[1].cursor, Cell(10, 0));
  // Tab at edit position 5: three spaces.
  EXPECT_EQ(rig_.looks()[2].rows, (Rows{"? abcde   fgXhijklmn", "opqrstuvwxy", "", "", ""}));
  EXPECT_EQ(rig_.looks()[2].cursor, Cell(10, 0));
  EXPECT_EQ(rig_.Cursor(), Cell(11, 1));
}

TEST_F(LineReaderWrappedLine, DeletingPullsTheNextRowBack) {
  EXPECT_EQ(rig_.Edit("? ", {kLetters, "{Home}{Delete}"}), "bcdefghijklmnopqrstuvwxy");
  EXPECT_EQ(rig_.looks()[1].rows, (Rows{"? bcdefghijklmnopqrs", "tuvwxy", "", "", ""}));
  EXPECT_EQ(rig_.looks()[1].cursor, Cell(2, 0));
}

TEST_F(LineReaderWrappedLine, BackspaceAtTheStartOfARowTakesTheLastCellOfTheRowAbove) {
  EXPECT_EQ(rig_.Edit("? ", {kLetters, "{Home}{Down}{Left}{Left}", "{Backspace}"}),
            "abcdefghijklmnopqstuvwxy");
  EXPECT_EQ(rig_.looks()[1].cursor, Cell(0, 1));  // before s
  EXPECT_EQ(rig_.looks()[2].rows, (Rows{"? abcdefghijklmnopqs", "tuvwxy", "", "", ""}));
  EXPECT_EQ(rig_.looks()[2].cursor, Cell(19, 0));
  EXPECT_EQ(rig_.Cursor(), Cell(6, 1));
}

TEST_F(LineReaderWrappedLine, EscapeBlanksEveryRowOfTheLine) {
  EXPECT_EQ(rig_.Edit("? ", {kLetters, "{Left}{Left}{Left}{Esc}", "ok"}), "ok");
  EXPECT_EQ(rig_.looks()[1].rows, (Rows{"?", "", "", "", ""}));
  EXPECT_EQ(rig_.looks()[1].cursor, Cell(2, 0));
  EXPECT_EQ(rig_.looks()[2].rows, (Rows{"? ok", "", "", "", ""}));
}

// --- At the bottom of the window ---------------------------------------------------

// Four numbered rows above a prompt on the last row of a 20 x 5 window.
class LineReaderLastRow : public ::testing::Test {
 protected:
  LineReaderLastRow() : rig_(Shape(20, 5)) { rig_.console.Print("1\r\n2\r\n3\r\n4\r\n"); }
  Rig rig_;
};

TEST_F(LineReaderLastRow, TypingIntoTheBottomRightCellScrollsAtOnce) {
  EXPECT_EQ(rig_.Edit("? ", {"abcdefghijklmnopq", "r", "st"}), "abcdefghijklmnopqrst");
  const std::vector<Look>& looks = rig_.looks();
  EXPECT_EQ(looks[0].rows, (Rows{"1", "2", "3", "4", "? abcdefghijklmnopq"}));
  EXPECT_EQ(looks[0].cursor, Cell(19, 4));
  EXPECT_EQ(looks[1].rows, (Rows{"2", "3", "4", "? abcdefghijklmnopqr", ""}));
  EXPECT_EQ(looks[1].cursor, Cell(0, 4));
  EXPECT_EQ(looks[2].rows, (Rows{"2", "3", "4", "? abcdefghijklmnopqr", "st"}));
  EXPECT_EQ(looks[2].cursor, Cell(2, 4));
  EXPECT_EQ(rig_.device.WindowRows(), looks[2].rows);
  EXPECT_EQ(rig_.Cursor(), Cell(2, 4));
}

TEST_F(LineReaderLastRow, InsertingIntoAFullLastRowScrollsAndKeepsTheCursorAfterIt) {
  EXPECT_EQ(rig_.Edit("? ", {"abcdefghijklmnopq", "{Home}{Right}{Right}{Right}{Right}{Right}X", "Y",
                             "Z"}),
            "abcdeXYZfghijklmnopq");
  const std::vector<Look>& looks = rig_.looks();
  // The 18th character fills the last row to its edge: no scroll yet.
  EXPECT_EQ(looks[1].rows, (Rows{"1", "2", "3", "4", "? abcdeXfghijklmnopq"}));
  EXPECT_EQ(looks[1].cursor, Cell(8, 4));
  // The 19th pushes q onto a new row: one row up, the cursor after Y.
  EXPECT_EQ(looks[2].rows, (Rows{"2", "3", "4", "? abcdeXYfghijklmnop", "q"}));
  EXPECT_EQ(looks[2].cursor, Cell(9, 3));
  // The 20th has room on that row.
  EXPECT_EQ(looks[3].rows, (Rows{"2", "3", "4", "? abcdeXYZfghijklmno", "pq"}));
  EXPECT_EQ(looks[3].cursor, Cell(10, 3));
  EXPECT_EQ(rig_.Cursor(), Cell(2, 4));
}

TEST_F(LineReaderLastRow, EnterAtALineThatFillsTheLastRowScrollsToItsEnd) {
  EXPECT_EQ(rig_.Edit("? ", {"abcdefghijklmnopq", "{Home}X"}), "Xabcdefghijklmnopq");
  EXPECT_EQ(rig_.looks()[1].rows, (Rows{"1", "2", "3", "4", "? Xabcdefghijklmnopq"}));
  EXPECT_EQ(rig_.looks()[1].cursor, Cell(3, 4));
  // The end of the text is the first cell below the window.
  EXPECT_EQ(rig_.device.WindowRows(), (Rows{"2", "3", "4", "? Xabcdefghijklmnopq", ""}));
  EXPECT_EQ(rig_.Cursor(), Cell(0, 4));
}

TEST_F(LineReaderLastRow, TabAtTheBottomRightScrollsAndTheCursorFollows) {
  struct TabCase {
    const char* prompt;
    Rows rows;  // after the Tab
    Cell cursor;
    const char* last_row;  // after an x typed next
  };
  const TabCase kCases[] = {
      // 8 spaces from column 12 end in the bottom-right cell: the cursor
      // goes to the start of a new last row.
      {"Tab:", {"2", "3", "4", "Tab:abcdefgh", ""}, {0, 4}, "x"},
      // From column 18 they wrap; the scroll comes with the print, and the
      // cursor stays where the print left it, after the spaces.
      {"1234567890", {"2", "3", "4", "1234567890abcdefgh", ""}, {6, 4}, "      x"},
  };
  for (const TabCase& c : kCases) {
    SCOPED_TRACE(c.prompt);
    Rig rig(Shape(20, 5));
    rig.console.Print("1\r\n2\r\n3\r\n4\r\n");
    EXPECT_EQ(rig.Edit(c.prompt, {"abcdefgh", "{Tab}", "x"}), "abcdefgh        x");
    EXPECT_EQ(rig.looks()[1].rows, c.rows);
    EXPECT_EQ(rig.looks()[1].cursor, c.cursor);
    EXPECT_EQ(rig.looks()[2].rows[4], c.last_row);
    EXPECT_EQ(rig.looks()[2].rows[3], c.rows[3]);
  }
}

TEST_F(LineReaderLastRow, APromptEndingInTheLastCellTakesTheFirstCharacterThere) {
  // 18 characters and "? " fill the last row; the line reader's first
  // cursor placement drops the line feed that the prompt left pending.
  rig_.device.Type("ab{Enter}");
  EXPECT_EQ(rig_.Ask("File name to open:"), "ab");
  EXPECT_EQ(rig_.device.WindowRows(), (Rows{"3", "4", "File name to open:?a", "b", ""}));
  EXPECT_EQ(rig_.Cursor(), Cell(0, 4));
}

// --- A line whose start has scrolled off the top -------------------------------

// "? " on the last row and 120 digits 0123456789...: the line covers seven
// rows, its first two above the window.
class LineReaderLongLine : public ::testing::Test {
 protected:
  LineReaderLongLine() : rig_(Shape(20, 5)) { rig_.console.PlaceCursor(5, 1, -1); }

  static std::string Digits() {
    std::string digits;
    for (int i = 0; i < 120; ++i) digits.push_back(static_cast<char>('0' + i % 10));
    return digits;
  }
  static Rows Shown() {
    return {"89012345678901234567", "89012345678901234567", "89012345678901234567",
            "89012345678901234567", "89"};
  }
  Rig rig_;
};

TEST_F(LineReaderLongLine, HomeChangesTheEditPositionButNotTheCursor) {
  EXPECT_EQ(rig_.Edit("? ", {Digits(), "{Home}", "X"}), "X" + Digits());
  const std::vector<Look>& looks = rig_.looks();
  EXPECT_EQ(looks[0].rows, Shown());
  EXPECT_EQ(looks[0].cursor, Cell(2, 4));
  EXPECT_EQ(looks[1].rows, Shown());
  EXPECT_EQ(looks[1].cursor, Cell(2, 4));  // the start is above the window
  // X goes to the front of the line, which is drawn again from the cursor
  // and scrolls six rows; the cell after X is above the window too.
  EXPECT_EQ(looks[2].rows, (Rows{"78901234567890123456", "78901234567890123456",
                                 "78901234567890123456", "78901234567890123456", "789"}));
  EXPECT_EQ(looks[2].cursor, Cell(3, 4));
  EXPECT_EQ(rig_.Cursor(), Cell(3, 4));  // and so is the end of the line
}

TEST_F(LineReaderLongLine, UpStopsAtTheTopRowWhileTheEditPositionGoesOn) {
  std::vector<std::string> stages = {Digits()};
  for (int i = 0; i < 6; ++i) stages.push_back("{Up}");
  stages.push_back("X");
  EXPECT_EQ(rig_.Edit("? ", stages), "X" + Digits());
  // Up from 120 to 0 in steps of 20: the cursor climbs to the top row and
  // stays there for the last two.
  const Cell kCursors[] = {{2, 4}, {2, 3}, {2, 2}, {2, 1}, {2, 0}, {2, 0}, {2, 0}};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(rig_.looks()[i].rows, Shown()) << i;
    EXPECT_EQ(rig_.looks()[i].cursor, kCursors[i]) << i;
  }
  // X is drawn with the whole line from the top row, scrolling two rows;
  // the cell after it is above the window and the cursor stays at the end.
  EXPECT_EQ(rig_.looks()[7].rows, (Rows{"78901234567890123456", "78901234567890123456",
                                        "78901234567890123456", "78901234567890123456", "789"}));
  EXPECT_EQ(rig_.looks()[7].cursor, Cell(3, 4));
}

// 105 letters after "? " on the last row: the line's first row is just
// above the window, where a cursor advance lands on row 0.
TEST_F(LineReaderLongLine, APositionOnTheRowJustAboveTheWindowLeavesTheCursorToo) {
  std::string letters;
  for (int i = 0; i < 105; ++i) letters.push_back(static_cast<char>('a' + i % 26));
  const std::vector<std::string> stages = {
      letters,  "{Home}", "{End}{Up}{Up}{Up}{Up}", "{Left}{Left}{Left}{Left}{Left}{Left}{Left}",
      "{Left}", "X"};
  std::string line = letters;
  line.insert(17, "X");
  EXPECT_EQ(rig_.Edit("? ", stages), line);
  const Cell kCursors[] = {
      {7, 4},  // edit position 105
      {7, 4},  // 0: its cell is on the row above the window
      {7, 0},  // 105, then 25
      {0, 0},  // 18
      {0, 0},  // 17: at the end of the row above
  };
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(rig_.looks()[i].cursor, kCursors[i]) << i;
}

}  // namespace
}  // namespace console
