// The screen buffer's remembered answer and held drawing: see held_output.h.
#include "console/win32/held_output.h"

#include <algorithm>

namespace console {

void HeldOutput::Remember(const BufferInfo& info) {
  info_ = info;
  known_ = true;
  cursor_held_ = false;
  cursor_shown_ = info.cursor;
  cursor_shown_known_ = true;
  answered_at_ = ::GetTickCount64();
}

// Joined to the held cells when they meet them on their row; shown first
// otherwise.
bool HeldOutput::HoldCells(const CHAR_INFO* cells, int length, Coord at) {
  if (!Known() || at.x < 0 || at.y < 0 || at.y >= info_.size.y || at.x > info_.size.x - length) {
    return false;
  }
  const int held_end = cells_at_.x + static_cast<int>(cells_.size());
  if (!cells_.empty() && (at.y != cells_at_.y || at.x > held_end || at.x + length < cells_at_.x)) {
    Show();
  }
  if (cells_.empty()) cells_at_ = at;
  const int first = std::min(at.x, cells_at_.x);
  const int end = std::max(at.x + length, cells_at_.x + static_cast<int>(cells_.size()));
  cells_.insert(cells_.begin(), static_cast<size_t>(cells_at_.x - first), CHAR_INFO{});
  cells_.resize(static_cast<size_t>(end - first));
  cells_at_.x = first;
  std::copy(cells, cells + length, cells_.begin() + (at.x - first));
  return true;
}

bool HeldOutput::HoldCursor(Coord at) {
  const Rect& window = info_.window;
  if (!Known() || at.x < 0 || at.x >= info_.size.x || at.x < window.left || at.x > window.right ||
      at.y < window.top || at.y > window.bottom) {
    return false;
  }
  info_.cursor = at;
  cursor_held_ = true;
  return true;
}

void HeldOutput::FedLines(int last_row, bool was_known) {
  info_.cursor = Coord{0, last_row};
  known_ = was_known && last_row >= info_.window.top && last_row <= info_.window.bottom;
  cursor_shown_ = info_.cursor;
  cursor_shown_known_ = true;
}

// As asked: a window the buffer cannot hold fails instead.
void HeldOutput::WindowSet(Rect window, bool was_known) {
  info_.window = window;
  known_ = was_known;
}

void HeldOutput::Show() {
  if (!cells_.empty()) {
    SMALL_RECT region{static_cast<SHORT>(cells_at_.x), static_cast<SHORT>(cells_at_.y),
                      static_cast<SHORT>(cells_at_.x + static_cast<int>(cells_.size()) - 1),
                      static_cast<SHORT>(cells_at_.y)};
    const COORD shape{static_cast<SHORT>(cells_.size()), 1};
    ::WriteConsoleOutputW(output_, cells_.data(), shape, COORD{0, 0}, &region);
    cells_.clear();
  }
  if (cursor_held_) {
    cursor_held_ = false;
    const COORD at{static_cast<SHORT>(info_.cursor.x), static_cast<SHORT>(info_.cursor.y)};
    cursor_shown_ = info_.cursor;
    cursor_shown_known_ = ::SetConsoleCursorPosition(output_, at) != FALSE;
    known_ = known_ && cursor_shown_known_;
  }
  shown_at_ = ::GetTickCount64();
}

}  // namespace console
