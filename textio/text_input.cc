#include "textio/text_input.h"

#include <cstring>

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

size_t TextInput::TakePlain(char* out, size_t room) {
  size_t taken = 0;
  while (taken < room && !ended_) {
    if (next_ == end_ && !Refill()) break;
    size_t limit = next_ + (room - taken);
    if (limit > end_) limit = end_;
    size_t i = next_;
    while (i < limit && !kStops.stop[buffer_[i]]) ++i;
    std::memcpy(out + taken, buffer_ + next_, i - next_);
    taken += i - next_;
    next_ = i;
    if (i < limit || i < end_) break;  // met a byte that needs attention
  }
  return taken;
}

}  // namespace textio
