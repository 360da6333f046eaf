// Channels on bytes in memory instead of a disk file: text that reaches the
// program in one piece (the clipboard's) is read through them by the rules
// of an input file, and the converted text gathered in memory.
#ifndef PATCONV_TEXTIO_MEMORY_CHANNEL_H_
#define PATCONV_TEXTIO_MEMORY_CHANNEL_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "textio/channels.h"
#include "textio/decoding_source.h"
#include "textio/text_input.h"

namespace textio {

/// Bytes held by the caller, as a source.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  long Read(char* data, size_t size, int* error) override;

 private:
  std::string_view bytes_;
};

/// A channel on memory: for input, bytes read by the rules of an input
/// file (its byte-order mark and the text translation); for output, what is
/// printed appended to a string.
class MemoryChannel final : public ChannelKind {
 public:
  /// Input from `bytes`, which must outlive the channel.
  explicit MemoryChannel(std::string_view bytes);
  /// Output appended to *sink, which must outlive the channel.
  explicit MemoryChannel(std::string* sink) : source_({}), sink_(sink) {}

  int EndTest(const ChannelRecord& record) override;
  TextInput* input() override { return input_.get(); }
  size_t Write(const char* data, size_t size) override;
  std::string Close() override { return {}; }

 private:
  MemorySource source_;
  std::unique_ptr<DecodingSource> decoding_;
  std::unique_ptr<TextInput> input_;
  std::string* sink_ = nullptr;
};

}  // namespace textio

#endif  // PATCONV_TEXTIO_MEMORY_CHANNEL_H_
