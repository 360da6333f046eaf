#include "textio/disk_file.h"

#include <algorithm>
#include <cstring>

namespace textio {

DiskFile::DiskFile(std::unique_ptr<OsFile> file, int mode, int64_t size)
    : file_(std::move(file)), mode_(mode), identity_(file_->Identity()) {
  if (mode_ == kModeInput) {
    source_ = std::make_unique<DecodingSource>(file_.get(), DecodingSource::Marks::kConvert);
    // The mark of a file is looked for at once, and nothing past the size
    // measured now is read; a stream's at its first read, which may wait.
    if (size != kUnmeasured) source_->Start(size);
    input_ = std::make_unique<TextInput>(source_.get());
  } else {
    buffer_ = std::make_unique<char[]>(kBufferSize);
    put_ = buffer_.get();
    put_end_ = put_ + kBufferSize;
  }
}

DiskFile::~DiskFile() {
  if (file_) Close();
}

int DiskFile::EndTest(const ChannelRecord& /*record*/) {
  if (mode_ != kModeInput) return 0;  // a channel open for writing never ends
  return input_->AtSourceEnd() ? -1 : 0;
}

size_t DiskFile::Write(const char* data, size_t size) {
  if (!buffer_) return 0;
  return WriteThroughBuffer(data, size);
}

bool DiskFile::FlushBuffer() {
  char* start = buffer_.get();
  size_t waiting = static_cast<size_t>(put_ - start);
  put_ = start;
  const LineEnds ends = TakeLineEnds(start);
  if (write_error_ == 0 && waiting > 0) file_->WriteAll(start, waiting, &write_error_, ends);
  // After a failed write nothing more is taken.
  put_end_ = write_error_ == 0 ? start + kBufferSize : start;
  return write_error_ == 0;
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
