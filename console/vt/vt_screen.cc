#include "console/vt/vt_screen.h"

#include <algorithm>
#include <utility>

namespace console {
namespace {

// A rectangle cut down to the cells of a width x height buffer; its right
// edge falls left of its left edge when nothing is left.
Rect ClipRect(Rect rect, int width, int height) {
  return Rect{std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, width - 1),
              std::min(rect.bottom, height - 1)};
}

bool IsEmpty(Rect rect) { return rect.left > rect.right || rect.top > rect.bottom; }

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

// The rows that leave the top go through the terminal's scroll-back
// (ScrollTerminalUp); the rows that come in are blank in both the model and
// what the terminal shows.
void VtScreen::ScrollWholeBufferUp(int rows, char fill, uint16_t attribute) {
  ScrollTerminalUp(rows);
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

}  // namespace console
