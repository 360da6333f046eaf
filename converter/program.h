// The program as it is started: its arguments, the run they ask for, and
// the end of a window that would close with the program.
#ifndef PATCONV_CONVERTER_PROGRAM_H_
#define PATCONV_CONVERTER_PROGRAM_H_

#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.h"
#include "console/device.h"

namespace converter {

/// The last line of a run whose window closes with the program.
inline constexpr std::string_view kCloseNotice = "Press any key to close this window.";

/// The arguments after the program's name, as the platform passes them:
/// bytes on POSIX systems, UTF-8 made from the wide command line on Windows
/// (so that they open as typed names do).  One platform file defines it.
std::vector<std::string> ProgramArguments(int argc, char** argv);

/// Carries out the command line on `device`: the usage text, the version,
/// a refusal, the run with its questions answered by the names given, or
/// the clipboard run on `board`.  When the window would close with the
/// program, it then waits for a key; after a clipboard run only when an
/// error or a warning was shown, so that a clean one is copy, key, paste.
/// Returns the exit status.
int RunCommandLine(console::Device& device, clipboard::Clipboard& board,
                   const std::vector<std::string>& arguments);

}  // namespace converter

#endif  // PATCONV_CONVERTER_PROGRAM_H_
