// Files of the operating system, read and written as raw bytes.  The text
// translation of input files is this program's own (text_input.h), so every
// platform opens files in binary mode and behaves the same.  What differs is
// in os_file_posix.cc and os_file_win32.cc; os_file.cc holds the rest.
#ifndef PATCONV_TEXTIO_OS_FILE_H_
#define PATCONV_TEXTIO_OS_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "textio/line_count.h"
#include "textio/text_input.h"
#include "textio/write_gate.h"

namespace textio {

/// Where a text came from, which tells the form of a file name.
enum class TextOrigin : uint8_t {
  /// Read from a file or a redirected standard input: the bytes are used as
  /// they are, whatever they mean to the system (its ANSI code page on
  /// Windows), so that scripts that feed names keep working.  On Windows a
  /// name that is UTF-8 text beyond ASCII (an answers file saved as UTF-8)
  /// is taken as such: text in an ANSI code page is practically never
  /// valid UTF-8.
  kStream,
  /// Typed at the console: text in the form the console device gives typed
  /// names (UTF-8 on Windows, where such a name is opened through the
  /// system's Unicode calls; the terminal's charset elsewhere).
  kTyped,
};

/// What tells two names of one file apart from two files (device and inode,
/// or volume and file index).
struct FileIdentity {
  bool valid = false;
  uint64_t volume = 0;
  uint64_t index = 0;
  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.valid && b.valid && a.volume == b.volume && a.index == b.index;
  }
};

/// The error value of an open, beside the errno values, when the name led to
/// something that is neither a disk file nor a pipe (on Windows).
inline constexpr int kErrorNotAFile = -1;

/// An open file.  Closed by Close() or the destructor.
class OsFile final : public ByteSource {
 public:
  /// True when the system would take `name` for a device rather than a
  /// file, so that it must not even be opened: on Windows the names of
  /// IsWindowsDeviceName (windows_names.h); none on POSIX systems, whose
  /// devices are files of their own (/dev/...).
  static bool NamesDevice(const std::string& name);
  /// Opens an existing file for reading.  Returns null with an errno value
  /// (or kErrorNotAFile) in *error when it cannot be opened, or when it is a
  /// directory.
  static std::unique_ptr<OsFile> OpenForReading(const std::string& name, TextOrigin origin,
                                                int* error);
  /// Opens a file for writing, creating it when it is missing.  It is not
  /// emptied yet: see Truncate.  Errors as for OpenForReading.
  static std::unique_ptr<OsFile> OpenForWriting(const std::string& name, TextOrigin origin,
                                                int* error);

  ~OsFile() override;
  OsFile(const OsFile&) = delete;
  OsFile& operator=(const OsFile&) = delete;

  long Read(char* data, size_t size, int* error) override;
  /// Writes every byte, retrying partial writes; false with *error when the
  /// system refuses the rest.  `ends` are the line ends among the bytes,
  /// which a counted file counts.
  bool WriteAll(const char* data, size_t size, int* error, LineEnds ends = {});
  /// Counts the complete lines that reach the file from now on in *lines:
  /// each write and its count one step behind a WriteGate, and a file that
  /// may wait on its reader (a FIFO) written a piece at a time once it has
  /// room (AwaitRoom).  A regular file becomes the one CutCountedOutput
  /// cuts, until it is closed.
  void CountLinesIn(LineCount* lines);
  /// The position of the file's end; the file is then positioned at its
  /// first byte again.
  bool MeasureSize(int64_t* size, int* error);
  /// Empties a regular file; other kinds (devices, pipes) are left alone.
  bool Truncate(int* error);
  FileIdentity Identity() const;
  /// A terminal or console (on Windows any character device: CON, NUL,
  /// AUX, COMn, LPTn): no file to convert into.
  bool IsTerminal() const;
  /// Closes the file: 0, or the errno value of a failed close.
  int Close();

 private:
  explicit OsFile(int descriptor) : descriptor_(descriptor) {}
  /// One write of the system, of some of the bytes: the count written; -1
  /// with errno set when it fails.  Each platform's file defines it.
  long WriteSome(const char* data, size_t size);
  /// The errno value of a write that took nothing.
  static const int kNothingWrittenError;

  int descriptor_;
  LineCount* lines_ = nullptr;
  int may_wait_ = -1;  // the file is no regular file; -1 not looked at yet
};

/// On the way out after an ending signal (POSIX systems, async-signal-safe)
/// or a console's control event (Windows, on the handler's thread once
/// EndWrites has stopped the writes): cuts the counted regular file being
/// written back to the end of its last complete line, so that it holds
/// exactly the lines its LineCount counts, and makes the count say so.
/// Nothing when no such file is open.
void CutCountedOutput();

/// The identity of the file standard input reads; not valid when it reads
/// none (a terminal or a pipe may still have one).
FileIdentity StandardInputIdentity();

/// The system's text for an errno value, or the program's for
/// kErrorNotAFile.
std::string SystemErrorText(int error);

}  // namespace textio

#endif  // PATCONV_TEXTIO_OS_FILE_H_
