#include "converter/paste_check.h"

#include "converter/shown_text.h"

namespace converter {

std::string PasteRefusal(const TargetRow& row) {
  const size_t length = TargetRowText(row).size();
  if (length != kFullRowLength) {
    return "row is " + std::to_string(length) + " characters, the tracker needs " +
           std::to_string(kFullRowLength);
  }
  for (int i = 0; i < 3; ++i) {
    if (!NoteTaken(row.notes[i])) {
      return "note '" + ShownAscii(row.notes[i]) + "' in channel " + std::to_string(i + 1) +
             " is not C-1...B-8, --- or R--";
    }
  }
  return {};
}

void PasteTally::AddRefused(const TargetRow& row, int64_t source_line) {
  ++refused_;
  if (named_.size() < kRowsNamed) named_.push_back({rows_, source_line, PasteRefusal(row)});
}

std::vector<std::string> PasteTally::Warnings(std::string_view file) const {
  if (file.empty()) return WarningLines("the screen", false);
  return WarningLines("'" + std::string(file) + "'", true);
}

std::vector<std::string> PasteTally::ClipboardWarnings() const {
  return WarningLines("the clipboard", false);
}

std::vector<std::string> PasteTally::WarningLines(const std::string& where, bool in_file) const {
  if (rows_ == 0) return {where + ": no rows were converted"};
  std::vector<std::string> lines;
  if (refused_ > 0) AddRefusedLines(where, in_file, &lines);
  if (rows_ > kPatternRows) {
    lines.push_back(where + ": only the first " + std::to_string(kPatternRows) + " of " +
                    ShownCount(rows_) + " rows will paste (the tracker's pattern limit)");
  }
  return lines;
}

void PasteTally::AddRefusedLines(const std::string& where, bool in_file,
                                 std::vector<std::string>* lines) const {
  // "1 of 1 rows" reads oddly: a run of one row says "the only row".
  const std::string which =
      rows_ == 1 ? "the only row" : ShownCount(refused_) + " of " + ShownCount(rows_) + " rows";
  lines->push_back(where + ": " + which +
                   " will not paste into Vortex Tracker II (the tracker refuses the whole paste)");
  for (const Refused& r : named_) {
    // In a file the header line comes first; elsewhere rows count from
    // the first row shown.
    const std::string place =
        in_file ? "line " + std::to_string(r.row + 1) : "row " + std::to_string(r.row);
    lines->push_back("  " + place + " (source line " + std::to_string(r.source_line) +
                     "): " + r.reason);
  }
}

}  // namespace converter
