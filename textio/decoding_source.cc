#include "textio/decoding_source.h"

#include <algorithm>
#include <cstring>

#include "textio/cp1251.h"
#include "textio/utf8.h"

namespace textio {
namespace {

struct Mark {
  unsigned char bytes[3];
  size_t size;
  SourceEncoding encoding;
};
constexpr Mark kMarks[] = {
    {{0xEF, 0xBB, 0xBF}, 3, SourceEncoding::kUtf8},
    {{0xFF, 0xFE, 0x00}, 2, SourceEncoding::kUtf16Le},
    {{0xFE, 0xFF, 0x00}, 2, SourceEncoding::kUtf16Be},
};

// The Windows-1251 byte of a character; '?' when the code page lacks it.
unsigned char Narrowed(uint32_t code_point) {
  const int byte = UnicodeToCp1251(code_point);
  return byte < 0 ? '?' : static_cast<unsigned char>(byte);
}

}  // namespace

void DecodingSource::Start(int64_t raw_limit) {
  if (started_) return;
  ReadMark(raw_limit);
  fill_after_head_ = true;
}

void DecodingSource::ReadMark(int64_t raw_limit) {
  started_ = true;
  raw_limit_ = raw_limit;
  const size_t looked_for = sizeof(kMarks) / sizeof(kMarks[0]);
  const Mark* found = nullptr;
  for (;;) {
    bool possible = false;
    for (size_t m = 0; m < looked_for && found == nullptr; ++m) {
      const size_t compared = std::min(head_end_, kMarks[m].size);
      if (std::memcmp(head_, kMarks[m].bytes, compared) != 0) continue;
      if (head_end_ >= kMarks[m].size) found = &kMarks[m];
      possible = true;
    }
    // Bytes are read only while they may still turn out to be a mark: a
    // pipe is never waited on for more than the text needs.
    const auto held = static_cast<int64_t>(head_end_);
    const auto room =
        static_cast<size_t>(std::max<int64_t>(0, std::min(3 - held, raw_limit - held)));
    if (found != nullptr || !possible || room == 0) break;
    const long n = raw_->Read(reinterpret_cast<char*>(head_) + head_end_, room, &head_error_);
    if (n <= 0) break;
    head_end_ += static_cast<size_t>(n);
  }
  raw_read_ = static_cast<int64_t>(head_end_);
  if (found == nullptr) return;  // the bytes read are text
  encoding_ = found->encoding;
  mark_size_ = static_cast<int64_t>(found->size);
  head_next_ = found->size;
  if (!converting()) return;
  // What came after the mark is the first raw text.
  raw_bytes_ = std::make_unique<unsigned char[]>(kFileBufferSize);
  raw_end_ = head_end_ - head_next_;
  std::memcpy(raw_bytes_.get(), head_ + head_next_, raw_end_);
  head_next_ = head_end_;
  raw_base_ = mark_size_;
  raw_done_ = raw_read_ >= raw_limit_;
}

long DecodingSource::Read(char* data, size_t size, int* error) {
  if (!started_) ReadMark(kNoLimit);
  if (converting()) return ReadConverted(data, size, error);
  if (head_next_ < head_end_) {
    const size_t n = std::min(size, head_end_ - head_next_);
    std::memcpy(data, head_ + head_next_, n);
    head_next_ += n;
    if (!fill_after_head_ || n == size || head_error_ != 0) return static_cast<long>(n);
    // A file: the first read fills as much as it would without the look at
    // its first bytes.  A failure waits for the next read.
    const long more = ReadRaw(data + n, size - n, &head_error_);
    return static_cast<long>(n) + std::max(0L, more);
  }
  if (head_error_ != 0) {
    *error = head_error_;
    return -1;
  }
  return ReadRaw(data, size, error);
}

long DecodingSource::ReadRaw(char* data, size_t size, int* error) {
  const auto room =
      static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), raw_limit_ - raw_read_));
  if (room == 0) return 0;
  const long n = raw_->Read(data, room, error);
  if (n > 0) raw_read_ += n;
  return n;
}

long DecodingSource::ReadConverted(char* data, size_t size, int* error) {
  size_t out = 0;
  while (out < size) {
    if (spill_next_ < spill_end_) {  // a character's bytes, as many as fit
      data[out++] = static_cast<char>(spill_[spill_next_++]);
      continue;
    }
    const size_t used = DecodeOne();
    if (used == 0) {
      if (raw_done_ || out > 0) break;  // the end, or hand over what there is
      if (FillRaw(error) < 0) return -1;
      continue;
    }
    if (spill_[0] == 0x1A && stop_raw_end_ < 0) {
      stop_raw_end_ = raw_base_ + static_cast<int64_t>(raw_next_ + used);
    }
    raw_next_ += used;
  }
  text_size_ += static_cast<int64_t>(out);
  return static_cast<long>(out);
}

// Answers keep their UTF-16 characters, as UTF-8 (the form of the names of
// answers saved as UTF-8); anything else gets its Windows-1251 byte.
size_t DecodingSource::DecodeOne() {
  const size_t held = raw_end_ - raw_next_;
  if (held == 0) return 0;
  spill_next_ = 0;
  spill_end_ = 1;
  if (encoding_ == SourceEncoding::kUtf8) {
    const size_t used = DecodeUtf8(held, spill_);
    if (used == 0) spill_end_ = 0;
    return used;
  }
  uint32_t code_point = kNoCharacter;
  const size_t used = DecodeUtf16(held, &code_point);
  if (code_point == kNoCharacter) {
    spill_[0] = '?';
  } else if (marks_ == Marks::kConvert) {
    spill_[0] = Narrowed(code_point);
  } else {
    std::string bytes;
    AppendUtf8(&bytes, code_point);
    spill_end_ = bytes.size();
    std::memcpy(spill_, bytes.data(), spill_end_);
  }
  if (used == 0) spill_end_ = 0;
  return used;
}

size_t DecodingSource::DecodeUtf16(size_t held, uint32_t* code_point) const {
  const unsigned char* at = raw_bytes_.get() + raw_next_;
  const bool little = encoding_ == SourceEncoding::kUtf16Le;
  auto unit = [at, little](size_t i) {
    return little ? uint32_t{at[i]} | uint32_t{at[i + 1]} << 8
                  : uint32_t{at[i]} << 8 | uint32_t{at[i + 1]};
  };
  if (held < 2) return raw_done_ ? held : 0;  // an odd byte at the end: no character
  const uint32_t first = unit(0);
  if (first < 0xD800 || first > 0xDFFF) {
    *code_point = first;
    return 2;
  }
  // A surrogate: an unpaired one is no character at all.
  if (first >= 0xDC00) return 2;
  if (held < 4) return raw_done_ ? 2 : 0;
  const uint32_t second = unit(2);
  if (second < 0xDC00 || second > 0xDFFF) return 2;
  *code_point = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
  return 4;
}

size_t DecodingSource::DecodeUtf8(size_t held, unsigned char* byte) const {
  const unsigned char* at = raw_bytes_.get() + raw_next_;
  if (at[0] < 0x80) {
    *byte = at[0];
    return 1;
  }
  // Bytes that are no character each become one '?', up to the byte that
  // cannot continue them.
  *byte = '?';
  Utf8Decoder decoder;
  if (!decoder.Start(at[0])) return 1;
  size_t length = 1;
  while (!decoder.complete()) {
    if (length == held) return raw_done_ ? length : 0;
    if (!decoder.Take(at[length])) return length;
    ++length;
  }
  if (decoder.valid()) *byte = Narrowed(decoder.code_point());
  return length;
}

long DecodingSource::FillRaw(int* error) {
  const size_t kept = raw_end_ - raw_next_;
  std::memmove(raw_bytes_.get(), raw_bytes_.get() + raw_next_, kept);
  raw_base_ += static_cast<int64_t>(raw_next_);
  raw_next_ = 0;
  raw_end_ = kept;
  const long n =
      ReadRaw(reinterpret_cast<char*>(raw_bytes_.get()) + kept, kFileBufferSize - kept, error);
  if (n > 0) raw_end_ += static_cast<size_t>(n);
  if (n <= 0 || raw_read_ >= raw_limit_) raw_done_ = true;
  return n;
}

}  // namespace textio
