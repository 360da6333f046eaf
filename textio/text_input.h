// Buffered input with the text translation of input files.
#ifndef PATCONV_TEXTIO_TEXT_INPUT_H_
#define PATCONV_TEXTIO_TEXT_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "textio/stop_scan.h"

namespace textio {

/// The mark that no further character can be had; distinct from every byte.
inline constexpr int kEnd = -1;

/// The size of the buffers that file bytes move through: a disk file's, read
/// or written, and a redirected standard input's (the standard runtime's
/// full buffering of file streams).
inline constexpr size_t kFileBufferSize = 8192;

/// The size of a source that has none to measure (a pipe, a FIFO): it is
/// read to its end.
inline constexpr int64_t kUnmeasured = INT64_MAX;

/// Raw bytes below a text input: a disk file, a redirected standard input,
/// or a test's string.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Reads up to `size` bytes: the count, 0 at the end, -1 on failure with
  /// an errno value in *error.
  virtual long Read(char* data, size_t size, int* error) = 0;
  /// Once the source has been read to its end: how many of its own bytes
  /// came after the first 0x1A it delivered, `delivered_after` bytes having
  /// been delivered after it.  The same count unless the source converts.
  virtual int64_t BytesAfterMark(int64_t delivered_after) const { return delivered_after; }
};

namespace text_input_detail {

// Bytes that a field's first byte must not be for TakeLine: blanks, '"'
// and the stops of a line.
struct FirstByteTable {
  bool refused[256] = {};
  constexpr FirstByteTable() {
    for (char c : {' ', '\t', '"', '\n', '\r', ',', '\x1A'}) {
      refused[static_cast<unsigned char>(c)] = true;
    }
  }
};
inline constexpr FirstByteTable kFirstBytes;

}  // namespace text_input_detail

/// Delivers the bytes of a source through a buffer of kFileBufferSize bytes
/// with the text translation of input files:
///   - CR LF is delivered as one LF (the pair still counts as two bytes);
///   - a CR not followed by LF is delivered as it is;
///   - the first 0x1A ends the data: neither it nor anything after it is
///     ever delivered;
///   - every other byte, 0x00 included, is delivered unchanged.
/// A failed read also ends the data; error() then tells why.
class TextInput {
 public:
  static constexpr size_t kBufferSize = kFileBufferSize;

  explicit TextInput(ByteSource* source) : source_(source) {}
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;

  /// The next translated byte (0-255), or kEnd.
  int Get() {
    if (next_ < end_) {
      unsigned char c = buffer_[next_];
      if (c != '\r' && c != 0x1A) {
        ++next_;
        return c;
      }
    }
    return GetSlow();
  }

  /// Appends to *out up to `room` bytes that are none of LF, CR, '"', ','
  /// and 0x1A, stopping before the first that is; the count taken.  The
  /// field reader's fast path: those bytes would each be taken and stored.
  size_t TakePlain(std::string* out, size_t room);

  /// The field reader's whole-line fast path.  When the bytes from the read
  /// position up to the next line end (LF, or CR LF) are all in the buffer,
  /// number at most `limit`, hold no CR, ',' or 0x1A, and the first of them
  /// is none of blank, '"', LF, CR, ',' and 0x1A, they are delivered with
  /// their line end and *line views them (without the line end) in the
  /// buffer until the next read; true.  Otherwise nothing is delivered and
  /// nothing is read: false.  The field reader would take such a line as
  /// one field and consume its line end, and read nothing more.
  /// Inline: every row of a source is taken through here.
  bool TakeLine(size_t limit, std::string_view* line) {
    if (ended_ || next_ == end_ || text_input_detail::kFirstBytes.refused[buffer_[next_]])
      return false;
    // The line end must lie within the buffer, at most limit bytes on.
    size_t reach = next_ + limit + 1;
    if (reach > end_) reach = end_;
    const size_t stop = FindStop<Stops::kLine>(buffer_, next_, reach, end_);
    size_t after;  // just past the line end
    if (stop == reach) return false;
    if (buffer_[stop] == '\n') {
      after = stop + 1;
    } else if (buffer_[stop] == '\r' && stop + 1 < end_ && buffer_[stop + 1] == '\n') {
      after = stop + 2;
    } else {
      return false;  // a comma, a lone CR, a 0x1A, or a CR at the buffer's end
    }
    *line = std::string_view(reinterpret_cast<const char*>(buffer_) + next_, stop - next_);
    next_ = after;  // the line end is consumed here, and only here
    return true;
  }

  /// No byte can be delivered any more: every one has been delivered or
  /// skipped, or the data has ended (the next byte is a 0x1A, after which
  /// nothing is delivered).  Reads on first when the buffer is used up, so
  /// it serves every source alike, measured or not.
  bool AtSourceEnd() {
    if (ended_ || (next_ == end_ && !Refill())) return true;
    if (buffer_[next_] != 0x1A) return false;
    ended_ = ended_at_mark_ = true;
    return true;
  }

  /// When a 0x1A byte ended the data and bytes other than 0x1A come after
  /// it: true, with how many bytes of the source come after it (the rest
  /// of the source is read, once, to count them).  False otherwise: a 0x1A
  /// with nothing after it but more of them ends the text as its end does.
  bool CutShort(int64_t* bytes_after);

  /// The offset in the source just past the last byte delivered.
  int64_t position() const { return base_ + static_cast<int64_t>(next_); }
  /// A read has met the end of the data (its end, a 0x1A or a failure).
  bool ended() const { return ended_; }
  /// The data ended at a 0x1A byte, which stands at position().
  bool ended_at_mark() const { return ended_at_mark_; }
  /// The errno value of a failed read; 0 when none failed.
  int error() const { return error_; }

 private:
  int GetSlow();
  /// Moves the bytes not yet delivered to the front of the buffer and reads
  /// more after them; false when the source gives nothing more.
  bool Refill();

  ByteSource* source_;
  unsigned char buffer_[kBufferSize];
  size_t next_ = 0;           // index of the next byte to deliver
  size_t end_ = 0;            // bytes held in the buffer
  int64_t base_ = 0;          // source offset of buffer_[0]
  bool source_done_ = false;  // the source reported its end or a failure
  bool ended_ = false;
  bool ended_at_mark_ = false;
  int error_ = 0;
  int64_t after_mark_ = -1;  // the source's bytes after the mark; -1 not read yet
};

}  // namespace textio

#endif  // PATCONV_TEXTIO_TEXT_INPUT_H_
