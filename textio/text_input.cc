#include "textio/text_input.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textio {
namespace {

// Bytes that need attention: those that end a run of TakePlain (LF, CR,
// '"', ',' and 0x1A) or, without the quote, a line of TakeLine.
struct StopTable {
  bool stop[256] = {};
  constexpr explicit StopTable(bool quote) {
    stop[static_cast<unsigned char>('\n')] = true;
    stop[static_cast<unsigned char>('\r')] = true;
    stop[static_cast<unsigned char>('"')] = quote;
    stop[static_cast<unsigned char>(',')] = true;
    stop[0x1A] = true;
  }
};
constexpr StopTable kStops[2] = {StopTable(false), StopTable(true)};

#if defined(__SSE2__)
// Sixteen bytes: a bit for each of them that is LF, CR, ',' or 0x1A, or
// (kQuote) '"'.
template <bool kQuote>
inline unsigned StopBits16(const unsigned char* bytes) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  __m128i hits = _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
  if (kQuote) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8('"')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(',')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(0x1A)));
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
// Thirty-two bytes at a time (a row of a pattern fits in two blocks).
template <bool kQuote>
inline unsigned StopBits(const unsigned char* bytes) {
  return StopBits16<kQuote>(bytes) | StopBits16<kQuote>(bytes + 16) << 16;
}
// Where in its block the first byte of non-zero StopBits stands.
template <bool>
inline size_t FirstStop(unsigned bits, const unsigned char*) {
  return static_cast<size_t>(__builtin_ctz(bits));
}
constexpr size_t kBlock = 32;
#else
// Eight bytes at a time, in plain integers: non-zero when any of them is
// LF, CR, ',' or 0x1A, or (kQuote) '"' (a byte is zero after the XOR
// exactly when it equals the one looked for).
template <bool kQuote>
inline unsigned StopBits(const unsigned char* bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  uint64_t word;
  std::memcpy(&word, bytes, 8);
  auto has_zero = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  uint64_t quote = kQuote ? has_zero(word ^ (kOnes * '"')) : 0;
  return (has_zero(word ^ (kOnes * '\n')) | has_zero(word ^ (kOnes * '\r')) | quote |
          has_zero(word ^ (kOnes * ',')) | has_zero(word ^ (kOnes * 0x1A))) != 0;
}
template <bool kQuote>
inline size_t FirstStop(unsigned, const unsigned char* bytes) {
  size_t i = 0;
  while (!kStops[kQuote].stop[bytes[i]]) ++i;
  return i;
}
constexpr size_t kBlock = 8;
#endif

// The index of the first byte of buffer[from, limit) that needs attention,
// or limit.  Bytes up to `end` may be read to look at whole blocks.
template <bool kQuote>
size_t FindStop(const unsigned char* buffer, size_t from, size_t limit, size_t end) {
  size_t i = from;
  while (i < limit && i + kBlock <= end) {
    unsigned bits = StopBits<kQuote>(buffer + i);
    if (bits != 0) {
      i += FirstStop<kQuote>(bits, buffer + i);
      return i < limit ? i : limit;
    }
    i += kBlock;
  }
  while (i < limit && !kStops[kQuote].stop[buffer[i]]) ++i;
  return i < limit ? i : limit;
}

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
constexpr FirstByteTable kFirstBytes;

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
    ended_at_mark_ = true;
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
    size_t i = FindStop<true>(buffer_, next_, limit, end_);
    out->append(reinterpret_cast<const char*>(buffer_) + next_, i - next_);
    taken += i - next_;
    next_ = i;
    if (i < limit || i < end_) break;  // met a byte that needs attention
  }
  return taken;
}

bool TextInput::TakeLine(size_t limit, std::string_view* line) {
  if (ended_ || next_ == end_ || kFirstBytes.refused[buffer_[next_]]) return false;
  // The line end must lie within the buffer, at most limit bytes on.
  size_t reach = next_ + limit + 1;
  if (reach > end_) reach = end_;
  size_t stop = FindStop<false>(buffer_, next_, reach, end_);
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

}  // namespace textio
