#include <algorithm>

#include "console/vt/vt_screen.h"

namespace console {
namespace {

constexpr char kCsi[] = "\x1b[";

// The ANSI colour number of the low three Windows colour bits, whose blue
// and red sit the other way round (Windows blue = 1, ANSI blue = 4).
int AnsiColour(unsigned windows_bits) {
  return ((windows_bits & 1u) ? 4 : 0) | (windows_bits & 2u) | ((windows_bits & 4u) ? 1 : 0);
}

// The SGR that selects an attribute: the terminal's defaults for the usual
// light grey on black, otherwise both colours spelt out.  Bits above the two
// colour nibbles (grid lines, reverse video) are not drawn.
std::string SgrFor(uint16_t attribute) {
  if (attribute == kDefaultAttribute) return std::string(kCsi) + "0m";
  const unsigned foreground = attribute & 0x0Fu;
  const unsigned background = (attribute >> 4) & 0x0Fu;
  const int fg = ((foreground & 8u) ? 90 : 30) + AnsiColour(foreground);
  const int bg = ((background & 8u) ? 100 : 40) + AnsiColour(background);
  return std::string(kCsi) + "0;" + std::to_string(fg) + ";" + std::to_string(bg) + "m";
}

// Appends a number in decimal.
void AppendNumber(std::string* out, int number) {
  char digits[12];
  int length = 0;
  unsigned value = static_cast<unsigned>(number);
  do {
    digits[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (length > 0) out->push_back(digits[--length]);
}

// CUP, 1-based.
void AppendCursorTo(std::string* out, Coord at) {
  out->append(kCsi);
  AppendNumber(out, at.y + 1);
  out->push_back(';');
  AppendNumber(out, at.x + 1);
  out->push_back('H');
}

size_t CursorToLength(Coord at) {
  auto digits = [](int n) { return n < 10 ? 1u : n < 100 ? 2u : n < 1000 ? 3u : 4u; };
  return 4 + digits(at.y + 1) + digits(at.x + 1);
}

// Up to this many unchanged cells are drawn again rather than jumped over.
constexpr int kMaxGap = 8;

}  // namespace

// The terminal scrolls itself by line feeds on its last row, which is the
// one way every terminal keeps the lines that leave its top in the
// scroll-back.  They must show their final content first, hence the paint.
void VtScreen::ScrollTerminalUp(int rows) {
  // Line feeds scroll the terminal as the model scrolls only while the
  // model's last row is the terminal's last row: a shorter terminal is
  // brought there first, by line feeds too, so that no row it shows leaves
  // without passing through its scroll-back.
  if (terminal_rows_ <= height_) ShowRowsFrom(height_ - terminal_rows_);
  const bool by_line_feeds = terminal_rows_ <= height_ && offset_ == height_ - terminal_rows_;
  if (by_line_feeds) {
    PaintChanges();
    HideCursorWhileDrawing();
    SetTerminalAttribute(kDefaultAttribute);  // new rows come in blank, in default colours
    // Column 0, so that a terminal that adds a CR to each LF ends up there too.
    MoveTerminalCursor(Coord{0, terminal_rows_ - 1});
    output_.append(static_cast<size_t>(rows), '\n');
  } else {
    Invalidate();  // the terminal is repainted from the moved model
  }
}

void VtScreen::Beep(int frequency, int milliseconds) {
  Render();  // the bell comes after what was drawn before it
  if (options_.linux_console) {
    // The Linux console's own private sequences for the bell's pitch and
    // length (setterm); other terminals have no such control.
    output_ += kCsi + std::string("10;") + std::to_string(std::max(frequency, 0)) + "]";
    output_ += kCsi + std::string("11;") + std::to_string(std::max(milliseconds, 0)) + "]";
  }
  output_ += '\a';
}

void VtScreen::Invalidate() {
  repaint_all_ = true;
  terminal_cursor_.reset();
  terminal_cursor_visible_.reset();
  terminal_attribute_.reset();
}

void VtScreen::TerminalResized(int width, int rows) {
  rows = std::max(rows, 1);
  // A push still to come was worked out on the terminal as it is now: the
  // program has sent nothing since.
  std::optional<int> push = push_from_below_cursor_;
  if (!push && painted_) push = RowsOfOursBelowCursor();
  Resize(width, std::max(height_, rows));
  SetTerminalRows(rows);
  push_from_below_cursor_ = push;
  if (!push) {
    // Nothing of ours was ever drawn: the terminal is neither cleared nor
    // pushed, the model's cells are simply painted where they belong.
    repaint_all_ = false;
    for (int y = 0; y < height_; ++y) MarkDirty(y);
  }
}

void VtScreen::SetTerminalRows(int rows) {
  rows = std::max(rows, 1);
  if (rows == terminal_rows_) return;
  terminal_rows_ = rows;
  offset_ = std::clamp(offset_, 0, height_ - ShownRows());
  Invalidate();
}

// A terminal shorter than the model shows the rows around the cursor, the
// way a console window follows its cursor through a taller buffer.
void VtScreen::FollowCursor() {
  const int shown = ShownRows();
  int wanted = offset_;
  if (cursor_.y < wanted) wanted = cursor_.y;
  if (cursor_.y >= wanted + shown) wanted = cursor_.y - shown + 1;
  ShowRowsFrom(wanted);
}

// Shows the model from row `wanted` on the terminal's top row.
void VtScreen::ShowRowsFrom(int wanted) {
  const int shown = ShownRows();
  wanted = std::clamp(wanted, 0, height_ - shown);
  if (wanted == offset_) return;
  if (wanted < offset_ || repaint_all_) {
    offset_ = wanted;
    Invalidate();
    return;
  }
  // Down: the terminal scrolls by line feeds, as for output, so the rows
  // that leave its top go to its scroll-back; the rows coming in are blank.
  PaintChanges();
  HideCursorWhileDrawing();
  SetTerminalAttribute(kDefaultAttribute);
  MoveTerminalCursor(Coord{0, shown - 1});
  output_.append(static_cast<size_t>(wanted - offset_), '\n');
  for (int y = offset_ + shown; y < wanted + shown; ++y) {
    std::fill_n(front_.begin() + static_cast<std::ptrdiff_t>(RowBase(y)), width_,
                Cell{' ', kDefaultAttribute, true});
    MarkDirty(y);
  }
  offset_ = wanted;
}

void VtScreen::Render() {
  FollowCursor();
  PaintChanges();
  SyncCursor();
}

// Sends the known cells that differ from what the terminal shows, visiting
// only the rows touched since the last paint.
void VtScreen::PaintChanges() {
  if (repaint_all_) {
    if (push_from_below_cursor_) {
      PushTerminalToScrollBack();
    } else {
      ClearTerminal();
    }
  }
  std::sort(dirty_rows_.begin(), dirty_rows_.end());
  for (int y : dirty_rows_) {
    // A row off the terminal is painted when it comes into view: that
    // repaints everything.
    if (y >= offset_ && y < offset_ + ShownRows()) PaintRow(y);
    dirty_[static_cast<size_t>(y)] = false;
  }
  dirty_rows_.clear();
}

// Clears the terminal in default colours (never its scroll-back) and marks
// every row for painting.
void VtScreen::ClearTerminal() {
  HideCursorWhileDrawing();
  SetTerminalAttribute(kDefaultAttribute);
  output_ += kCsi + std::string("H") + kCsi + "2J";
  terminal_cursor_ = Coord{0, 0};
  std::fill(front_.begin(), front_.end(), Cell{' ', kDefaultAttribute, true});
  for (int y = 0; y < height_; ++y) MarkDirty(y);
  repaint_all_ = false;
}

// How many rows below the terminal's cursor show something of ours (the
// rest of a long answer line, say).
int VtScreen::RowsOfOursBelowCursor() const {
  if (!terminal_cursor_) return 0;
  for (int row = ShownRows() - 1; row > terminal_cursor_->y; --row) {
    const Cell* shown = &front_[RowBase(row + offset_)];
    for (int x = 0; x < width_; ++x) {
      if (shown[x].known && shown[x].character != ' ') return row - terminal_cursor_->y;
    }
  }
  return 0;
}

// Line feeds on the terminal's last row, from the row of our last content
// on, until every row down to it has gone to the scroll-back, in order: the
// screen is then blank, and nothing it showed is lost, wherever a resize
// left it; before anything of ours is drawn, the rows of the shell's
// output.  The cursor ends on the last row.
void VtScreen::PushTerminalToScrollBack() {
  HideCursorWhileDrawing();
  SetTerminalAttribute(kDefaultAttribute);  // rows come in blank, in default colours
  const int below = *push_from_below_cursor_;
  push_from_below_cursor_.reset();
  int feeds = terminal_rows_;
  Cell shown{' ', kDefaultAttribute, true};
  if (!painted_) {
    PassShellOutput();
    --feeds;
    // What lay below the shell's output is moved up, not pushed: every cell
    // is drawn afresh.
    shown = Cell{};
  } else {
    if (below > 0) {
      output_ += kCsi;
      AppendNumber(&output_, below);
      output_ += 'B';
    }
    output_ += '\r';
  }
  output_.append(static_cast<size_t>(feeds), '\n');
  terminal_cursor_ = Coord{0, terminal_rows_ - 1};
  std::fill(front_.begin(), front_.end(), shown);
  for (int y = 0; y < height_; ++y) MarkDirty(y);
  repaint_all_ = false;
}

// Before anything of ours is drawn the terminal's cursor is where the shell
// left it: at the start of the row below its output, or after an unfinished
// line.  A row's worth of blanks ends on the same row in the first case (the
// wrap waits for the next character) and on the next row in the second; the
// line feeds of the push go on from the start of that row, so that the rows
// above it, the unfinished line too, reach the scroll-back and no empty row
// does.
void VtScreen::PassShellOutput() {
  output_.append(static_cast<size_t>(width_), ' ');
  output_ += '\r';
}

void VtScreen::PaintRow(int y) {
  const Cell* wanted = &cells_[RowBase(y)];
  Cell* shown = &front_[RowBase(y)];
  auto needs_paint = [&](int x) { return wanted[x].known && !(wanted[x] == shown[x]); };
  const int row = y - offset_;  // on the terminal
  int x = 0;
  while (x < width_) {
    while (x < width_ && !needs_paint(x)) ++x;
    if (x == width_) break;
    // A run of cells to paint, drawn from its first cell on.
    HideCursorWhileDrawing();
    if (!RedrawGapBefore(x, y)) MoveTerminalCursor(Coord{x, row});
    const int start = x;
    while (x < width_ && needs_paint(x)) ++x;
    AppendCells(wanted + start, x - start);
    std::copy(wanted + start, wanted + x, shown + start);
    painted_ = true;
    if (x < width_) {
      terminal_cursor_ = Coord{x, row};
    } else {
      // After the last column a terminal holds its cursor there with a
      // wrap pending (or has wrapped, on a few): only an absolute move is
      // sure to land.  Auto-wrap stays on: some terminals draw far more
      // slowly without it, and nothing is ever written after the last
      // column without a move first.
      terminal_cursor_.reset();
    }
  }
}

// Appends the glyphs of `count` cells, with their attributes.  Printable
// ASCII in one attribute, the usual run, goes out in one piece.
void VtScreen::AppendCells(const Cell* cells, int count) {
  int i = 0;
  while (i < count) {
    SetTerminalAttribute(cells[i].attribute);
    const uint16_t colours = cells[i].attribute & 0xFFu;
    char plain[64];
    size_t n = 0;
    while (i < count && n < sizeof plain && (cells[i].attribute & 0xFFu) == colours &&
           cells[i].character >= 0x20 && cells[i].character <= 0x7E) {
      plain[n++] = static_cast<char>(cells[i++].character);
    }
    output_.append(plain, n);
    if (n == 0) AppendGlyph(&output_, cells[i++].character);
  }
}

void VtScreen::SyncCursor() {
  MoveTerminalCursor(Coord{cursor_.x, cursor_.y - offset_});
  if (terminal_cursor_visible_ != cursor_visible_) {
    output_ += kCsi + std::string(cursor_visible_ ? "?25h" : "?25l");
    terminal_cursor_visible_ = cursor_visible_;
    cursor_visibility_sent_ = true;
  }
}

void VtScreen::HideCursorWhileDrawing() {
  if (terminal_cursor_visible_ == false) return;
  output_ += kCsi + std::string("?25l");
  terminal_cursor_visible_ = false;
  cursor_visibility_sent_ = true;
}

// Between two changed runs on a row, drawing the few unchanged cells again
// can be shorter than moving the cursor over them.  Only known cells drawn
// in the current colours qualify; true when the cursor now stands on x.
bool VtScreen::RedrawGapBefore(int x, int y) {
  const int row = y - offset_;  // on the terminal
  if (!terminal_cursor_ || !terminal_attribute_ || terminal_cursor_->y != row) return false;
  const int from = terminal_cursor_->x;
  if (from >= x || x - from > kMaxGap) return false;
  std::string gap;
  for (int column = from; column < x; ++column) {
    const Cell& cell = ModelCell(column, y);
    if (!cell.known || (cell.attribute & 0xFFu) != *terminal_attribute_) return false;
    AppendGlyph(&gap, cell.character);
  }
  if (gap.size() > CursorToLength(Coord{x, row})) return false;
  output_ += gap;
  terminal_cursor_ = Coord{x, row};
  return true;
}

void VtScreen::MoveTerminalCursor(Coord at) {
  if (terminal_cursor_ == at) return;
  if (at.x == 0 && terminal_cursor_ && terminal_cursor_->y == at.y) {
    output_ += '\r';  // the start of the same row: the shortest way there
  } else {
    AppendCursorTo(&output_, at);
  }
  terminal_cursor_ = at;
}

void VtScreen::SetTerminalAttribute(uint16_t attribute) {
  attribute = static_cast<uint16_t>(attribute & 0xFFu);  // only the colours are drawn
  if (terminal_attribute_ == attribute) return;
  output_ += SgrFor(attribute);
  terminal_attribute_ = attribute;
  rendition_sent_ = true;
}

// A cell's byte never goes out as it is: the terminal gets the glyph a
// console shows for it, in the terminal's charset.
void VtScreen::AppendGlyph(std::string* out, uint8_t byte) const {
  if (byte >= 0x20 && byte <= 0x7E) {
    out->push_back(static_cast<char>(byte));  // printable ASCII is itself everywhere
  } else {
    *out += options_.charset->Glyph(byte);
  }
}

std::string VtScreen::TakeOutput() {
  std::string taken;
  taken.swap(output_);
  return taken;
}

// The keypad's mode is never touched: its keys are understood in either
// mode (the Alt+keypad digits also as ESC digit).
std::string VtScreen::StartSequence() {
  return "\x1b"
         "7";
}

std::string VtScreen::RestoreSequence() {
  return "\x1b"
         "8";
}

}  // namespace console
