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
  const std::string where = file.empty() ? "the screen" : "'" + std::string(file) + "'";
  if (rows_ == 0) return {where + ": no rows were converted"};
  std::vector<std::string> lines;
  if (refused_ > 0) AddRefusedLines(where, file.empty(), &lines);
  if (rows_ > kPatternRows) {
    lines.push_back(where + ": only the first " + std::to_string(kPatternRows) + " of " +
                    ShownCount(rows_) + " rows will paste (the tracker's pattern limit)");
  }
  return lines;
}

void PasteTally::AddRefusedLines(const std::string& where, bool on_screen,
                                 std::vector<std::string>* lines) const {
  lines->push_back(where + ": " + std::to_string(refused_) + " of " + std::to_string(rows_) +
                   " rows will not paste into Vortex Tracker II (the tracker refuses the whole "
                   "paste)");
  for (const Refused& r : named_) {
    // In the file the header line comes first; on the screen rows count
    // from the first row shown.
    const std::string place =
        on_screen ? "row " + std::to_string(r.row) : "line " + std::to_string(r.row + 1);
    lines->push_back("  " + place + " (source line " + std::to_string(r.source_line) +
                     "): " + r.reason);
  }
}

}  // namespace converter
