#include "console/vt/terminal_output.h"

namespace console {

bool OutputBatch::Write(int fd) {
  if (bytes_.empty()) return true;
  const bool all = WriteAll(fd, bytes_.data(), bytes_.size()) == bytes_.size();
  bytes_.clear();
  last_write_ms_ = MonotonicMs();
  return all;
}

}  // namespace console
