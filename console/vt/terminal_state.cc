#include "console/vt/terminal_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "console/vt/terminal_output.h"
#include "textio/os_file.h"
#include "textio/write_gate.h"

namespace console {

TerminalState g_term;

namespace {

bool g_process_hooks_installed = false;
std::terminate_handler g_previous_terminate = nullptr;

// Every signal whose default action ends the process, the real-time ones
// (SIGRTMIN to SIGRTMAX, numbers known only at run time) aside, but SIGPIPE
// (ignored: a closed pipe is a failed write) and SIGKILL, which no handler
// sees.
constexpr int kEndingSignals[] = {SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO,   SIGSEGV, SIGBUS,
                                  SIGFPE,    SIGILL,  SIGABRT, SIGTRAP, SIGSYS};
// The first twelve: sent from outside (or by a limit), not by a fault of
// the program's.
constexpr int kOutsideSignals = 12;

void Wake() {
  if (g_term.wake_write < 0) return;
  g_term.woken = 1;
  char byte = 1;
  ssize_t ignored = write(g_term.wake_write, &byte, 1);
  (void)ignored;
}

void ApplyModes(TtyModes* modes) {
  if (!modes->wanted) return;
  modes->active = 1;  // set first: a signal in between still puts back
  tcsetattr(modes->fd, TCSADRAIN, &modes->applied);
}

void LeaveModes(TtyModes* modes) {
  if (!modes->active) return;
  modes->active = 0;
  tcsetattr(modes->fd, TCSADRAIN, &modes->original);
}

// Appends a decimal number; async-signal-safe.
size_t PutNumber(char* out, int number) {
  char digits[12];
  size_t count = 0;
  unsigned value = number < 0 ? 0u : static_cast<unsigned>(number);
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (size_t i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
  return count;
}

size_t PutText(char* out, const char* text) {
  size_t count = std::strlen(text);
  std::memcpy(out, text, count);
  return count;
}

// The bytes that undo what the drawing changed and nothing else: the
// colours (whose restore also moves the cursor, so it is placed again) and
// the cursor's visibility.  Async-signal-safe.
size_t BuildRestore(char* out) {
  size_t size = 0;
  if (g_term.rendition_changed) {
    std::memcpy(out, g_term.restore, g_term.restore_size);
    size += g_term.restore_size;
    if (g_term.cursor_row >= 0) {
      size += PutText(out + size, "\x1b[");
      size += PutNumber(out + size, g_term.cursor_row + 1);
      out[size++] = ';';
      size += PutNumber(out + size, g_term.cursor_column + 1);
      out[size++] = 'H';
    }
  }
  if (g_term.cursor_visibility_changed) {
    size += PutText(out + size, g_term.found_cursor_visible == 0 ? "\x1b[?25l" : "\x1b[?25h");
  }
  return size;
}

// Puts the terminal as it was found, keeping what is wanted for a resume.
// Async-signal-safe.
void SuspendTerminal() {
  if (g_term.drawing_active) {
    g_term.drawing_active = 0;
    char restore[sizeof g_term.restore + 64];
    WriteAll(STDOUT_FILENO, restore, BuildRestore(restore));
  }
  LeaveModes(&g_term.input);
  LeaveModes(&g_term.output);
}

// Moves the terminal's cursor, left inside a line of ours, to the start of
// the next line.  Async-signal-safe.
void StartFreshLine(int fd) {
  if (g_term.cursor_row < 0 || g_term.cursor_column == 0) return;
  WriteAll(fd, "\r\n", 2);
  g_term.cursor_column = 0;
}

// Takes the terminal again after a stop.  Whoever had the terminal meanwhile
// (the shell) may have set its own modes, so they are set even when they
// look active.  Async-signal-safe.
void ResumeTerminal() {
  ApplyModes(&g_term.input);
  ApplyModes(&g_term.output);
  if (g_term.drawing_wanted) {
    g_term.drawing_active = 1;
    WriteAll(STDOUT_FILENO, g_term.start, g_term.start_size);
  }
  g_term.continued = 1;  // the main loop repaints
  Wake();
}

// The signals whose handlers touch the shared state; each handler runs with
// all of them blocked, so that they never interleave.
void SetHandledSignals(sigset_t* set) {
  sigemptyset(set);
  for (int i = 0; i < kOutsideSignals; ++i) sigaddset(set, kEndingSignals[i]);
  for (int rt = SIGRTMIN; rt <= SIGRTMAX; ++rt) sigaddset(set, rt);
  for (int handled : {SIGTSTP, SIGCONT, SIGWINCH}) sigaddset(set, handled);
}

void SetDisposition(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  SetHandledSignals(&action.sa_mask);
  // SA_RESTART: a resize must not fail the stdio reads of other code.
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

// Idempotent, async-signal-safe.
void RestoreTerminal() {
  g_term.drawing_wanted = 0;
  g_term.input.wanted = 0;
  g_term.output.wanted = 0;
  SuspendTerminal();
}

void WriteHeldErrorLines() {
  const char* lines = g_term.held_errors;
  const size_t size = g_term.held_errors_size;
  if (lines == nullptr || size == 0) return;
  g_term.held_errors_size = 0;
  StartFreshLine(STDERR_FILENO);
  WriteAll(STDERR_FILENO, lines, size);
  g_term.cursor_column = 0;  // each line ends with its line feed
}

// The exit status names the signal (130 for SIGINT, 143 for SIGTERM).
void DieBy(int signal_number) {
  SetDisposition(signal_number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  raise(signal_number);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

namespace {

// The real-time signals too, which end the process unless handled.
bool FromOutside(int signal_number) {
  if (signal_number >= SIGRTMIN && signal_number <= SIGRTMAX) return true;
  return std::find(kEndingSignals, kEndingSignals + kOutsideSignals, signal_number) !=
         kEndingSignals + kOutsideSignals;
}

// The interrupt line, once, after the held lines; on a line of its own when
// it goes to the terminal drawn on.
void WriteInterruptLine() {
  const LineComposer compose = g_term.interrupt_compose;
  if (compose == nullptr) return;
  g_term.interrupt_compose = nullptr;
  static char line[32 * 1024];  // room for any name shown in it
  size_t size = compose(g_term.interrupt_context, line, sizeof line - 1);
  if (size == 0) return;
  line[size++] = '\n';
  if (g_term.errors_to_terminal) StartFreshLine(STDERR_FILENO);
  WriteAll(STDERR_FILENO, line, size);
  if (g_term.errors_to_terminal) g_term.cursor_column = 0;
}

// The way out by a signal or std::terminate: the terminal put back, the
// lines held for standard error written (and, when a signal from outside
// ends a conversion, the line that says what its output holds), and the
// cursor at the start of a line of its own, so that the shell's prompt
// never lands on a line the program drew (the answer line being typed).
// Async-signal-safe.
void LeaveTerminal(bool interrupted) {
  const bool drawing = g_term.drawing_active;
  RestoreTerminal();
  WriteHeldErrorLines();
  if (interrupted) {
    textio::CutCountedOutput();  // the line then names what the file holds
    WriteInterruptLine();
  }
  if (drawing) StartFreshLine(STDOUT_FILENO);
}

void OnEndingSignal(int signal_number) {
  // A count and the output it counts are changed in one step: a signal
  // that comes in between is raised again once both are done.
  if (FromOutside(signal_number) && textio::DeferEnd(signal_number)) return;
  LeaveTerminal(FromOutside(signal_number));
  DieBy(signal_number);  // in a handler the signal is delivered on return
}

// Ctrl+Z: give the terminal back, stop, and take it again on continue.
void OnStopSignal(int) {
  int saved_errno = errno;
  SuspendTerminal();
  // The stop happens inside DieBy as SIGTSTP gets unblocked; in an orphaned
  // process group the system drops it and we simply go on.
  DieBy(SIGTSTP);
  SetDisposition(SIGTSTP, OnStopSignal);
  ResumeTerminal();
  errno = saved_errno;
}

// Also after a SIGSTOP sent from outside, which no handler sees.
void OnContinueSignal(int) {
  int saved_errno = errno;
  ResumeTerminal();
  errno = saved_errno;
}

void OnResizeSignal(int) {
  int saved_errno = errno;
  g_term.resized = 1;
  Wake();
  errno = saved_errno;
}

// Installs `handler` unless someone else already handles or ignores the
// signal (a shell ignores SIGINT for background jobs, for instance).
void InstallHandler(int signal_number, void (*handler)(int)) {
  struct sigaction old {};
  if (sigaction(signal_number, nullptr, &old) != 0) return;
  if ((old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) return;
  SetDisposition(signal_number, handler);
}

// A sequence in a fixed field, where a signal handler can take it.
void CopySequence(const std::string& bytes, char* buffer, size_t capacity, size_t* size) {
  *size = std::min(bytes.size(), capacity);
  std::memcpy(buffer, bytes.data(), *size);
}

void OnTerminate() {
  LeaveTerminal(false);
  if (g_previous_terminate != nullptr) g_previous_terminate();
  std::abort();
}

}  // namespace

SignalBlock::SignalBlock() {
  sigset_t set;
  SetHandledSignals(&set);
  sigprocmask(SIG_BLOCK, &set, &saved_);
}

SignalBlock::~SignalBlock() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

void ReadOriginalModes(TtyModes* modes, int fd) {
  if (modes->fd >= 0) return;  // read once: later reads could see our own
  if (tcgetattr(fd, &modes->original) != 0) return;
  modes->applied = modes->original;
  modes->fd = fd;
}

// The modes this program runs the terminal in: keys byte by byte without
// echo, signals kept (Ctrl+C, Ctrl+\, Ctrl+Z act as in any terminal
// program); output unprocessed while drawing, so a line feed only moves down.
void SetModes(TtyModes* modes, bool raw_input, bool raw_output) {
  if (modes->fd < 0) return;
  termios wanted = modes->original;
  if (raw_input) {
    wanted.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    wanted.c_cflag = (wanted.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS8;
    wanted.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN);
    wanted.c_cc[VMIN] = 1;
    wanted.c_cc[VTIME] = 0;
  }
  if (raw_output) wanted.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  SignalBlock block;
  modes->applied = wanted;
  modes->wanted = 1;
  ApplyModes(modes);
}

void InstallEndingHandlers() {
  for (int i = 0; i < kOutsideSignals; ++i) InstallHandler(kEndingSignals[i], OnEndingSignal);
  for (int rt = SIGRTMIN; rt <= SIGRTMAX; ++rt) InstallHandler(rt, OnEndingSignal);
}

void InstallProcessHooks(const std::string& start, const std::string& restore, void (*on_exit)()) {
  if (g_process_hooks_installed) return;
  g_process_hooks_installed = true;
  CopySequence(start, g_term.start, sizeof g_term.start, &g_term.start_size);
  CopySequence(restore, g_term.restore, sizeof g_term.restore, &g_term.restore_size);
  int fds[2];
  if (pipe(fds) == 0) {
    for (int fd : fds) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);  // a pipe, not the tty
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    g_term.wake_read = fds[0];
    g_term.wake_write = fds[1];
  }
  for (int signal_number : kEndingSignals) InstallHandler(signal_number, OnEndingSignal);
  for (int rt = SIGRTMIN; rt <= SIGRTMAX; ++rt) InstallHandler(rt, OnEndingSignal);
  InstallHandler(SIGTSTP, OnStopSignal);
  InstallHandler(SIGCONT, OnContinueSignal);
  InstallHandler(SIGWINCH, OnResizeSignal);
  std::atexit(on_exit);
  g_previous_terminate = std::set_terminate(OnTerminate);
}

}  // namespace console
