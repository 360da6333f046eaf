#include "converter/clipboard_run.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "converter/paste_check.h"
#include "converter/shown_text.h"

namespace converter {
namespace {

constexpr int kPrintLine = textio::kFlagLast | textio::kFlagLineEnd;

// True when a line of the text begins, after blanks, with the '|' of a
// channel cell.  Other text (prose, or text this tool wrote, whose rows
// begin with dots: a second run by mistake) would become rows the tracker
// refuses, and what the user copied would be lost.
bool HoldsPatternRow(std::string_view text) {
  bool line_start = true;
  for (char c : text) {
    if (c == '\x1A') break;  // the text ends there, as a file's does
    if (c == '|' && line_start) return true;
    if (c == '\n' || c == '\r') {
      line_start = true;
    } else if (c != ' ' && c != '\t') {
      line_start = false;
    }
  }
  return false;
}

std::string RowsOnClipboard(int64_t rows, bool all_paste) {
  std::string line = "patconv: " + std::to_string(rows) + (rows == 1 ? " row is" : " rows are") +
                     " on the clipboard";
  // With a warning below, the rows are not ready to paste.
  if (all_paste) line += ", ready to paste into Vortex Tracker II";
  return line;
}

// The dialogue's screen without the questions, and the conversion pass from
// `source` into *result; *end_mark is the warning for a 0x1A that cut it.
PasteTally Convert(console::Console& console, textio::Channels& channels, std::string_view source,
                   std::string* result, std::optional<std::string>* end_mark) {
  console.ClearScreen();
  channels.Print(textio::kConsoleChannel, kTitle, kPrintLine);
  console.PlaceCursor(5, 1, -1);
  channels.Print(textio::kConsoleChannel, kStatusLine, kPrintLine);
  channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
  channels.OpenInputBytes(kInputChannel, source);
  channels.OpenOutputBytes(kOutputChannel, result);
  channels.Print(kOutputChannel, kTargetHeader, kPrintLine);
  PasteTally tally;
  ConvertRows(console, channels, &tally);
  *end_mark = EndMarkWarning(channels, "the clipboard");
  channels.Close(kInputChannel);
  channels.Close(kOutputChannel);
  console.FlushOutput();  // the rows come before the lines below them
  return tally;
}

}  // namespace

ClipboardOutcome RunClipboard(console::Console& console, textio::Channels& channels,
                              clipboard::Clipboard& board, const ErrorSink& report) {
  const ClipboardOutcome failed{1, true};
  std::string source;
  std::string error;
  const clipboard::Found found = board.Read(&source, &error);
  if (found == clipboard::Found::kFailure) {
    report("patconv: cannot read the clipboard: " + ShownName(error));
    return failed;
  }
  if (found == clipboard::Found::kNoText || !HoldsPatternRow(source)) {
    report(std::string(kNoPatternRows));
    return failed;
  }
  std::string result;
  std::optional<std::string> end_mark;
  const PasteTally tally = Convert(console, channels, source, &result, &end_mark);
  if (tally.rows() == 0) {  // every pattern row dropped
    report(std::string(kNoPatternRows));
    return failed;
  }
  if (!board.Set(result, &error)) {
    report("patconv: cannot set the clipboard: " + ShownName(error));
    return failed;
  }
  const std::vector<std::string> warnings = tally.ClipboardWarnings();
  report(RowsOnClipboard(tally.rows(), warnings.empty() && !end_mark));
  if (end_mark) report("patconv: warning: " + *end_mark);
  for (const std::string& line : warnings) report("patconv: warning: " + line);
  return {0, !warnings.empty() || end_mark.has_value()};
}

ClipboardOutcome RunClipboardProgram(console::Device& device, clipboard::Clipboard& board,
                                     const ErrorSink& report) {
  textio::Channels channels;
  console::Console console(device, channels);
  const ClipboardOutcome outcome = RunClipboard(console, channels, board, report);
  channels.CloseAll();
  console.FlushOutput();
  return outcome;
}

}  // namespace converter
