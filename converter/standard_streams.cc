#include "converter/standard_streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace converter {
namespace {

// What a terminal may be sent of a source's bytes: printable ASCII, TAB, CR
// and LF as they are, every other byte as '?'.
void MaskForTerminal(char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    const bool plain =
        (byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\r' || byte == '\n';
    if (!plain) data[i] = '?';
  }
}

}  // namespace

std::string StandardInputChannel::Close() {
  if (input_->error() == 0) return {};
  return "cannot read: " + textio::SystemErrorText(input_->error());
}

StandardOutputChannel::StandardOutputChannel(console::Device& device, bool* reader_left)
    : device_(device),
      terminal_(device.StdoutIsTerminal()),
      buffer_(std::make_unique<char[]>(textio::kFileBufferSize)),
      reader_left_(reader_left) {
  put_ = buffer_.get();
  put_end_ = put_ + textio::kFileBufferSize;
}

size_t StandardOutputChannel::Write(const char* data, size_t size) {
  return WriteThroughBuffer(data, size);
}

bool StandardOutputChannel::FlushBuffer() {
  char* start = buffer_.get();
  const size_t waiting = static_cast<size_t>(put_ - start);
  if (terminal_) MaskForTerminal(start, waiting);
  textio::LineEnds ends = TakeLineEnds(start);
  // The rest again after a partial write.  Each write and its count are
  // one step for a handler that ends the process (the device's write may
  // wait for room, the gate open meanwhile).
  for (size_t done = 0; !failed_ && done < waiting;) {
    const textio::WriteGate gate;
    errno = 0;
    const long written = device_.WriteStdout(start + done, waiting - done);
    if (written <= 0) {
      failed_ = true;
      if (errno == EPIPE) *reader_left_ = true;
    }
    if (written > 0) {
      textio::CountWritten(start, done, static_cast<size_t>(written), &ends, lines_);
      done += static_cast<size_t>(written);
    }
  }
  put_ = start;
  put_end_ = failed_ ? start : start + textio::kFileBufferSize;
  return !failed_;
}

std::string StandardOutputChannel::Close() {
  FlushBuffer();
  return failed_ && !*reader_left_ ? "cannot write to standard output" : "";
}

}  // namespace converter
