// The command line: the options, and the names that answer the dialogue's
// questions.  Pure: it reads the arguments and decides; acting on the result
// is the program's (program.h).
#ifndef PATCONV_CONVERTER_COMMAND_LINE_H_
#define PATCONV_CONVERTER_COMMAND_LINE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace converter {

/// The exit status of a command line that cannot be followed.
inline constexpr int kUsageStatus = 2;

/// What a name on the command line stands for.
enum class NameKind : uint8_t {
  kFile,            ///< a file, named as given
  kStandardStream,  ///< "-": standard input as the source, standard output as the target
};

/// A name given on the command line: the answer to one question.
struct GivenName {
  NameKind kind = NameKind::kFile;
  std::string text;  ///< as the platform gave it: bytes, or UTF-8 on Windows
  friend bool operator==(const GivenName& a, const GivenName& b) {
    return a.kind == b.kind && a.text == b.text;
  }
};

/// What the command line asks for.
struct CommandLine {
  enum class Action : uint8_t {
    kConvert,    ///< the run, its questions answered by the names given
    kClipboard,  ///< the clipboard's text converted and put back on it
    kHelp,       ///< the usage text on standard output
    kVersion,    ///< the version line on standard output
    kRefuse,     ///< `refusal` on standard error, status kUsageStatus
  };
  Action action = Action::kConvert;
  std::optional<GivenName> source;  ///< answers "Filename to Open:"
  std::optional<GivenName> target;  ///< answers "Filename to SAVE Output as:"
  /// kRefuse: what is wrong, the line for standard error without "patconv: ".
  std::string refusal;

  /// The converted text goes to standard output, and nothing else does.
  bool ToStandardOutput() const { return target && target->kind == NameKind::kStandardStream; }
};

/// Reads the arguments after the program's name.  Options may stand anywhere
/// before "--"; the first of --help, --version or an unknown option decides.
/// "-" alone is the standard stream also after "--".  A lone "-" as SOURCE
/// makes TARGET "-" too: the program is then a filter.  --clipboard takes
/// the place of both names: with a name it is refused.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

/// The usage text, lines ended by LF.
std::string_view UsageText();

/// "patconv" and the version, without a line end.
std::string VersionLine();

}  // namespace converter

#endif  // PATCONV_CONVERTER_COMMAND_LINE_H_
