#include "textio/memory_channel.h"

#include <algorithm>
#include <cstring>

namespace textio {

long MemorySource::Read(char* data, size_t size, int* /*error*/) {
  const size_t part = std::min(size, bytes_.size());
  if (part > 0) std::memcpy(data, bytes_.data(), part);
  bytes_.remove_prefix(part);
  return static_cast<long>(part);
}

MemoryChannel::MemoryChannel(std::string_view bytes)
    : source_(bytes),
      decoding_(std::make_unique<DecodingSource>(&source_, DecodingSource::Marks::kConvert)) {
  decoding_->Start(static_cast<int64_t>(bytes.size()));
  input_ = std::make_unique<TextInput>(decoding_.get());
}

int MemoryChannel::EndTest(const ChannelRecord& /*record*/) {
  if (!input_) return 0;  // a channel open for writing never ends
  return input_->AtSourceEnd() ? -1 : 0;
}

size_t MemoryChannel::Write(const char* data, size_t size) {
  if (sink_ == nullptr) return 0;
  sink_->append(data, size);
  return size;
}

}  // namespace textio
