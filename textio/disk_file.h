// The disk-file channel kind.  A file open for input is read through a
// DecodingSource (its byte-order mark) and a TextInput, whose buffer also
// does the text translation; a file open for output is written through a
// buffer of the channel's own.  The buffers hold kFileBufferSize bytes.
#ifndef PATCONV_TEXTIO_DISK_FILE_H_
#define PATCONV_TEXTIO_DISK_FILE_H_

#include <memory>
#include <string>

#include "textio/channels.h"
#include "textio/decoding_source.h"
#include "textio/os_file.h"
#include "textio/text_input.h"

namespace textio {

class DiskFile final : public ChannelKind {
 public:
  static constexpr size_t kBufferSize = kFileBufferSize;

  /// A file open for input (read with text translation up to `size`
  /// bytes, its size measured at open or kUnmeasured for a stream, and its
  /// byte-order mark looked for now) or output (written byte for byte
  /// through the buffer).
  DiskFile(std::unique_ptr<OsFile> file, int mode, int64_t size = 0);
  ~DiskFile() override;

  int EndTest(const ChannelRecord& record) override;
  TextInput* input() override { return input_.get(); }
  size_t Write(const char* data, size_t size) override;
  std::string Close() override;
  FileIdentity ReadIdentity() const override {
    return mode_ == kModeInput ? identity_ : FileIdentity{};
  }
  void CountLinesWritten(LineCount* lines) override {
    if (buffer_ && file_) file_->CountLinesIn(lines);
  }

  FileIdentity identity() const { return identity_; }
  int mode() const { return mode_; }

 private:
  /// Writes the buffered bytes to the file; false once a write has failed.
  bool FlushBuffer() override;

  std::unique_ptr<OsFile> file_;
  int mode_;
  FileIdentity identity_;
  std::unique_ptr<DecodingSource> source_;
  std::unique_ptr<TextInput> input_;
  // Output only: the buffer; bytes before put_ are waiting for the file.
  std::unique_ptr<char[]> buffer_;
  int write_error_ = 0;
};

}  // namespace textio

#endif  // PATCONV_TEXTIO_DISK_FILE_H_
