// The terminal device's work: see vt_device.h.
#include "console/vt/vt_device.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/kd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <memory>
#include <optional>
#include <string>

#include "console/vt/terminal_state.h"
#include "textio/os_file.h"
#include "textio/write_gate.h"

namespace console {
namespace {

// --- Small helpers -------------------------------------------------------------

// The Linux console can set the pitch of its bell.
bool IsLinuxConsole(int fd) {
#ifdef __linux__
  char type = 0;
  return ioctl(fd, KDGKBTYPE, &type) == 0;
#else
  (void)fd;
  return false;
#endif
}

bool SameTerminal(int a, int b) {
  struct stat first {};
  struct stat second {};
  return fstat(a, &first) == 0 && fstat(b, &second) == 0 && S_ISCHR(first.st_mode) &&
         first.st_rdev == second.st_rdev;
}

bool IsRegularFile(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

Coord TerminalSize() {
  constexpr int kLargest = 1000;  // keeps the model's memory bounded
  // A console area of one row or one column counts as no console at all,
  // and output would then go to the terminal raw, escape sequences from a
  // file included: a terminal is never taken as smaller than 2 x 2.
  constexpr int kSmallest = 2;
  winsize size{};
  Coord result{kDefaultWidth, kDefaultHeight};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
    if (size.ws_col > 0) result.x = std::clamp<int>(size.ws_col, kSmallest, kLargest);
    if (size.ws_row > 0) result.y = std::clamp<int>(size.ws_row, kSmallest, kLargest);
  }
  return result;
}

VtDevice* g_live_device = nullptr;

// At a normal exit: what the live device still holds is shown first.
void OnProcessExit() {
  if (g_live_device != nullptr) {
    g_live_device->Close();
  } else {
    RestoreTerminal();
  }
}

}  // namespace

VtDevice::VtDevice()
    : stdout_tty_(isatty(STDOUT_FILENO) == 1),
      stdout_may_wait_(!IsRegularFile(STDOUT_FILENO)),
      charset_(TerminalCharset::FromLocale()),
      input_(isatty(STDIN_FILENO) == 1, charset_.get()),
      linux_console_(stdout_tty_ && IsLinuxConsole(STDOUT_FILENO)),
      errors_wait_(stdout_tty_ && SameTerminal(STDERR_FILENO, STDOUT_FILENO)) {
  g_term.shared = input_.tty() && stdout_tty_ && SameTerminal(STDIN_FILENO, STDOUT_FILENO);
  if (stdout_tty_ && !g_term.shared) ReadOriginalModes(&g_term.output, STDOUT_FILENO);
  if (input_.tty() || stdout_tty_) {
    InstallProcessHooks(VtScreen::StartSequence(), VtScreen::RestoreSequence(), OnProcessExit);
  }
  g_live_device = this;
}

VtDevice::~VtDevice() {
  Close();
  if (g_live_device == this) g_live_device = nullptr;
}

// The lines for standard error come last, below the final screen of a
// terminal that is as it was found.
void VtDevice::Close() {
  if (phase_ == Phase::kReleased) return;
  if (phase_ != Phase::kGone) {
    Render();  // leaves the terminal's cursor at the model's
    WriteBatch();
    // Keys read meanwhile go with the program.
    if (!input_.AwaitAnswers()) HangUp();
  }
  phase_ = Phase::kReleased;
  input_.Stop();
  batch_.Drop();
  RestoreTerminal();  // undoes only what is in force
  WriteHeldErrorLines();
}

void VtDevice::WriteErrorLine(const std::string& line) {
  const std::string bytes = line + "\n";
  if (errors_wait_ && phase_ != Phase::kReleased) {
    SignalBlock block;  // the handlers write what is held on their way out
    // A crash signal is not blocked: while the lines grow (and may move),
    // it finds none to write rather than freed memory.
    g_term.held_errors_size = 0;
    held_errors_ += bytes;
    g_term.held_errors = held_errors_.data();
    g_term.held_errors_size = held_errors_.size();
    return;
  }
  WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
}

// The handlers write the line themselves: a redirected standard error gets
// it at once, the terminal drawn on below the final screen.
void VtDevice::SetInterruptLine(LineComposer compose, const void* context) {
  {
    SignalBlock block;
    g_term.interrupt_compose = compose;
    g_term.interrupt_context = context;
    g_term.errors_to_terminal = errors_wait_ ? 1 : 0;
  }
  if (compose != nullptr) InstallEndingHandlers();
}

// --- Standard input ----------------------------------------------------------------

bool VtDevice::SetInputMode(uint32_t mode) {
  if (!input_.tty()) return false;
  input_mode_ = mode;
  if (!input_.raw() && phase_ != Phase::kReleased) {
    input_.set_raw();
    SetModes(&g_term.input, true, phase_ == Phase::kDrawing && g_term.shared);
  }
  return true;
}

bool VtDevice::NextInputEvent(InputEvent* event) {
  ServiceSignals();
  if (resize_event_) {
    resize_event_ = false;
    ShowEverything();
    *event = InputEvent{};
    event->type = InputEvent::Type::kBufferSize;
    return true;
  }
  if (!input_.Poll()) HangUp();
  KeyEvent key;
  if (input_.NextKey(&key)) {
    event->type = InputEvent::Type::kKey;
    event->key = key;
    return true;
  }
  ShowEverything();
  return false;
}

// Ends the process as the hang-up signal would have.
void VtDevice::HangUp() {
  phase_ = Phase::kGone;
  batch_.Drop();
  RestoreTerminal();           // whatever can still be put back
  textio::CutCountedOutput();  // a file being written keeps whole rows only
  DieBy(SIGHUP);
  _exit(128 + SIGHUP);
}

long VtDevice::ReadStdin(char* data, size_t size) {
  for (;;) {
    ssize_t count = read(STDIN_FILENO, data, size);
    if (count >= 0) return static_cast<long>(count);
    if (errno != EINTR) return -1;
  }
}

// --- Screen buffer -------------------------------------------------------------------

// The model is made at the first screen primitive, at the terminal's size.
bool VtDevice::EnsureScreen() {
  if (!stdout_tty_) return false;
  if (screen_ == nullptr) {
    Coord size = TerminalSize();
    VtScreen::Options options;
    options.charset = charset_.get();
    options.linux_console = linux_console_;
    screen_ = std::make_unique<VtScreen>(size.x, size.y, options);
    window_rows_ = size.y;
  }
  return true;
}

bool VtDevice::GetBufferInfo(BufferInfo* info) {
  if (!EnsureScreen()) return false;
  ServiceSignals();  // a new size is seen at once
  info->size = Coord{screen_->width(), screen_->height()};
  info->window = Rect{0, window_top_, screen_->width() - 1, window_top_ + window_rows_ - 1};
  info->cursor = screen_->cursor();
  info->attribute = kDefaultAttribute;
  return true;
}

// Only a window of the buffer's width and the window's height can be set.
bool VtDevice::SetWindow(Rect window) {
  if (!EnsureScreen()) return false;
  if (window.left != 0 || window.right != screen_->width() - 1 || window.top < 0 ||
      window.bottom != window.top + window_rows_ - 1 || window.bottom >= screen_->height()) {
    return false;
  }
  window_top_ = window.top;
  return true;
}

void VtDevice::Flush() {
  if (screen_ == nullptr) return;
  ServiceSignals();
  // While prints come quickly, the model gathers them and is rendered once
  // for many (every wait for input writes what is left).  Rows that scroll
  // away are painted by the screen itself before they leave.
  if (batch_.Due(screen_->output_size())) {
    Render();
    WriteBatch();
  }
}

// A pipe someone made non-blocking is waited on.  One that may wait on its
// reader is written a piece at a time once it has room, so that a write
// behind a WriteGate never holds an ending signal off (write_gate.h).
long VtDevice::WriteStdout(const char* data, size_t size) {
  if (stdout_may_wait_) size = textio::AwaitRoom(STDOUT_FILENO, size);
  const size_t written = WriteAll(STDOUT_FILENO, data, size);
  return written > 0 || size == 0 ? static_cast<long>(written) : -1;
}

// --- Output to the terminal ----------------------------------------------------------

// Sets the terminal up for drawing, once, before the first rendered byte.
void VtDevice::BeginDrawing() {
  if (phase_ != Phase::kMade) return;
  phase_ = Phase::kDrawing;
  {
    SignalBlock block;
    g_term.drawing_wanted = 1;
    g_term.drawing_active = 1;
    batch_.Prepend(VtScreen::StartSequence());
  }
  if (g_term.shared) {
    SetModes(&g_term.input, input_.raw(), true);
  } else {
    SetModes(&g_term.output, false, true);
  }
  if (g_term.shared && input_.raw()) batch_.Append(input_.Ask());
}

void VtDevice::TakeScreenOutput() {
  if (screen_ == nullptr || !screen_->has_output()) return;
  BeginDrawing();
  batch_.Append(screen_->TakeOutput());
}

void VtDevice::Render() {
  if (screen_ == nullptr || phase_ == Phase::kReleased) return;
  screen_->Render();
  TakeScreenOutput();
}

// Renders what the model holds and writes it: nothing may stay held back
// while the program waits.
void VtDevice::ShowEverything() {
  Render();
  WriteBatch();
}

// Writes the batch, one write() in the normal case.
void VtDevice::WriteBatch() {
  if (batch_.empty()) return;
  if (phase_ == Phase::kGone || phase_ == Phase::kReleased) {
    batch_.Drop();
    return;
  }
  NoteTerminalState();
  if (!batch_.Write(STDOUT_FILENO)) phase_ = Phase::kGone;  // hung up: nothing more is shown
}

// What putting the terminal back must undo, and where its cursor is left,
// as the output about to be written leaves them.
void VtDevice::NoteTerminalState() {
  if (screen_ == nullptr) return;
  if (screen_->rendition_sent()) g_term.rendition_changed = 1;
  if (screen_->cursor_visibility_sent()) g_term.cursor_visibility_changed = 1;
  if (std::optional<Coord> cursor = screen_->terminal_cursor()) {
    g_term.cursor_row = -1;  // never a row with the other's column
    g_term.cursor_column = cursor->x;
    g_term.cursor_row = cursor->y;
  }
}

// Carries out what the signal handlers have noted.
void VtDevice::ServiceSignals() {
  // The self-pipe only wakes a poll(); it is emptied when a handler has
  // written to it, not on every print.
  if (g_term.wake_read >= 0 && g_term.woken) {
    g_term.woken = 0;
    char drain[64];
    while (read(g_term.wake_read, drain, sizeof drain) > 0) {
    }
  }
  if (g_term.resized) {
    g_term.resized = 0;
    if (screen_ != nullptr) {
      // The width follows the terminal; the height never shrinks: a taller
      // terminal adds rows below, a shorter one shows the part that holds
      // the cursor.  The window keeps its place and height.
      Coord size = TerminalSize();
      if (size.x != screen_->width() || size.y != screen_->terminal_rows()) {
        WriteBatch();  // drawn for the old size, where the terminal has it
        screen_->TerminalResized(size.x, size.y);
        Render();
      }
    }
    resize_event_ = true;
  }
  if (g_term.continued) {
    g_term.continued = 0;
    if (screen_ != nullptr) {
      screen_->Invalidate();
      Render();
    }
  }
}

// --- System ----------------------------------------------------------------------------

// The bell goes out now, after the cells drawn before it; the tone's length
// is the terminal's business, so nothing waits for it.
void VtDevice::Beep(int frequency, int milliseconds) {
  if (!EnsureScreen() || phase_ == Phase::kReleased) return;
  screen_->Beep(frequency, milliseconds);
  TakeScreenOutput();
  WriteBatch();
}

void VtDevice::Sleep(int milliseconds) { Wait(std::max(milliseconds, 0)); }

// Without a terminal to read (never at a prompt), a pause as asked.
void VtDevice::WaitForInput(int poll_ms) {
  const bool reading = input_.tty() && phase_ != Phase::kReleased;
  Wait(reading ? TerminalInput::kNoTimeLimit : std::max(poll_ms, 0));
}

// Ends early when input, a signal or a resize comes.
void VtDevice::Wait(int64_t timeout_ms) {
  ServiceSignals();
  ShowEverything();
  if (resize_event_ || input_.has_keys()) return;  // input is waiting already
  if (!input_.Wait(timeout_ms, g_term.wake_read)) HangUp();
  ServiceSignals();
  ShowEverything();
}

std::unique_ptr<Device> MakePlatformDevice() {
  // A closed pipe on standard output must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<VtDevice>();
}

}  // namespace console
