// Files on Windows, through the C runtime's binary low-level I/O.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "textio/os_file.h"
#include "textio/utf8.h"
#include "textio/windows_names.h"

namespace textio {
namespace {

// A slash in a name is a directory separator, written the platform's way.
template <class Text>
Text NativeName(Text name) {
  for (auto& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

// UTF-8 as UTF-16; false when the bytes are not UTF-8 or too long for the
// system.
bool Widen(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  if (text.size() > 0x3FFFFFFF) return false;
  const int size = static_cast<int>(text.size());
  const int length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide->resize(static_cast<size_t>(length));
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, &(*wide)[0],
                               length) == length;
}

// Bytes in the ANSI code page as UTF-16, as its file calls take them.
bool WidenAnsi(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty() || text.size() > 0x3FFFFFFF) return false;
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide->resize(static_cast<size_t>(length));
  return ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, &(*wide)[0], length) == length;
}

// The name the system's calls take for `name`: as it is, unless its full
// path is longer than MAX_PATH - 1 characters, which Windows 10 and later
// open only where the long-path policy is on; such a path goes in its
// `\\?\` form, which every Windows takes up to 32,767 characters.  Empty
// when it is as it is.
std::wstring LongName(const std::wstring& name) {
  const DWORD size = ::GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (size <= MAX_PATH) return {};
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(name.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return LongPathForm(full);
}

// A name from a stream goes to the system's ANSI call as the bytes it is,
// unless it is UTF-8 text beyond ASCII (an answers file saved as UTF-8,
// Notepad's default); a typed one, UTF-8 text, to the Unicode call, so that
// the file gets exactly the name the user saw, whatever the code pages.  A
// long one goes to the Unicode call in its long form either way.
int OpenName(const std::string& name, TextOrigin origin, int flags) {
  std::wstring wide;
  if (origin == TextOrigin::kStream && !IsUtf8BeyondAscii(name)) {
    const std::string native = NativeName(name);
    if (!WidenAnsi(native, &wide) || (wide = LongName(wide)).empty()) {
      return ::_open(native.c_str(), flags, _S_IREAD | _S_IWRITE);
    }
  } else if (!Widen(name, &wide)) {
    errno = EILSEQ;
    return -1;
  } else {
    wide = NativeName(wide);
    const std::wstring long_name = LongName(wide);
    if (!long_name.empty()) wide = long_name;
  }
  return ::_wopen(wide.c_str(), flags, _S_IREAD | _S_IWRITE);
}

// Only a disk file or a pipe is read or written: what else a name reaches
// (a console, a port, a printer, a device under another name) is no file.
bool IsFileOrPipe(int fd) {
  const DWORD type = ::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

// An open that reached anything else is undone: -1 with kErrorNotAFile.
int FileOrPipe(int fd, int* error) {
  if (IsFileOrPipe(fd)) return fd;
  ::_close(fd);
  *error = kErrorNotAFile;
  return -1;
}

FileIdentity IdentityOf(HANDLE handle) {
  FileIdentity id;
  BY_HANDLE_FILE_INFORMATION info;
  if (handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &info)) {
    id.valid = true;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  return id;
}

// The counted disk file that CutCountedOutput cuts: its handle (none when
// INVALID_HANDLE_VALUE), its offset when the count began and its count.
// The control handler's thread reads them once the writes have stopped.
std::atomic<HANDLE> g_cut_handle{INVALID_HANDLE_VALUE};
int64_t g_cut_base = 0;
LineCount* g_cut_lines = nullptr;

}  // namespace

void OsFile::CountLinesIn(LineCount* lines) {
  lines_ = lines;
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  if (lines == nullptr || ::GetFileType(handle) != FILE_TYPE_DISK) return;
  const __int64 base = ::_lseeki64(descriptor_, 0, SEEK_CUR);
  if (base < 0) return;
  g_cut_base = base;
  g_cut_lines = lines;
  g_cut_handle.store(handle);
}

void CutCountedOutput() {
  HANDLE handle = g_cut_handle.load();
  LineCount* lines = g_cut_lines;
  if (handle == INVALID_HANDLE_VALUE || lines == nullptr || !lines->EndsMidLine()) return;
  const int64_t kept = lines->line_bytes.load(std::memory_order_relaxed);
  LARGE_INTEGER end;
  end.QuadPart = g_cut_base + kept;
  if (::SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle)) {
    lines->bytes.store(kept, std::memory_order_relaxed);
  }
}

bool OsFile::NamesDevice(const std::string& name) { return IsWindowsDeviceName(name); }

std::unique_ptr<OsFile> OsFile::OpenForReading(const std::string& name, TextOrigin origin,
                                               int* error) {
  int fd = OpenName(name, origin, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
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
  if (FileOrPipe(fd, error) < 0) return nullptr;
  return std::unique_ptr<OsFile>(new OsFile(fd));
}

std::unique_ptr<OsFile> OsFile::OpenForWriting(const std::string& name, TextOrigin origin,
                                               int* error) {
  int fd = OpenName(name, origin, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  if (FileOrPipe(fd, error) < 0) return nullptr;
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
  return IdentityOf(reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_)));
}

FileIdentity StandardInputIdentity() { return IdentityOf(::GetStdHandle(STD_INPUT_HANDLE)); }

bool OsFile::IsTerminal() const {
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  return ::GetFileType(handle) == FILE_TYPE_CHAR;
}

int OsFile::Close() {
  if (descriptor_ < 0) return 0;
  HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  g_cut_handle.compare_exchange_strong(handle, INVALID_HANDLE_VALUE);
  int result = ::_close(descriptor_) == 0 ? 0 : errno;
  descriptor_ = -1;
  return result;
}

}  // namespace textio
