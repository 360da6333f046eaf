// Files on POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "textio/os_file.h"

namespace textio {

namespace {

// Opens without waiting: a FIFO would otherwise block the open until its
// other end is opened, possibly forever.  Reads and writes then block as
// usual (a FIFO read waits for its writer at the first read; one without
// a reader cannot be opened for output).
int OpenNoWait(const std::string& name, int flags) {
  int fd;
  do {
    fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

FileIdentity IdentityOf(int descriptor) {
  FileIdentity id;
  struct stat st;
  if (::fstat(descriptor, &st) == 0) {
    id.valid = true;
    id.volume = static_cast<uint64_t>(st.st_dev);
    id.index = static_cast<uint64_t>(st.st_ino);
  }
  return id;
}

// The counted regular file that CutCountedOutput cuts: its descriptor (-1
// for none), its offset when the count began and its count.
volatile sig_atomic_t g_cut_descriptor = -1;
volatile off_t g_cut_base = 0;
LineCount* volatile g_cut_lines = nullptr;

}  // namespace

void OsFile::CountLinesIn(LineCount* lines) {
  lines_ = lines;
  struct stat st;
  if (lines == nullptr || ::fstat(descriptor_, &st) != 0 || !S_ISREG(st.st_mode)) return;
  const off_t base = ::lseek(descriptor_, 0, SEEK_CUR);
  if (base < 0) return;
  g_cut_base = base;
  g_cut_lines = lines;
  g_cut_descriptor = descriptor_;
}

void CutCountedOutput() {
  const int descriptor = g_cut_descriptor;
  LineCount* lines = g_cut_lines;
  if (descriptor < 0 || lines == nullptr || !lines->EndsMidLine()) return;
  const int64_t kept = lines->line_bytes.load(std::memory_order_relaxed);
  if (::ftruncate(descriptor, g_cut_base + static_cast<off_t>(kept)) == 0) {
    lines->bytes.store(kept, std::memory_order_relaxed);
  }
}

// Devices are files in /dev here, opened and then judged like any file.
bool OsFile::NamesDevice(const std::string& /*name*/) { return false; }

// A name is bytes here, whether typed or read.
std::unique_ptr<OsFile> OsFile::OpenForReading(const std::string& name, TextOrigin /*origin*/,
                                               int* error) {
  int fd = OpenNoWait(name, O_RDONLY);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    *error = EISDIR;
    return nullptr;
  }
  return std::unique_ptr<OsFile>(new OsFile(fd));
}

std::unique_ptr<OsFile> OsFile::OpenForWriting(const std::string& name, TextOrigin /*origin*/,
                                               int* error) {
  int fd = OpenNoWait(name, O_WRONLY | O_CREAT);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  return std::unique_ptr<OsFile>(new OsFile(fd));
}

long OsFile::Read(char* data, size_t size, int* error) {
  if (may_wait_ < 0) {
    // A FIFO opened before its writer would read as empty: the first read
    // waits for a writer, as a read of a pipe waits for its bytes.
    struct stat st;
    const bool known = ::fstat(descriptor_, &st) == 0;
    may_wait_ = known && S_ISREG(st.st_mode) ? 0 : 1;
    if (known && S_ISFIFO(st.st_mode)) {
      pollfd in{descriptor_, POLLIN, 0};
      while (::poll(&in, 1, -1) < 0 && errno == EINTR) {
      }
    }
  }
  for (;;) {
    ssize_t n = ::read(descriptor_, data, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) {
      *error = errno;
      return -1;
    }
  }
}

const int OsFile::kNothingWrittenError = EIO;

// A counted output that may wait on its reader is written only when it has
// room, a piece at a time: its writes then never hold an ending signal off.
long OsFile::WriteSome(const char* data, size_t size) {
  if (lines_ != nullptr && may_wait_ < 0) {
    struct stat st;
    may_wait_ = ::fstat(descriptor_, &st) == 0 && S_ISREG(st.st_mode) ? 0 : 1;
  }
  if (lines_ != nullptr && may_wait_ == 1) size = AwaitRoom(descriptor_, size);
  return static_cast<long>(::write(descriptor_, data, size));
}

bool OsFile::MeasureSize(int64_t* size, int* error) {
  off_t end = ::lseek(descriptor_, 0, SEEK_END);
  if (end < 0 || ::lseek(descriptor_, 0, SEEK_SET) < 0) {
    *error = errno;
    return false;
  }
  *size = static_cast<int64_t>(end);
  return true;
}

bool OsFile::Truncate(int* error) {
  struct stat st;
  if (::fstat(descriptor_, &st) != 0) {
    *error = errno;
    return false;
  }
  if (!S_ISREG(st.st_mode)) return true;
  if (::ftruncate(descriptor_, 0) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

FileIdentity OsFile::Identity() const { return IdentityOf(descriptor_); }

FileIdentity StandardInputIdentity() { return IdentityOf(STDIN_FILENO); }

bool OsFile::IsTerminal() const { return ::isatty(descriptor_) == 1; }

int OsFile::Close() {
  if (descriptor_ < 0) return 0;
  if (g_cut_descriptor == descriptor_) g_cut_descriptor = -1;
  int result = ::close(descriptor_) == 0 || errno == EINTR ? 0 : errno;
  descriptor_ = -1;
  return result;
}

}  // namespace textio
