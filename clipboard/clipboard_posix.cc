// The clipboard of a Linux desktop.  It belongs to a live Wayland or X
// client, which a program that ends at once cannot be, so it is reached as
// editors reach it: through the standard tools found on PATH, wl-paste and
// wl-copy on Wayland, else xclip or xsel on X.  The setters leave an owner
// of the clipboard running in the background.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "clipboard/clipboard.h"

extern char** environ;

namespace clipboard {
namespace {

// How long one tool may take.  An owner of the clipboard that does not
// answer must not hang the run.
constexpr int kTimeLimitSeconds = 10;

// The command lines of a pair of tools, each ended by a null.
struct Tools {
  const char* reader[5];
  const char* setter[5];
  // What the reader says on standard error, failing, when the clipboard is
  // empty or holds no text.
  const char* no_text_marks[2];
};

// wl-paste adds a line end to text unless told not to.
constexpr Tools kWayland = {{"wl-paste", "--no-newline", "--type", "text", nullptr},
                            {"wl-copy", "--type", "text/plain", nullptr},
                            {"Nothing is copied", "No suitable type"}};
constexpr Tools kXclip = {{"xclip", "-o", "-selection", "clipboard", nullptr},
                          {"xclip", "-i", "-selection", "clipboard", nullptr},
                          {"not available", nullptr}};
// xsel reads an empty clipboard as an empty text.
constexpr Tools kXsel = {{"xsel", "--output", "--clipboard", nullptr},
                         {"xsel", "--input", "--clipboard", nullptr},
                         {nullptr, nullptr}};

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// The path of an executable file `name` in a directory of PATH; empty when
// there is none.
std::string FindOnPath(const char* name) {
  const char* variable = std::getenv("PATH");
  const std::string path = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0;;) {
    const size_t end = path.find(':', start);
    std::string directory = path.substr(start, end - start);
    if (directory.empty()) directory = ".";
    const std::string candidate = directory + "/" + name;
    struct stat status;
    if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == std::string::npos) return {};
    start = end + 1;
  }
}

int64_t NowMs() {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int MsLeft(int64_t deadline) {
  const int64_t left = deadline - NowMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

// A descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// How one run of a tool went.
struct ToolRun {
  int start_error = 0;  // errno of a start that failed
  bool timed_out = false;
  int exit_status = -1;  // -1: ended by a signal
  std::string output;
  std::string errors;  // the first line of its standard error
};

// Waits on `fd` for `events` until the deadline; false when the time is up.
bool AwaitReady(int fd, short events, int64_t deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, MsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // the read or write tells what is wrong
  }
}

// Reads the tool's output to its end; false when the time is up first.
bool ReadToEnd(int fd, std::string* out, int64_t deadline) {
  char buffer[65536];
  for (;;) {
    if (!AwaitReady(fd, POLLIN, deadline)) return false;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      out->append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      return true;  // its end, or a failure that its exit status will tell
    }
  }
}

// Writes the text to the tool's input; false when the time is up first.
// A tool that ends without reading it all fails by its exit status (the
// write then fails with EPIPE: SIGPIPE is ignored).
bool WriteAll(int fd, std::string_view text, int64_t deadline) {
  while (!text.empty()) {
    if (!AwaitReady(fd, POLLOUT, deadline)) return false;
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n > 0) {
      text.remove_prefix(static_cast<size_t>(n));
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return true;
    }
  }
  return true;
}

// Waits for the tool's end until the deadline, then ends it; its exit
// status, or -1.  *timed_out tells whether it had to be ended.
int AwaitExit(pid_t pid, int64_t deadline, bool* timed_out) {
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return -1;
    if (MsLeft(deadline) == 0) {
      *timed_out = true;
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return -1;
    }
    const timespec pause{0, 5 * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first line of what a tool wrote to its standard error.
std::string FirstLine(std::FILE* errors) {
  if (errors == nullptr) return {};
  std::rewind(errors);
  char buffer[512];
  const size_t n = std::fread(buffer, 1, sizeof buffer, errors);
  std::string line(buffer, n);
  line = line.substr(0, line.find('\n'));
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// Starts `argv` at `path` with its standard streams on the given
// descriptors, in the default signal state.  A setter goes into a process
// group of its own: the owner it leaves behind must outlive a terminal
// window that closes when this program ends (the hangup goes to the
// foreground group) and a Ctrl+C typed after.
int Spawn(const std::string& path, const char* const* argv, const int streams[3], bool own_group,
          pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int i = 0; i < 3; ++i) posix_spawn_file_actions_adddup2(&actions, streams[i], i);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (own_group) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  posix_spawnattr_setflags(&attributes, flags);
  const int result = ::posix_spawn(pid, path.c_str(), &actions, &attributes,
                                   const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return result;
}

// Runs a tool: a reader's output is read to its end, a setter is given
// `input`.  The setter's background owner keeps the standard output and
// error it is given: /dev/null, and a file, never a pipe that this side
// would read to its end (which would come only when the owner ends).
ToolRun RunTool(const std::string& path, const char* const* argv, const std::string_view* input) {
  ToolRun run;
  Descriptor null_device(::open("/dev/null", O_RDWR | O_CLOEXEC));
  int ends[2];
  if (null_device.get() < 0 || ::pipe2(ends, O_CLOEXEC) != 0) {
    run.start_error = errno;
    return run;
  }
  // The child's end of the pipe, and this side's.
  Descriptor child_end(input != nullptr ? ends[0] : ends[1]);
  Descriptor own_end(input != nullptr ? ends[1] : ends[0]);
  ::fcntl(own_end.get(), F_SETFL, ::fcntl(own_end.get(), F_GETFL) | O_NONBLOCK);
  std::FILE* errors = std::tmpfile();
  const int error_fd = errors != nullptr ? ::fileno(errors) : null_device.get();
  if (errors != nullptr) ::fcntl(error_fd, F_SETFD, FD_CLOEXEC);
  const int streams[3] = {input != nullptr ? child_end.get() : null_device.get(),
                          input != nullptr ? null_device.get() : child_end.get(), error_fd};
  pid_t pid = 0;
  run.start_error = Spawn(path, argv, streams, input != nullptr, &pid);
  child_end.Close();
  if (run.start_error == 0) {
    const int64_t deadline = NowMs() + kTimeLimitSeconds * 1000;
    const bool in_time = input != nullptr ? WriteAll(own_end.get(), *input, deadline)
                                          : ReadToEnd(own_end.get(), &run.output, deadline);
    own_end.Close();  // the setter's end of its input
    run.exit_status = AwaitExit(pid, in_time ? deadline : NowMs(), &run.timed_out);
    run.errors = FirstLine(errors);
  }
  if (errors != nullptr) std::fclose(errors);
  return run;
}

class DesktopClipboard final : public Clipboard {
 public:
  Found Read(std::string* text, std::string* error) override;
  bool Set(std::string_view text, std::string* error) override;

 private:
  // Picks the tools of this session once; false, with the reason in *error,
  // when there are none.
  bool Choose(std::string* error);
  bool Take(const Tools& tools);
  // Why a run failed, or empty when it went well.
  static std::string Failure(const char* tool, const ToolRun& run);

  bool chosen_ = false;
  const Tools* tools_ = nullptr;
  std::string reader_path_;
  std::string setter_path_;
  std::string missing_;
};

bool DesktopClipboard::Take(const Tools& tools) {
  reader_path_ = FindOnPath(tools.reader[0]);
  setter_path_ = FindOnPath(tools.setter[0]);
  if (reader_path_.empty() || setter_path_.empty()) return false;
  tools_ = &tools;
  return true;
}

bool DesktopClipboard::Choose(std::string* error) {
  if (!chosen_) {
    chosen_ = true;
    // A tool that ends before it has read its input must not end this
    // program; and its end must be there for waitpid to see.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGCHLD, SIG_DFL);
    const bool wayland = IsSet("WAYLAND_DISPLAY");
    const bool x = IsSet("DISPLAY");
    if ((wayland && Take(kWayland)) || (x && (Take(kXclip) || Take(kXsel)))) return true;
    if (!wayland && !x) {
      missing_ =
          "no display: neither WAYLAND_DISPLAY nor DISPLAY is set (run it in the desktop session)";
    } else if (!x) {
      missing_ = "wl-paste and wl-copy were not found on PATH (install the package wl-clipboard)";
    } else if (!wayland) {
      missing_ = "neither xclip nor xsel was found on PATH (install the package xclip)";
    } else {
      missing_ =
          "none of wl-paste, xclip and xsel was found on PATH (install the package wl-clipboard)";
    }
  }
  if (tools_ == nullptr) *error = missing_;
  return tools_ != nullptr;
}

std::string DesktopClipboard::Failure(const char* tool, const ToolRun& run) {
  const std::string name = tool;
  if (run.start_error != 0) return "cannot start " + name + ": " + std::strerror(run.start_error);
  if (run.timed_out) {
    return name + " did not finish within " + std::to_string(kTimeLimitSeconds) + " seconds";
  }
  if (run.exit_status == 0) return {};
  if (!run.errors.empty()) return name + ": " + run.errors;
  if (run.exit_status < 0) return name + " was ended by a signal";
  return name + " failed with exit status " + std::to_string(run.exit_status);
}

Found DesktopClipboard::Read(std::string* text, std::string* error) {
  if (!Choose(error)) return Found::kFailure;
  ToolRun run = RunTool(reader_path_, tools_->reader, nullptr);
  if (run.start_error == 0 && !run.timed_out && run.exit_status > 0) {
    for (const char* mark : tools_->no_text_marks) {
      if (mark != nullptr && run.errors.find(mark) != std::string::npos) return Found::kNoText;
    }
  }
  *error = Failure(tools_->reader[0], run);
  if (!error->empty()) return Found::kFailure;
  *text = std::move(run.output);
  return text->empty() ? Found::kNoText : Found::kText;
}

bool DesktopClipboard::Set(std::string_view text, std::string* error) {
  if (!Choose(error)) return false;
  *error = Failure(tools_->setter[0], RunTool(setter_path_, tools_->setter, &text));
  return error->empty();
}

}  // namespace

std::unique_ptr<Clipboard> MakeSystemClipboard() { return std::make_unique<DesktopClipboard>(); }

}  // namespace clipboard
