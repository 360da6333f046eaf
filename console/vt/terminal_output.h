// Bytes on their way to the terminal: the batch that gathers a fast run of
// drawing into few writes.
#ifndef PATCONV_CONSOLE_VT_TERMINAL_OUTPUT_H_
#define PATCONV_CONSOLE_VT_TERMINAL_OUTPUT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "textio/posix_io.h"

namespace console {

/// The write-all loop and the clock of the batch and the key decoder, the
/// ones the clipboard tools use too (textio/posix_io.h).
using textio::MonotonicMs;
using textio::WriteAll;

/// The drawing not yet written to the terminal.  Written at once when it
/// has grown big or when the last write is old; a fast run of prints is
/// gathered in between.
class OutputBatch {
 public:
  /// Small enough for the terminal to take in one piece while the next is
  /// drawn: much larger pieces made rows echoed into a terminal (a tmux
  /// pane) come out markedly slower than cat of the same bytes.
  static constexpr size_t kWriteSize = 8 * 1024;
  static constexpr int64_t kWriteIntervalMs = 10;

  bool empty() const { return bytes_.empty(); }
  /// Adds bytes at the end.
  void Append(std::string_view bytes) { bytes_.append(bytes.data(), bytes.size()); }
  /// Puts bytes before all the others (what sets the terminal up).
  void Prepend(std::string_view bytes) { bytes_.insert(0, bytes.data(), bytes.size()); }
  /// True when the batch, with `more` bytes about to join it, is to be
  /// written now.
  bool Due(size_t more) const {
    return bytes_.size() + more >= kWriteSize || MonotonicMs() - last_write_ms_ >= kWriteIntervalMs;
  }
  /// Writes the batch to `fd` (WriteAll) and empties it; false when the
  /// terminal did not take all of it.
  bool Write(int fd);
  /// Empties the batch without writing it.
  void Drop() { bytes_.clear(); }

 private:
  std::string bytes_;
  int64_t last_write_ms_ = -kWriteIntervalMs;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_TERMINAL_OUTPUT_H_
