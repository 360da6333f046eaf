// The job the command line asks for: what to read, what to write and how to
// convert, or another answer (the usage text, the version, a refusal).
// command_line.cc makes it; dispatch.cc carries it out.
#ifndef PATCONV_CONVERTER_JOB_H_
#define PATCONV_CONVERTER_JOB_H_

#include <cstdint>
#include <optional>
#include <string>

#include "converter/settings.h"

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

/// One run of the program, as the command line describes it.
struct Job {
  enum class Action : uint8_t {
    kConvert,    ///< source to target, each named here or asked for
    kClipboard,  ///< the clipboard's text converted and put back on it
    kSong,       ///< a whole song's copy written as one module to `target`
    kHelp,       ///< the usage text on standard output
    kVersion,    ///< the version line on standard output
    kRefuse,     ///< `refusal` on standard error, status kUsageStatus
  };
  Action action = Action::kConvert;
  /// kConvert: the source, answering "Filename to Open:"; asked when none.
  std::optional<GivenName> source;
  /// kConvert: the target, answering "Filename to SAVE Output as:"; asked
  /// when none.
  std::optional<GivenName> target;
  /// kSong: the copy is read from the clipboard instead of `source`.
  bool from_clipboard = false;
  /// A named target may replace a file that holds something other than
  /// converted text.
  bool force = false;
  /// How the rows are converted.
  Settings settings;
  /// kRefuse: what is wrong, without the program's name.
  std::string refusal;

  /// The converted text goes to standard output, and nothing else does.
  bool ToStandardOutput() const { return target && target->kind == NameKind::kStandardStream; }
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_JOB_H_
