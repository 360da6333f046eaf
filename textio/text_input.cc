#include "textio/text_input.h"

#include <cstdint>
#include <cstring>

#include "textio/stop_scan.h"

namespace textio {
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
    size_t i = FindStop<Stops::kField>(buffer_, next_, limit, end_);
    out->append(reinterpret_cast<const char*>(buffer_) + next_, i - next_);
    taken += i - next_;
    next_ = i;
    if (i < limit || i < end_) break;  // met a byte that needs attention
  }
  return taken;
}

bool TextInput::CutShort(int64_t* bytes_after) {
  if (!ended_at_mark_) return false;
  if (after_mark_ < 0) {
    // From the byte after the mark to the source's end (read into a buffer
    // of its own: this one still holds the mark at the read position); only
    // more marks leave the text whole.
    const auto only_marks = [](const unsigned char* bytes, size_t size) {
      for (size_t i = 0; i < size; ++i) {
        if (bytes[i] != 0x1A) return false;
      }
      return true;
    };
    bool whole = only_marks(buffer_ + next_ + 1, end_ - next_ - 1);
    int64_t count = static_cast<int64_t>(end_ - next_ - 1);
    unsigned char rest[kBufferSize];
    while (!source_done_) {
      const long n = source_->Read(reinterpret_cast<char*>(rest), sizeof rest, &error_);
      if (n <= 0) break;
      whole = whole && only_marks(rest, static_cast<size_t>(n));
      count += n;
    }
    source_done_ = true;
    after_mark_ = whole ? 0 : source_->BytesAfterMark(count);
  }
  *bytes_after = after_mark_;
  return after_mark_ > 0;
}

}  // namespace textio
