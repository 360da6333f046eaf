// Numbered text channels: 0 is the console, 1 to 255 are files.  Every
// operation leaves a status number; failures never print anything here.
//
// Library textio, the lowest layer: this channel table, the disk-file channel
// (disk_file, over os_file with one platform file), buffered input with the
// text translation (text_input) over the byte-order marks of sources
// (decoding_source), the field reader, UTF-8 (utf8), the Windows-1251 table
// (cp1251), the names Windows keeps for devices (windows_names) and the
// write gate of counted outputs (write_gate).  It includes nothing of
// console/ or converter/.
#ifndef PATCONV_TEXTIO_CHANNELS_H_
#define PATCONV_TEXTIO_CHANNELS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "textio/line_count.h"
#include "textio/os_file.h"
#include "textio/text_input.h"
#include "textio/write_gate.h"

namespace textio {

/// Status numbers left by the channel operations.
inline constexpr int kStatusOk = 0;
inline constexpr int kStatusBadCall = 1;
inline constexpr int kStatusCannotOpen = 2;
inline constexpr int kStatusWriteCut = 3;

/// Channel modes.
inline constexpr int kModeInput = 2;
inline constexpr int kModeOutput = 3;

/// What ends a line of every text written: the target file's, the echo's.
inline constexpr std::string_view kLineEnd = "\r\n";

/// Print flags: either bit asks for a line end after the text; kFlagLast
/// marks the last item of a print and changes nothing.
inline constexpr int kFlagLineEnd = 0x01;
inline constexpr int kFlagLineEndToo = 0x04;
inline constexpr int kFlagLast = 0x10;

/// The numbers of the console and of the last file channel.
inline constexpr int kConsoleChannel = 0;
inline constexpr int kLastChannel = 255;

/// A field holds at most this many bytes.
inline constexpr size_t kFieldLimit = 4096;

struct ChannelRecord;

/// The operations of one kind of channel (a disk file, the console).
class ChannelKind {
 public:
  virtual ~ChannelKind() = default;
  /// -1 when the channel is at its end, 0 otherwise (the put-back store has
  /// been looked at already).
  virtual int EndTest(const ChannelRecord& record) = 0;
  /// Where the field reader takes the channel's bytes from; null when the
  /// channel cannot be read.
  virtual TextInput* input() = 0;
  /// Takes bytes to write; the count accepted.
  virtual size_t Write(const char* data, size_t size) = 0;
  /// Ends the channel's use of its stream.  Returns the reason a read or
  /// write of the channel failed while it was open, empty when none did.
  virtual std::string Close() = 0;
  /// The file the channel reads, which no output may empty; none (not
  /// valid) for a channel that reads no file.
  virtual FileIdentity ReadIdentity() const { return {}; }
  /// Counts the complete lines that reach the channel's stream from now on
  /// in *lines, which must outlive the channel's use of it: each write and
  /// its count one step behind a WriteGate (write_gate.h).  A kind that
  /// writes nothing ignores it.
  virtual void CountLinesWritten(LineCount* /*lines*/) {}
  /// When a 0x1A byte ended the channel's text with more than 0x1A bytes
  /// after it: true, with how many bytes of the source come after it.
  /// False otherwise, and for a kind that reads nothing.
  virtual bool TextCutShort(int64_t* bytes_after) {
    TextInput* text = input();
    return text != nullptr && text->CutShort(bytes_after);
  }

 protected:
  /// The free room of the kind's own output buffer, which Print fills
  /// directly: bytes are copied to put_ and put_ moves on.  When the room is
  /// too small (or empty, as it is for kinds without such a buffer) Print
  /// calls Write instead.
  char* put_ = nullptr;
  char* put_end_ = nullptr;
  /// The line ends among the bytes waiting in the output buffer, noted by
  /// Print as a print ends a line (a counted output's count comes from
  /// here, not from its bytes): how many, and just past the last of them.
  int64_t buffered_line_ends_ = 0;
  char* buffered_line_end_ = nullptr;

  /// The line ends waiting in the output buffer that begins at `start`, now
  /// handed on to its stream, and forgotten.
  LineEnds TakeLineEnds(const char* start) {
    const LineEnds ends{buffered_line_ends_, buffered_line_ends_ > 0
                                                 ? static_cast<size_t>(buffered_line_end_ - start)
                                                 : 0};
    buffered_line_ends_ = 0;
    return ends;
  }

  /// Write for a kind whose output buffer is the room above: the bytes are
  /// copied into it, and FlushBuffer empties it whenever it is full; the
  /// count taken, short once FlushBuffer has failed.
  size_t WriteThroughBuffer(const char* data, size_t size);
  /// Writes what the output buffer holds to the stream and makes its whole
  /// room free again; false once a write has failed, after which the room
  /// stays empty.  Kinds without such a buffer have nothing to write.
  virtual bool FlushBuffer() { return false; }

  friend class Channels;
};

/// One channel of the table.  Open exactly while `kind` is set.
struct ChannelRecord {
  int mode = 0;
  int64_t size = 0;
  unsigned char put_back[4] = {};
  int put_back_count = 0;
  int64_t line_ends = 0;  // consumed by the field reader since the open
  ChannelKind* kind = nullptr;
  std::unique_ptr<ChannelKind> owned_kind;  // a disk file's stream
  bool is_open() const { return kind != nullptr; }
};

/// The channel table, the input selection and the status number of one run.
class Channels {
 public:
  Channels() = default;
  ~Channels() { CloseAll(); }
  Channels(const Channels&) = delete;
  Channels& operator=(const Channels&) = delete;

  /// Opens a disk file on a file channel: mode 2 reads (the size measured
  /// now; one that has none, a FIFO, is read as a stream to its end), mode
  /// 3 writes (the file created or emptied).  `access`, `lock`
  /// and `record_length` change nothing.  `origin` is where the name came
  /// from (ReadField tells).  A failure leaves the channel not open;
  /// last_error() then tells why.
  int Open(const std::string& name, int mode, int access, int lock, int number, int record_length,
           TextOrigin origin = TextOrigin::kStream);
  /// Opens a file channel in mode 2 on bytes in memory instead of a disk
  /// file: `bytes`, which must outlive the channel, are read by the rules
  /// of an input file.
  int OpenInputBytes(int number, std::string_view bytes);
  /// Opens a file channel in mode 3 on memory: what is printed to it is
  /// appended to *sink, which must outlive the channel.
  int OpenOutputBytes(int number, std::string* sink);
  /// Opens a file channel on a stream of another kind than a disk file (a
  /// standard stream, memory), of `size` bytes when it has one; the end
  /// test is the kind's.
  int OpenStream(int number, int mode, std::unique_ptr<ChannelKind> kind,
                 int64_t size = kUnmeasured);
  /// -1 when the channel is at its end or not open, 0 otherwise.
  int EndTest(int number);
  /// Makes an open channel the one read field reads from.
  int SelectInput(int number) {
    ChannelRecord* record = Lookup(number);
    if (record == nullptr || !record->is_open()) return SetStatus(kStatusBadCall);
    selected_ = record;
    if (!answer_line_.empty()) answer_line_.clear();
    answer_index_ = 0;
    return SetStatus(kStatusOk);
  }
  /// Reads the next field of the input selection into *destination; when
  /// `origin` is given, tells there whether the field was typed (the answer
  /// line) or read from a channel.
  int ReadField(std::string* destination, TextOrigin* origin = nullptr);
  /// How many line ends the field reader has consumed from a channel since
  /// it was opened: the next field starts on line LineEndsRead() + 1.  0 for
  /// a channel that is not open.
  int64_t LineEndsRead(int number) const {
    if (number < 0 || number > kLastChannel) return 0;
    return records_[static_cast<size_t>(number)].line_ends;
  }
  /// When a 0x1A byte ended the text of input channel `number` (a file, a
  /// stream or bytes in memory) with more than 0x1A bytes after it: true,
  /// with the line the byte stands on as the field reader counts them, and
  /// how many bytes of the source come after it (a stream is read to its
  /// end to count them).  False otherwise.
  bool TextCutShort(int number, int64_t* line, int64_t* bytes_after) const;
  /// The converter's loop step in one call: the end test on channel
  /// `number`; unless it is at its end, select for input on it and read
  /// field.  *field then views the field: in *storage, or in the channel's
  /// read buffer until the next read.  False, with nothing done, at the end.
  bool NextField(int number, std::string* storage, std::string_view* field);
  /// Writes the text, then kLineEnd when the flags ask for a line end.  A
  /// print ends a line when its text ends in a line feed or it adds a line
  /// end; a counted output counts its lines by that (a line feed inside a
  /// print's text is not counted: the texts printed to one, rows and
  /// headers, hold none).
  int Print(int number, std::string_view text, int flags) {
    // Inline: every converted row is printed through here.
    if (number < 0 || number > kLastChannel) return SetStatus(kStatusBadCall);
    ChannelKind* kind = records_[static_cast<size_t>(number)].kind;
    if (kind == nullptr) return SetStatus(kStatusBadCall);
    int status = kStatusOk;
    if (!text.empty()) {
      if (!Put(kind, text.data(), text.size())) status = kStatusWriteCut;
      if (text.back() == '\n') NoteLineEnd(kind);
    }
    if ((flags & (kFlagLineEnd | kFlagLineEndToo)) != 0) {
      if (!Put(kind, kLineEnd.data(), kLineEnd.size())) status = kStatusWriteCut;
      NoteLineEnd(kind);
    }
    return SetStatus(status);
  }
  /// Writes kLineEnd when the flags ask for a line end.
  int PrintLineEnd(int number, int flags);
  /// Counts the complete lines that reach the stream of output channel
  /// `number` from now on in *lines (ChannelKind::CountLinesWritten).
  int CountLinesWritten(int number, LineCount* lines);
  /// Closes a channel; 0 closes all file channels.
  int Close(int number);
  /// Closes every open file channel, in increasing order.
  void CloseAll();

  /// Opens channel 0 on the console's operations.
  void AttachConsole(ChannelKind* console);
  /// Stores a typed answer line as the input selection (no channel).
  void SetAnswerLine(std::string line);

  /// The status number of the last operation that left one.
  int status() const { return status_; }
  /// Why the last failed open failed, or why the last channel closed had a
  /// failed read or write; empty when the last open or close went well.
  const std::string& last_error() const { return last_error_; }

  /// The record of a channel number, null when the number names none.
  ChannelRecord* Lookup(int number) {
    if (number < 0 || number > kLastChannel) return nullptr;
    return &records_[static_cast<size_t>(number)];
  }

 private:
  int SetStatus(int status) { return status_ = status; }
  /// memcpy, but a print of 16 to 64 bytes (a row of the target pattern, the
  /// common case) is copied by four 16-byte moves in line: the library's
  /// call costs more than so short a copy, and a conversion makes one a row.
  static void CopyPrint(char* to, const char* from, size_t size) {
    if (size < 16 || size > 64) {
      std::memcpy(to, from, size);
      return;
    }
    // Two moves from each end, overlapping as much as they need to.
    const size_t second = size > 32 ? 16 : size - 16;
    char a[16], b[16], c[16], d[16];
    std::memcpy(a, from, 16);
    std::memcpy(b, from + second, 16);
    std::memcpy(c, from + size - 16 - second, 16);
    std::memcpy(d, from + size - 16, 16);
    std::memcpy(to, a, 16);
    std::memcpy(to + second, b, 16);
    std::memcpy(to + size - 16 - second, c, 16);
    std::memcpy(to + size - 16, d, 16);
  }
  /// The byte last put into the kind's output buffer ends a line.
  static void NoteLineEnd(ChannelKind* kind) {
    ++kind->buffered_line_ends_;
    kind->buffered_line_end_ = kind->put_;
  }
  /// Hands bytes to a channel's write operation; true when it took them all.
  static bool Put(ChannelKind* kind, const char* data, size_t size) {
    if (size <= static_cast<size_t>(kind->put_end_ - kind->put_)) {
      CopyPrint(kind->put_, data, size);
      kind->put_ += size;
      return true;
    }
    return kind->Write(data, size) == size;
  }
  int OpenDiskFile(const std::string& name, int mode, TextOrigin origin, ChannelRecord* record);
  void CloseRecord(ChannelRecord* record);

  std::array<ChannelRecord, kLastChannel + 1> records_;
  // The input selection.
  ChannelRecord* selected_ = nullptr;
  std::string answer_line_;
  size_t answer_index_ = 0;
  int status_ = kStatusOk;
  std::string last_error_;
};

}  // namespace textio

#endif  // PATCONV_TEXTIO_CHANNELS_H_
