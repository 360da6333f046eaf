// Where the rows come from: a file or standard input, named in the
// dialogue, or the clipboard.  Each is a Source, handed to the conversion
// (conversion.h), which calls its steps in the order they are declared.
#ifndef PATCONV_CONVERTER_SOURCES_H_
#define PATCONV_CONVERTER_SOURCES_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clipboard/clipboard.h"
#include "converter/job.h"
#include "converter/session.h"

namespace converter {

/// One source of rows, read through the input channel.
class Source {
 public:
  virtual ~Source() = default;
  /// Before the screen is set up or a question asked (where a name from
  /// the command line can be tried): false, the failure reported, when the
  /// run stops here.
  virtual bool Check(Session& /*session*/) { return true; }
  /// The source's question in the dialogue: false, the failure reported,
  /// when the run stops here.
  virtual bool Name(Session& /*session*/) { return true; }
  /// Opens the input channel: false, the failure reported, when it cannot.
  virtual bool Open(Session& session) = 0;
  /// After the rows: closes the input channel, reporting a failed read.
  virtual void Close(Session& session) = 0;
  /// After the rows: the source's warnings, without the program's prefix,
  /// for the target to give with its own.
  virtual void AddWarnings(std::vector<std::string>* /*warnings*/) const {}
};

/// The error text for a clipboard without pattern rows: also the clipboard
/// target's, when every row was dropped.
inline constexpr std::string_view kNoPatternRows =
    "the clipboard holds no pattern rows; it is left as it was";

/// Why a file named on the command line cannot be opened, in plain words:
/// "it is a device name", "it is a folder", "it does not exist" (for an
/// `output`, only when its folder does not: "its folder does not exist").
/// Nothing when it is none of these.
std::optional<std::string> PlainOpenFailure(const std::string& name, bool output);

/// A file, or standard input for "-": named by `given`, asked for when it
/// is none.  A file named on the command line is opened before the screen
/// is set up, so that a name that cannot be read is told at once.  A 0x1A
/// byte that ends its text early is warned of.
std::unique_ptr<Source> NamedSource(const std::optional<GivenName>& given);

/// The clipboard's text, read and checked before the screen is set up: it
/// must hold a pattern row (a line that begins with the '|' of a channel
/// cell), or the run stops.
std::unique_ptr<Source> ClipboardSource(clipboard::Clipboard& board);

}  // namespace converter

#endif  // PATCONV_CONVERTER_SOURCES_H_
