#include "console/screen.h"

#include <algorithm>
#include <cstring>

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
  int left, top, right, bottom;
  int width, height;  // the buffer
  uint16_t attribute;
  int x, y;
  bool sub_view;
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
    area_ = {0, info.window.top, info.size.x - 1, info.window.bottom, info.size.y - 1};
  } else {
    area_ = {};
  }
}

void Screen::FixView() {
  if (view_first_ != 0) return;
  view_first_ = 1;
  view_last_ = Size().row;
  if (view_last_ <= 0) view_last_ = 25;
}

Position Screen::Size() const {
  if (AreaEmpty()) return {80, 25};
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
  return device_.GetBufferInfo(&info) ? info.attribute : uint16_t{7};
}

void Screen::BlankRow(int row, int left, int right, uint16_t attribute) {
  device_.FillAttribute(attribute, right - left + 1, {left, row});
  device_.FillCharacter(' ', right - left + 1, {left, row});
}

void Screen::Clear() {
  if (AreaEmpty()) return;
  Rect view = ViewRect();
  uint16_t attribute = CurrentAttribute();
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
  // Without a console area the bounds are a stand-in 80 x 25 screen that
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
    if (k > 0) {
      if (k >= s.height) {
        for (int row = s.top; row <= s.bottom; ++row) BlankRow(row, s.left, s.right, s.attribute);
      } else {
        device_.ScrollRect({0, k, s.width - 1, s.height - 1}, {0, 0}, ' ', s.attribute);
        BlankBetween(s.height - k, k - 1, s);
      }
    }
  } else if (k < s.bottom - s.top + 1) {
    device_.ScrollRect({s.left, s.top + k, s.right, s.bottom}, {s.left, s.top}, ' ', s.attribute);
    BlankBetween(s.bottom + 1 - k, s.top + k - 1, s);
  } else {
    for (int row = s.top; row <= s.bottom; ++row) BlankRow(row, s.left, s.right, s.attribute);
  }
  s.y = s.bottom;
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
  Rect view = ViewRect();
  PrintState s{view.left, view.top, view.right, view.bottom, 80, 25, 7, view.left, view.top, false};
  s.sub_view = view.top != area_.top || view.bottom != area_.bottom;
  BufferInfo info;
  if (device_.GetBufferInfo(&info)) {
    s.width = info.size.x;
    s.height = info.size.y;
    s.attribute = info.attribute;
    s.x = info.cursor.x;
    s.y = info.cursor.y;
  }
  if (line_feed_pending_) {
    line_feed_pending_ = false;
    ++s.y;
    s.x = s.left;
    if (s.y > s.bottom) Scroll(s, s.y - s.bottom);
  }

  char run[kRunLimit];
  size_t run_length = 0;
  auto write_run = [&] {
    WriteRun(s, run, run_length);
    run_length = 0;
  };
  auto add_to_run = [&](char c) {
    if (run_length == kRunLimit) write_run();
    run[run_length++] = c;
  };
  enum class Last { kNothing, kText, kMove } last = Last::kNothing;
  for (size_t i = 0; i < bytes.size(); ++i) {
    // Bytes that are cells go into the run a stretch at a time.
    size_t plain = i;
    while (plain < bytes.size() && !MovesOrSounds(bytes[plain])) ++plain;
    if (plain > i) {
      for (size_t from = i; from < plain;) {
        if (run_length == kRunLimit) write_run();
        size_t part = std::min(plain - from, kRunLimit - run_length);
        std::memcpy(run + run_length, bytes.data() + from, part);
        run_length += part;
        from += part;
      }
      last = Last::kText;
      i = plain;
      if (i == bytes.size()) break;
    }
    const char byte = bytes[i];
    switch (byte) {
      case '\a':  // sounds now, before the text gathered in front of it
        device_.Beep(kToneHz, kToneMs);
        break;
      case '\b':
        write_run();
        if (s.x > s.left) --s.x;
        last = Last::kMove;
        break;
      case '\n':
        write_run();
        s.x = s.left;
        ++s.y;
        last = Last::kMove;
        break;
      case '\r':
        write_run();
        s.x = s.left;
        last = Last::kMove;
        break;
      case '\t': {
        const int view_width = s.right - s.left + 1;
        const int column = (s.x - s.left + static_cast<int>(run_length)) % view_width;
        for (int n = 8 - column % 8; n > 0; --n) add_to_run(' ');
        last = Last::kText;
        break;
      }
      default:
        break;  // cells were taken above
    }
  }
  write_run();

  if (last == Last::kMove && s.y > s.bottom) {
    Scroll(s, s.y - s.bottom);
  } else if (last == Last::kText && s.x == s.left && s.y == s.bottom + 1) {
    // The last row is full: the line feed waits for the next print.
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
