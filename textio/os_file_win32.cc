// Files on Windows, through the C runtime's binary low-level I/O.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <string>

#include "textio/os_file.h"

namespace textio {
namespace {

// A slash in a name is a directory separator, written the platform's way.
std::string NativeName(const std::string& name) {
  std::string native = name;
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  return native;
}

}  // namespace

std::unique_ptr<OsFile> OsFile::OpenForReading(const std::string& name, int* error) {
  int fd = ::_open(NativeName(name).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  struct _stat64 st;
  if (::_fstat64(fd, &st) == 0 && (st.st_mode & _S_IFDIR) != 0) {
    ::_close(fd);
    *error = EISDIR;
    return nullptr;
  }
  return std::unique_ptr<OsFile>(new OsFile(fd));
}

std::unique_ptr<OsFile> OsFile::OpenForWriting(const std::string& name, int* error) {
  int fd = ::_open(NativeName(name).c_str(), _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  return std::unique_ptr<OsFile>(new OsFile(fd));
}

long OsFile::Read(char* data, size_t size, int* error) {
  int n = ::_read(descriptor_, data, static_cast<unsigned>(size));
  if (n < 0) {
    *error = errno;
    return -1;
  }
  return n;
}

const int OsFile::kNothingWrittenError = ENOSPC;

// At most 1 GiB a call: the count is an unsigned int.
long OsFile::WriteSome(const char* data, size_t size) {
  unsigned part = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
  return ::_write(descriptor_, data, part);
}

bool OsFile::MeasureSize(int64_t* size, int* error) {
  __int64 end = ::_lseeki64(descriptor_, 0, SEEK_END);
  if (end < 0 || ::_lseeki64(descriptor_, 0, SEEK_SET) < 0) {
    *error = errno;
    return false;
  }
  *size = end;
  return true;
}

bool OsFile::Truncate(int* error) {
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  if (::GetFileType(handle) != FILE_TYPE_DISK) return true;
  int result = ::_chsize_s(descriptor_, 0);
  if (result != 0) {
    *error = result;
    return false;
  }
  return true;
}

FileIdentity OsFile::Identity() const {
  FileIdentity id;
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  BY_HANDLE_FILE_INFORMATION info;
  if (handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &info)) {
    id.valid = true;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  return id;
}

bool OsFile::IsTerminal() const {
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  return ::GetFileType(handle) == FILE_TYPE_CHAR;
}

int OsFile::Close() {
  if (descriptor_ < 0) return 0;
  int result = ::_close(descriptor_) == 0 ? 0 : errno;
  descriptor_ = -1;
  return result;
}

}  // namespace textio
