// What the file code of every platform shares.
#include "textio/os_file.h"

#include <cerrno>
#include <cstring>

namespace textio {

OsFile::~OsFile() { Close(); }

bool OsFile::WriteAll(const char* data, size_t size, int* error, LineEnds ends) {
  size_t done = 0;  // of the `size` bytes at `data`
  while (done < size) {
    long n;
    if (lines_ == nullptr) {
      n = WriteSome(data + done, size - done);
    } else {
      const WriteGate gate;
      n = WriteSome(data + done, size - done);
      if (n > 0) CountWritten(data, done, static_cast<size_t>(n), &ends, lines_);
    }
    if (n < 0 && errno == EINTR) continue;  // a signal came first: again
    if (n < 0) {
      *error = errno;
      return false;
    }
    if (n == 0) {
      *error = kNothingWrittenError;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string SystemErrorText(int error) {
  if (error == kErrorNotAFile) return "it is a terminal or device, not a file";
  return std::strerror(error);
}

}  // namespace textio
