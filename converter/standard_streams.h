// File channels on the standard streams, for the name "-": the source read
// from standard input, the converted text written to standard output.
#ifndef PATCONV_CONVERTER_STANDARD_STREAMS_H_
#define PATCONV_CONVERTER_STANDARD_STREAMS_H_

#include <cstddef>
#include <memory>
#include <string>

#include "console/device.h"
#include "textio/channels.h"
#include "textio/os_file.h"
#include "textio/text_input.h"

namespace converter {

/// Standard input as a source: the console's own input of it (one buffer,
/// the same text rules as a file), which ends where the stream does.
class StandardInputChannel final : public textio::ChannelKind {
 public:
  explicit StandardInputChannel(textio::TextInput* input)
      : input_(input), identity_(textio::StandardInputIdentity()) {}

  int EndTest(const textio::ChannelRecord& /*record*/) override {
    return input_->AtSourceEnd() ? -1 : 0;
  }
  textio::TextInput* input() override { return input_; }
  size_t Write(const char* /*data*/, size_t /*size*/) override { return 0; }
  std::string Close() override;
  textio::FileIdentity ReadIdentity() const override { return identity_; }

 private:
  textio::TextInput* input_;
  textio::FileIdentity identity_;
};

/// Standard output as the target: the bytes an output file would get,
/// through a buffer of a file's size.  A terminal or console is never sent
/// a byte of the source raw: there, every byte but printable ASCII, TAB, CR
/// and LF is written as '?'.  When a write fails because the reader has
/// left (a broken pipe: `patconv big.txt - | head`), *reader_left is set
/// and Close gives no reason: the run fails quietly, as a filter does.
class StandardOutputChannel final : public textio::ChannelKind {
 public:
  StandardOutputChannel(console::Device& device, bool* reader_left);

  int EndTest(const textio::ChannelRecord& /*record*/) override { return 0; }
  textio::TextInput* input() override { return nullptr; }
  size_t Write(const char* data, size_t size) override;
  std::string Close() override;
  void CountLinesWritten(textio::LineCount* lines) override { lines_ = lines; }

 private:
  /// Writes what the buffer holds; false once a write has failed, after
  /// which nothing more is taken.
  bool FlushBuffer() override;

  console::Device& device_;
  const bool terminal_;
  std::unique_ptr<char[]> buffer_;
  bool failed_ = false;
  textio::LineCount* lines_ = nullptr;
  bool* reader_left_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_STANDARD_STREAMS_H_
