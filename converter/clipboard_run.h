// The clipboard run: the text on the clipboard converted as a source file
// is, and the clipboard set to the bytes the output file would hold, ready
// to paste into Vortex Tracker II.
#ifndef PATCONV_CONVERTER_CLIPBOARD_RUN_H_
#define PATCONV_CONVERTER_CLIPBOARD_RUN_H_

#include <string_view>

#include "clipboard/clipboard.h"
#include "console/console.h"
#include "console/device.h"
#include "converter/run.h"
#include "textio/channels.h"

namespace converter {

/// How a clipboard run ended.
struct ClipboardOutcome {
  /// 0 when the clipboard holds the converted text; 1 when it is left as it
  /// was (no pattern rows on it, or it could not be read) or could not be
  /// set.
  int status = 0;
  /// An error or a warning was given: a window that would close by itself
  /// should stay open for the user to read it.
  bool warned = false;
};

/// The error line for a clipboard without pattern rows.
inline constexpr std::string_view kNoPatternRows =
    "patconv: the clipboard holds no pattern rows; it is left as it was";

/// Converts the clipboard's text as Run converts a source file (the same
/// text rules, header drop, row translation and paste check) and sets the
/// clipboard to the header line and the rows, exactly the bytes an output
/// file would hold.  The console shows the dialogue's screen without the
/// questions: the title, the status line and the rows as they are made.
/// The clipboard is replaced only by rows made from pattern rows (lines
/// that begin with the '|' of a channel cell); without one, it is left as
/// it was.  `report` gets the lines for standard error: an error; or, once
/// the clipboard is set, the line that says so and the paste warnings.
ClipboardOutcome RunClipboard(console::Console& console, textio::Channels& channels,
                              clipboard::Clipboard& board, const ErrorSink& report);

/// The clipboard run on a device: builds the channels and the console, runs,
/// and closes everything.
ClipboardOutcome RunClipboardProgram(console::Device& device, clipboard::Clipboard& board,
                                     const ErrorSink& report);

}  // namespace converter

#endif  // PATCONV_CONVERTER_CLIPBOARD_RUN_H_
