#include "converter/conversion.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "converter/column_mapping.h"
#include "converter/dialogue.h"
#include "converter/module_target.h"
#include "converter/paste_check.h"
#include "converter/row_translation.h"

namespace converter {
namespace {

// Prints a kept row to a channel as seven items, the line end with the last.
void PrintRow(textio::Channels& channels, int channel, const RowLine& line) {
  const std::array<std::string_view, 7> pieces = line.Pieces();
  for (size_t i = 0; i + 1 < pieces.size(); ++i) channels.Print(channel, pieces[i], kPrintItem);
  channels.Print(channel, pieces.back(), kPrintLine);
}

// The conversion loop: every field of the input channel translated, each
// kept row written to the output channel, shown on the console and added to
// *tally.  A Translator gives `const RowLine* Translate(std::string_view
// source_row)`, nullptr for a dropped row.
template <typename Translator>
void ConvertRows(Session& session, Translator& translator, PasteTally* tally) {
  textio::Channels& channels = session.channels;
  console::Console& console = session.console;
  // End test, select for input and read field in one call; the row is a
  // view that lives until the next read.
  std::string row_storage;
  std::string_view source_row;
  for (;;) {
    const int64_t source_line = channels.LineEndsRead(kInputChannel) + 1;
    if (!channels.NextField(kInputChannel, &row_storage, &source_row)) break;
    const RowLine* line = translator.Translate(source_row);
    if (line == nullptr) continue;  // dropped
    tally->Add(line->row, source_line);
    // Built once and printed once: a file and a redirected standard output
    // write only when their buffers are full, so the bytes are the same as
    // for seven prints.  On a console every print shows (a pending line
    // feed, the console check), so there the row stays seven prints.
    channels.Print(kOutputChannel, line->text, kPrintItem);
    if (console.screen().stdout_is_console()) {
      PrintRow(channels, textio::kConsoleChannel, *line);
    } else {
      channels.Print(textio::kConsoleChannel, line->text, kPrintItem);
    }
  }
}

// The translator of a run: RowLines for the plain conversion, one
// ColumnMapping for the whole text under other settings.  Both go through
// the one loop, chosen by a test per row: a second copy of the loop, made
// for the mapping, left the plain conversion slower (the field reader no
// longer inlined into it).
class RunTranslator {
 public:
  explicit RunTranslator(const Settings& settings) {
    if (!settings.IsDefault()) mapping_ = std::make_unique<ColumnMapping>(settings);
  }
  const RowLine* Translate(std::string_view source_row) {
    return mapping_ ? mapping_->Translate(source_row) : lines_.Translate(source_row);
  }
  /// The mapping's warnings; none for the plain conversion.
  std::vector<std::string> Warnings() const {
    return mapping_ ? mapping_->Warnings() : std::vector<std::string>();
  }

 private:
  RowLines lines_;
  std::unique_ptr<ColumnMapping> mapping_;  // at most one pattern's rows when fitted
};

// What the loop made: the rows as the tracker will see them, and the
// translation's warnings.
struct Converted {
  PasteTally tally;
  std::vector<std::string> warnings;
};

// The rows, translated as `settings` say; for a module, the fields read
// into its song (which gives its own warnings), and no row written or shown.
Converted ConvertAll(Session& session, const Settings& settings, SongRows* song) {
  Converted converted;
  if (song != nullptr) {
    song->Read(session);
    return converted;
  }
  RunTranslator translator(settings);
  ConvertRows(session, translator, &converted.tally);
  converted.warnings = translator.Warnings();
  return converted;
}

}  // namespace

int Convert(Session& session, Source& source, Target& target, const Settings& settings) {
  session.on_screen = !target.OnStandardOutput();
  if (!source.Check(session) || !target.Check(session)) return 1;
  ShowTitle(session);
  if (!source.Name(session)) return 1;
  target.Name(session);
  if (source.Open(session)) target.Open(session);
  if (target.song() == nullptr) {
    ShowStatusLine(session);
    session.channels.Print(kOutputChannel, kTargetHeader, kPrintLine);
  }
  const Converted converted = ConvertAll(session, settings, target.song());
  target.RowsDone(converted.tally.rows());
  source.Close(session);
  target.Close(session);
  // After a failure (a source that could not be opened or read, a target
  // not made or cut short) the error line has said that the result is not
  // whole; a warning about it would only confuse.
  if (session.failed) return 1;
  session.console.FlushOutput();  // the rows come before the lines below them
  std::vector<std::string> warnings;
  source.AddWarnings(&warnings);
  warnings.insert(warnings.end(), converted.warnings.begin(), converted.warnings.end());
  target.Deliver(session, converted.tally, warnings);
  return session.failed ? 1 : 0;
}

}  // namespace converter
