#include "textio/posix_io.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace textio {

size_t WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t written = write(fd, data + done, size - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd out{fd, POLLOUT, 0};
      if (poll(&out, 1, -1) < 0 && errno != EINTR) break;
    } else {
      break;  // hung up, closed, or a write that takes nothing
    }
  }
  return done;
}

int64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace textio
