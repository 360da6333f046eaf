// The line that tells how far the output got when the program is ended
// from outside while it writes the rows (Ctrl+C, a closed terminal or
// console window, SIGTERM):
//
//   patconv: interrupted: 'out.txt' holds only the first 1,203 rows
//
// The count is of the rows the output holds once the process has ended:
// the complete lines that reached it, its header line aside.  The rows
// still in the output's buffer never reach it.  A module (module_target.h)
// is counted in its lines: "holds only the first 1,203 lines of the module".
#ifndef PATCONV_CONVERTER_INTERRUPTED_LINE_H_
#define PATCONV_CONVERTER_INTERRUPTED_LINE_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "clipboard/clipboard.h"
#include "console/device.h"
#include "textio/write_gate.h"

namespace converter {

/// What an output holds, which tells how the line counts it.
enum class OutputText : uint8_t {
  kRows,    ///< the header line, then rows
  kModule,  ///< the lines of a module
};

/// The line, armed on a device for as long as it lives.
class InterruptedLine {
 public:
  /// Arms the line on `device` for the output shown as `shown_name`, whose
  /// complete lines (the header line first) `lines` counts.
  InterruptedLine(console::Device& device, const std::string& shown_name,
                  const textio::LineCount* lines, OutputText text = OutputText::kRows);
  /// Disarms the line.
  ~InterruptedLine();
  InterruptedLine(const InterruptedLine&) = delete;
  InterruptedLine& operator=(const InterruptedLine&) = delete;

  /// Every row has been handed to the output, `rows` in all (the lines of
  /// a module): an output that holds them all is whole, and the line is
  /// then not written.
  void Finished(int64_t rows) { finished_rows_.store(rows, std::memory_order_relaxed); }

  /// The line for the count at this moment into `out` (at most `capacity`
  /// bytes); 0 when the output is whole.  A console::LineComposer with the
  /// line as its context: it reads the line and the counts, nothing else.
  static size_t Compose(const void* line, char* out, size_t capacity);

 private:
  console::Device& device_;
  const std::string head_;  // "patconv: interrupted: 'out.txt' holds "
  const textio::LineCount* lines_;
  const bool module_;
  std::atomic<int64_t> finished_rows_{-1};  // -1 while rows are written
};

/// The same line for the clipboard as the target, armed for as long as it
/// lives: "patconv: interrupted: the clipboard is left as it was" until the
/// converted text is handed over to it, and after that "... gets the
/// converted rows" (the tool that sets it goes on without this process).
class ClipboardInterruptedLine {
 public:
  ClipboardInterruptedLine(console::Device& device, const clipboard::Clipboard& board);
  ~ClipboardInterruptedLine();
  ClipboardInterruptedLine(const ClipboardInterruptedLine&) = delete;
  ClipboardInterruptedLine& operator=(const ClipboardInterruptedLine&) = delete;

  /// A console::LineComposer with the line as its context.
  static size_t Compose(const void* line, char* out, size_t capacity);

 private:
  console::Device& device_;
  const clipboard::Clipboard& board_;
  const std::string left_;  // the two lines, made before they may be needed
  const std::string set_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_INTERRUPTED_LINE_H_
