// The translation of one source pattern row into one target pattern row, and
// the target row's layout.
#ifndef PATCONV_CONVERTER_ROW_TRANSLATION_H_
#define PATCONV_CONVERTER_ROW_TRANSLATION_H_

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "textio/channels.h"

namespace converter {

// --- The target row's layout ---------------------------------------------------
// Everything about the shape of a target row follows from these three.

/// The fixed pieces of a target row, around its three notes:
/// piece 0, note 1, piece 1, note 2, piece 2, note 3, piece 3.
inline constexpr std::string_view kRowPieces[4] = {"....|..|", " .... ....|", " .... ....|",
                                                   " .... ...."};
/// The characters of a full note; a note cut from a short source row has
/// fewer.
inline constexpr size_t kNoteWidth = 3;
/// What ends a target row in the file and in the echo: the channels' own.
using textio::kLineEnd;

/// Where the notes stand in a row whose notes are full (0-based columns).
inline constexpr std::array<size_t, 3> kNoteColumns = [] {
  std::array<size_t, 3> columns{};
  size_t column = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    column += kRowPieces[i].size();
    columns[i] = column;
    column += kNoteWidth;
  }
  return columns;
}();
/// The length of a row of three full notes (49).
inline constexpr size_t kFullRowLength = kNoteColumns[2] + kNoteWidth + kRowPieces[3].size();
/// The longest line a row makes: a full row and its line end.
inline constexpr size_t kLongestLine = kFullRowLength + kLineEnd.size();

// --- The translation -------------------------------------------------------------

/// The notes of a kept row.  Each is a view into the source row, into a
/// constant, or into the line a RowLines built.
struct TargetRow {
  std::string_view notes[3];
};

/// Translates a source row: the notes at character positions 2, 14 and 26
/// (up to 3 characters each), "..." mapped to "---" and "===" to "R--".
/// Returns nothing when the row is dropped (its first note reads "odP", as
/// the header line of a source pattern does).  No state.
std::optional<TargetRow> TranslateRow(std::string_view source_row);

/// The target row's text without its line end: the pieces and notes joined.
std::string TargetRowText(const TargetRow& row);

/// A kept row built once: its line, and its notes as views into the line.
struct RowLine {
  std::string_view text;  // the row's text and its line end
  TargetRow row;

  /// The row's text in its seven pieces, cut from `text`: piece 0, note 1,
  /// piece 1, note 2, piece 2, note 3, piece 3 (the line end left out).
  std::array<std::string_view, 7> Pieces() const;
};

/// Builds the lines of target rows, each in one piece to be written in one
/// piece.  A source row that holds three full notes changes only the notes
/// of a line built once; a shorter one is built whole.
class RowLines {
 public:
  RowLines();
  RowLines(const RowLines&) = delete;
  RowLines& operator=(const RowLines&) = delete;

  /// The line of a source row's target row, valid until the next call;
  /// nullptr when the row is dropped.  No state is carried from row to row.
  const RowLine* Translate(std::string_view source_row);

 private:
  char full_[kLongestLine];  // the line of full notes
  char other_[kLongestLine];
  RowLine full_line_;  // views into full_, set once
  RowLine other_line_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_ROW_TRANSLATION_H_
