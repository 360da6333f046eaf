#include "textio/text_input.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textio {
namespace {

// Bytes that end a run of TakePlain.
struct StopTable {
  bool stop[256] = {};
  constexpr StopTable() {
    stop[static_cast<unsigned char>('\n')] = true;
    stop[static_cast<unsigned char>('\r')] = true;
    stop[static_cast<unsigned char>('"')] = true;
    stop[static_cast<unsigned char>(',')] = true;
    stop[0x1A] = true;
  }
};
constexpr StopTable kStops;

#if defined(__SSE2__)
// Sixteen bytes at a time: a bit for each of them that is LF, CR, '"', ','
// or 0x1A.
inline unsigned StopBits(const unsigned char* bytes) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  __m128i hits = _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8('"')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(',')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(0x1A)));
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
// Where in its block the first byte of non-zero StopBits stands.
inline size_t FirstStop(unsigned bits, const unsigned char*) {
  return static_cast<size_t>(__builtin_ctz(bits));
}
constexpr size_t kBlock = 16;
#else
// Eight bytes at a time, in plain integers: non-zero when any of them is
// LF, CR, '"', ',' or 0x1A (a byte is zero after the XOR exactly when it
// equals the one looked for).
inline unsigned StopBits(const unsigned char* bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  uint64_t word;
  std::memcpy(&word, bytes, 8);
  auto has_zero = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  return (has_zero(word ^ (kOnes * '\n')) | has_zero(word ^ (kOnes * '\r')) |
          has_zero(word ^ (kOnes * '"')) | has_zero(word ^ (kOnes * ',')) |
          has_zero(word ^ (kOnes * 0x1A))) != 0;
}
inline size_t FirstStop(unsigned, const unsigned char* bytes) {
  size_t i = 0;
  while (!kStops.stop[bytes[i]]) ++i;
  return i;
}
constexpr size_t kBlock = 8;
#endif

// The index of the first byte of buffer[from, limit) that needs attention,
// or limit.  Bytes up to `end` may be read to look at whole blocks.
size_t FindStop(const unsigned char* buffer, size_t from, size_t limit, size_t end) {
  size_t i = from;
  while (i < limit && i + kBlock <= end) {
    unsigned bits = StopBits(buffer + i);
    if (bits != 0) {
      i += FirstStop(bits, buffer + i);
      return i < limit ? i : limit;
    }
    i += kBlock;
  }
  while (i < limit && !kStops.stop[buffer[i]]) ++i;
  return i < limit ? i : limit;
}

}  // namespace

bool TextInput::Refill() {
  if (source_done_) return false;
  size_t kept = end_ - next_;
  if (next_ > 0) {
    std::memmove(buffer_, buffer_ + next_, kept);
    base_ += static_cast<int64_t>(next_);
    next_ = 0;
    end_ = kept;
  }
  if (end_ == kBufferSize) return true;  // nothing consumed: the caller still has bytes
  long n = source_->Read(reinterpret_cast<char*>(buffer_) + end_, kBufferSize - end_, &error_);
  if (n <= 0) {
    source_done_ = true;
    return false;
  }
  end_ += static_cast<size_t>(n);
  return true;
}

int TextInput::GetSlow() {
  if (ended_) return kEnd;
  if (next_ == end_ && !Refill()) {
    ended_ = true;
    return kEnd;
  }
  unsigned char c = buffer_[next_];
  if (c == 0x1A) {
    ended_ = true;
    return kEnd;
  }
  if (c != '\r') {
    ++next_;
    return c;
  }
  // A CR: look at the byte after it, reading on when it is not buffered yet.
  if (next_ + 1 == end_) Refill();
  if (next_ + 1 < end_ && buffer_[next_ + 1] == '\n') {
    next_ += 2;
    return '\n';
  }
  ++next_;
  return '\r';
}

size_t TextInput::TakePlain(std::string* out, size_t room) {
  size_t taken = 0;
  while (taken < room && !ended_) {
    if (next_ == end_ && !Refill()) break;
    size_t limit = next_ + (room - taken);
    if (limit > end_) limit = end_;
    size_t i = FindStop(buffer_, next_, limit, end_);
    out->append(reinterpret_cast<const char*>(buffer_) + next_, i - next_);
    taken += i - next_;
    next_ = i;
    if (i < limit || i < end_) break;  // met a byte that needs attention
  }
  return taken;
}

}  // namespace textio
