#include "textio/channels.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "textio/disk_file.h"
#include "textio/field_reader.h"
#include "textio/memory_channel.h"
#include "textio/os_file.h"
#include "textio/windows_names.h"

namespace textio {
namespace {

// The field reader's view of a channel: its put-back store first, then its
// translated input.
class ChannelSource {
 public:
  explicit ChannelSource(ChannelRecord* record) : record_(record), input_(record->kind->input()) {}
  int Get() {
    if (record_->put_back_count > 0) return record_->put_back[--record_->put_back_count];
    return input_ != nullptr ? input_->Get() : kEnd;
  }
  void PutBack(int byte) {
    // The field reader never puts back more than one byte.
    if (record_->put_back_count < 4) {
      record_->put_back[record_->put_back_count++] = static_cast<unsigned char>(byte);
    }
  }
  size_t TakePlain(std::string* out, size_t room) {
    if (record_->put_back_count > 0 || input_ == nullptr) return 0;
    return input_->TakePlain(out, room);
  }

 private:
  ChannelRecord* record_;
  TextInput* input_;
};

// The field reader's view of the typed answer line.
class AnswerSource {
 public:
  AnswerSource(const std::string& line, size_t* index) : line_(line), index_(index) {}
  int Get() {
    if (*index_ >= line_.size()) return kEnd;
    return static_cast<unsigned char>(line_[(*index_)++]);
  }
  void PutBack(int) {
    if (*index_ > 0) --*index_;
  }
  size_t TakePlain(std::string* out, size_t room) {
    size_t end = *index_;
    while (end - *index_ < room && end < line_.size()) {
      char c = line_[end];
      if (c == '\n' || c == '\r' || c == '"' || c == ',') break;
      ++end;
    }
    out->append(line_, *index_, end - *index_);
    size_t taken = end - *index_;
    *index_ = end;
    return taken;
  }

 private:
  const std::string& line_;
  size_t* index_;
};

}  // namespace

size_t ChannelKind::WriteThroughBuffer(const char* data, size_t size) {
  size_t accepted = 0;
  while (accepted < size) {
    if (put_ == put_end_ && !FlushBuffer()) break;
    const size_t part = std::min(size - accepted, static_cast<size_t>(put_end_ - put_));
    std::memcpy(put_, data + accepted, part);
    put_ += part;
    accepted += part;
  }
  return accepted;
}

int Channels::Open(const std::string& name, int mode, int /*access*/, int /*lock*/, int number,
                   int /*record_length*/, TextOrigin origin) {
  last_error_.clear();
  if (number < 1 || number > kLastChannel) return SetStatus(kStatusBadCall);
  if (name.empty()) return SetStatus(kStatusBadCall);
  // Reserved names would reach a port, a printer or a command, and so would
  // the names the system keeps for its devices; they are never opened.
  if (IsReservedDeviceName(name) || OsFile::NamesDevice(name)) {
    last_error_ = "reserved device name, not opened";
    return SetStatus(kStatusCannotOpen);
  }
  ChannelRecord* record = Lookup(number);
  if (record->is_open()) return SetStatus(kStatusBadCall);
  record->mode = mode;
  return SetStatus(OpenDiskFile(name, mode, origin, record));
}

int Channels::OpenDiskFile(const std::string& name, int mode, TextOrigin origin,
                           ChannelRecord* record) {
  // A name with a NUL byte in it names no file; it is never cut short.
  if (name.find('\0') != std::string::npos) {
    last_error_ = "the name contains a NUL byte";
    return kStatusCannotOpen;
  }
  int error = 0;
  int64_t size = 0;
  std::unique_ptr<OsFile> file;
  if (mode == kModeInput) {
    file = OsFile::OpenForReading(name, origin, &error);
    if (!file) {
      last_error_ = SystemErrorText(error);
      return kStatusCannotOpen;
    }
    // A terminal is the console's, never a source; what has no size to
    // measure (a FIFO, a pipe) is read as standard input is.
    if (file->IsTerminal()) {
      last_error_ = SystemErrorText(kErrorNotAFile);
      return kStatusCannotOpen;
    }
    if (!file->MeasureSize(&size, &error)) size = kUnmeasured;
  } else {
    file = OsFile::OpenForWriting(name, origin, &error);
    if (!file) {
      last_error_ = SystemErrorText(error);
      return kStatusCannotOpen;
    }
    // Converted rows hold bytes of the source file: they never go to a
    // terminal raw, where they could act as escape sequences.
    if (file->IsTerminal()) {
      last_error_ = SystemErrorText(kErrorNotAFile);
      return kStatusCannotOpen;
    }
    // Emptying the file that another channel reads would destroy the
    // source; such a file is left as it is and not opened.
    FileIdentity identity = file->Identity();
    for (const ChannelRecord& other : records_) {
      if (other.kind != nullptr && other.kind->ReadIdentity() == identity) {
        last_error_ = "it is the file being read; left unchanged";
        return kStatusCannotOpen;
      }
    }
    if (!file->Truncate(&error)) {
      last_error_ = SystemErrorText(error);
      return kStatusCannotOpen;
    }
  }
  record->size = size;
  record->put_back_count = 0;
  record->line_ends = 0;
  record->owned_kind = std::make_unique<DiskFile>(std::move(file), mode, size);
  record->kind = record->owned_kind.get();
  return kStatusOk;
}

int Channels::OpenInputBytes(int number, std::string_view bytes) {
  return OpenStream(number, kModeInput, std::make_unique<MemoryChannel>(bytes),
                    static_cast<int64_t>(bytes.size()));
}

int Channels::OpenOutputBytes(int number, std::string* sink) {
  return OpenStream(number, kModeOutput, std::make_unique<MemoryChannel>(sink), 0);
}

int Channels::OpenStream(int number, int mode, std::unique_ptr<ChannelKind> kind, int64_t size) {
  last_error_.clear();
  ChannelRecord* record = Lookup(number);
  if (number < 1 || record == nullptr || record->is_open() || !kind) {
    return SetStatus(kStatusBadCall);
  }
  record->mode = mode;
  record->size = size;
  record->put_back_count = 0;
  record->line_ends = 0;
  record->owned_kind = std::move(kind);
  record->kind = record->owned_kind.get();
  return SetStatus(kStatusOk);
}

int Channels::EndTest(int number) {
  ChannelRecord* record = Lookup(number);
  if (record == nullptr || !record->is_open()) return -1;
  if (record->put_back_count > 0) return 0;
  return record->kind->EndTest(*record);
}

void Channels::SetAnswerLine(std::string line) {
  selected_ = nullptr;
  answer_line_ = std::move(line);
  answer_index_ = 0;
}

int Channels::ReadField(std::string* destination, TextOrigin* origin) {
  if (selected_ != nullptr && selected_->is_open()) {
    ChannelSource source(selected_);
    if (ReadFieldFrom(source, destination)) ++selected_->line_ends;
    if (origin != nullptr) *origin = TextOrigin::kStream;
  } else {
    AnswerSource source(answer_line_, &answer_index_);
    ReadFieldFrom(source, destination);
    if (origin != nullptr) *origin = TextOrigin::kTyped;
  }
  return SetStatus(kStatusOk);
}

bool Channels::NextField(int number, std::string* storage, std::string_view* field) {
  // A whole line that the field reader would take as one field, leaving
  // nothing put back, is taken in one piece; one taken says the channel is
  // not at its end, so the end test is left for the other lines.
  ChannelRecord* record = Lookup(number);
  if (record != nullptr && record->is_open() && record->put_back_count == 0) {
    TextInput* input = record->kind->input();
    if (input != nullptr && (input->TakeLine(kFieldLimit, field) ||
                             (!input->AtSourceEnd() && input->TakeLine(kFieldLimit, field)))) {
      SelectInput(number);
      ++record->line_ends;  // a whole line, with its line end
      return true;
    }
  }
  if (EndTest(number) != 0) return false;
  SelectInput(number);
  ReadField(storage);
  *field = *storage;
  return true;
}

bool Channels::TextCutShort(int number, int64_t* line, int64_t* bytes_after) const {
  if (number < 1 || number > kLastChannel) return false;
  const ChannelRecord& record = records_[static_cast<size_t>(number)];
  int64_t after = 0;
  if (record.kind == nullptr || record.mode != kModeInput || !record.kind->TextCutShort(&after)) {
    return false;
  }
  *line = record.line_ends + 1;
  *bytes_after = after;
  return true;
}

int Channels::PrintLineEnd(int number, int flags) { return Print(number, {}, flags); }

int Channels::CountLinesWritten(int number, LineCount* lines) {
  ChannelRecord* record = Lookup(number);
  if (number == kConsoleChannel || record == nullptr || !record->is_open()) {
    return SetStatus(kStatusBadCall);
  }
  record->kind->CountLinesWritten(lines);
  return SetStatus(kStatusOk);
}

int Channels::Close(int number) {
  if (number == kConsoleChannel) {
    CloseAll();
    return SetStatus(kStatusOk);
  }
  ChannelRecord* record = Lookup(number);
  if (record == nullptr || !record->is_open()) return SetStatus(kStatusBadCall);
  CloseRecord(record);
  return SetStatus(kStatusOk);
}

void Channels::CloseRecord(ChannelRecord* record) {
  last_error_ = record->kind->Close();
  record->kind = nullptr;
  record->owned_kind.reset();
  record->put_back_count = 0;
  record->line_ends = 0;
  record->mode = 0;
  record->size = 0;
}

void Channels::CloseAll() {
  for (int number = 1; number <= kLastChannel; ++number) {
    ChannelRecord* record = Lookup(number);
    if (record->is_open()) CloseRecord(record);
  }
}

void Channels::AttachConsole(ChannelKind* console) {
  ChannelRecord* record = Lookup(kConsoleChannel);
  record->kind = console;
  record->mode = kModeInput;
}

}  // namespace textio
