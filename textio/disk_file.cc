#include "textio/disk_file.h"

#include <cstring>

namespace textio {

DiskFile::DiskFile(std::unique_ptr<OsFile> file, int mode)
    : file_(std::move(file)), mode_(mode), identity_(file_->Identity()) {
  if (mode_ == kModeInput) {
    input_ = std::make_unique<TextInput>(file_.get());
  } else {
    buffer_ = std::make_unique<char[]>(kBufferSize);
  }
}

DiskFile::~DiskFile() {
  if (file_) Close();
}

int DiskFile::EndTest(const ChannelRecord& record) {
  if (mode_ != kModeInput) return 0;  // a channel open for writing never ends
  if (input_->ended()) return -1;
  return input_->position() >= record.size ? -1 : 0;
}

size_t DiskFile::Write(const char* data, size_t size) {
  if (!buffer_ || write_error_ != 0) return 0;
  size_t accepted = 0;
  while (accepted < size) {
    if (buffered_ == kBufferSize && !FlushBuffer()) return accepted;
    size_t room = kBufferSize - buffered_;
    size_t part = size - accepted < room ? size - accepted : room;
    std::memcpy(buffer_.get() + buffered_, data + accepted, part);
    buffered_ += part;
    accepted += part;
  }
  return accepted;
}

bool DiskFile::FlushBuffer() {
  if (write_error_ != 0) return false;
  if (buffered_ > 0 && !file_->WriteAll(buffer_.get(), buffered_, &write_error_)) {
    buffered_ = 0;
    return false;
  }
  buffered_ = 0;
  return true;
}

std::string DiskFile::Close() {
  std::string reason;
  if (buffer_) FlushBuffer();
  int close_error = file_->Close();
  if (write_error_ == 0 && buffer_) write_error_ = close_error;
  if (write_error_ != 0) {
    reason = "cannot write: " + SystemErrorText(write_error_);
  } else if (input_ && input_->error() != 0) {
    reason = "cannot read: " + SystemErrorText(input_->error());
  }
  file_.reset();
  return reason;
}

}  // namespace textio
