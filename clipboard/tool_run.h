// One run of a command-line tool of the desktop's clipboard (POSIX): started
// with its standard streams where the clipboard needs them, and waited for
// within a time limit.
#ifndef PATCONV_CLIPBOARD_TOOL_RUN_H_
#define PATCONV_CLIPBOARD_TOOL_RUN_H_

#include <functional>
#include <string>

namespace clipboard {

/// How one run of a tool went.
struct ToolRun {
  int start_error = 0;  // errno of a start that failed
  bool timed_out = false;
  int exit_status = -1;  // -1: ended by a signal
  std::string output;
  std::string errors;  // the first line of its standard error
};

/// A tool: the path of its program and its command line, ended by a null.
struct Tool {
  const std::string& path;
  const char* const* argv;
};

/// Runs a reader and reads its standard output to its end.  The reader ends
/// with this process (on Linux), so that none is left waiting on an owner of
/// the clipboard when a signal ends this program.
ToolRun RunReader(const Tool& tool, int time_limit_ms);

/// Runs a setter with the file open at `input` as its standard input (at
/// its start), in a process group of its own: once it has started, nothing
/// that happens to this process changes what it reads and sets.
/// `started` is called as soon as its process is there (a start that then
/// fails says so by start_error).  The owner of the clipboard that a setter
/// leaves running in the background keeps its standard output and error:
/// /dev/null and a file, never a pipe to read to its end.
ToolRun RunSetter(const Tool& tool, int input, int time_limit_ms,
                  const std::function<void()>& started);

}  // namespace clipboard

#endif  // PATCONV_CLIPBOARD_TOOL_RUN_H_
