// Where the converted text goes: a file or standard output, named in the
// dialogue, or the clipboard.  Each is a Target, handed to the conversion
// (conversion.h), which calls its steps in the order they are declared.
// A target that is written whole at the end (the clipboard) opens the
// output channel on bytes in memory and does its work in Deliver.
#ifndef PATCONV_CONVERTER_TARGETS_H_
#define PATCONV_CONVERTER_TARGETS_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clipboard/clipboard.h"
#include "converter/interrupted_line.h"
#include "converter/job.h"
#include "converter/paste_check.h"
#include "converter/session.h"

namespace converter {

class SongRows;

/// One target of the converted text, written through the output channel.
class Target {
 public:
  virtual ~Target() = default;
  /// The converted text goes to standard output, and nothing else does:
  /// the console is never set up.  A module target says so wherever the
  /// module goes: it shows nothing.
  virtual bool OnStandardOutput() const { return false; }
  /// Before the screen is set up or a question asked (where a name from
  /// the command line can be tried): false, the failure reported, when the
  /// run stops here.
  virtual bool Check(Session& /*session*/) { return true; }
  /// The target's question in the dialogue.
  virtual void Name(Session& /*session*/) {}
  /// Opens the output channel, once the source is open (a failure
  /// reported; the rows are then only shown).
  virtual void Open(Session& session) = 0;
  /// A target of a whole song (a module) takes the source's fields, not
  /// rows: the song they are read into; null for rows.
  virtual SongRows* song() { return nullptr; }
  /// Every row has been printed to the output channel, `rows` in all.
  virtual void RowsDone(int64_t /*rows*/) {}
  /// Closes the output channel, reporting a failed write.
  virtual void Close(Session& session) = 0;
  /// After a run without a failure: what becomes of the rows, the
  /// `warnings` of the run (the source's, the translation's) and the lines
  /// that tell how they will paste (`tally`).
  virtual void Deliver(Session& session, const PasteTally& tally,
                       const std::vector<std::string>& warnings) = 0;
};

/// A file, or standard output for "-": named by `given`, asked for when it
/// is none.  A file is opened only once the source is: a mistyped source
/// name must not cost the file named for the output (which may even be the
/// source).  A file named on the command line is checked before the screen
/// is set up (and opened then when the source already is): an existing one
/// is replaced only when it is empty or holds converted text (a pattern or
/// a module this tool wrote), unless `force`.  While it is written, the
/// program ended from outside says how far it got (interrupted_line.h),
/// counting the lines of `text`.
std::unique_ptr<Target> NamedTarget(const std::optional<GivenName>& given, bool force = false,
                                    OutputText text = OutputText::kRows);

/// The clipboard, set to the bytes an output file would hold, ready to
/// paste into Vortex Tracker II; left as it was when no row was converted.
std::unique_ptr<Target> ClipboardTarget(clipboard::Clipboard& board);

}  // namespace converter

#endif  // PATCONV_CONVERTER_TARGETS_H_
