#include "console/screen.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace console {

namespace {

// BEL, BS, TAB, LF and CR: the bytes a print does not draw as cells.
inline bool MovesOrSounds(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value <= '\r' && ((1u << value) & ((1u << '\a') | (1u << '\b') | (1u << '\t') |
                                            (1u << '\n') | (1u << '\r'))) != 0;
}

}  // namespace

// The view and cursor of one print.  The view may move down through a
// taller buffer while the print runs.
struct Screen::PrintState {
  int left = 0, top = 0, right = 0, bottom = 0;        // the view, absolute
  int width = kDefaultWidth, height = kDefaultHeight;  // the buffer
  uint16_t attribute = kDefaultAttribute;
  int x = 0, y = 0;       // the cursor, absolute
  bool sub_view = false;  // the view is not the whole console area
};

// Cells gathered for one cell write.
struct Screen::Run {
  char cells[kRunLimit];
  size_t length = 0;
};

void Screen::SetUp() {
  if (set_up_) return;
  set_up_ = true;
  uint32_t mode = 0;
  if (device_.GetInputMode(&mode)) device_.SetInputMode(mode | kProcessedInput);
  ReadArea();
  FixView();
}

void Screen::ReadArea() {
  BufferInfo info;
  if (device_.GetBufferInfo(&info)) {
    SetArea(info);
  } else {
    area_ = {};
  }
}

void Screen::SetArea(const BufferInfo& info) {
  area_ = {0, info.window.top, info.size.x - 1, info.window.bottom, info.size.y - 1};
}

void Screen::FixView() {
  if (view_first_ != 0) return;
  view_first_ = 1;
  view_last_ = Size().row;
  if (view_last_ <= 0) view_last_ = kDefaultHeight;
}

Position Screen::CurrentSize() {
  BufferInfo info;
  RereadArea(&info);
  return Size();
}

// A window that stopped being a console area is seen at a print's end, as
// ever: the area found empty here keeps the last one.
bool Screen::RereadArea(BufferInfo* info) {
  if (!device_.GetBufferInfo(info)) return false;
  const Area last = area_;
  SetArea(*info);
  if (AreaEmpty()) area_ = last;
  return true;
}

Position Screen::Size() const {
  if (AreaEmpty()) return {kDefaultWidth, kDefaultHeight};
  return {area_.right - area_.left + 1, area_.bottom - area_.top + 1};
}

// The view keeps the height of its first use, but a window made smaller
// near the buffer's end (a terminal made shorter) would push it past the
// buffer's last row, where nothing can be drawn: it ends there instead.
Rect Screen::ViewRect() const {
  int width = Size().column;
  int bottom = area_.top + view_last_ - 1;
  if (!AreaEmpty()) bottom = std::min(bottom, area_.buffer_bottom);
  return {area_.left, area_.top + view_first_ - 1, area_.left + width - 1, bottom};
}

uint16_t Screen::CurrentAttribute() {
  BufferInfo info;
  return device_.GetBufferInfo(&info) ? info.attribute : kDefaultAttribute;
}

void Screen::BlankRow(int row, int left, int right, uint16_t attribute) {
  device_.FillAttribute(attribute, right - left + 1, {left, row});
  device_.FillCharacter(' ', right - left + 1, {left, row});
}

// Where the buffer has no rows below the window, what leaves the window at
// the top is all the scroll-back there will be (the history of Windows
// Terminal, of the terminal wine runs in, of a Linux terminal): the first
// clear moves what the window showed before the program started, the
// user's earlier output, up into it by line feeds before it blanks the rows.
void Screen::Clear() {
  if (AreaEmpty()) return;
  Rect view = ViewRect();
  uint16_t attribute = CurrentAttribute();
  if (!cleared_ && view.top == area_.top && view.bottom == area_.bottom &&
      view.bottom == area_.buffer_bottom) {
    device_.FeedLines(view.bottom, view.bottom - view.top + 1);
  }
  cleared_ = true;
  for (int row = view.bottom; row >= view.top; --row) {
    BlankRow(row, area_.left, area_.right, attribute);
  }
  device_.SetCursorPosition({area_.left, view.top});
  line_feed_pending_ = false;
  device_.Flush();
}

Position Screen::CursorPosition() {
  BufferInfo info;
  if (!device_.GetBufferInfo(&info)) return {0, 0};
  return {info.cursor.x - area_.left + 1, info.cursor.y - area_.top + 1};
}

int Screen::PlaceCursor(int row, int column, int visibility) {
  bool refused = (row != 0 && (row < view_first_ || row > view_last_ ||
                               area_.top + row - 1 > ViewRect().bottom)) ||
                 (column != 0 && (column < 0 || column > Size().column));
  if (refused) return PlaceCursor(0, 0, visibility);
  if (row == 0 || column == 0) {
    Position current = CursorPosition();
    if (row == 0) row = current.row;
    if (column == 0) column = current.column;
  }
  bool was_visible = false;
  if (!device_.GetCursorVisible(&was_visible)) was_visible = false;
  if (visibility >= 0) device_.SetCursorVisible(visibility != 0);
  line_feed_pending_ = false;
  // Without a console area the bounds are a stand-in default screen that
  // need not fit the buffer: the cursor stays where it is.
  if (!AreaEmpty()) device_.SetCursorPosition({area_.left + column - 1, area_.top + row - 1});
  device_.Flush();
  return (was_visible ? 0x10000 : 0) + (row & 0xFF) * 256 + (column & 0xFF);
}

Position Screen::Advanced(int d, Position from, Position size) {
  const int cols = size.column;
  int x = from.column - 1 + d;
  int y = from.row - 1;
  if (x < 0) {
    y -= (cols - x) / cols;
    x = cols - (cols - x) % cols;
  }
  y += x / cols;
  x %= cols;
  return {x + 1, y + 1};
}

// The scroll call fills only the part of its source that the moved block
// leaves uncovered.  When the block moves by more than half its height, the
// rows between its new bottom and the source's top lie outside both and
// would keep their old text; they are vacated too, so they are blanked.
void Screen::BlankBetween(int first, int last, const PrintState& s) {
  for (int row = first; row <= last; ++row) BlankRow(row, s.left, s.right, s.attribute);
}

void Screen::Scroll(PrintState& s, int rows) {
  rows_scrolled_ += rows;
  int k = rows;
  if (!s.sub_view) {
    // Move the view down through a taller buffer first; the window follows
    // at the end of the print and the rows above stay as scroll-back.
    if (s.bottom + 1 < s.height) {
      int m = std::min(k, s.height - 1 - s.bottom);
      s.top += m;
      s.bottom += m;
      k -= m;
    }
    if (k > 0) MoveBufferUp(s, k);
  } else if (k < s.bottom - s.top + 1) {
    device_.ScrollRect({s.left, s.top + k, s.right, s.bottom}, {s.left, s.top}, ' ', s.attribute);
    BlankBetween(s.bottom + 1 - k, s.top + k - 1, s);
  } else {
    for (int row = s.top; row <= s.bottom; ++row) BlankRow(row, s.left, s.right, s.attribute);
  }
  s.y = s.bottom;
}

// The view has reached the buffer's last row: the whole buffer content
// moves up by k rows.  Line feeds do it as output does, so that the rows
// leaving the top reach the history of the terminal the console is shown
// in; where the device has no such way, the cells are moved, which keeps
// nothing there.  As many rows as the buffer holds, or more, blank the view.
void Screen::MoveBufferUp(PrintState& s, int k) {
  if (k >= s.height) {
    for (int row = s.top; row <= s.bottom; ++row) BlankRow(row, s.left, s.right, s.attribute);
  } else if (!FeedLines(s, k)) {
    device_.ScrollRect({0, k, s.width - 1, s.height - 1}, {0, 0}, ' ', s.attribute);
    BlankBetween(s.height - k, k - 1, s);
  }
}

// The rows the line feeds bring in are blanked in the print's attribute, as
// the scroll call fills them: hosts fill them in colours of their own.  One
// cell write a row, as scrolling costs calls on every line of a long echo.
bool Screen::FeedLines(const PrintState& s, int rows) {
  if (!device_.FeedLines(s.height - 1, rows)) return false;
  const std::string blanks(static_cast<size_t>(s.width), ' ');
  for (int row = s.height - rows; row < s.height; ++row) {
    device_.WriteCells(blanks.data(), s.width, s.attribute, {0, row});
  }
  return true;
}

void Screen::WriteRun(PrintState& s, const char* run, size_t length) {
  size_t done = 0;
  while (done < length) {
    if (s.x > s.right) {  // a cursor past the view's edge continues on the next row
      s.x = s.left;
      ++s.y;
    }
    size_t room = static_cast<size_t>(s.right + 1 - s.x);
    size_t chunk = std::min(length - done, room);
    if (s.y > s.bottom) Scroll(s, s.y - s.bottom);
    if (!device_.WriteCells(run + done, static_cast<int>(chunk), s.attribute, {s.x, s.y})) {
      return;  // the rest of the run is dropped
    }
    done += chunk;
    s.x += static_cast<int>(chunk);
    if (s.x == s.right + 1) {
      s.x = s.left;
      ++s.y;
    }
  }
}

void Screen::Print(std::string_view bytes) {
  PrintState s = StartPrint();
  if (line_feed_pending_) CarryOutPendingLineFeed(s);
  const Ending last = DrawBytes(s, bytes);
  FinishPrint(s, last);
}

// The view, and the buffer's size, attribute and cursor as the device
// reports them; without a report, the default size and attribute from the view's
// top left.  The console area is taken from the same report: a buffer made
// narrower since the last print must not be written past its new edge.
Screen::PrintState Screen::StartPrint() {
  BufferInfo info;
  const bool reported = RereadArea(&info);
  const Rect view = ViewRect();
  PrintState s;
  s.left = view.left;
  s.top = view.top;
  s.right = view.right;
  s.bottom = view.bottom;
  s.x = view.left;
  s.y = view.top;
  s.sub_view = view.top != area_.top || view.bottom != area_.bottom;
  if (reported) {
    s.width = info.size.x;
    s.height = info.size.y;
    s.attribute = info.attribute;
    s.x = info.cursor.x;
    s.y = info.cursor.y;
  }
  return s;
}

// The line feed that the last print left waiting: to the start of the next
// row, scrolling when that is below the view.
void Screen::CarryOutPendingLineFeed(PrintState& s) {
  line_feed_pending_ = false;
  ++s.y;
  s.x = s.left;
  if (s.y > s.bottom) Scroll(s, s.y - s.bottom);
}

Screen::Ending Screen::DrawBytes(PrintState& s, std::string_view bytes) {
  Run run;
  Ending last = Ending::kNothing;
  size_t i = 0;
  while (i < bytes.size()) {
    // Bytes that are cells go into the run a stretch at a time.
    size_t plain = i;
    while (plain < bytes.size() && !MovesOrSounds(bytes[plain])) ++plain;
    if (plain > i) {
      AddToRun(s, run, bytes.data() + i, plain - i);
      last = Ending::kText;
      i = plain;
    } else {
      ActOn(bytes[i], s, run, &last);
      ++i;
    }
  }
  FlushRun(s, run);
  return last;
}

void Screen::ActOn(char byte, PrintState& s, Run& run, Ending* last) {
  switch (byte) {
    case '\a':  // sounds now, before the text gathered in front of it
      device_.Beep(kToneHz, kToneMs);
      break;
    case '\b':
      FlushRun(s, run);
      if (s.x > s.left) --s.x;
      *last = Ending::kMove;
      break;
    case '\n':
      FlushRun(s, run);
      s.x = s.left;
      ++s.y;
      *last = Ending::kMove;
      break;
    case '\r':
      FlushRun(s, run);
      s.x = s.left;
      *last = Ending::kMove;
      break;
    case '\t': {
      const int view_width = s.right - s.left + 1;
      const int column = (s.x - s.left + static_cast<int>(run.length)) % view_width;
      const std::string_view blanks = "        ";
      AddToRun(s, run, blanks.data(), static_cast<size_t>(8 - column % 8));
      *last = Ending::kText;
      break;
    }
    default: break;  // a cell: never handed here
  }
}

void Screen::AddToRun(PrintState& s, Run& run, const char* bytes, size_t count) {
  while (count > 0) {
    if (run.length == kRunLimit) FlushRun(s, run);
    const size_t part = std::min(count, kRunLimit - run.length);
    std::memcpy(run.cells + run.length, bytes, part);
    run.length += part;
    bytes += part;
    count -= part;
  }
}

void Screen::FlushRun(PrintState& s, Run& run) {
  WriteRun(s, run.cells, run.length);
  run.length = 0;
}

// Text that fills the view's last row to its end leaves the cursor just
// below the view: the line feed that would scroll waits for the next print.
bool Screen::LineFeedWaits(Ending last, const PrintState& s) {
  return last == Ending::kText && s.x == s.left && s.y == s.bottom + 1;
}

void Screen::FinishPrint(PrintState& s, Ending last) {
  if (LineFeedWaits(last, s)) {
    line_feed_pending_ = true;
    s.x = s.right;
    s.y = s.bottom;
  } else if (s.y > s.bottom) {
    Scroll(s, s.y - s.bottom);
  }
  device_.SetCursorPosition({s.x, s.y});
  if (s.top != area_.top && !s.sub_view) device_.SetWindow({s.left, s.top, s.right, s.bottom});
  ReadArea();
  device_.Flush();
}

}  // namespace console
