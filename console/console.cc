#include "console/console.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace console {

Console::Console(Device& device, textio::Channels& channels)
    : device_(device),
      channels_(channels),
      screen_(device),
      keyboard_(device),
      stdin_source_(device),
      stdin_marks_(&stdin_source_, textio::DecodingSource::Marks::kAnswers),
      stdin_input_(&stdin_marks_),
      held_output_(new char[kStdoutBufferSize]) {}

Console::~Console() { FlushOutput(); }

long Console::StdinSource::Read(char* data, size_t size, int* error) {
  long n = device_.ReadStdin(data, size);
  if (n < 0) *error = EIO;
  return n;
}

void Console::SetUp() {
  if (set_up_) return;
  set_up_ = true;
  screen_.SetUp();
  if (!screen_.stdout_is_console()) StartRedirected();
  channels_.AttachConsole(this);
}

void Console::ClearScreen() {
  SetUp();
  screen_.Clear();
}

int Console::PlaceCursor(int row, int column, int visibility) {
  SetUp();
  return screen_.PlaceCursor(row, column, visibility);
}

void Console::Print(std::string_view bytes, bool force) {
  SetUp();
  if (bytes.empty() && !force) return;
  if (screen_.stdout_is_console()) {
    screen_.Print(bytes);
  } else {
    WriteRedirected(bytes);
  }
}

void Console::StartRedirected() {
  redirected_ = true;
  put_ = held_output_.get();
  put_end_ = put_ + kStdoutBufferSize;
}

void Console::WriteRedirected(std::string_view bytes) {
  if (!redirected_) StartRedirected();  // a console that stopped being one
  while (!bytes.empty()) {
    if (put_ == put_end_) FlushOutput();
    size_t part = std::min(bytes.size(), static_cast<size_t>(put_end_ - put_));
    std::memcpy(put_, bytes.data(), part);
    put_ += part;
    bytes.remove_prefix(part);
  }
}

void Console::FlushOutput() {
  if (!redirected_) return;
  const char* start = held_output_.get();
  size_t held = static_cast<size_t>(put_ - start);
  // The rest again after a partial write; a failed write drops what is
  // held, silently, and later output is tried afresh.
  for (size_t done = 0; done < held;) {
    long n = device_.WriteStdout(start + done, held - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  put_ = held_output_.get();
  put_end_ = put_ + kStdoutBufferSize;
}

int Console::PromptedInput(std::string_view prompt, bool question, bool line_end) {
  SetUp();
  uint32_t mode = 0;
  if (!device_.GetInputMode(&mode)) {
    // Answers come from the redirected standard input, one field each.
    FlushOutput();
    channels_.SelectInput(textio::kConsoleChannel);
    return textio::kStatusOk;
  }
  channels_.SetAnswerLine({});
  Print({}, true);
  if (!prompt.empty()) Print(prompt);
  if (question) Print("? ");
  std::string line = ReadLine(std::string(prompt) + (question ? "? " : ""));
  if (line_end) Print(textio::kLineEnd);
  channels_.SetAnswerLine(device_.TypedLineToNative(line));
  return textio::kStatusOk;
}

void Console::ShowAnswered(std::string_view prompt, bool question, bool line_end,
                           const std::string& answer) {
  SetUp();
  uint32_t mode = 0;
  if (!device_.GetInputMode(&mode)) return;
  std::string line = device_.NativeToTypedLine(answer);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';  // would move the cursor or sound
  }
  Print({}, true);
  if (!prompt.empty()) Print(prompt);
  if (question) Print("? ");
  Print(line);
  if (line_end) Print(textio::kLineEnd);
}

std::string Console::ReadLine(std::string_view lead) {
  SetUp();
  LineReader reader(*this);
  return reader.Read(lead);
}

void Console::CursorAdvance(int d, Position from, Position size) {
  Position to = Screen::Advanced(d, from, size);
  if (to.column == 1 && to.row == size.row + 1) {
    PlaceCursor(size.row, size.column, -1);
    Print(textio::kLineEnd);
  } else if (to.row < 1) {
    // Above the window: refused like any place outside the text view.  Row
    // 0 must not reach place cursor, which would take it as "this row".
    PlaceCursor(0, 0, -1);
  } else {
    PlaceCursor(to.row, to.column, -1);
  }
}

int Console::WaitKey() {
  return keyboard_.WaitKey([this] { FlushOutput(); });
}

int Console::EndTest(const textio::ChannelRecord& /*record*/) {
  return stdin_input_.ended() ? -1 : 0;
}

size_t Console::Write(const char* data, size_t size) {
  Print(std::string_view(data, size));
  return size;
}

}  // namespace console
