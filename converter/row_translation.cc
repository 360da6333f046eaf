#include "converter/row_translation.h"

#include <cstring>

namespace converter {
namespace {

constexpr size_t kNoteStarts[3] = {1, 13, 25};  // 0-based: cells of 12 characters
constexpr size_t kNoteWidth = 3;

std::string_view CutNote(std::string_view row, size_t start) {
  if (start >= row.size()) return {};
  return row.substr(start, kNoteWidth);
}

bool IsThree(std::string_view note, char c) {
  return note.size() == 3 && note[0] == c && note[1] == c && note[2] == c;
}

std::string_view MapNote(std::string_view note) {
  if (IsThree(note, '.')) return "---";
  if (IsThree(note, '=')) return "R--";
  return note;
}

// A source row this long reaches the last byte of note 3.
constexpr size_t kFullSourceRow = kNoteStarts[2] + kNoteWidth;

// The target row of three full notes with its line end, the notes still to
// be put in at kNoteColumns.
constexpr char kFullRow[] = "....|..|??? .... ....|??? .... ....|??? .... ....\r\n";
static_assert(sizeof kFullRow - 1 == kRowLineSize, "a full row is 49 bytes and CR LF");

// Puts the full note at `from` into the row at `to`, mapped.
inline void PutFullNote(const char* from, char* to) {
  const char first = from[0], second = from[1], third = from[2];
  if (first == second && second == third && (first == '.' || first == '=')) {
    to[0] = first == '.' ? '-' : 'R';
    to[1] = '-';
    to[2] = '-';
    return;
  }
  to[0] = first;
  to[1] = second;
  to[2] = third;
}

char* Put(char* to, std::string_view bytes) {
  std::memcpy(to, bytes.data(), bytes.size());
  return to + bytes.size();
}

}  // namespace

std::optional<TargetRow> TranslateRow(std::string_view source_row) {
  TargetRow row;
  for (int i = 0; i < 3; ++i) row.notes[i] = MapNote(CutNote(source_row, kNoteStarts[i]));
  const std::string_view first = row.notes[0];
  if (first.size() == 3 && first[0] == 'o' && first[1] == 'd' && first[2] == 'P') {
    return std::nullopt;
  }
  return row;
}

std::string TargetRowText(const TargetRow& row) {
  std::string text;
  text.reserve(49);
  for (int i = 0; i < 3; ++i) {
    text += kRowPieces[i];
    text += row.notes[i];
  }
  text += kRowPieces[3];
  return text;
}

RowLines::RowLines() { std::memcpy(full_, kFullRow, kRowLineSize); }

std::string_view RowLines::Translate(std::string_view source_row) {
  if (source_row.size() >= kFullSourceRow) {
    const char* row = source_row.data();
    if (row[1] == 'o' && row[2] == 'd' && row[3] == 'P') return {};
    for (int i = 0; i < 3; ++i) PutFullNote(row + kNoteStarts[i], full_ + kNoteColumns[i]);
    return std::string_view(full_, kRowLineSize);
  }
  std::optional<TargetRow> row = TranslateRow(source_row);
  if (!row) return {};
  char* end = other_;
  for (int i = 0; i < 3; ++i) end = Put(Put(end, kRowPieces[i]), row->notes[i]);
  end = Put(Put(end, kRowPieces[3]), "\r\n");
  return std::string_view(other_, static_cast<size_t>(end - other_));
}

}  // namespace converter
