#include "converter/tracker_row.h"

#include <array>

#include "converter/paste_check.h"

namespace converter {
namespace {

// What each character of a row may hold.
enum class Column : char {
  kSeparator,  // exactly the character of the empty row
  kHex,        // '.', 0-9, A-F
  kNonZero,    // '.', 1-9, A-F (envelope shape, volume)
  kNoiseHigh,  // '.', 0, 1 (the first digit of the noise)
  kSample,     // '.', 1-9, A-V
  kNote,       // the first of a note's three characters
  kNoteRest,   // checked with the first
};

// The row of empty notes and dots, whose separators every row repeats.
constexpr std::array<char, kFullRowLength> kEmptyRow = [] {
  std::array<char, kFullRowLength> row{};
  size_t at = 0;
  auto put = [&](std::string_view text) {
    for (char c : text) row[at++] = c;
  };
  for (size_t i = 0; i < 3; ++i) {
    put(kRowPieces[i]);
    put("---");
  }
  put(kRowPieces[3]);
  return row;
}();

constexpr std::array<Column, kFullRowLength> kColumns = [] {
  std::array<Column, kFullRowLength> columns{};  // all separators
  // "EEEE|NN|": the dots of the first piece.
  for (size_t i = 0; i < 4; ++i) columns[i] = Column::kHex;
  columns[5] = Column::kNoiseHigh;
  columns[6] = Column::kHex;
  for (size_t note : kNoteColumns) {
    columns[note] = Column::kNote;
    columns[note + 1] = columns[note + 2] = Column::kNoteRest;
    columns[note + kSampleOffset] = Column::kSample;
    columns[note + kEnvelopeOffset] = Column::kNonZero;
    columns[note + kOrnamentOffset] = Column::kHex;
    columns[note + kVolumeOffset] = Column::kNonZero;
    for (size_t i = 0; i < kCommandWidth; ++i) columns[note + kCommandOffset + i] = Column::kHex;
  }
  return columns;
}();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool Takes(Column column, char c) {
  switch (column) {
    case Column::kHex: return c == '.' || IsDigit(c) || (c >= 'A' && c <= 'F');
    case Column::kNonZero: return c == '.' || (c >= '1' && c <= '9') || (c >= 'A' && c <= 'F');
    case Column::kNoiseHigh: return c == '.' || c == '0' || c == '1';
    case Column::kSample: return c == '.' || (c >= '1' && c <= '9') || (c >= 'A' && c <= 'V');
    default: return false;
  }
}

}  // namespace

bool TrackerTakesRow(std::string_view row) {
  if (row.size() != kFullRowLength) return false;
  for (size_t i = 0; i < kFullRowLength; ++i) {
    const Column column = kColumns[i];
    if (column == Column::kNoteRest) continue;
    if (column == Column::kNote) {
      if (!NoteTaken(row.substr(i, kNoteWidth))) return false;
    } else if (column == Column::kSeparator) {
      if (row[i] != kEmptyRow[i]) return false;
    } else if (!Takes(column, row[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace converter
