// The terminal device: the console primitives over a POSIX terminal.
//
// The screen is an in-memory model (VtScreen) that a renderer brings the
// terminal in line with; keys are decoded from the bytes the terminal sends
// (VtInputDecoder).  This file adds what only a real terminal has: raw mode,
// the terminal's size, its signals, and putting everything back on every way
// out of the process; the process-wide part of that is terminal_state.cc.
//
// Library console_vt, POSIX builds only: this device, terminal_state, the
// screen model and its renderer (vt_screen), the key decoder
// (vt_input_decoder) and the terminal's charset (terminal_charset).
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
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "console/device.h"
#include "console/vt/terminal_charset.h"
#include "console/vt/terminal_state.h"
#include "console/vt/vt_input_decoder.h"
#include "console/vt/vt_screen.h"

namespace console {
namespace {

// --- Small helpers -------------------------------------------------------------

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

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

Coord TerminalSize() {
  constexpr int kLargest = 1000;  // keeps the model's memory bounded
  // A console area of one row or one column counts as no console at all,
  // and output would then go to the terminal raw, escape sequences from a
  // file included: a terminal is never taken as smaller than 2 x 2.
  constexpr int kSmallest = 2;
  winsize size{};
  Coord result{80, 25};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0) {
    if (size.ws_col > 0) result.x = std::clamp<int>(size.ws_col, kSmallest, kLargest);
    if (size.ws_row > 0) result.y = std::clamp<int>(size.ws_row, kSmallest, kLargest);
  }
  return result;
}

class VtDevice;
VtDevice* g_live_device = nullptr;

// At a normal exit: what the live device still holds is shown first.
void OnProcessExit();

// --- The device ------------------------------------------------------------------

class VtDevice final : public Device {
 public:
  VtDevice();
  ~VtDevice() override;
  VtDevice(const VtDevice&) = delete;
  VtDevice& operator=(const VtDevice&) = delete;

  bool GetInputMode(uint32_t* mode) override {
    if (stdin_tty_) *mode = input_mode_;
    return stdin_tty_;
  }
  bool SetInputMode(uint32_t mode) override;
  bool NextInputEvent(InputEvent* event) override;
  long ReadStdin(char* data, size_t size) override;

  bool GetBufferInfo(BufferInfo* info) override;
  bool FillCharacter(char character, int length, Coord at) override {
    return EnsureScreen() && screen_->FillCharacter(character, length, at);
  }
  bool FillAttribute(uint16_t attribute, int length, Coord at) override {
    return EnsureScreen() && screen_->FillAttribute(attribute, length, at);
  }
  bool WriteCells(const char* characters, int length, uint16_t attribute, Coord at) override {
    return EnsureScreen() && screen_->WriteCells(characters, length, attribute, at);
  }
  bool ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) override {
    return EnsureScreen() && screen_->ScrollRect(source, destination, fill, attribute);
  }
  bool SetWindow(Rect window) override;
  bool SetCursorPosition(Coord at) override {
    return EnsureScreen() && screen_->SetCursorPosition(at);
  }
  bool GetCursorVisible(bool* visible) override {
    if (!EnsureScreen()) return false;
    *visible = screen_->cursor_visible();
    return true;
  }
  bool SetCursorVisible(bool visible) override {
    if (!EnsureScreen()) return false;
    screen_->SetCursorVisible(visible);
    return true;
  }
  void Flush() override;
  long WriteStdout(const char* data, size_t size) override;

  // A terminal sends no close or logoff events: the handler is only kept.
  bool AddControlHandler(ControlHandler handler, void* context) override {
    control_handler_ = handler;
    control_context_ = context;
    return true;
  }
  void RemoveControlHandler() override { AddControlHandler(nullptr, nullptr); }
  void Beep(int frequency, int milliseconds) override;
  void Sleep(int milliseconds) override;
  const KeyMap& key_map() const override { return UsKeyMap(); }
  // File names are in the charset of the terminal's locale.
  std::string TypedLineToNative(const std::string& line) const override {
    return charset_->FromCp1251(line);
  }
  std::string NativeToTypedLine(const std::string& name) const override {
    return charset_->ToCp1251(name);
  }
  bool StdoutIsTerminal() const override { return stdout_tty_; }
  void WriteErrorLine(const std::string& line) override;

  /// Shows what is still unwritten and puts the terminal back; idempotent.
  /// The device draws and reads no more afterwards.
  void Close();

 private:
  // Unwritten output is written at once when it grows this big or when the
  // last write is this old; a fast run of prints is gathered in between.
  // Small enough for the terminal to take in one piece while the next is
  // drawn: with 64 KiB pieces, echoing rows into a tmux pane took about 1.7
  // times as long as cat of the same bytes, with 8 KiB about 1.1 times.
  static constexpr size_t kWriteThreshold = 8 * 1024;
  static constexpr int64_t kWriteIntervalMs = 10;
  // How long the end of the run waits for the terminal's answers to the
  // questions asked at the start, so that none reaches the shell.
  static constexpr int64_t kAnswerWaitMs = 500;

  bool EnsureScreen();
  void BeginDrawing();
  void TakeScreenOutput();
  void RenderToUnwritten();
  void WriteUnwritten();
  void ShowEverything();
  void ServiceSignals();
  void ReadInput(short poll_events);
  void TakeReports();
  void AwaitAnswers();
  void NoteTerminalState();
  [[noreturn]] void HangUp();

  bool stdin_tty_;
  bool stdout_tty_;
  std::unique_ptr<TerminalCharset> charset_;
  bool linux_console_;
  uint32_t input_mode_ = 0x01F7;  // what a Windows console starts with
  bool raw_input_ = false;
  bool drawing_ = false;
  bool closed_ = false;
  bool terminal_gone_ = false;
  bool resize_event_ = false;
  // Standard error is the terminal drawn on: its lines wait for Close.
  bool errors_wait_;
  std::string held_errors_;
  // The questions asked at the start (the cursor's visibility, then the
  // device attributes, which every terminal answers) and whether the last
  // answer has come.
  bool asked_ = false;
  bool answered_ = false;
  // The window is the rows of the buffer the engine's text view uses: the
  // terminal's height at the start.  A taller terminal gives the buffer
  // more rows below, which the window moves down through as output scrolls.
  int window_top_ = 0;
  int window_rows_ = 0;
  std::unique_ptr<VtScreen> screen_;
  std::unique_ptr<VtInputDecoder> decoder_;
  std::string unwritten_;
  int64_t last_write_ms_ = -kWriteIntervalMs;
  ControlHandler control_handler_ = nullptr;
  void* control_context_ = nullptr;
};

void OnProcessExit() {
  if (g_live_device != nullptr) {
    g_live_device->Close();
  } else {
    RestoreTerminal();
  }
}

VtDevice::VtDevice()
    : stdin_tty_(isatty(STDIN_FILENO) == 1),
      stdout_tty_(isatty(STDOUT_FILENO) == 1),
      charset_(TerminalCharset::FromLocale()),
      linux_console_(stdout_tty_ && IsLinuxConsole(STDOUT_FILENO)),
      errors_wait_(stdout_tty_ && SameTerminal(STDERR_FILENO, STDOUT_FILENO)) {
  VtInputDecoder::Options options;
  options.charset = charset_.get();
  if (stdin_tty_) {
    ReadOriginalModes(&g_term.input, STDIN_FILENO);
    cc_t erase = g_term.input.original.c_cc[VERASE];
    if (g_term.input.fd >= 0 && (erase == 0x08 || erase == 0x7F)) options.erase_character = erase;
  }
  g_term.shared = stdin_tty_ && stdout_tty_ && SameTerminal(STDIN_FILENO, STDOUT_FILENO);
  if (stdout_tty_ && !g_term.shared) ReadOriginalModes(&g_term.output, STDOUT_FILENO);
  decoder_ = std::make_unique<VtInputDecoder>(UsKeyMap(), options);
  if (stdin_tty_ || stdout_tty_) {
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
  if (closed_) return;
  if (!terminal_gone_) {
    RenderToUnwritten();  // leaves the terminal's cursor at the model's
    WriteUnwritten();
    AwaitAnswers();
  }
  closed_ = true;
  unwritten_.clear();
  if (raw_input_ || drawing_) RestoreTerminal();
  WriteHeldErrorLines();
}

void VtDevice::WriteErrorLine(const std::string& line) {
  const std::string bytes = line + "\n";
  if (errors_wait_ && !closed_) {
    SignalBlock block;  // the handlers write what is held on their way out
    // A crash signal is not blocked: while the lines grow (and may move),
    // it finds none to write rather than freed memory.
    g_term.held_errors_size = 0;
    held_errors_ += bytes;
    g_term.held_errors = held_errors_.data();
    g_term.held_errors_size = held_errors_.size();
    return;
  }
  WriteRaw(STDERR_FILENO, bytes.data(), bytes.size());
}

// --- Standard input ----------------------------------------------------------------

bool VtDevice::SetInputMode(uint32_t mode) {
  if (!stdin_tty_) return false;
  input_mode_ = mode;
  if (!raw_input_ && !closed_) {
    raw_input_ = true;
    SetModes(&g_term.input, true, drawing_ && g_term.shared);
  }
  return true;
}

bool VtDevice::NextInputEvent(InputEvent* event) {
  ServiceSignals();
  if (resize_event_) {
    resize_event_ = false;
    ShowEverything();
    *event = InputEvent{};
    event->type = InputEvent::Type::kOther;  // the buffer size changed
    return true;
  }
  if (stdin_tty_ && !closed_) {
    // The terminal is read only once every key read before has been taken:
    // while the engine has no room for keys, they stay in the terminal.
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (!decoder_->has_records() && poll(&input, 1, 0) > 0) ReadInput(input.revents);
    decoder_->Tick(NowMs());
    KeyEvent key;
    if (decoder_->Next(&key)) {
      event->type = InputEvent::Type::kKey;
      event->key = key;
      return true;
    }
  }
  ShowEverything();
  return false;
}

// Reads what the terminal has sent.  End of file or an I/O error in raw
// mode means the terminal has gone away.
void VtDevice::ReadInput(short poll_events) {
  char buffer[4096];
  ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
  if (count > 0) {
    decoder_->Feed(buffer, static_cast<size_t>(count), NowMs());
    TakeReports();
  } else if (count == 0) {
    // In canonical mode a lone Ctrl+D also reads as end of file.
    if (raw_input_ || (poll_events & (POLLHUP | POLLERR)) != 0) HangUp();
  } else if (errno != EINTR && errno != EAGAIN) {
    HangUp();
  }
}

// The answers to the questions asked at the start.
void VtDevice::TakeReports() {
  VtInputDecoder::Report report;
  while (decoder_->NextReport(&report)) {
    if (report.kind == VtInputDecoder::Report::Kind::kDeviceAttributes) {
      answered_ = true;  // answers come in order: this one is asked last
    } else if (report.mode == 25 && report.value >= 1 && report.value <= 4) {
      g_term.found_cursor_visible = report.value == 1 || report.value == 3 ? 1 : 0;
    }
  }
}

// Before the terminal is given back, its answers are read, so that none
// arrives at the shell; keys read meanwhile go with the program.
void VtDevice::AwaitAnswers() {
  if (!asked_ || answered_ || !stdin_tty_) return;
  const int64_t deadline = NowMs() + kAnswerWaitMs;
  for (int64_t now = NowMs(); !answered_ && now < deadline; now = NowMs()) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, static_cast<int>(deadline - now)) <= 0) break;
    ReadInput(input.revents);
    KeyEvent ignored;
    while (decoder_->Next(&ignored)) {
    }
  }
}

// Ends the process as the hang-up signal would have.
void VtDevice::HangUp() {
  terminal_gone_ = true;
  unwritten_.clear();
  RestoreTerminal();  // whatever can still be put back
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
  info->attribute = 7;
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
  if (unwritten_.size() + screen_->output_size() >= kWriteThreshold ||
      NowMs() - last_write_ms_ >= kWriteIntervalMs) {
    RenderToUnwritten();
    WriteUnwritten();
  }
}

long VtDevice::WriteStdout(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t written = write(STDOUT_FILENO, data + done, size - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A pipe someone made non-blocking: wait until it takes more.
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      if (poll(&out, 1, -1) < 0 && errno != EINTR) return done > 0 ? static_cast<long>(done) : -1;
      continue;
    }
    if (written <= 0) return done > 0 ? static_cast<long>(done) : -1;
    done += static_cast<size_t>(written);
  }
  return static_cast<long>(done);
}

// --- Output to the terminal ----------------------------------------------------------

// Sets the terminal up for drawing, once, before the first rendered byte.
void VtDevice::BeginDrawing() {
  if (drawing_ || closed_) return;
  drawing_ = true;
  {
    SignalBlock block;
    g_term.drawing_wanted = 1;
    g_term.drawing_active = 1;
    unwritten_.insert(0, VtScreen::StartSequence());
  }
  if (g_term.shared) {
    SetModes(&g_term.input, raw_input_, true);
  } else {
    SetModes(&g_term.output, false, true);
  }
  if (g_term.shared && raw_input_ && !asked_) {
    // Whether the cursor is shown (DECRQM), so that it is left so; then the
    // device attributes, whose answer says that no other is coming.
    asked_ = true;
    unwritten_ += "\x1b[?25$p\x1b[c";
  }
}

void VtDevice::TakeScreenOutput() {
  if (screen_ == nullptr || !screen_->has_output()) return;
  BeginDrawing();
  unwritten_ += screen_->TakeOutput();
}

void VtDevice::RenderToUnwritten() {
  if (screen_ == nullptr || closed_) return;
  screen_->Render();
  TakeScreenOutput();
}

// Renders what the model holds and writes it: nothing may stay held back
// while the program waits.
void VtDevice::ShowEverything() {
  RenderToUnwritten();
  WriteUnwritten();
}

// Writes the unwritten output, one write() in the normal case.
void VtDevice::WriteUnwritten() {
  if (unwritten_.empty()) return;
  if (terminal_gone_ || closed_) {
    unwritten_.clear();
    return;
  }
  NoteTerminalState();
  size_t done = 0;
  while (done < unwritten_.size()) {
    ssize_t written = write(STDOUT_FILENO, unwritten_.data() + done, unwritten_.size() - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
    } else if (written < 0 && errno == EAGAIN) {
      // Someone else made the terminal non-blocking: wait for room.
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      if (poll(&out, 1, 1000) <= 0) break;
    } else if (written == 0 || errno != EINTR) {
      terminal_gone_ = true;  // hung up: nothing more is shown
      break;
    }
  }
  unwritten_.clear();
  last_write_ms_ = NowMs();
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
        WriteUnwritten();  // drawn for the old size, where the terminal has it
        screen_->TerminalResized(size.x, size.y);
        RenderToUnwritten();
      }
    }
    resize_event_ = true;
  }
  if (g_term.continued) {
    g_term.continued = 0;
    if (screen_ != nullptr) {
      screen_->Invalidate();
      RenderToUnwritten();
    }
  }
}

// --- System ----------------------------------------------------------------------------

// The bell goes out now, after the cells drawn before it; the tone's length
// is the terminal's business, so nothing waits for it.
void VtDevice::Beep(int frequency, int milliseconds) {
  if (!EnsureScreen() || closed_) return;
  screen_->Beep(frequency, milliseconds);
  TakeScreenOutput();
  WriteUnwritten();
}

void VtDevice::Sleep(int milliseconds) {
  ServiceSignals();
  ShowEverything();
  if (resize_event_ || decoder_->has_records()) return;  // input is waiting already
  int64_t timeout = std::max(milliseconds, 0);
  int64_t deadline = decoder_->Deadline();
  if (deadline >= 0) timeout = std::clamp<int64_t>(deadline - NowMs(), 0, timeout);
  pollfd fds[2];
  nfds_t count = 0;
  bool watch_input = stdin_tty_ && !closed_;
  if (watch_input) fds[count++] = pollfd{STDIN_FILENO, POLLIN, 0};
  if (g_term.wake_read >= 0) fds[count++] = pollfd{g_term.wake_read, POLLIN, 0};
  int ready = poll(fds, count, static_cast<int>(timeout));
  if (ready > 0 && watch_input && fds[0].revents != 0) ReadInput(fds[0].revents);
  ServiceSignals();
  ShowEverything();
}

}  // namespace

std::unique_ptr<Device> MakePlatformDevice() {
  // A closed pipe on standard output must not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<VtDevice>();
}

}  // namespace console
