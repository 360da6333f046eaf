#include "console/vt/vt_screen.h"

#include <algorithm>
#include <utility>

namespace console {
namespace {

constexpr uint16_t kDefaultAttribute = VtScreen::kDefaultAttribute;

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

// A rectangle cut down to the cells of a width x height buffer; its right
// edge falls left of its left edge when nothing is left.
Rect ClipRect(Rect rect, int width, int height) {
  return Rect{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, width - 1),
              std::min(rect.bottom, height - 1)};
}

bool IsEmpty(Rect rect) { return rect.left > rect.right || rect.top > rect.bottom; }

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

VtScreen::VtScreen(int width, int height, Options options)
    : width_(std::max(width, 1)),
      height_(std::max(height, 1)),
      options_(options),
      terminal_rows_(height_) {
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  cells_.assign(count, Cell{});
  front_.assign(count, Cell{});
  dirty_.assign(static_cast<size_t>(height_), false);
}

size_t VtScreen::RowBase(int y) const {
  const int ring_row = (top_row_ + y) % height_;
  return static_cast<size_t>(ring_row) * static_cast<size_t>(width_);
}

void VtScreen::MarkDirty(int y) {
  if (dirty_[static_cast<size_t>(y)]) return;
  dirty_[static_cast<size_t>(y)] = true;
  dirty_rows_.push_back(y);
}

// Applies `change` to `length` cells from `at`, row after row, up to the end
// of the buffer (the way the console fills runs of cells).
template <typename Change>
bool VtScreen::ChangeRun(int length, Coord at, Change change) {
  if (!Inside(at.x, at.y)) return false;
  int x = at.x;
  for (int y = at.y; y < height_ && length > 0; ++y) {
    const int end = std::min(width_, x + length);
    for (int column = x; column < end; ++column) change(ModelCell(column, y));
    length -= end - x;
    MarkDirty(y);
    x = 0;
  }
  return true;
}

bool VtScreen::FillCharacter(char character, int length, Coord at) {
  const uint8_t byte = static_cast<uint8_t>(character);
  return ChangeRun(length, at, [byte](Cell& cell) {
    if (!cell.known) cell.attribute = kDefaultAttribute;
    cell.character = byte;
    cell.known = true;
  });
}

bool VtScreen::FillAttribute(uint16_t attribute, int length, Coord at) {
  return ChangeRun(length, at, [attribute](Cell& cell) {
    if (!cell.known) cell.character = ' ';
    cell.attribute = attribute;
    cell.known = true;
  });
}

void VtScreen::FillCells(Cell* to, int count, Cell value) {
  const uint32_t word = value.Word();
  for (int i = 0; i < count; ++i) std::memcpy(static_cast<void*>(to + i), &word, sizeof word);
}

bool VtScreen::WriteCells(const char* characters, int length, uint16_t attribute, Coord at) {
  if (!Inside(at.x, at.y)) return false;
  if (length <= 0) return true;
  if (characters == nullptr) return false;
  const int count = std::min(length, width_ - at.x);
  Cell* cells = &ModelCell(at.x, at.y);
  for (int i = 0; i < count; ++i) {
    cells[i] = Cell{static_cast<uint8_t>(characters[i]), attribute, true};
  }
  MarkDirty(at.y);
  return true;
}

bool VtScreen::ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) {
  const Rect clipped = ClipRect(source, width_, height_);
  if (IsEmpty(clipped)) return false;
  const bool whole_buffer_up = clipped.left == 0 && clipped.right == width_ - 1 &&
                               clipped.top >= 1 && clipped.bottom == height_ - 1 &&
                               destination == Coord{0, 0};
  if (whole_buffer_up) {
    ScrollWholeBufferUp(clipped.top, fill, attribute);
  } else {
    MoveRect(clipped, destination, fill, attribute);
  }
  return true;
}

// The terminal scrolls itself by line feeds on its last row, which is the
// one way every terminal keeps the lines that leave its top in the
// scroll-back.  They must show their final content first, hence the paint.
void VtScreen::ScrollWholeBufferUp(int rows, char fill, uint16_t attribute) {
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

  top_row_ = (top_row_ + rows) % height_;
  const Cell model_blank{static_cast<uint8_t>(fill), attribute, true};
  const Cell terminal_blank{' ', kDefaultAttribute, true};
  for (int y = height_ - rows; y < height_; ++y) {
    const size_t base = RowBase(y);
    FillCells(&cells_[base], width_, model_blank);
    FillCells(&front_[base], width_, terminal_blank);
    MarkDirty(y);
  }
}

bool VtScreen::FeedLines(int rows) {
  if (rows <= 0) return false;
  if (rows < height_) {
    ScrollWholeBufferUp(rows, ' ', kDefaultAttribute);
  } else {
    FeedEveryRow();
  }
  cursor_ = Coord{0, height_ - 1};
  return true;
}

// What is still to be drawn is drawn first, so that it too reaches the
// scroll-back; the push itself is the next render's, as after a resize.
void VtScreen::FeedEveryRow() {
  PaintChanges();
  if (!push_from_below_cursor_) push_from_below_cursor_ = painted_ ? RowsOfOursBelowCursor() : 0;
  FillCells(cells_.data(), static_cast<int>(cells_.size()), Cell{' ', kDefaultAttribute, true});
  for (int y = 0; y < height_; ++y) MarkDirty(y);
  Invalidate();
}

// Any other move is carried out on the model alone and painted by difference.
void VtScreen::MoveRect(Rect source, Coord destination, char fill, uint16_t attribute) {
  const int columns = source.right - source.left + 1;
  std::vector<Cell> saved;
  saved.reserve(static_cast<size_t>(columns) * static_cast<size_t>(source.bottom - source.top + 1));
  const Cell blank{static_cast<uint8_t>(fill), attribute, true};
  for (int y = source.top; y <= source.bottom; ++y) {
    for (int x = source.left; x <= source.right; ++x) {
      saved.push_back(ModelCell(x, y));
      ModelCell(x, y) = blank;  // what the destination does not cover stays so
    }
    MarkDirty(y);
  }
  size_t i = 0;
  for (int y = source.top; y <= source.bottom; ++y) {
    const int to_y = destination.y + (y - source.top);
    for (int x = source.left; x <= source.right; ++x, ++i) {
      const int to_x = destination.x + (x - source.left);
      if (Inside(to_x, to_y)) ModelCell(to_x, to_y) = saved[i];
    }
    if (to_y >= 0 && to_y < height_) MarkDirty(to_y);
  }
}

bool VtScreen::SetCursorPosition(Coord at) {
  if (!Inside(at.x, at.y)) return false;
  cursor_ = at;
  // On a terminal shorter than the model, the rows the cursor leaves behind
  // scroll away now, with what they show, into the scroll-back.
  if (terminal_rows_ < height_) FollowCursor();
  return true;
}

void VtScreen::SetCursorVisible(bool visible) { cursor_visible_ = visible; }

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

void VtScreen::Resize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  std::vector<Cell> cells(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < std::min(height, height_); ++y) {
    for (int x = 0; x < std::min(width, width_); ++x) {
      cells[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          ModelCell(x, y);
    }
  }
  cells_ = std::move(cells);
  front_.assign(cells_.size(), Cell{});
  width_ = width;
  height_ = height;
  terminal_rows_ = height;
  offset_ = 0;
  top_row_ = 0;
  dirty_.assign(static_cast<size_t>(height_), false);
  dirty_rows_.clear();
  cursor_.x = std::min(cursor_.x, width_ - 1);
  cursor_.y = std::min(cursor_.y, height_ - 1);
  Invalidate();
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
