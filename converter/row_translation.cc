#include "converter/row_translation.h"

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

}  // namespace converter
