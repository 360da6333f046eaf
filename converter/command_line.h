// The command line made into a Job (job.h).  Pure: it reads the arguments
// and decides; carrying the job out is dispatch.h's.
#ifndef PATCONV_CONVERTER_COMMAND_LINE_H_
#define PATCONV_CONVERTER_COMMAND_LINE_H_

#include <string>
#include <string_view>
#include <vector>

#include "converter/job.h"

namespace converter {

/// The arguments after the program's name, as the platform passes them:
/// bytes on POSIX systems, UTF-8 made from the wide command line on Windows
/// (so that they open as typed names do).  One platform file defines it.
std::vector<std::string> ProgramArguments(int argc, char** argv);

/// Reads the arguments after the program's name.  Options may stand anywhere
/// before "--"; the first of --help, --version or an unknown option decides.
/// "-" alone is the standard stream also after "--".  A lone "-" as SOURCE
/// makes TARGET "-" too: the program is then a filter.  --clipboard takes
/// the place of both names: with a name it is refused; with --song it takes
/// the place of SOURCE, and --song needs both names otherwise.  An option
/// with a value takes it as the next argument or after '='; one given
/// twice must give the same value.
Job ParseCommandLine(const std::vector<std::string>& arguments);

/// The usage text, lines ended by LF.
std::string UsageText();

/// How a file named "-" is written on this platform ("./-" or ".\\-").
/// One platform file defines it.
extern const std::string_view kDashFileName;

/// "patconv" and the version, without a line end.
std::string VersionLine();

}  // namespace converter

#endif  // PATCONV_CONVERTER_COMMAND_LINE_H_
