// Two small POSIX helpers that the terminal device and the clipboard tools
// share: the loop that writes every byte, and a monotonic clock.
#ifndef PATCONV_TEXTIO_POSIX_IO_H_
#define PATCONV_TEXTIO_POSIX_IO_H_

#include <cstddef>
#include <cstdint>

namespace textio {

/// Writes the `size` bytes at `data` to `fd`, all of them: a write that a
/// signal interrupts is made again, and while a descriptor that someone
/// made non-blocking takes nothing (EAGAIN), poll() waits until it takes
/// more.  Stops at any other failure, or at a write that takes nothing.
/// Returns the bytes written.  Async-signal-safe.
size_t WriteAll(int fd, const char* data, size_t size);

/// Milliseconds of a monotonic clock.
int64_t MonotonicMs();

}  // namespace textio

#endif  // PATCONV_TEXTIO_POSIX_IO_H_
