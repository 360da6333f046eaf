// The clipboard of a Linux desktop.  It belongs to a live Wayland or X
// client, which a program that ends at once cannot be, so it is reached as
// editors reach it: through the standard tools found on PATH, wl-paste and
// wl-copy on Wayland, else xclip or xsel on X (tool_run.h runs them).  The
// setters leave an owner of the clipboard running in the background.
#include <errno.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "clipboard/clipboard.h"
#include "clipboard/tool_run.h"
#include "textio/posix_io.h"

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
  const char* no_text_marks[3];
};

// wl-paste adds a line end to text unless told not to.
constexpr Tools kWayland = {{"wl-paste", "--no-newline", "--type", "text", nullptr},
                            {"wl-copy", "--type", "text/plain", nullptr},
                            {"Nothing is copied", "No selection", "No suitable type"}};
constexpr Tools kXclip = {{"xclip", "-o", "-selection", "clipboard", nullptr},
                          {"xclip", "-i", "-selection", "clipboard", nullptr},
                          {"not available", nullptr, nullptr}};
// xsel reads an empty clipboard as an empty text.
constexpr Tools kXsel = {{"xsel", "--output", "--clipboard", nullptr},
                         {"xsel", "--input", "--clipboard", nullptr},
                         {nullptr, nullptr, nullptr}};

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// True when the Wayland compositor that WAYLAND_DISPLAY names takes a
// connection: its socket, under XDG_RUNTIME_DIR unless the name is a path.
bool WaylandAnswers() {
  const std::string name = std::getenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (name[0] != '/' && runtime == nullptr) return false;
  const std::string path = name[0] == '/' ? name : std::string(runtime) + "/" + name;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int result;
  do {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (result != 0 && errno == EINTR);
  ::close(fd);
  return result == 0;
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

// A file without a name, holding `text` from its first byte on, ready to be
// read from there; null, with *error telling why, when it cannot be written.
std::FILE* TextFile(std::string_view text, std::string* error) {
  std::FILE* file = std::tmpfile();
  const int fd = file != nullptr ? ::fileno(file) : -1;
  if (fd >= 0 && textio::WriteAll(fd, text.data(), text.size()) == text.size() &&
      ::lseek(fd, 0, SEEK_SET) == 0) {
    return file;
  }
  *error = std::string("cannot write it to a temporary file: ") + std::strerror(errno);
  if (file != nullptr) std::fclose(file);
  return nullptr;
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

// Wayland first; with a WAYLAND_DISPLAY that takes no connection, X's tools
// are tried first where there is a DISPLAY.
bool DesktopClipboard::Choose(std::string* error) {
  if (!chosen_) {
    chosen_ = true;
    // A tool that ends before it has read its input must not end this
    // program; and its end must be there for waitpid to see.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGCHLD, SIG_DFL);
    const bool wayland = IsSet("WAYLAND_DISPLAY");
    const bool x = IsSet("DISPLAY");
    const bool wayland_first = wayland && (!x || WaylandAnswers());
    if ((wayland_first && Take(kWayland)) || (x && (Take(kXclip) || Take(kXsel))) ||
        (wayland && !wayland_first && Take(kWayland))) {
      return true;
    }
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

// The NUL bytes that end a text copied with its terminator are no text.
Found DesktopClipboard::Read(std::string* text, std::string* error) {
  if (!Choose(error)) return Found::kFailure;
  ToolRun run = RunReader({reader_path_, tools_->reader}, kTimeLimitSeconds * 1000);
  if (run.start_error == 0 && !run.timed_out && run.exit_status > 0) {
    for (const char* mark : tools_->no_text_marks) {
      if (mark != nullptr && run.errors.find(mark) != std::string::npos) return Found::kNoText;
    }
  }
  *error = Failure(tools_->reader[0], run);
  if (!error->empty()) return Found::kFailure;
  *text = std::move(run.output);
  while (!text->empty() && text->back() == '\0') text->pop_back();
  return text->empty() ? Found::kNoText : Found::kText;
}

// The setter reads the text from a file written whole before it starts:
// from a pipe, it would take this program's early end for the text's end.
bool DesktopClipboard::Set(std::string_view text, std::string* error) {
  SetHandedOver(false);
  if (!Choose(error)) return false;
  std::FILE* file = TextFile(text, error);
  if (file == nullptr) return false;
  const ToolRun run = RunSetter({setter_path_, tools_->setter}, ::fileno(file),
                                kTimeLimitSeconds * 1000, [this] { SetHandedOver(true); });
  // The owner it left keeps the file open, but has read it (the setters end
  // only then): its bytes need not stay on disk as long as the owner lives.
  if (run.exit_status == 0) static_cast<void>(::ftruncate(::fileno(file), 0));
  std::fclose(file);
  *error = Failure(tools_->setter[0], run);
  if (!error->empty()) SetHandedOver(false);
  return error->empty();
}

}  // namespace

std::unique_ptr<Clipboard> MakeSystemClipboard() { return std::make_unique<DesktopClipboard>(); }

}  // namespace clipboard
