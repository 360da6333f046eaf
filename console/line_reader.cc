#include "console/line_reader.h"

#include <algorithm>

#include "console/key_codes.h"

namespace console {
namespace {

constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kLineFeed = 10;
constexpr int kEnter = 13;
constexpr int kEscape = 27;

}  // namespace

std::string LineReader::Read(std::string_view lead) {
  size_ = console_.ConsoleSize();
  lead_ = lead;
  lead_start_ = Screen::Advanced(-static_cast<int>(lead_.size()), console_.CursorPosition(), size_);
  lead_scroll_ = console_.RowsScrolled();
  const bool was_visible = (console_.PlaceCursor(0, 0, -1) & 0x10000) != 0;
  console_.PlaceCursor(0, 0, 0);
  line_.clear();
  p_ = 0;
  console_.PlaceCursor(0, 0, 1);
  for (;;) {
    pass_ = console_.CursorPosition();
    int code = console_.WaitKey();
    bool more = Act(code);
    console_.PlaceCursor(0, 0, 1);
    if (!more) break;
  }
  // The cursor goes to the end of the text, wherever the edit position was.
  pass_ = console_.CursorPosition();
  MoveBy(static_cast<int>(line_.size() - p_));
  console_.PlaceCursor(0, 0, was_visible ? 1 : 0);
  return line_;
}

bool LineReader::Act(int code) {
  const size_t n = line_.size();
  const size_t cols = static_cast<size_t>(size_.column);
  switch (code) {
    case kEnter:
    case kLineFeed: return false;
    case kBackspace:  // Backspace, Ctrl+H: the character before the cursor
      if (p_ > 0) Backspace();
      break;
    case kTab:  // Tab, Ctrl+I: spaces to the next multiple of 8 in the line
      Insert(std::string(8 - p_ % 8, ' '));
      break;
    case kEscape:  // Escape, Ctrl+[: the whole line
      if (n > 0) DeleteAll();
      break;
    case kKeyHome:
      MoveBy(-static_cast<int>(p_));
      p_ = 0;
      break;
    case kKeyEnd:
      MoveBy(static_cast<int>(n - p_));
      p_ = n;
      break;
    case kKeyLeft:
      if (p_ > 0) {
        MoveBy(-1);
        --p_;
      }
      break;
    case kKeyRight:
      if (p_ < n) {
        MoveBy(1);
        ++p_;
      }
      break;
    case kKeyUp:  // a whole console width back within the line
      if (p_ >= cols) {
        MoveBy(-size_.column);
        p_ -= cols;
      }
      break;
    case kKeyDown:
      if (p_ + cols <= n) {
        MoveBy(size_.column);
        p_ += cols;
      }
      break;
    case kKeyDelete:  // the character under the cursor; a tone at the end
      DeleteForward();
      break;
    case kCharacterOutsideCp1251:  // refused: the line shows the name used
      console_.Beep(Screen::kToneHz, Screen::kToneMs);
      break;
    case kConsoleResized: Redraw(); break;
    default:
      if (code >= 32 && code <= 255) Insert(std::string(1, static_cast<char>(code)));
      break;  // every other code changes nothing
  }
  return true;
}

void LineReader::MoveBy(int cells) { console_.CursorAdvance(cells, pass_, size_); }

void LineReader::Backspace() {
  MoveBy(-1);
  --p_;
  pass_ = console_.CursorPosition();
  Remove(p_, 1);
}

void LineReader::DeleteAll() {
  MoveBy(-static_cast<int>(p_));
  p_ = 0;
  pass_ = console_.CursorPosition();
  Remove(0, line_.size());
}

void LineReader::DeleteForward() {
  if (p_ < line_.size()) {
    Remove(p_, 1);
  } else {
    console_.Beep(Screen::kToneHz, Screen::kToneMs);
  }
}

void LineReader::Remove(size_t at, size_t count) {
  console_.PlaceCursor(0, 0, 0);
  line_.erase(at, count);
  // The rest of the line moves left; blanks cover the cells it no longer
  // reaches.
  std::string redraw = line_.substr(at);
  redraw.append(count, ' ');
  console_.Echo(redraw);
  console_.PlaceCursor(pass_.row, pass_.column, -1);
}

void LineReader::Insert(std::string_view characters) {
  const int m = static_cast<int>(characters.size());
  const size_t old_n = line_.size();
  console_.PlaceCursor(0, 0, 0);
  line_.insert(p_, characters);
  console_.Echo(std::string_view(line_).substr(p_));
  if (p_ == old_n) {
    MoveBy(m);
  } else {
    // Work out where the reprinted text ended; if that is past the first
    // cell below the last row, the screen scrolled under the line.
    Position end = Screen::Advanced(static_cast<int>(line_.size() - p_), pass_, size_);
    bool scrolled = end.row > size_.row + 1 || (end.row == size_.row + 1 && end.column > 1);
    if (scrolled) {
      console_.CursorAdvance(-static_cast<int>(old_n - p_), console_.CursorPosition(), size_);
    } else {
      MoveBy(m);
    }
  }
  p_ += characters.size();
}

// The lead's row follows the scrolls since it was printed; a start column
// past a narrower console's width continues on the rows below, as the text
// would.
Position LineReader::LeadStart(Position size) const {
  const int row = lead_start_.row - static_cast<int>(console_.RowsScrolled() - lead_scroll_);
  return Screen::Advanced(lead_start_.column - 1, {1, row}, size);
}

// The screen keeps its rows where they were and cuts or widens them, but
// the lead and the line take other rows at another width: they are drawn
// again from the lead's start, blanks cover the rest of the rows they took
// before, and the cursor goes back to the edit position.  Of a start above
// the window only what reaches into the window is drawn.
void LineReader::Redraw() {
  const Position old_size = size_;
  size_ = console_.ConsoleSize();
  std::string text = lead_ + line_;
  const int cells = static_cast<int>(text.size());
  const int old_last = std::min(
      Screen::Advanced(std::max(cells - 1, 0), LeadStart(old_size), old_size).row, size_.row);
  const Position start = LeadStart(size_);
  const int covered = (old_last - start.row + 1) * size_.column - (start.column - 1);
  text.append(static_cast<size_t>(std::max(covered - cells, 0)), ' ');
  Position from = start;
  if (start.row < 1) {
    const int hidden = (1 - start.row) * size_.column - (start.column - 1);
    text.erase(0, std::min(static_cast<size_t>(hidden), text.size()));
    from = {1, 1};
  }
  console_.PlaceCursor(0, 0, 0);
  console_.PlaceCursor(from.row, from.column, -1);
  console_.Echo(text);
  console_.CursorAdvance(static_cast<int>(lead_.size() + p_), LeadStart(size_), size_);
}

}  // namespace console
