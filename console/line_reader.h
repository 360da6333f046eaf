// The console line reader: one typed line, echoed as it is typed and edited
// in place (always inserting), ended by Enter.
#ifndef PATCONV_CONSOLE_LINE_READER_H_
#define PATCONV_CONSOLE_LINE_READER_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "console/screen.h"

namespace console {

/// The console as the line reader sees it: its size, the cursor, the echo
/// of what is typed, the keys and the tone.  The console that owns the
/// reader (Console) implements it; the reader knows nothing else of it.
class LineConsole {
 public:
  /// The console width and height, as they are now.
  virtual Position ConsoleSize() = 0;
  /// The cursor's column and row relative to the console area.
  virtual Position CursorPosition() = 0;
  /// How many rows the screen's content has moved up, in all, as prints
  /// scrolled it.
  virtual long RowsScrolled() const = 0;
  /// Place cursor: row or column 0 keeps the current one, a negative
  /// visibility keeps it; returns the former visibility as bit 0x10000.
  virtual int PlaceCursor(int row, int column, int visibility) = 0;
  /// Moves the cursor d cells from `from` along the rows of a console of
  /// `size`; landing just below the last row scrolls the screen by one.
  virtual void CursorAdvance(int d, Position from, Position size) = 0;
  /// Draws bytes at the cursor, as a console print does.
  virtual void Echo(std::string_view bytes) = 0;
  /// Waits for the next key code.
  virtual int WaitKey() = 0;
  virtual void Beep(int frequency, int milliseconds) = 0;

 protected:
  ~LineConsole() = default;
};

class LineReader {
 public:
  explicit LineReader(LineConsole& console) : console_(console) {}

  /// Reads keys until Enter (or Ctrl+J) and returns the line as typed.
  /// `lead` is what was printed just before the line on its row (the
  /// prompt): when the console changes its size, both are drawn again at
  /// the new width, so that the screen shows the line that Enter returns.
  std::string Read(std::string_view lead = {});

 private:
  /// Acts on one key code; false when it ends the line.
  bool Act(int code);

  // One action per key.  Each moves the cursor from the position read at
  // the start of the loop pass (pass_).
  void MoveBy(int cells);
  void Backspace();      // Backspace, Ctrl+H
  void DeleteAll();      // Escape, Ctrl+[
  void DeleteForward();  // Delete
  void Insert(std::string_view characters);
  void Redraw();  // the console changed its size
  /// Where the lead starts in a console of `size`.
  Position LeadStart(Position size) const;

  /// Removes `count` characters at position `at` (where the cursor stands)
  /// and redraws the rest of the line over them.
  void Remove(size_t at, size_t count);

  LineConsole& console_;
  std::string line_;
  size_t p_ = 0;   // edit position
  Position size_;  // the console size when the line started
  Position pass_;  // the cursor at the start of the current loop pass
  std::string lead_;
  // Where the lead started, and how far the screen had scrolled then.
  Position lead_start_;
  long lead_scroll_ = 0;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_LINE_READER_H_
