// The bytes of a source with its byte-order mark taken care of, below the
// text translation.  Windows editors save text with a mark in front (older
// Notepad's "UTF-8", its "Unicode", PowerShell 5.1's `>`): the mark is never
// part of the text, and a text in UTF-8 or UTF-16 is turned into the
// Windows-1251 bytes it would have as ANSI text, so that it converts alike.
#ifndef PATCONV_TEXTIO_DECODING_SOURCE_H_
#define PATCONV_TEXTIO_DECODING_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "textio/text_input.h"

namespace textio {

/// What the first bytes of a source say it holds.
enum class SourceEncoding : uint8_t {
  kBytes,    ///< no byte-order mark: bytes as they are
  kUtf8,     ///< EF BB BF
  kUtf16Le,  ///< FF FE
  kUtf16Be,  ///< FE FF
};

/// A ByteSource over another that handles a byte-order mark at its start.
/// With Marks::kConvert, a text marked as UTF-8 or UTF-16 is delivered as
/// Windows-1251 bytes, one per character: '?' for a character the code page
/// lacks and for bytes that are not of the encoding (an unpaired surrogate,
/// a byte cut off at the end).  Anything else is delivered as it is.
class DecodingSource final : public ByteSource {
 public:
  /// What is made of a byte-order mark.
  enum class Marks : uint8_t {
    /// A UTF-8 mark is skipped, and the bytes after it stay as they are;
    /// a text marked as UTF-16 is delivered as UTF-8: the answers on a
    /// redirected standard input, whose names are bytes or UTF-8 text.
    kAnswers,
    /// UTF-8 and UTF-16 marks are skipped and the text after them
    /// converted: source files.
    kConvert,
  };

  DecodingSource(ByteSource* raw, Marks marks) : raw_(raw), marks_(marks) {}
  DecodingSource(const DecodingSource&) = delete;
  DecodingSource& operator=(const DecodingSource&) = delete;

  /// Looks for a mark now rather than at the first read (a file, when it
  /// is opened).  The source is then read up to `raw_limit` bytes (its size
  /// measured at open) and no further.
  void Start(int64_t raw_limit);
  /// From now on a mark is taken as Marks::kConvert takes it; before the
  /// first read (standard input, when it holds a source rather than answers).
  void ConvertMarkedText() { marks_ = Marks::kConvert; }
  long Read(char* data, size_t size, int* error) override;
  /// The raw bytes after the first 0x1A delivered, once the source has been
  /// read to its end.
  int64_t BytesAfterMark(int64_t delivered_after) const override {
    return converting() ? raw_read_ - stop_raw_end_ : delivered_after;
  }

  /// What the mark said; kBytes before the first read or Start.
  SourceEncoding encoding() const { return encoding_; }

 private:
  static constexpr int64_t kNoLimit = INT64_MAX;

  static constexpr uint32_t kNoCharacter = UINT32_MAX;

  bool converting() const {
    return encoding_ != SourceEncoding::kBytes &&
           (marks_ == Marks::kConvert || encoding_ != SourceEncoding::kUtf8);
  }
  /// Reads the first bytes, up to 3, while they may still be a mark.
  void ReadMark(int64_t raw_limit);
  long ReadConverted(char* data, size_t size, int* error);
  /// Decodes the character at raw_next_ into the bytes it is delivered as
  /// (spill_): the raw bytes it takes, or 0 when more raw bytes are needed
  /// (or none are left).
  size_t DecodeOne();
  /// kNoCharacter stays in *code_point for bytes that are none.
  size_t DecodeUtf16(size_t held, uint32_t* code_point) const;
  size_t DecodeUtf8(size_t held, unsigned char* byte) const;
  /// Reads up to `size` raw bytes, never past the limit.
  long ReadRaw(char* data, size_t size, int* error);
  /// Reads more raw bytes after those not yet decoded; -1 when the read
  /// fails.
  long FillRaw(int* error);

  ByteSource* raw_;
  Marks marks_;
  bool started_ = false;
  bool fill_after_head_ = false;  // the source is a file, whose reads never wait
  SourceEncoding encoding_ = SourceEncoding::kBytes;
  int64_t mark_size_ = 0;  // raw bytes of the mark, when it is skipped
  // Bytes read while looking for the mark that belong to the text; in
  // unconverted text they are delivered first.
  unsigned char head_[3] = {};
  size_t head_next_ = 0;
  size_t head_end_ = 0;
  int head_error_ = 0;  // a failed read while looking for the mark

  // Converted text: raw bytes in raw_bytes_[raw_next_, raw_end_) (a buffer
  // of kFileBufferSize), the first at raw offset raw_base_.
  std::unique_ptr<unsigned char[]> raw_bytes_;
  size_t raw_next_ = 0;
  size_t raw_end_ = 0;
  int64_t raw_base_ = 0;
  int64_t raw_read_ = 0;  // raw bytes read in all, the mark's too
  int64_t raw_limit_ = kNoLimit;
  bool raw_done_ = false;      // no further raw byte will come
  int64_t text_size_ = 0;      // text bytes delivered
  int64_t stop_raw_end_ = -1;  // just past the first 0x1A delivered
  // The bytes of the character decoded last not delivered yet.
  unsigned char spill_[4] = {};
  size_t spill_next_ = 0;
  size_t spill_end_ = 0;
};

}  // namespace textio

#endif  // PATCONV_TEXTIO_DECODING_SOURCE_H_
