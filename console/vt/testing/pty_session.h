// A pseudo-terminal for tests of the terminal device.
//
// Each session runs a small program on the device in a child process, the
// way a shell runs a program: a session leader (the "shell") owns the
// terminal and starts the program in a process group of its own in the
// foreground, so the terminal's signals (Ctrl+C, Ctrl+Z, hang-up) reach it as
// they would for a user.  The test plays the terminal: it types into the
// master side, reads what the program draws, looks at the terminal's modes,
// and gets the program's wait statuses relayed by the shell.
//
// Tests only (POSIX, openpty from libutil).
#ifndef PATCONV_CONSOLE_VT_TESTING_PTY_SESSION_H_
#define PATCONV_CONSOLE_VT_TESTING_PTY_SESSION_H_

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace console {

// --- The program's side -------------------------------------------------------------

/// What the program in the child has to talk to the test with.
class ProgramSide {
 public:
  ProgramSide(int report_fd, int go_fd) : report_fd_(report_fd), go_fd_(go_fd) {}

  /// Sends one line to the test.
  void Report(const std::string& line) const {
    std::string text = line + "\n";
    ssize_t ignored = write(report_fd_, text.data(), text.size());
    (void)ignored;
  }

  /// Waits until the test says Go().
  void WaitGo() const {
    char byte = 0;
    while (read(go_fd_, &byte, 1) < 0 && errno == EINTR) {
    }
  }

 private:
  int report_fd_;
  int go_fd_;
};

// --- The test's side --------------------------------------------------------------

/// How the terminal and the program's standard streams are set up.
struct PtySetup {
  const char* locale = "C";
  unsigned short columns = 80;
  unsigned short rows = 25;
  cc_t erase = 0x7F;
  bool stdout_to_pipe = false;
  bool stdin_from_null = false;
  bool shell_forwards_hangup = false;  // as bash does for its jobs
};

// The program a shell that forwards hang-ups forwards them to.
inline pid_t g_shell_program = 0;
inline void ForwardHangUp(int) { kill(g_shell_program, SIGHUP); }

/// A program running on a fresh pseudo-terminal, and the test's view of it.
class PtySession {
 public:
  /// Generous: only a broken device ever waits this long.
  static constexpr int kWaitMs = 5000;

  PtySession(const PtySetup& setup, const std::function<void(const ProgramSide&)>& body) {
    winsize size{};
    size.ws_col = setup.columns;
    size.ws_row = setup.rows;
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) return;
    termios modes{};
    tcgetattr(slave_, &modes);
    modes.c_cc[VERASE] = setup.erase;
    tcsetattr(slave_, TCSANOW, &modes);
    tcgetattr(slave_, &initial_modes_);
    int report[2], status[2], go[2], out[2] = {-1, -1};
    if (pipe(report) != 0 || pipe(status) != 0 || pipe(go) != 0) return;
    if (setup.stdout_to_pipe && pipe(out) != 0) return;
    std::fflush(nullptr);  // nothing buffered here may come out twice
    shell_ = fork();
    if (shell_ == 0) {
      close(master_);
      close(report[0]);
      close(status[0]);
      close(go[1]);
      if (out[0] >= 0) close(out[0]);
      RunShell(setup, body, slave_, report[1], status[1], go[0], out[1]);
    }
    close(report[1]);
    close(status[1]);
    close(go[0]);
    if (out[1] >= 0) close(out[1]);
    report_ = report[0];
    status_ = status[0];
    go_ = go[1];
    stdout_ = out[0];
    AwaitCondition([this] { return statuses_.size() >= 1; });
    if (!statuses_.empty()) program_ = statuses_[0];
  }

  ~PtySession() {
    if (program_ > 0 && !program_ended_) kill(program_, SIGKILL);
    for (int fd : {master_, slave_, report_, status_, go_, stdout_}) {
      if (fd >= 0) close(fd);
    }
    if (shell_ > 0) waitpid(shell_, nullptr, 0);
  }

  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  bool started() const { return program_ > 0; }
  /// The terminal's modes before the program started.
  const termios& initial_modes() const { return initial_modes_; }
  /// The terminal's modes now.
  termios Modes() const {
    termios modes{};
    tcgetattr(slave_, &modes);
    return modes;
  }
  /// What a user types.
  void Type(const std::string& bytes) const {
    ssize_t ignored = write(master_, bytes.data(), bytes.size());
    (void)ignored;
  }
  void Resize(unsigned short columns, unsigned short rows) const {
    winsize size{};
    size.ws_col = columns;
    size.ws_row = rows;
    ioctl(master_, TIOCSWINSZ, &size);
  }
  void Signal(int signal_number) const { kill(program_, signal_number); }
  void Go() const {
    ssize_t ignored = write(go_, "g", 1);
    (void)ignored;
  }
  /// The terminal goes away, as when its window is closed.
  void HangUp() {
    close(master_);
    close(slave_);
    master_ = slave_ = -1;
  }

  bool AwaitReport(const std::string& line) {
    return AwaitCondition([&] {
      for (const auto& report : reports_) {
        if (report == line) return true;
      }
      return false;
    });
  }
  /// The lines reported that begin with `prefix`, once there are `count`.
  std::vector<std::string> AwaitReports(const std::string& prefix, size_t count) {
    std::vector<std::string> found;
    AwaitCondition([&] {
      found.clear();
      for (const auto& report : reports_) {
        if (report.compare(0, prefix.size(), prefix) == 0) found.push_back(report);
      }
      return found.size() >= count;
    });
    return found;
  }
  bool AwaitOutput(const std::string& text, size_t from = 0) {
    return AwaitCondition([&] { return output_.find(text, from) != std::string::npos; });
  }
  /// The next wait status of the program (stopped, continued or ended).
  bool AwaitStatus(int* status) {
    if (!AwaitCondition([this] { return statuses_.size() > next_status_; })) return false;
    *status = statuses_[next_status_++];
    if (WIFEXITED(*status) || WIFSIGNALED(*status)) program_ended_ = true;
    return true;
  }

  const std::string& output() const { return output_; }
  const std::string& stdout_data() const { return stdout_data_; }
  const std::vector<std::string>& reports() const { return reports_; }

 private:
  [[noreturn]] static void RunShell(const PtySetup& setup,
                                    const std::function<void(const ProgramSide&)>& body, int slave,
                                    int report, int status, int go, int out);
  [[noreturn]] static void RunProgram(const PtySetup& setup,
                                      const std::function<void(const ProgramSide&)>& body,
                                      int slave, int report, int go, int out);

  bool AwaitCondition(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!done()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Pump(static_cast<int>(left.count()))) return false;
    }
    return true;
  }

  // Waits for data on any channel from the child and takes it; false when
  // nothing is left to wait for or the time is up.
  bool Pump(int timeout_ms) {
    int* fds[] = {&master_, &report_, &status_, &stdout_};
    std::string* sinks[] = {&output_, &report_text_, &status_bytes_, &stdout_data_};
    pollfd polled[4];
    for (int i = 0; i < 4; ++i) polled[i] = pollfd{*fds[i], POLLIN, 0};
    int ready = poll(polled, 4, timeout_ms);
    if (ready <= 0) return ready < 0 && errno == EINTR;
    for (int i = 0; i < 4; ++i) {
      if (polled[i].fd < 0 || polled[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = read(*fds[i], buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        close(*fds[i]);
        *fds[i] = -1;
      }
    }
    for (size_t end; (end = report_text_.find('\n')) != std::string::npos;) {
      reports_.push_back(report_text_.substr(0, end));
      report_text_.erase(0, end + 1);
    }
    while (status_bytes_.size() >= sizeof(int)) {
      int value = 0;
      std::memcpy(&value, status_bytes_.data(), sizeof value);
      statuses_.push_back(value);
      status_bytes_.erase(0, sizeof value);
    }
    return true;
  }

  termios initial_modes_{};
  int master_ = -1;
  int slave_ = -1;
  int report_ = -1;
  int status_ = -1;
  int go_ = -1;
  int stdout_ = -1;
  pid_t shell_ = -1;
  pid_t program_ = -1;
  bool program_ended_ = false;
  std::string output_;
  std::string report_text_;
  std::string status_bytes_;
  std::string stdout_data_;
  std::vector<std::string> reports_;
  std::vector<int> statuses_;  // the program's pid first
  size_t next_status_ = 1;
};

// The session leader: owns the terminal, starts the program in the
// foreground and relays each of its wait statuses.
inline void PtySession::RunShell(const PtySetup& setup,
                                 const std::function<void(const ProgramSide&)>& body, int slave,
                                 int report, int status, int go, int out) {
  setsid();
  ioctl(slave, TIOCSCTTY, 0);
  signal(SIGHUP, SIG_IGN);  // the program decides what a hang-up does
  pid_t program = fork();
  if (program == 0) {
    close(status);
    RunProgram(setup, body, slave, report, go, out);
  }
  setpgid(program, program);
  close(report);
  close(go);
  if (out >= 0) close(out);
  g_shell_program = program;
  if (setup.shell_forwards_hangup) signal(SIGHUP, ForwardHangUp);
  ssize_t ignored = write(status, &program, sizeof program);
  for (;;) {
    int program_status = 0;
    pid_t waited = waitpid(program, &program_status, WUNTRACED | WCONTINUED);
    if (waited < 0 && errno == EINTR) continue;
    if (waited < 0) break;
    ignored = write(status, &program_status, sizeof program_status);
    if (WIFEXITED(program_status) || WIFSIGNALED(program_status)) break;
  }
  (void)ignored;
  _exit(0);
}

// The program: its own process group in the terminal's foreground, the
// standard streams as the setup says, no core files.
inline void PtySession::RunProgram(const PtySetup& setup,
                                   const std::function<void(const ProgramSide&)>& body, int slave,
                                   int report, int go, int out) {
  // Out of the way of the standard streams, which the test runner may have
  // left closed so that these landed there.
  for (int* fd : {&slave, &report, &go, &out}) {
    if (*fd < 0) continue;
    int lifted = fcntl(*fd, F_DUPFD, 10);
    close(*fd);
    *fd = lifted;
  }
  setpgid(0, 0);
  signal(SIGTTOU, SIG_IGN);
  tcsetpgrp(slave, getpid());
  // As a job control shell starts a foreground job, whatever the test
  // runner ignores or blocks.
  for (int signal_number : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP, SIGTTOU, SIGTTIN, SIGCONT,
                            SIGWINCH, SIGPIPE, SIGABRT}) {
    signal(signal_number, SIG_DFL);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int in = setup.stdin_from_null ? open("/dev/null", O_RDONLY) : slave;
  dup2(in, STDIN_FILENO);
  dup2(out >= 0 ? out : slave, STDOUT_FILENO);
  dup2(slave, STDERR_FILENO);
  for (int fd : {in, out, slave}) {
    if (fd > STDERR_FILENO) close(fd);
  }
  prctl(PR_SET_DUMPABLE, 0);
  rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  setenv("LC_ALL", setup.locale, 1);
  body(ProgramSide(report, go));
  std::exit(0);
}

// The terminal modes differ in a field: which ones, or "" when none.
inline std::string ModesDifference(const termios& a, const termios& b) {
  std::string difference;
  if (a.c_iflag != b.c_iflag) difference += " iflag";
  if (a.c_oflag != b.c_oflag) difference += " oflag";
  if (a.c_cflag != b.c_cflag) difference += " cflag";
  if (a.c_lflag != b.c_lflag) difference += " lflag";
  if (a.c_line != b.c_line) difference += " line";
  for (size_t i = 0; i < NCCS; ++i) {
    if (a.c_cc[i] != b.c_cc[i]) difference += " cc[" + std::to_string(i) + "]";
  }
  if (cfgetispeed(&a) != cfgetispeed(&b)) difference += " ispeed";
  if (cfgetospeed(&a) != cfgetospeed(&b)) difference += " ospeed";
  return difference;
}

// What keeps `modes` from being the raw mode of a running program: keys byte
// by byte, no echo, 8 bits, no flow control, the signal keys still working.
inline std::string RawModeProblems(const termios& modes) {
  std::string problems;
  if ((modes.c_lflag & (ECHO | ICANON | IEXTEN)) != 0) problems += " echo/canonical";
  if ((modes.c_lflag & ISIG) == 0) problems += " no-signals";
  if ((modes.c_iflag & (BRKINT | ICRNL | INPCK | ISTRIP | IXON)) != 0) problems += " iflag";
  if ((modes.c_cflag & CSIZE) != CS8) problems += " not-8-bit";
  if (modes.c_cc[VMIN] != 1 || modes.c_cc[VTIME] != 0) problems += " min/time";
  return problems;
}

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_TESTING_PTY_SESSION_H_
