#include "converter/row_translation.h"

#include <cstring>

namespace converter {
namespace {

// A source row is cells of 12 characters, each beginning with its note
// after one character ('|' in a pattern).
constexpr size_t kSourceCellWidth = 12;
constexpr size_t SourceNoteStart(int i) { return 1 + static_cast<size_t>(i) * kSourceCellWidth; }
// A source row this long holds three full notes.
constexpr size_t kFullSourceRow = SourceNoteStart(2) + kNoteWidth;

std::string_view CutNote(std::string_view row, size_t start) {
  if (start >= row.size()) return {};
  return row.substr(start, kNoteWidth);
}

// The one note mapping: "..." (empty) becomes "---", "===" (note off)
// "R--".  Byte by byte: most notes differ in their first two bytes, and a
// comparison of views would call memcmp for every note of every row.
std::string_view MapNote(std::string_view note) {
  if (note.size() == kNoteWidth && note[0] == note[1] && note[1] == note[2]) {
    if (note[0] == '.') return "---";
    if (note[0] == '=') return "R--";
  }
  return note;
}

// The header line of a source pattern ("ModPlug Tracker ...").  No mapped
// note reads so.
bool IsHeader(std::string_view first_note) {
  return first_note.size() == kNoteWidth && first_note[0] == 'o' && first_note[1] == 'd' &&
         first_note[2] == 'P';
}

// Puts the full note at `from` into a line at `to`, mapped.
void PutFullNote(const char* from, char* to) {
  std::memcpy(to, MapNote(std::string_view(from, kNoteWidth)).data(), kNoteWidth);
}

char* Put(char* to, std::string_view bytes) {
  // A note cut from beyond a short row views nothing (no data at all).
  if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
  return to + bytes.size();
}

// The one formatting: writes the row's line at `to` and views it there.
RowLine PutLine(const TargetRow& row, char* to) {
  RowLine line;
  char* at = to;
  for (int i = 0; i < 3; ++i) {
    at = Put(at, kRowPieces[i]);
    line.row.notes[i] = std::string_view(at, row.notes[i].size());
    at = Put(at, row.notes[i]);
  }
  at = Put(Put(at, kRowPieces[3]), kLineEnd);
  line.text = std::string_view(to, static_cast<size_t>(at - to));
  return line;
}

}  // namespace

std::optional<TargetRow> TranslateRow(std::string_view source_row) {
  TargetRow row;
  for (int i = 0; i < 3; ++i) row.notes[i] = MapNote(CutNote(source_row, SourceNoteStart(i)));
  if (IsHeader(row.notes[0])) return std::nullopt;
  return row;
}

std::string TargetRowText(const TargetRow& row) {
  char buffer[kLongestLine];
  const std::string_view text = PutLine(row, buffer).text;
  return std::string(text.substr(0, text.size() - kLineEnd.size()));
}

std::array<std::string_view, 7> RowLine::Pieces() const {
  std::array<std::string_view, 7> pieces;
  const char* from = text.data();
  for (size_t i = 0; i < 3; ++i) {
    const std::string_view note = row.notes[i];
    pieces[2 * i] = std::string_view(from, static_cast<size_t>(note.data() - from));
    pieces[2 * i + 1] = note;
    from = note.data() + note.size();
  }
  pieces[6] = std::string_view(
      from, static_cast<size_t>(text.data() + text.size() - from) - kLineEnd.size());
  return pieces;
}

RowLines::RowLines() : full_line_(PutLine(TargetRow{{"---", "---", "---"}}, full_)) {}

const RowLine* RowLines::Translate(std::string_view source_row) {
  if (source_row.size() >= kFullSourceRow) {
    // Three full notes: they are all that changes in the line built once
    // (one call each: a loop here is not unrolled, and costs about 20
    // instructions a row).
    const char* from = source_row.data();
    if (IsHeader(std::string_view(from + SourceNoteStart(0), kNoteWidth))) return nullptr;
    PutFullNote(from + SourceNoteStart(0), full_ + kNoteColumns[0]);
    PutFullNote(from + SourceNoteStart(1), full_ + kNoteColumns[1]);
    PutFullNote(from + SourceNoteStart(2), full_ + kNoteColumns[2]);
    return &full_line_;
  }
  const std::optional<TargetRow> row = TranslateRow(source_row);
  if (!row) return nullptr;
  other_line_ = PutLine(*row, other_);
  return &other_line_;
}

}  // namespace converter
