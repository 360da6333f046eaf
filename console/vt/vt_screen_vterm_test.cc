// The renderer's output played on a real terminal emulator (libvterm, in
// process): what the emulator shows must be what the model holds.
#include <gtest/gtest.h>
#include <vterm.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "console/cell_glyph.h"
#include "console/vt/testing/screen_support.h"
#include "console/vt/vt_screen.h"

namespace console {
namespace {

// An emulated terminal that records what a program could do to it besides
// drawing: lines pushed to the scroll-back, bells, property changes.
class Terminal {
 public:
  Terminal(int width, int height, bool utf8 = true) : vt_(vterm_new(height, width)) {
    vterm_set_utf8(vt_, utf8 ? 1 : 0);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen_, &kCallbacks, this);
    vterm_screen_reset(screen_, 1);
    Feed(VtScreen::StartSequence());
    visibility_changes.clear();
    other_properties.clear();
  }
  ~Terminal() { vterm_free(vt_); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  void Feed(const std::string& bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }
  void Resize(int width, int height) { vterm_set_size(vt_, height, width); }

  VTermScreenCell Cell(int x, int y) const {
    VTermScreenCell cell;
    vterm_screen_get_cell(screen_, VTermPos{y, x}, &cell);
    return cell;
  }
  char32_t Glyph(int x, int y) const { return GlyphOf(Cell(x, y)); }
  std::u32string Row(int y) const {
    std::u32string row;
    int rows = 0;
    int columns = 0;
    vterm_get_size(vt_, &rows, &columns);
    for (int x = 0; x < columns; ++x) row += Glyph(x, y);
    return row;
  }
  Coord Cursor() const {
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &pos);
    return Coord{pos.col, pos.row};
  }

  static char32_t GlyphOf(const VTermScreenCell& cell) {
    return cell.chars[0] == 0 ? U' ' : static_cast<char32_t>(cell.chars[0]);
  }

  std::vector<std::u32string> pushed;  // lines in the order they left the top
  std::vector<bool> visibility_changes;
  std::vector<int> other_properties;  // any property but cursor visibility
  bool cursor_visible = true;
  int bells = 0;

 private:
  static int OnPushLine(int columns, const VTermScreenCell* cells, void* user) {
    std::u32string line;
    for (int x = 0; x < columns; ++x) line += GlyphOf(cells[x]);
    static_cast<Terminal*>(user)->pushed.push_back(line);
    return 1;
  }
  static int OnProperty(VTermProp property, VTermValue* value, void* user) {
    auto* self = static_cast<Terminal*>(user);
    if (property == VTERM_PROP_CURSORVISIBLE) {
      self->cursor_visible = value->boolean != 0;
      self->visibility_changes.push_back(self->cursor_visible);
    } else {
      self->other_properties.push_back(property);
    }
    return 1;
  }
  static int OnBell(void* user) {
    ++static_cast<Terminal*>(user)->bells;
    return 1;
  }

  static constexpr VTermScreenCallbacks kCallbacks = {nullptr, nullptr, nullptr,     &OnProperty,
                                                      &OnBell, nullptr, &OnPushLine, nullptr};

  VTerm* vt_;
  VTermScreen* screen_;
};

// The ANSI palette index of each Windows colour (Windows blue = 1 is ANSI 4).
constexpr int kAnsiOfWindows[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

// -1 for the terminal's default colour.
int ColourIndex(const VTermColor& colour, bool foreground) {
  if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&colour) : VTERM_COLOR_IS_DEFAULT_BG(&colour)) {
    return -1;
  }
  return VTERM_COLOR_IS_INDEXED(&colour) ? colour.indexed.idx : -2;
}

// What a cell must look like: its glyph and its colours.
struct Look {
  char32_t glyph;
  int foreground;
  int background;
  friend bool operator==(const Look& a, const Look& b) {
    return a.glyph == b.glyph && a.foreground == b.foreground && a.background == b.background;
  }
};

std::ostream& operator<<(std::ostream& out, const Look& look) {
  return out << "U+" << std::hex << static_cast<uint32_t>(look.glyph) << std::dec << " fg "
             << look.foreground << " bg " << look.background;
}

char32_t ExpectedGlyph(uint8_t byte, bool utf8) {
  if (utf8) return static_cast<char32_t>(CellGlyph(byte));
  const auto glyph = static_cast<char32_t>(CellGlyph(byte));  // ' ' for 0x00, '-' for 0xAD
  return glyph < 0x80 ? glyph : U'?';
}

Look ModelLook(const VtScreen& screen, int x, int y, bool utf8) {
  const unsigned attribute = screen.AttributeAt(x, y) & 0xFFu;  // only colours are drawn
  if (attribute == 7) return Look{ExpectedGlyph(screen.CharacterAt(x, y), utf8), -1, -1};
  return Look{ExpectedGlyph(screen.CharacterAt(x, y), utf8), kAnsiOfWindows[attribute & 0x0F],
              kAnsiOfWindows[attribute >> 4]};
}

Look TerminalLook(const Terminal& terminal, int x, int y) {
  const VTermScreenCell cell = terminal.Cell(x, y);
  return Look{Terminal::GlyphOf(cell), ColourIndex(cell.fg, true), ColourIndex(cell.bg, false)};
}

// Every known cell of the model is on the terminal, the cursor is where the
// model has it and shown as the model says; nothing else was touched.
void ExpectTerminalShowsModel(const VtScreen& screen, const Terminal& terminal, bool utf8 = true) {
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      if (!screen.KnownAt(x, y)) continue;
      ASSERT_EQ(TerminalLook(terminal, x, y), ModelLook(screen, x, y, utf8))
          << "cell " << x << "," << y;
    }
  }
  EXPECT_EQ(terminal.Cursor(), screen.cursor());
  EXPECT_EQ(terminal.cursor_visible, screen.cursor_visible());
  EXPECT_TRUE(terminal.other_properties.empty());
}

void Flush(VtScreen* screen, Terminal* terminal) {
  screen->Render();
  terminal->Feed(screen->TakeOutput());
}

void WriteText(VtScreen* screen, const std::string& text, uint16_t attribute, Coord at) {
  ASSERT_TRUE(screen->WriteCells(text.data(), static_cast<int>(text.size()), attribute, at));
}

TEST(VtScreenOnTerminal, ShowsGlyphsAndColours) {
  VtScreen screen(20, 4, kUtf8);
  Terminal terminal(20, 4);
  WriteText(&screen, "\xC7\xE0\xEF\xE8\xF1\xE8", 7, Coord{0, 0});
  WriteText(&screen, "plain", 0x1E, Coord{8, 0});
  WriteText(&screen, "\x01\x02\x7F\xA8\xB8\x98\xAD\x80\xB9", 0x4F, Coord{0, 1});
  ASSERT_TRUE(screen.FillAttribute(0x70, 20, Coord{0, 2}));
  ASSERT_TRUE(screen.SetCursorPosition(Coord{6, 0}));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(0), U"Записи  plain       ");
  EXPECT_EQ(terminal.Row(1), U"☺☻⌂Ёё?-Ђ№           ");
  EXPECT_EQ(TerminalLook(terminal, 8, 0), (Look{U'p', 11, 4}));  // yellow on blue
  EXPECT_EQ(TerminalLook(terminal, 0, 0), (Look{U'З', -1, -1}));
  EXPECT_EQ(TerminalLook(terminal, 3, 1), (Look{U'Ё', 15, 1}));  // white on red
  EXPECT_EQ(TerminalLook(terminal, 19, 2), (Look{U' ', 0, 7}));  // black on grey
  ExpectTerminalShowsModel(screen, terminal);
}

TEST(VtScreenOnTerminal, AsciiTerminalGetsQuestionMarks) {
  VtScreen screen(32, 8, kAscii);
  Terminal terminal(32, 8, /*utf8=*/false);
  for (int y = 0; y < 8; ++y) {
    std::string row;
    for (int x = 0; x < 32; ++x) row += static_cast<char>(y * 32 + x);
    WriteText(&screen, row, 7, Coord{0, y});
  }
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(1), std::u32string(U" !\"#$%&'()*+,-./0123456789:;<=>?"));
  EXPECT_EQ(terminal.Row(3), std::u32string(U"`abcdefghijklmnopqrstuvwxyz{|}~?"));
  EXPECT_EQ(terminal.Row(0), std::u32string(U" ???????????????????????????????"));
  EXPECT_EQ(terminal.Row(4), std::u32string(32, U'?'));
  EXPECT_EQ(terminal.Row(5), std::u32string(13, U'?') + U"-" + std::u32string(18, U'?'));
  EXPECT_EQ(terminal.Row(7), std::u32string(32, U'?'));
  EXPECT_EQ(terminal.bells, 0);
  ExpectTerminalShowsModel(screen, terminal, /*utf8=*/false);
}

TEST(VtScreenOnTerminal, EscapesInCellsAreShownNotObeyed) {
  VtScreen screen(16, 6, kUtf8);
  Terminal terminal(16, 6);
  WriteText(&screen, "keep me", 7, Coord{0, 5});
  Flush(&screen, &terminal);
  const std::string hostile[] = {
      std::string("\x1b]0;pwned\x07"),          // window title
      std::string("\x1b[2J\x1b[?25l\x1b[31m"),  // clear, hide cursor, red
      std::string("\x9b?1049h\x9b?5h\x9b"
                  "3J"),  // C1 CSI: alternate screen, reverse
      std::string("\x1b"
                  "c\x0e\x1b(0\x1b#8"),               // reset, shift out, line drawing, DECALN
      std::string("\r\n\b\t\x7f\x07\x00\x1b[S", 10),  // moves, bell, scroll up
  };
  for (int y = 0; y < 5; ++y) WriteText(&screen, hostile[y], 7, Coord{0, y});
  ASSERT_TRUE(screen.SetCursorPosition(Coord{7, 5}));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(0), U"←]0;pwned•      ");
  EXPECT_EQ(terminal.Row(3), U"←c♫←(0←#8       ");
  EXPECT_EQ(terminal.Row(4), U"♪◙◘○⌂• ←[S      ");
  EXPECT_EQ(terminal.Row(5), U"keep me         ");
  EXPECT_EQ(terminal.bells, 0);
  EXPECT_TRUE(terminal.pushed.empty());
  ExpectTerminalShowsModel(screen, terminal);
  // The emulator's modes are as they were: no wrap, no line drawing set,
  // default colours.
  WriteText(&screen, "qx wraps?", 7, Coord{10, 5});
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(5), U"keep me   qx wra");
  EXPECT_TRUE(terminal.pushed.empty());
  ExpectTerminalShowsModel(screen, terminal);
}

TEST(VtScreenOnTerminal, WholeBufferScrollPushesFinalRowsToScrollBack) {
  VtScreen screen(6, 4, kUtf8);
  Terminal terminal(6, 4);
  for (int y = 0; y < 4; ++y) WriteText(&screen, "row" + std::to_string(y), 7, Coord{0, y});
  Flush(&screen, &terminal);
  // Changed but not yet rendered: the line must leave with this content.
  WriteText(&screen, "ROW0", 7, Coord{0, 0});
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 5, 3}, Coord{0, 0}, ' ', 7));
  terminal.Feed(screen.TakeOutput());
  EXPECT_EQ(terminal.pushed, (std::vector<std::u32string>{U"ROW0  "}));
  WriteText(&screen, "row4", 7, Coord{0, 3});
  ASSERT_TRUE(screen.SetCursorPosition(Coord{4, 3}));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(0), U"row1  ");
  EXPECT_EQ(terminal.Row(3), U"row4  ");
  ExpectTerminalShowsModel(screen, terminal);

  ASSERT_TRUE(screen.ScrollRect(Rect{0, 3, 5, 3}, Coord{0, 0}, '.', 0x1E));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.pushed,
            (std::vector<std::u32string>{U"ROW0  ", U"row1  ", U"row2  ", U"row3  "}));
  EXPECT_EQ(terminal.Row(0), U"row4  ");
  EXPECT_EQ(terminal.Row(1), U"......");
  EXPECT_EQ(TerminalLook(terminal, 5, 3), (Look{U'.', 11, 4}));
  ExpectTerminalShowsModel(screen, terminal);
}

TEST(VtScreenOnTerminal, OtherMovesDoNotTouchTheScrollBack) {
  VtScreen screen(6, 4, kUtf8);
  Terminal terminal(6, 4);
  for (int y = 0; y < 4; ++y) WriteText(&screen, "line" + std::to_string(y), 7, Coord{0, y});
  Flush(&screen, &terminal);
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 4, 3}, Coord{0, 0}, '-', 7));  // not full width
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 0, 5, 1}, Coord{0, 1}, '=', 7));  // downwards
  Flush(&screen, &terminal);
  EXPECT_TRUE(terminal.pushed.empty());
  // The last column was never written: unknown cells move but are not drawn.
  EXPECT_EQ(terminal.Row(0), U"======");
  EXPECT_EQ(terminal.Row(1), U"line1 ");
  EXPECT_EQ(terminal.Row(2), U"line2 ");
  EXPECT_EQ(terminal.Row(3), U"----- ");
  ExpectTerminalShowsModel(screen, terminal);
}

TEST(VtScreenOnTerminal, CursorFollowsTheModel) {
  VtScreen screen(10, 5, kUtf8);
  Terminal terminal(10, 5);
  ASSERT_TRUE(screen.SetCursorPosition(Coord{3, 2}));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Cursor(), (Coord{3, 2}));
  EXPECT_TRUE(terminal.cursor_visible);

  terminal.visibility_changes.clear();
  WriteText(&screen, "abcdefgh", 7, Coord{5, 4});  // clipped to five cells
  ASSERT_TRUE(screen.SetCursorPosition(Coord{9, 4}));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(4), U"     abcde");
  EXPECT_EQ(terminal.Cursor(), (Coord{9, 4}));
  // Hidden while the cells were drawn, shown again at the end.
  EXPECT_EQ(terminal.visibility_changes, (std::vector<bool>{false, true}));

  terminal.visibility_changes.clear();
  screen.SetCursorVisible(false);
  ASSERT_TRUE(screen.SetCursorPosition(Coord{0, 0}));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.visibility_changes, (std::vector<bool>{false}));
  WriteText(&screen, "z", 7, Coord{2, 2});
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.visibility_changes, (std::vector<bool>{false}));  // no flicker
  screen.SetCursorVisible(true);
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.visibility_changes, (std::vector<bool>{false, true}));
  ExpectTerminalShowsModel(screen, terminal);
}

TEST(VtScreenOnTerminal, BellsSoundInOrder) {
  VtScreen screen(10, 2, kUtf8);
  Terminal terminal(10, 2);
  screen.Beep(1000, 250);
  screen.Beep(1000, 250);
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.bells, 2);
  ExpectTerminalShowsModel(screen, terminal);
}

TEST(VtScreenOnTerminal, ResizeRepaintsEverything) {
  VtScreen screen(8, 4, kUtf8);
  Terminal terminal(8, 4);
  for (int y = 0; y < 4; ++y) {
    WriteText(&screen, "abcdefgh", static_cast<uint16_t>(0x10 * y + 7), Coord{0, y});
  }
  ASSERT_TRUE(screen.SetCursorPosition(Coord{7, 3}));
  Flush(&screen, &terminal);
  // The terminal changes behind the program's back, then shrinks.
  terminal.Feed("\x1b[1;1H\x1b[35mgarbage\x1b[?25l");
  terminal.Resize(5, 3);
  const size_t pushed_before = terminal.pushed.size();
  screen.Resize(5, 3);
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(0), U"abcde");
  EXPECT_EQ(terminal.Row(2), U"abcde");
  EXPECT_EQ(terminal.Cursor(), (Coord{4, 2}));
  EXPECT_EQ(terminal.pushed.size(), pushed_before);  // a clear never scrolls
  ExpectTerminalShowsModel(screen, terminal);

  // Grown: the new cells are unknown to the model and blank on the terminal.
  terminal.Resize(7, 5);
  screen.Resize(7, 5);
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(0), U"abcde  ");
  EXPECT_EQ(terminal.Row(4), U"       ");
  ExpectTerminalShowsModel(screen, terminal);
}

// A terminal shorter than the model shows the rows around the cursor.  Rows
// the cursor leaves behind going down scroll into the scroll-back, as output
// does; going back up repaints from the model.
TEST(VtScreenOnTerminal, ShorterTerminalFollowsTheCursor) {
  VtScreen screen(6, 8, kUtf8);
  Terminal terminal(6, 3);
  screen.SetTerminalRows(3);
  Flush(&screen, &terminal);  // from here on the terminal shows the model
  auto row_text = [](int y) { return "row " + std::to_string(y); };
  auto shown = [&terminal](int y) {
    std::u32string row = terminal.Row(y);
    return std::string(row.begin(), row.end());
  };
  // Rows printed one after the other with no render in between, as a fast
  // echo does: each still reaches the scroll-back whole.
  for (int y = 0; y < 8; ++y) {
    WriteText(&screen, row_text(y) + " ", 7, Coord{0, y});  // 6 cells a row
    ASSERT_TRUE(screen.SetCursorPosition(Coord{0, y}));
  }
  Flush(&screen, &terminal);
  EXPECT_EQ(shown(0), "row 5 ");
  EXPECT_EQ(shown(2), "row 7 ");
  EXPECT_EQ(terminal.Cursor(), (Coord{0, 2}));
  ASSERT_EQ(terminal.pushed.size(), 5u);
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(terminal.pushed[static_cast<size_t>(y)],
              std::u32string(U"row ") + static_cast<char32_t>(U'0' + y) + U" ");
  }
  // The model scrolls with its last row on the terminal's: line feeds.
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 5, 7}, Coord{0, 0}, ' ', 7));
  WriteText(&screen, "new   ", 7, Coord{0, 7});
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.pushed.size(), 6u);
  EXPECT_EQ(shown(1), "row 7 ");
  EXPECT_EQ(shown(2), "new   ");
  // Back up to the model's top row: a repaint, nothing pushed.
  ASSERT_TRUE(screen.SetCursorPosition(Coord{2, 0}));
  Flush(&screen, &terminal);
  EXPECT_EQ(shown(0), "row 1 ");
  EXPECT_EQ(shown(2), "row 3 ");
  EXPECT_EQ(terminal.Cursor(), (Coord{2, 0}));
  EXPECT_EQ(terminal.pushed.size(), 6u);
}

// A taller terminal shows the whole model from its top and nothing below.
TEST(VtScreenOnTerminal, TallerTerminalShowsTheModelFromItsTop) {
  VtScreen screen(6, 3, kUtf8);
  Terminal terminal(6, 5);
  screen.SetTerminalRows(5);
  for (int y = 0; y < 3; ++y) WriteText(&screen, "abcdef", 7, Coord{0, y});
  ASSERT_TRUE(screen.SetCursorPosition(Coord{1, 2}));
  Flush(&screen, &terminal);
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 5, 2}, Coord{0, 0}, ' ', 7));
  WriteText(&screen, "ghijkl", 7, Coord{0, 2});
  Flush(&screen, &terminal);
  ExpectTerminalShowsModel(screen, terminal);
  EXPECT_EQ(terminal.Row(3), U"      ");
  EXPECT_EQ(terminal.Row(2), U"ghijkl");
}

// A resize by the user: what the terminal showed goes to its scroll-back
// (from the row of the last content down), the model is painted afresh, and
// a taller terminal makes the model taller, so that a whole-buffer scroll is
// line feeds again.
TEST(VtScreenOnTerminal, ResizedTerminalKeepsItsRowsInTheScrollBack) {
  VtScreen screen(8, 4, kUtf8);
  Terminal terminal(8, 4);
  for (int y = 0; y < 4; ++y) WriteText(&screen, "row" + std::to_string(y), 7, Coord{0, y});
  ASSERT_TRUE(screen.SetCursorPosition(Coord{4, 2}));  // row3 lies below the cursor
  Flush(&screen, &terminal);
  terminal.Resize(8, 6);
  screen.TerminalResized(8, 6);
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.pushed,
            (std::vector<std::u32string>{U"row0    ", U"row1    ", U"row2    ", U"row3    "}));
  EXPECT_EQ(screen.height(), 6);
  EXPECT_EQ(terminal.Row(3), U"row3    ");
  EXPECT_EQ(terminal.Row(4), U"        ");
  ExpectTerminalShowsModel(screen, terminal);
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 7, 5}, Coord{0, 0}, ' ', 7));
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.pushed.size(), 5u);
  EXPECT_EQ(terminal.pushed.back(), U"row0    ");
  ExpectTerminalShowsModel(screen, terminal);

  // Shorter: the model keeps its rows and shows those around the cursor.
  terminal.Resize(8, 3);
  const size_t before = terminal.pushed.size();
  screen.TerminalResized(8, 3);
  Flush(&screen, &terminal);
  EXPECT_EQ(screen.height(), 6);
  EXPECT_GT(terminal.pushed.size(), before);
  EXPECT_EQ(terminal.Row(0), U"row1    ");
  EXPECT_EQ(terminal.Row(2), U"row3    ");
  EXPECT_EQ(terminal.Cursor(), (Coord{4, 2}));
}

TEST(VtScreenOnTerminal, ResizeBeforeAnyDrawingSendsNothingButTheCursor) {
  VtScreen screen(8, 4, kUtf8);
  screen.TerminalResized(10, 6);
  screen.Render();
  const std::string output = screen.TakeOutput();
  EXPECT_EQ(output.find('\n'), std::string::npos);
  EXPECT_EQ(output.find("\x1b[2J"), std::string::npos);
}

TEST(VtScreenOnTerminal, InvalidateRepaintsAfterTheTerminalWasChanged) {
  VtScreen screen(8, 3, kUtf8);
  Terminal terminal(8, 3);
  ASSERT_TRUE(screen.FillCharacter(' ', 24, Coord{0, 0}));
  WriteText(&screen, "model", 0x1E, Coord{1, 1});
  Flush(&screen, &terminal);
  terminal.Feed("\x1b[2;2H\x1b[32mzzzzz\x1b[3;1Hjunk\x1b[?25l");
  screen.Invalidate();
  Flush(&screen, &terminal);
  EXPECT_EQ(terminal.Row(1), U" model  ");
  EXPECT_EQ(terminal.Row(2), U"        ");
  ExpectTerminalShowsModel(screen, terminal);
}

// Whether a move is the whole buffer going up (the line-feed scroll).
bool IsWholeBufferUp(Rect source, Coord destination, int width, int height) {
  return source.left <= 0 && source.right >= width - 1 && source.bottom >= height - 1 &&
         source.top >= 1 && source.top < height && destination == Coord{0, 0};
}

// Many random operations; after each render the terminal agrees with the
// model, and the scroll-back got exactly the rows scrolled off, as shown.
TEST(VtScreenOnTerminal, RandomOperationsAlwaysAgreeWithTheModel) {
  std::mt19937 random(1251);
  auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  const uint16_t attributes[] = {7, 7, 7, 0x1E, 0x4F, 0x70, 0x0A, 0x8007};
  int width = 12;
  int height = 6;
  VtScreen screen(width, height, kUtf8);
  Terminal terminal(width, height);
  size_t expected_pushed = 0;
  int expected_bells = 0;
  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE(step);
    const uint16_t attribute = attributes[pick(0, 7)];
    const Coord at{pick(-1, width), pick(-1, height)};
    switch (pick(0, 11)) {
      case 0:
        screen.FillCharacter(static_cast<char>(pick(0, 255)), pick(0, width * height + 2), at);
        break;
      case 1: screen.FillAttribute(attribute, pick(0, width * 2), at); break;
      case 2:
      case 3: {
        std::string text;
        for (int i = pick(0, width + 2); i > 0; --i) text += static_cast<char>(pick(0, 255));
        screen.WriteCells(text.data(), static_cast<int>(text.size()), attribute, at);
        break;
      }
      case 4: {
        const Rect source{pick(-2, width), pick(-2, height), pick(-2, width + 1),
                          pick(-2, height + 1)};
        const Coord destination{pick(-2, width), pick(-2, height)};
        if (IsWholeBufferUp(source, destination, width, height)) {
          expected_pushed += static_cast<size_t>(source.top);
        }
        screen.ScrollRect(source, destination, static_cast<char>(pick(0, 255)), attribute);
        break;
      }
      case 5: {
        if (height < 2) break;
        const int rows = pick(1, height - 1);
        std::vector<std::vector<Look>> leaving;  // the known cells of the rows going out
        for (int y = 0; y < rows; ++y) {
          leaving.emplace_back();
          for (int x = 0; x < width; ++x) {
            leaving.back().push_back(screen.KnownAt(x, y) ? ModelLook(screen, x, y, true)
                                                          : Look{0, 0, 0});
          }
        }
        const char fill = static_cast<char>(pick(0, 1) ? ' ' : pick(0, 255));
        screen.ScrollRect(Rect{0, rows, width - 1, height - 1}, Coord{0, 0}, fill, attribute);
        terminal.Feed(screen.TakeOutput());
        expected_pushed += static_cast<size_t>(rows);
        ASSERT_EQ(terminal.pushed.size(), expected_pushed);
        for (int y = 0; y < rows; ++y) {
          const std::u32string& line =
              terminal.pushed[expected_pushed - static_cast<size_t>(rows - y)];
          for (int x = 0; x < width; ++x) {
            const Look& look = leaving[static_cast<size_t>(y)][static_cast<size_t>(x)];
            if (look.glyph != 0) {
              ASSERT_EQ(line[static_cast<size_t>(x)], look.glyph) << x << "," << y;
            }
          }
        }
        break;
      }
      case 6: screen.SetCursorPosition(at); break;
      case 7: screen.SetCursorVisible(pick(0, 2) != 0); break;
      case 8:
        if (pick(0, 9) == 0) {
          screen.Beep(pick(100, 2000), pick(10, 300));
          ++expected_bells;
        }
        break;
      case 9:
        if (pick(0, 19) == 0) {
          // The terminal changed behind our back (a suspended program).
          const size_t before = terminal.pushed.size();  // "stale" may wrap and scroll
          terminal.Feed("\x1b[1;1H\x1b[0;35;42mstale\x1b[?25h\x1b[" + std::to_string(pick(1, 9)) +
                        ";3H");
          expected_pushed += terminal.pushed.size() - before;
          screen.Invalidate();
        } else if (pick(0, 9) == 0) {
          width = pick(1, 16);
          height = pick(1, 8);
          const size_t before = terminal.pushed.size();
          terminal.Resize(width, height);
          expected_pushed += terminal.pushed.size() - before;
          screen.Resize(width, height);
        }
        break;
      default:
        Flush(&screen, &terminal);
        ASSERT_NO_FATAL_FAILURE(ExpectTerminalShowsModel(screen, terminal));
        break;
    }
    terminal.Feed(screen.TakeOutput());
    ASSERT_EQ(terminal.pushed.size(), expected_pushed);
    ASSERT_EQ(terminal.bells, expected_bells);
  }
  Flush(&screen, &terminal);
  ExpectTerminalShowsModel(screen, terminal);
}

}  // namespace
}  // namespace console
