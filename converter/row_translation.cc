#include "converter/row_translation.h"

namespace converter {
namespace {

constexpr size_t kNoteStarts[3] = {1, 13, 25};  // 0-based: cells of 12 characters
constexpr size_t kNoteWidth = 3;

std::string_view CutNote(std::string_view row, size_t start) {
  if (start >= row.size()) return {};
  return row.substr(start, kNoteWidth);
}

std::string_view MapNote(std::string_view note) {
  if (note == "...") return "---";
  if (note == "===") return "R--";
  return note;
}

}  // namespace

std::optional<TargetRow> TranslateRow(std::string_view source_row) {
  TargetRow row;
  for (int i = 0; i < 3; ++i) row.notes[i] = MapNote(CutNote(source_row, kNoteStarts[i]));
  if (row.notes[0] == "odP") return std::nullopt;
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
