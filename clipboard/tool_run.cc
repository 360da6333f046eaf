#include "clipboard/tool_run.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cstdint>
#include <cstdio>

#include "textio/posix_io.h"  // MonotonicMs

extern char** environ;

namespace clipboard {
namespace {

int MsLeft(int64_t deadline) {
  const int64_t left = deadline - textio::MonotonicMs();
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
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// SIGCHLD blocked while it lives, so that the end of a tool is awaited by
// sigtimedwait, not by looking again and again.  The tools start with
// nothing blocked.
class ChildSignalBlock {
 public:
  ChildSignalBlock() {
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    ::sigprocmask(SIG_BLOCK, &child, &saved_);
  }
  ~ChildSignalBlock() {
    // What is still pending of it goes: SIGCHLD does nothing by default.
    ::sigprocmask(SIG_SETMASK, &saved_, nullptr);
  }
  ChildSignalBlock(const ChildSignalBlock&) = delete;
  ChildSignalBlock& operator=(const ChildSignalBlock&) = delete;

 private:
  sigset_t saved_;
};

// The child's side of Spawn, between vfork and exec, on this program's
// memory: system calls alone, and nothing written but *exec_error.  Every
// signal is blocked on entry.
[[noreturn]] void BecomeTool(const Tool& tool, const int streams[3], bool own_group, pid_t parent,
                             volatile int* exec_error) {
  // The handlers of this program are not the tool's; what it ignores
  // (SIGPIPE) the tool must not.
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    ::sigaction(signal_number, &default_action, nullptr);
  }
  if (own_group) {
    ::setpgid(0, 0);
  } else {
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);  // ended before the request
#endif
  }
  for (int i = 0; i < 3; ++i) {
    if (streams[i] == i) {
      ::fcntl(i, F_SETFD, 0);
    } else {
      ::dup2(streams[i], i);
    }
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(tool.path.c_str(), const_cast<char* const*>(tool.argv), environ);
  *exec_error = errno;
  ::_exit(127);
}

// Starts the tool with its standard streams on the given descriptors; 0, or
// the errno value of a start that failed.  vfork, not fork: this program
// is not copied for a moment, which took a good part of a millisecond.  A
// setter goes into a process group of its own: the owner it leaves behind
// must outlive a terminal window that closes when this program ends (the
// hangup goes to the foreground group) and a Ctrl+C typed after.  A reader
// stays in this program's group and ends with it.  `forked` is called as
// soon as the tool runs, before a signal held off meanwhile comes.
int Spawn(const Tool& tool, const int streams[3], bool own_group,
          const std::function<void()>& forked, pid_t* pid) {
  sigset_t all, saved;
  sigfillset(&all);
  ::sigprocmask(SIG_SETMASK, &all, &saved);
  const pid_t parent = ::getpid();
  volatile int exec_error = 0;
  *pid = ::vfork();
  if (*pid == 0) BecomeTool(tool, streams, own_group, parent, &exec_error);
  const int error = *pid < 0 ? errno : exec_error;
  // Told before an ending signal can come.
  if (error == 0 && forked) forked();
  ::sigprocmask(SIG_SETMASK, &saved, nullptr);
  if (*pid > 0 && error != 0) {
    while (::waitpid(*pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  return error;
}

// Waits on `fd` for `events` until the deadline; false when the time is up.
bool AwaitReady(int fd, short events, int64_t deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, MsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // the read tells what is wrong
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

// Waits for the tool's end until the deadline (SIGCHLD blocked), then ends
// it; its exit status, or -1.  *timed_out tells whether it had to be ended.
int AwaitExit(pid_t pid, int64_t deadline, bool* timed_out) {
  sigset_t child;
  sigemptyset(&child);
  sigaddset(&child, SIGCHLD);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return -1;
    const int left = MsLeft(deadline);
    if (left == 0) {
      *timed_out = true;
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return -1;
    }
    const timespec wait{left / 1000, (left % 1000) * 1000000L};
    ::sigtimedwait(&child, nullptr, &wait);  // a child's end, the time, or a signal
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

// Runs a tool: a reader's output (input < 0) is read to its end through a
// pipe, a setter reads `input`.
ToolRun Run(const Tool& tool, int input, int time_limit_ms, const std::function<void()>& started) {
  ToolRun run;
  const bool setter = input >= 0;
  Descriptor null_device(::open("/dev/null", O_RDWR | O_CLOEXEC));
  int ends[2] = {-1, -1};
  if (null_device.get() < 0 || (!setter && ::pipe2(ends, O_CLOEXEC) != 0)) {
    run.start_error = errno;
    return run;
  }
  Descriptor output_read(ends[0]);
  Descriptor output_write(ends[1]);
  std::FILE* errors = std::tmpfile();
  const int error_fd = errors != nullptr ? ::fileno(errors) : null_device.get();
  if (errors != nullptr) ::fcntl(error_fd, F_SETFD, FD_CLOEXEC);
  const int streams[3] = {setter ? input : null_device.get(),
                          setter ? null_device.get() : output_write.get(), error_fd};
  const ChildSignalBlock block;
  const int64_t deadline = textio::MonotonicMs() + time_limit_ms;
  pid_t pid = 0;
  run.start_error = Spawn(tool, streams, setter, started, &pid);
  output_write.Close();
  if (run.start_error == 0) {
    const bool in_time = setter || ReadToEnd(output_read.get(), &run.output, deadline);
    run.exit_status = AwaitExit(pid, in_time ? deadline : 0, &run.timed_out);
    run.errors = FirstLine(errors);
  }
  if (errors != nullptr) std::fclose(errors);
  return run;
}

}  // namespace

ToolRun RunReader(const Tool& tool, int time_limit_ms) {
  return Run(tool, -1, time_limit_ms, nullptr);
}

ToolRun RunSetter(const Tool& tool, int input, int time_limit_ms,
                  const std::function<void()>& started) {
  return Run(tool, input, time_limit_ms, started);
}

}  // namespace clipboard
