#include "console/vt/vt_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/vt/testing/screen_support.h"

namespace console {
namespace {

// The model row by row: a known cell as its byte, an unknown one as '.'.
std::vector<std::string> Rows(const VtScreen& screen) {
  std::vector<std::string> rows;
  for (int y = 0; y < screen.height(); ++y) {
    std::string row;
    for (int x = 0; x < screen.width(); ++x) {
      row += screen.KnownAt(x, y) ? static_cast<char>(screen.CharacterAt(x, y)) : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

// --- The model ------------------------------------------------------------

TEST(VtScreenModel, StartsUnknown) {
  VtScreen screen(4, 2, kUtf8);
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"....", "...."}));
  EXPECT_EQ(screen.cursor(), (Coord{0, 0}));
  EXPECT_TRUE(screen.cursor_visible());
}

TEST(VtScreenModel, FillCharacterRunsOverRowsAndClips) {
  struct Case {
    int length;
    Coord at;
    bool result;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {3, {1, 0}, true, {".xxx.", ".....", "....."}},
      {7, {3, 0}, true, {"...xx", "xxxxx", "....."}},   // continues on the next row
      {11, {4, 1}, true, {".....", "....x", "xxxxx"}},  // clipped at the buffer's end
      {100, {0, 0}, true, {"xxxxx", "xxxxx", "xxxxx"}},
      {0, {2, 2}, true, {".....", ".....", "....."}},
      {3, {5, 0}, false, {".....", ".....", "....."}},  // column past the edge
      {3, {0, 3}, false, {".....", ".....", "....."}},  // row past the bottom
      {3, {-1, 0}, false, {".....", ".....", "....."}},
      {3, {0, -1}, false, {".....", ".....", "....."}},
  };
  for (const Case& c : cases) {
    VtScreen screen(5, 3, kUtf8);
    EXPECT_EQ(screen.FillCharacter('x', c.length, c.at), c.result) << c.length;
    EXPECT_EQ(Rows(screen), c.rows) << c.length << " at " << c.at.x << "," << c.at.y;
  }
}

TEST(VtScreenModel, FillAttributeMakesUnknownCellsKnownBlanks) {
  VtScreen screen(5, 2, kUtf8);
  ASSERT_TRUE(screen.WriteCells("ab", 2, 7, Coord{0, 0}));
  EXPECT_TRUE(screen.FillAttribute(0x1E, 6, Coord{1, 0}));
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"ab   ", "  ..."}));
  EXPECT_EQ(screen.AttributeAt(0, 0), 7);     // before the run
  EXPECT_EQ(screen.AttributeAt(1, 0), 0x1E);  // the written 'b' keeps its byte
  EXPECT_EQ(screen.AttributeAt(1, 1), 0x1E);  // the run's last cell
  EXPECT_EQ(screen.AttributeAt(2, 1), 7);
  EXPECT_FALSE(screen.FillAttribute(0x1E, 1, Coord{0, 2}));
}

TEST(VtScreenModel, FillCharacterKeepsTheAttribute) {
  VtScreen screen(3, 1, kUtf8);
  ASSERT_TRUE(screen.WriteCells("abc", 3, 0x4F, Coord{0, 0}));
  EXPECT_TRUE(screen.FillCharacter('-', 2, Coord{1, 0}));
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"a--"}));
  EXPECT_EQ(screen.AttributeAt(2, 0), 0x4F);
}

TEST(VtScreenModel, WriteCellsClipsAtTheEdgeAndRefusesOutside) {
  struct Case {
    Coord at;
    bool result;
    std::string row0;
  };
  const Case cases[] = {
      {{0, 0}, true, "abcd."},   {{3, 0}, true, "...ab"},  // the rest is clipped at the right edge
      {{4, 0}, true, "....a"},   {{5, 0}, false, "....."}, {{-1, 0}, false, "....."},
      {{0, -1}, false, "....."}, {{0, 2}, false, "....."},
  };
  for (const Case& c : cases) {
    VtScreen screen(5, 2, kUtf8);
    EXPECT_EQ(screen.WriteCells("abcd", 4, 0x1E, c.at), c.result) << c.at.x << "," << c.at.y;
    EXPECT_EQ(Rows(screen), (std::vector<std::string>{c.row0, "....."})) << c.at.x << "," << c.at.y;
  }
}

TEST(VtScreenModel, ScrollRectMovesAndFillsWhatIsLeftBehind) {
  struct Case {
    const char* name;
    Rect source;
    Coord destination;
    bool result;
    std::vector<std::string> rows;
  };
  // The model before each move is "abcde" / "fghij" / "klmno" / "pqrst".
  const Case cases[] = {
      {"right by two, overlapping",
       {0, 0, 2, 0},
       {2, 0},
       true,
       {"--abc", "fghij", "klmno", "pqrst"}},
      {"left by one, overlapping",
       {1, 1, 4, 1},
       {0, 1},
       true,
       {"abcde", "ghij-", "klmno", "pqrst"}},
      {"down by one, overlapping",
       {1, 0, 3, 1},
       {1, 1},
       true,
       {"a---e", "fbcdj", "kghio", "pqrst"}},
      {"up by one inside a sub-rectangle",
       {1, 2, 3, 3},
       {1, 1},
       true,
       {"abcde", "flmnj", "kqrso", "p---t"}},
      {"diagonal, no overlap", {0, 0, 1, 1}, {3, 2}, true, {"--cde", "--hij", "klmab", "pqrfg"}},
      {"source clipped at the right edge",
       {3, 0, 9, 0},
       {0, 0},
       true,
       {"dec--", "fghij", "klmno", "pqrst"}},
      {"destination partly outside",
       {0, 3, 4, 3},
       {3, 3},
       true,
       {"abcde", "fghij", "klmno", "---pq"}},
      {"destination wholly outside",
       {0, 0, 1, 0},
       {9, 9},
       true,
       {"--cde", "fghij", "klmno", "pqrst"}},
      {"source wholly outside", {5, 0, 6, 1}, {0, 0}, false, {"abcde", "fghij", "klmno", "pqrst"}},
      {"source above the buffer",
       {0, -3, 4, -1},
       {0, 0},
       false,
       {"abcde", "fghij", "klmno", "pqrst"}},
      {"whole buffer up by one", {0, 1, 4, 3}, {0, 0}, true, {"fghij", "klmno", "pqrst", "-----"}},
      {"whole buffer up by three",
       {0, 3, 4, 3},
       {0, 0},
       true,
       {"pqrst", "-----", "-----", "-----"}},
  };
  for (const Case& c : cases) {
    VtScreen screen(5, 4, kUtf8);
    FillWithLetters(&screen);
    EXPECT_EQ(screen.ScrollRect(c.source, c.destination, '-', 0x1E), c.result) << c.name;
    EXPECT_EQ(Rows(screen), c.rows) << c.name;
  }
}

TEST(VtScreenModel, ScrollFillCarriesItsAttribute) {
  VtScreen screen(3, 3, kUtf8);
  FillWithLetters(&screen);
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 2, 2}, Coord{0, 0}, ' ', 0x2F));
  EXPECT_EQ(screen.AttributeAt(0, 1), 7);  // moved up with its cell
  EXPECT_EQ(screen.AttributeAt(1, 2), 0x2F);
  ASSERT_TRUE(screen.ScrollRect(Rect{1, 0, 1, 0}, Coord{2, 0}, 'z', 0x61));
  EXPECT_EQ(screen.CharacterAt(1, 0), 'z');
  EXPECT_EQ(screen.AttributeAt(1, 0), 0x61);
  EXPECT_EQ(screen.CharacterAt(2, 0), 'e');
}

TEST(VtScreenModel, UnknownCellsMoveAsUnknown) {
  VtScreen screen(3, 2, kUtf8);
  ASSERT_TRUE(screen.WriteCells("a", 1, 7, Coord{0, 1}));
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 2, 1}, Coord{0, 0}, '-', 7));
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"a..", "---"}));
}

TEST(VtScreenModel, CursorPositionIsRefusedOutsideTheBuffer) {
  struct Case {
    Coord at;
    bool result;
  };
  const Case cases[] = {
      {{0, 0}, true},  {{4, 2}, true},   {{5, 0}, false},
      {{0, 3}, false}, {{-1, 1}, false}, {{1, -1}, false},
  };
  for (const Case& c : cases) {
    VtScreen screen(5, 3, kUtf8);
    ASSERT_TRUE(screen.SetCursorPosition(Coord{2, 1}));
    EXPECT_EQ(screen.SetCursorPosition(c.at), c.result) << c.at.x << "," << c.at.y;
    EXPECT_EQ(screen.cursor(), (c.result ? c.at : Coord{2, 1})) << c.at.x << "," << c.at.y;
  }
  VtScreen screen(5, 3, kUtf8);
  screen.SetCursorVisible(false);
  EXPECT_FALSE(screen.cursor_visible());
}

TEST(VtScreenModel, ResizeKeepsTheCellsThatFitAndClampsTheCursor) {
  VtScreen screen(5, 3, kUtf8);
  FillWithLetters(&screen);
  ASSERT_TRUE(screen.SetCursorPosition(Coord{4, 2}));
  screen.Resize(3, 4);
  EXPECT_EQ(screen.width(), 3);
  EXPECT_EQ(screen.height(), 4);
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"abc", "fgh", "klm", "..."}));
  EXPECT_EQ(screen.cursor(), (Coord{2, 2}));
  screen.Resize(6, 2);
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"abc...", "fgh..."}));
  EXPECT_EQ(screen.cursor(), (Coord{2, 1}));
}

TEST(VtScreenModel, ResizeAfterWholeBufferScrollsKeepsScreenOrder) {
  VtScreen screen(3, 3, kUtf8);
  FillWithLetters(&screen);
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 2, 2}, Coord{0, 0}, '-', 7));
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 2, 2}, Coord{0, 0}, '+', 7));
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"ghi", "---", "+++"}));
  screen.Resize(2, 3);
  EXPECT_EQ(Rows(screen), (std::vector<std::string>{"gh", "--", "++"}));
}

}  // namespace
}  // namespace console
