#include "converter/interrupted_line.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "converter/messages.h"
#include "converter/shown_text.h"

namespace converter {
namespace {

// Text appended without ever running past `capacity`.
class LineOut {
 public:
  LineOut(char* out, size_t capacity) : out_(out), capacity_(capacity) {}
  void Add(std::string_view text) {
    const size_t part = std::min(text.size(), capacity_ - size_);
    std::memcpy(out_ + size_, text.data(), part);
    size_ += part;
  }
  // As ShownCount writes it ("1,203"), without allocating.
  void AddCount(int64_t count) {
    char digits[kGroupedCountSize];
    Add(std::string_view(digits, GroupDigits(count, digits)));
  }
  size_t size() const { return size_; }

 private:
  char* out_;
  size_t capacity_;
  size_t size_ = 0;
};

}  // namespace

InterruptedLine::InterruptedLine(console::Device& device, const std::string& shown_name,
                                 const textio::LineCount* lines, OutputText text)
    : device_(device),
      head_(MessageLine("interrupted: '" + shown_name + "' holds ")),
      lines_(lines),
      module_(text == OutputText::kModule) {
  device_.SetInterruptLine(&InterruptedLine::Compose, this);
}

InterruptedLine::~InterruptedLine() { device_.SetInterruptLine(nullptr, nullptr); }

size_t InterruptedLine::Compose(const void* line, char* out, size_t capacity) {
  const auto* self = static_cast<const InterruptedLine*>(line);
  const int64_t lines = self->lines_->lines.load(std::memory_order_relaxed);
  const int64_t finished = self->finished_rows_.load(std::memory_order_relaxed);
  const int64_t header = self->module_ ? 0 : 1;
  if (finished >= 0 && lines >= finished + header) return 0;  // whole: the header and every row
  const int64_t rows = std::max<int64_t>(lines - header, 0);
  LineOut text(out, capacity);
  text.Add(self->head_);
  if (rows == 0) {
    text.Add(self->module_ ? "no line of the module" : "no rows");
  } else if (rows == 1) {
    text.Add(self->module_ ? "only the first line of the module" : "only the first row");
  } else {
    text.Add("only the first ");
    text.AddCount(rows);
    text.Add(self->module_ ? " lines of the module" : " rows");
  }
  // An output that could not be cut back to its last complete line (a
  // standard output) also holds the start of the next.
  if (self->lines_->EndsMidLine()) {
    text.Add(rows == 0 ? " and part of the first" : " and part of the next");
  }
  return text.size();
}

ClipboardInterruptedLine::ClipboardInterruptedLine(console::Device& device,
                                                   const clipboard::Clipboard& board)
    : device_(device),
      board_(board),
      left_(MessageLine("interrupted: the clipboard is left as it was")),
      set_(MessageLine("interrupted: the clipboard gets the converted rows")) {
  device_.SetInterruptLine(&ClipboardInterruptedLine::Compose, this);
}

ClipboardInterruptedLine::~ClipboardInterruptedLine() {
  device_.SetInterruptLine(nullptr, nullptr);
}

size_t ClipboardInterruptedLine::Compose(const void* line, char* out, size_t capacity) {
  const auto* self = static_cast<const ClipboardInterruptedLine*>(line);
  LineOut text(out, capacity);
  text.Add(self->board_.HandedOver() ? self->set_ : self->left_);
  return text.size();
}

}  // namespace converter
