// The count of what reached an output that a signal or a control event may
// end at any moment: its complete lines and their bytes, read by the
// handler that ends the process (it says how far the output got, and cuts
// a file back to its last complete line).
#ifndef PATCONV_TEXTIO_LINE_COUNT_H_
#define PATCONV_TEXTIO_LINE_COUNT_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace textio {

/// What reached an output.  A signal handler or a control handler's thread
/// reads it, so its parts are lock-free; only the one thread that writes
/// the output changes them, each write and its count one step behind a
/// WriteGate (write_gate.h).
struct LineCount {
  std::atomic<int64_t> lines{0};       ///< complete lines (line feeds)
  std::atomic<int64_t> line_bytes{0};  ///< the bytes of those lines
  std::atomic<int64_t> bytes{0};       ///< every byte

  /// `size` bytes reached the output, `feeds` line feeds among them, the
  /// last followed by `after_last` bytes of the `size`.
  void Add(size_t size, int64_t feeds, size_t after_last) {
    const int64_t total = bytes.load(std::memory_order_relaxed) + static_cast<int64_t>(size);
    if (feeds > 0) {
      lines.store(lines.load(std::memory_order_relaxed) + feeds, std::memory_order_relaxed);
      line_bytes.store(total - static_cast<int64_t>(after_last), std::memory_order_relaxed);
    }
    bytes.store(total, std::memory_order_relaxed);
  }
  /// Part of a line follows the complete ones.
  bool EndsMidLine() const {
    return bytes.load(std::memory_order_relaxed) != line_bytes.load(std::memory_order_relaxed);
  }
};
static_assert(std::atomic<int64_t>::is_always_lock_free, "read by signal handlers");

/// The line ends among bytes about to be written, known without looking at
/// the bytes: `count` line feeds, the last just before offset `after_last`.
struct LineEnds {
  int64_t count = 0;
  size_t after_last = 0;
};

/// Adds to *lines the `size` bytes at `data`, which have just reached the
/// output, counting their line feeds one by one (where the line ends are
/// not known otherwise: a write cut short, standard output); nothing when
/// `lines` is null.  The count of line feeds.
inline int64_t CountLines(const char* data, size_t size, LineCount* lines) {
  if (lines == nullptr) return 0;
  int64_t feeds = 0;
  size_t after_last = 0;
  // memchr: a row's bytes are passed over many at a time.
  const char* const end = data + size;
  for (const char* at = data;
       (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) !=
       nullptr;
       ++at) {
    ++feeds;
    after_last = static_cast<size_t>(end - at - 1);
  }
  lines->Add(size, feeds, after_last);
  return feeds;
}

/// Adds to *lines a write of `written` bytes at data + done, out of bytes
/// about to be written from `data` whose line ends are *ends: a write that
/// takes the last of them (or follows it) counts from *ends, one that stops
/// short of it (a pipe's piece) byte by byte.  Nothing when `lines` is null.
inline void CountWritten(const char* data, size_t done, size_t written, LineEnds* ends,
                         LineCount* lines) {
  if (lines == nullptr) return;
  const size_t end = done + written;
  if (ends->count == 0) {
    lines->Add(written, 0, 0);
  } else if (end >= ends->after_last) {
    lines->Add(written, ends->count, end - ends->after_last);
    ends->count = 0;
  } else {
    ends->count -= CountLines(data + done, written, lines);
  }
}

}  // namespace textio

#endif  // PATCONV_TEXTIO_LINE_COUNT_H_
