// The console line reader: one typed line, echoed as it is typed and edited
// in place (always inserting), ended by Enter.
#ifndef PATCONV_CONSOLE_LINE_READER_H_
#define PATCONV_CONSOLE_LINE_READER_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "console/screen.h"

namespace console {

class Console;

class LineReader {
 public:
  explicit LineReader(Console& console) : console_(console) {}

  /// Reads keys until Enter (or Ctrl+J) and returns the line as typed.
  std::string Read();

 private:
  /// Acts on one key code; false when it ends the line.
  bool Act(int code);

  // One action per key.  Each moves the cursor from the position read at
  // the start of the loop pass (pass_).
  void MoveBy(int cells);
  void Backspace();        // Backspace, Ctrl+H
  void DeleteAll();        // Escape, Ctrl+[
  void DeleteForward();    // Delete
  void Insert(std::string_view characters);

  /// Removes `count` characters at position `at` (where the cursor stands)
  /// and redraws the rest of the line over them.
  void Remove(size_t at, size_t count);

  Console& console_;
  std::string line_;
  size_t p_ = 0;       // edit position
  Position size_;      // the console size when the line started
  Position pass_;      // the cursor at the start of the current loop pass
};

}  // namespace console

#endif  // PATCONV_CONSOLE_LINE_READER_H_
