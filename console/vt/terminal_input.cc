#include "console/vt/terminal_input.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "console/key_map.h"
#include "console/vt/terminal_output.h"
#include "console/vt/terminal_state.h"

namespace console {

TerminalInput::TerminalInput(bool tty, const TerminalCharset* charset)
    : tty_(tty), decoder_(UsKeyMap(), DecoderOptions(tty, charset)) {}

VtInputDecoder::Options TerminalInput::DecoderOptions(bool tty, const TerminalCharset* charset) {
  VtInputDecoder::Options options;
  options.charset = charset;
  if (tty) {
    ReadOriginalModes(&g_term.input, STDIN_FILENO);
    // Only a control byte that means nothing else to the decoder (NUL is
    // "no erase character"); a printable one stays a character.
    const cc_t erase = g_term.input.original.c_cc[VERASE];
    const bool usable = (erase < 0x20 || erase == 0x7F) && erase != 0 && erase != '\t' &&
                        erase != '\n' && erase != '\r' && erase != 0x1B;
    if (g_term.input.fd >= 0 && usable) options.erase_character = erase;
  }
  return options;
}

bool TerminalInput::Poll() {
  if (!tty_ || !reading_ || decoder_.has_records()) return true;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, 0) <= 0 || Read(input.revents);
}

bool TerminalInput::NextKey(KeyEvent* key) {
  if (!tty_ || !reading_) return false;
  decoder_.Tick(MonotonicMs());
  return decoder_.Next(key);
}

bool TerminalInput::Wait(int64_t timeout_ms, int wake_fd) {
  const int64_t deadline = decoder_.Deadline();
  if (deadline >= 0) {
    const int64_t left = std::max<int64_t>(deadline - MonotonicMs(), 0);
    timeout_ms = timeout_ms == kNoTimeLimit ? left : std::min(timeout_ms, left);
  }
  timeout_ms = std::min<int64_t>(timeout_ms, INT_MAX);
  pollfd fds[2];
  nfds_t count = 0;
  const bool watch_input = tty_ && reading_;
  if (watch_input) fds[count++] = pollfd{STDIN_FILENO, POLLIN, 0};
  if (wake_fd >= 0) fds[count++] = pollfd{wake_fd, POLLIN, 0};
  const int ready = poll(fds, count, static_cast<int>(timeout_ms));
  return ready <= 0 || !watch_input || fds[0].revents == 0 || Read(fds[0].revents);
}

std::string_view TerminalInput::Ask() {
  if (questions_ != Questions::kNotAsked) return {};
  questions_ = Questions::kAsked;
  return "\x1b[?25$p\x1b[c";
}

bool TerminalInput::AwaitAnswers() {
  if (questions_ != Questions::kAsked || !tty_) return true;
  const int64_t deadline = MonotonicMs() + kAnswerWaitMs;
  for (int64_t now = MonotonicMs(); questions_ == Questions::kAsked && now < deadline;
       now = MonotonicMs()) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, static_cast<int>(deadline - now)) <= 0) break;
    if (!Read(input.revents)) return false;
    KeyEvent ignored;
    while (decoder_.Next(&ignored)) {
    }
  }
  return true;
}

// Reads what the terminal has sent.  End of file or an I/O error in raw
// mode means the terminal has gone away.
bool TerminalInput::Read(short poll_events) {
  char buffer[4096];
  const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
  if (count > 0) {
    decoder_.Feed(buffer, static_cast<size_t>(count), MonotonicMs());
    TakeReports();
    return true;
  }
  // In canonical mode a lone Ctrl+D also reads as end of file.
  if (count == 0) return !raw_ && (poll_events & (POLLHUP | POLLERR)) == 0;
  return errno == EINTR || errno == EAGAIN;
}

// The answers to the questions asked.
void TerminalInput::TakeReports() {
  VtInputDecoder::Report report;
  while (decoder_.NextReport(&report)) {
    if (report.kind == VtInputDecoder::Report::Kind::kDeviceAttributes) {
      // Answers come in order, and this question is asked last.
      if (questions_ == Questions::kAsked) questions_ = Questions::kAnswered;
    } else if (report.mode == 25 && report.value >= 1 && report.value <= 4) {
      g_term.found_cursor_visible = report.value == 1 || report.value == 3 ? 1 : 0;
    }
  }
}

}  // namespace console
