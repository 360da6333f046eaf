// The terminal device on a real pseudo-terminal.
//
// Each test runs a small program on the device in a child process, the way a
// shell runs a program: a session leader (the "shell") owns the terminal and
// starts the program in a process group of its own in the foreground, so the
// terminal's signals (Ctrl+C, Ctrl+Z, hang-up) reach it as they would for a
// user.  The test plays the terminal: it types into the master side, reads
// what the program draws, looks at the terminal's modes, and gets the
// program's wait statuses relayed by the shell.
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
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "console/device.h"
#include "console/vt/vt_screen.h"
#include "gtest/gtest.h"

namespace console {
namespace {

// Generous: only a broken device ever waits this long.
constexpr int kWaitMs = 5000;

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

std::string HexBytes(const std::string& bytes) {
  std::string text;
  for (char byte : bytes) text += Hex(static_cast<unsigned char>(byte), 2);
  return text;
}

std::string InfoText(const BufferInfo& info) {
  return std::to_string(info.size.x) + "x" + std::to_string(info.size.y) + " window " +
         std::to_string(info.window.left) + " " + std::to_string(info.window.top) + " " +
         std::to_string(info.window.right) + " " + std::to_string(info.window.bottom) + " cursor " +
         std::to_string(info.cursor.x) + " " + std::to_string(info.cursor.y) + " attr " +
         std::to_string(info.attribute);
}

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

/// The program's main loop: reports every key pressed ("key <vk> <char>") and
/// every other event with the buffer info after it, until 'q' is pressed.
/// It sleeps long between polls, so only input may wake it in time.
void RunUntilQuit(Device& device, const ProgramSide& side) {
  for (;;) {
    InputEvent event;
    if (!device.NextInputEvent(&event)) {
      device.Sleep(60000);
    } else if (event.type == InputEvent::Type::kOther) {
      BufferInfo info;
      side.Report(device.GetBufferInfo(&info) ? "resized " + InfoText(info) : "resized ?");
    } else if (event.key.key_down) {
      side.Report("key " + Hex(event.key.virtual_key, 2) + " " + Hex(event.key.character, 2));
      if (event.key.character == 'q') return;
    }
  }
}

/// Raw input, a cell drawn, then the main loop.
void DrawAndRun(const ProgramSide& side) {
  auto device = MakePlatformDevice();
  device->SetInputMode(0x01F7);
  device->WriteCells("Hi", 2, 7, Coord{0, 0});
  device->Flush();
  side.Report("ready");
  RunUntilQuit(*device, side);
}

// --- The test's side --------------------------------------------------------------

struct PtySetup {
  const char* locale = "C";
  unsigned short columns = 80;
  unsigned short rows = 25;
  cc_t erase = 0x7F;
  bool stdout_to_pipe = false;
  bool stdin_from_null = false;
  bool shell_forwards_hangup = false;  // as bash does for its jobs
};

pid_t g_shell_program = 0;
void ForwardHangUp(int) { kill(g_shell_program, SIGHUP); }

/// A program running on a fresh pseudo-terminal, and the test's view of it.
class PtySession {
 public:
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
void PtySession::RunShell(const PtySetup& setup,
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
void PtySession::RunProgram(const PtySetup& setup,
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
std::string ModesDifference(const termios& a, const termios& b) {
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
std::string RawModeProblems(const termios& modes) {
  std::string problems;
  if ((modes.c_lflag & (ECHO | ICANON | IEXTEN)) != 0) problems += " echo/canonical";
  if ((modes.c_lflag & ISIG) == 0) problems += " no-signals";
  if ((modes.c_iflag & (BRKINT | ICRNL | INPCK | ISTRIP | IXON)) != 0) problems += " iflag";
  if ((modes.c_cflag & CSIZE) != CS8) problems += " not-8-bit";
  if (modes.c_cc[VMIN] != 1 || modes.c_cc[VTIME] != 0) problems += " min/time";
  return problems;
}

// The terminal was set up for drawing and put back after it.
bool RestoredAfterDrawing(const std::string& output) {
  size_t start = output.rfind(VtScreen::StartSequence());
  size_t restore = output.rfind(VtScreen::RestoreSequence());
  return start != std::string::npos && restore != std::string::npos && restore > start;
}

// --- Tests -----------------------------------------------------------------------

enum class Ending { kReturn, kExit, kTerminate };

TEST(VtDevice, RawModeWhileRunningAndModesPutBackOnEveryWayOut) {
  struct Case {
    const char* name;
    Ending ending;
    bool exited;  // else ended by signal
    int code;     // exit code or signal
  };
  const Case cases[] = {
      {"device destroyed", Ending::kReturn, true, 0},
      {"exit() with the device alive", Ending::kExit, true, 0},
      {"std::terminate", Ending::kTerminate, false, SIGABRT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PtySession session(PtySetup{}, [&](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      uint32_t mode = 0;
      side.Report(device->GetInputMode(&mode) ? "mode " + Hex(mode, 4) : "no mode");
      device->SetInputMode(mode | kProcessedInput);
      device->WriteCells("Hi", 2, 7, Coord{0, 0});
      device->Flush();
      side.Report("ready");
      RunUntilQuit(*device, side);
      if (c.ending == Ending::kExit) {
        device.release();  // left to the exit hook
        std::exit(0);
      }
      if (c.ending == Ending::kTerminate) std::terminate();
    });
    ASSERT_TRUE(session.started());
    const termios before = session.initial_modes();
    ASSERT_TRUE(session.AwaitReport("ready"));
    EXPECT_TRUE(session.AwaitReport("mode 01f7"));
    const termios during = session.Modes();
    EXPECT_EQ("", RawModeProblems(during));
    EXPECT_EQ(0u, during.c_oflag & OPOST) << "a line feed must only move down";
    EXPECT_TRUE(session.AwaitOutput("Hi"));
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    if (c.exited) {
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(c.code, WEXITSTATUS(status));
    } else {
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(c.code, WTERMSIG(status));
    }
    EXPECT_EQ("", ModesDifference(before, session.Modes()));
    EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    EXPECT_TRUE(RestoredAfterDrawing(session.output()));
    if (c.ending == Ending::kTerminate) {
      // Put back before the runtime prints why it terminates.
      ASSERT_TRUE(session.AwaitOutput("terminat"));
      EXPECT_LT(session.output().rfind(VtScreen::RestoreSequence()),
                session.output().find("terminat"));
    }
  }
}

TEST(VtDevice, SignalsEndTheProgramWithTheirStatusAndModesPutBack) {
  struct Case {
    const char* name;
    const char* typed;  // nullptr: the signal is sent from outside
    int signal_number;
  };
  const Case cases[] = {
      {"Ctrl+C", "\x03", SIGINT}, {"Ctrl+\\", "\x1c", SIGQUIT}, {"kill", nullptr, SIGTERM},
      {"kill", nullptr, SIGHUP},  {"kill", nullptr, SIGINT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + strsignal(c.signal_number));
    PtySession session(PtySetup{}, DrawAndRun);
    ASSERT_TRUE(session.started());
    const termios before = session.initial_modes();
    ASSERT_TRUE(session.AwaitReport("ready"));
    ASSERT_EQ("", RawModeProblems(session.Modes()));
    if (c.typed != nullptr) {
      session.Type(c.typed);
    } else {
      session.Signal(c.signal_number);
    }
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(c.signal_number, WTERMSIG(status));
    EXPECT_EQ("", ModesDifference(before, session.Modes()));
    EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    EXPECT_TRUE(RestoredAfterDrawing(session.output()));
  }
}

TEST(VtDevice, KeysArriveAsKeyRecords) {
  struct Key {
    const char* typed;
    std::vector<std::string> reported;  // "key <vk> <char>" of each key press
  };
  struct Case {
    const char* locale;
    cc_t erase;
    std::vector<Key> keys;
  };
  const Case cases[] = {
      {"C.UTF-8",
       0x7F,
       {{"a", {"key 41 61"}},
        {"\x1b[A", {"key 26 00"}},
        {"\r", {"key 0d 0d"}},  // Enter stays CR
        {"\x7f", {"key 08 08"}},
        {"\x08", {"key 08 7f"}},
        {"\x13\x11", {"key 53 13", "key 51 11"}},  // Ctrl+S, Ctrl+Q reach the program
        {"\x1b", {"key 1b 1b"}},                   // a lone Escape, settled in time
        {"\xd0\x90", {"key 00 c0"}}}},
      // The C locale, and one that is not installed: the terminal is read
      // as UTF-8 all the same.
      {"C", 0x08, {{"\x08", {"key 08 08"}}, {"\x7f", {"key 08 7f"}}, {"\xd0\x90", {"key 00 c0"}}}},
      {"xx_XX.KOI8-R", 0x7F, {{"\xd0\x90", {"key 00 c0"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    PtySetup setup;
    setup.locale = c.locale;
    setup.erase = c.erase;
    PtySession session(setup, DrawAndRun);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    std::vector<std::string> expected;
    for (const Key& key : c.keys) {
      SCOPED_TRACE(HexBytes(key.typed));
      session.Type(key.typed);
      expected.insert(expected.end(), key.reported.begin(), key.reported.end());
      EXPECT_EQ(expected, session.AwaitReports("key ", expected.size()));
    }
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

// The buffer takes the terminal's width, then and after a resize; the
// window keeps the height it started with (the text view is fixed with it).
// A shorter terminal shows the rows around the cursor; a taller one adds
// buffer rows below the window, for output to scroll into.
TEST(VtDevice, BufferInfoFollowsTheWidthAndKeepsTheHeight) {
  struct Case {
    unsigned short columns, rows;
    const char* info;
    unsigned short new_rows;  // resized to 90 x new_rows
    const char* resized;
  };
  const Case cases[] = {
      {100, 30, "info 100x30 window 0 0 99 29 cursor 5 3 attr 7", 20,
       "resized 90x30 window 0 0 89 29 cursor 5 3 attr 7"},
      {0, 0, "info 80x25 window 0 0 79 24 cursor 5 3 attr 7", 20,
       "resized 90x25 window 0 0 89 24 cursor 5 3 attr 7"},
      {80, 25, "info 80x25 window 0 0 79 24 cursor 5 3 attr 7", 40,
       "resized 90x40 window 0 0 89 24 cursor 5 3 attr 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    PtySetup setup;
    setup.columns = c.columns;
    setup.rows = c.rows;
    PtySession session(setup, [](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      device->SetInputMode(0x01F7);
      device->SetCursorPosition(Coord{5, 3});
      BufferInfo info;
      side.Report(device->GetBufferInfo(&info) ? "info " + InfoText(info) : "no info");
      device->WriteCells("Hi", 2, 7, Coord{0, 0});
      device->Flush();
      side.Report("ready");
      RunUntilQuit(*device, side);
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    EXPECT_TRUE(session.AwaitReport(c.info)) << ::testing::PrintToString(session.reports());
    ASSERT_TRUE(session.AwaitOutput("Hi"));
    const size_t shown = session.output().size();
    session.Resize(90, c.new_rows);
    EXPECT_TRUE(session.AwaitReport(c.resized)) << ::testing::PrintToString(session.reports());
    EXPECT_TRUE(session.AwaitOutput("Hi", shown)) << "repainted after the resize";
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

TEST(VtDevice, FlushShowsCellsThroughTheTerminalsEncoding) {
  struct Case {
    const char* locale;
    const char* shown;   // for the cells "Hi", 0xC0 (Cyrillic A), 0x01
    const char* native;  // the typed line "\xC0" for a file name
  };
  const Case cases[] = {
      {"C.UTF-8", "Hi\xd0\x90\xe2\x98\xba", "native d090"},
      {"C", "Hi\xd0\x90\xe2\x98\xba", "native d090"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    PtySetup setup;
    setup.locale = c.locale;
    PtySession session(setup, [](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      device->WriteCells("Hi\xC0\x01", 4, 7, Coord{3, 2});
      device->Flush();
      side.Report("native " + HexBytes(device->TypedLineToNative("\xC0")));
      side.Report("flushed");
      side.WaitGo();
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("flushed"));
    // The program now waits: what it drew came out through Flush alone.
    EXPECT_TRUE(session.AwaitOutput(c.shown)) << ::testing::PrintToString(session.output());
    EXPECT_EQ(0u, session.output().find(VtScreen::StartSequence()));
    EXPECT_TRUE(session.AwaitReport(c.native));
    session.Go();
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    const std::string& output = session.output();
    // Last: the colours put back, the cursor where the model has it, and
    // shown, since whether it was shown before is not known here.
    EXPECT_EQ(output.substr(output.rfind(VtScreen::RestoreSequence())),
              VtScreen::RestoreSequence() + "\x1b[1;1H\x1b[?25h")
        << "the terminal is put back last";
  }
}

// The terminal is asked whether its cursor is shown; its answers are no
// keys, and the cursor is left as they said.
TEST(VtDevice, CursorVisibilityIsPutBackAsTheTerminalReportedIt) {
  struct Case {
    const char* answer;    // to DECRQM for mode 25, before the device attributes
    const char* restored;  // the cursor's last visibility sequence
  };
  const Case cases[] = {
      {"\x1b[?25;2$y", "\x1b[?25l"},  // found hidden: hidden again
      {"\x1b[?25;1$y", "\x1b[?25h"},
      {"", "\x1b[?25h"},  // no answer (tmux): shown
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.answer));
    PtySession session(PtySetup{}, DrawAndRun);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitOutput("\x1b[?25$p\x1b[c"));
    session.Type(std::string(c.answer) + "\x1b[?62;22c");
    ASSERT_TRUE(session.AwaitReport("ready"));
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(session.reports(), (std::vector<std::string>{"ready", "key 51 71"}));
    ASSERT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    const std::string& output = session.output();
    const size_t last = output.rfind("\x1b[?25");
    ASSERT_NE(last, std::string::npos);
    EXPECT_GT(last, output.rfind(VtScreen::RestoreSequence()));
    EXPECT_EQ(output.substr(last), c.restored);
  }
}

// Lines for standard error on the terminal drawn on wait until it is put
// back, also on the way out by a signal, and stand on a line of their own.
TEST(VtDevice, ErrorLinesComeAfterTheTerminalIsPutBack) {
  for (bool by_signal : {false, true}) {
    SCOPED_TRACE(by_signal ? "SIGTERM" : "end of the run");
    PtySession session(PtySetup{}, [](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      device->SetInputMode(0x01F7);
      device->WriteCells("Hi", 2, 7, Coord{0, 0});
      device->SetCursorPosition(Coord{2, 0});
      device->Flush();
      device->WriteErrorLine("patconv: first");
      device->WriteErrorLine("patconv: second");
      side.Report("ready");
      RunUntilQuit(*device, side);
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    ASSERT_TRUE(session.AwaitOutput("Hi"));
    if (by_signal) {
      session.Signal(SIGTERM);
    } else {
      session.Type("q");
    }
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    ASSERT_TRUE(session.AwaitOutput("second\r\n"));  // the terminal adds the CR
    const std::string& output = session.output();
    const size_t lines = output.find("patconv: first");
    ASSERT_NE(lines, std::string::npos);
    EXPECT_GT(lines, output.rfind(VtScreen::RestoreSequence()));
    EXPECT_EQ(output.substr(lines - 2), "\r\npatconv: first\r\npatconv: second\r\n");
  }
}

TEST(VtDevice, StandardOutputRedirectedReadsKeysAndDrawsNothing) {
  PtySetup setup;
  setup.stdout_to_pipe = true;
  PtySession session(setup, [](const ProgramSide& side) {
    {
      auto device = MakePlatformDevice();
      BufferInfo info;
      side.Report(device->GetBufferInfo(&info) ? "info" : "no info");
      side.Report(device->WriteCells("x", 1, 7, Coord{0, 0}) ? "cells" : "no cells");
      uint32_t mode = 0;
      side.Report(device->GetInputMode(&mode) ? "mode " + Hex(mode, 4) : "no mode");
      device->SetInputMode(mode | kProcessedInput);
      side.Report("wrote " + std::to_string(device->WriteStdout("abc\r\n", 5)));
      device->Beep(1000, 250);
      device->Flush();
      side.Report("ready");
      RunUntilQuit(*device, side);
    }
    ssize_t ignored = write(STDERR_FILENO, "END", 3);
    (void)ignored;
  });
  ASSERT_TRUE(session.started());
  const termios before = session.initial_modes();
  ASSERT_TRUE(session.AwaitReport("ready"));
  const termios during = session.Modes();
  EXPECT_EQ("", RawModeProblems(during));
  EXPECT_EQ(before.c_oflag, during.c_oflag) << "nothing is drawn on the terminal";
  session.Type("q");
  int status = 0;
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(session.AwaitOutput("END"));
  EXPECT_EQ("END", session.output()) << "no echo, no drawing, nothing to put back";
  EXPECT_EQ("abc\r\n", session.stdout_data());
  EXPECT_EQ((std::vector<std::string>{"no info", "no cells", "mode 01f7", "wrote 5", "ready",
                                      "key 51 71"}),
            session.reports());
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
}

TEST(VtDevice, StandardInputRedirectedDrawsWithoutTouchingInputModes) {
  PtySetup setup;
  setup.stdin_from_null = true;
  PtySession session(setup, [](const ProgramSide& side) {
    auto device = MakePlatformDevice();
    uint32_t mode = 0;
    side.Report(device->GetInputMode(&mode) ? "mode" : "no mode");
    side.Report(device->SetInputMode(0x01F7) ? "set" : "not set");
    BufferInfo info;
    side.Report(device->GetBufferInfo(&info) ? "info " + InfoText(info) : "no info");
    device->WriteCells("Hi", 2, 7, Coord{0, 0});
    device->Flush();
    char byte = 0;
    side.Report("stdin " + std::to_string(device->ReadStdin(&byte, 1)));
    InputEvent event;
    side.Report(device->NextInputEvent(&event) ? "event" : "no event");
    side.Report("ready");
    side.WaitGo();
  });
  ASSERT_TRUE(session.started());
  const termios before = session.initial_modes();
  ASSERT_TRUE(session.AwaitReport("ready"));
  const termios during = session.Modes();
  EXPECT_EQ(before.c_lflag, during.c_lflag);
  EXPECT_EQ(before.c_iflag, during.c_iflag);
  EXPECT_TRUE(session.AwaitOutput("Hi"));
  session.Go();
  int status = 0;
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ((std::vector<std::string>{"no mode", "not set",
                                      "info 80x25 window 0 0 79 24 cursor 0 0 attr 7", "stdin 0",
                                      "no event", "ready"}),
            session.reports());
  EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
  EXPECT_TRUE(RestoredAfterDrawing(session.output()));
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
}

TEST(VtDevice, HangUpEndsTheProgramInsteadOfSpinning) {
  // Without the shell's forwarding only the failing read tells the program.
  for (bool forwarded : {false, true}) {
    SCOPED_TRACE(forwarded ? "SIGHUP forwarded" : "read fails");
    PtySetup setup;
    setup.shell_forwards_hangup = forwarded;
    PtySession session(setup, DrawAndRun);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    session.HangUp();
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(SIGHUP, WTERMSIG(status));
  }
}

TEST(VtDevice, CtrlZStopsWithModesPutBackAndContinueRepaints) {
  PtySession session(PtySetup{}, DrawAndRun);
  ASSERT_TRUE(session.started());
  const termios before = session.initial_modes();
  ASSERT_TRUE(session.AwaitReport("ready"));
  ASSERT_TRUE(session.AwaitOutput("Hi"));
  session.Type("\x1a");
  int status = 0;
  ASSERT_TRUE(session.AwaitStatus(&status));
  ASSERT_TRUE(WIFSTOPPED(status)) << status;
  EXPECT_EQ(SIGTSTP, WSTOPSIG(status));
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
  EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
  EXPECT_TRUE(RestoredAfterDrawing(session.output()));

  const size_t stopped_at = session.output().size();
  session.Signal(SIGCONT);
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFCONTINUED(status)) << status;
  EXPECT_TRUE(session.AwaitOutput(VtScreen::StartSequence(), stopped_at));
  EXPECT_TRUE(session.AwaitOutput("Hi", stopped_at)) << "repainted";
  EXPECT_EQ("", RawModeProblems(session.Modes()));

  session.Type("q");
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
}

}  // namespace
}  // namespace console
