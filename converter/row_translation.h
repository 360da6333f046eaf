// The translation of one source pattern row into one target pattern row.
#ifndef PATCONV_CONVERTER_ROW_TRANSLATION_H_
#define PATCONV_CONVERTER_ROW_TRANSLATION_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace converter {

/// The fixed pieces of a target row, around its three notes:
/// piece 0, note 1, piece 1, note 2, piece 2, note 3, piece 3.
inline constexpr std::string_view kRowPieces[4] = {"....|..|", " .... ....|", " .... ....|",
                                                   " .... ...."};

/// The notes of a kept row.  Each is a view into the source row or into a
/// constant, so it lives as long as the source row.
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

/// The longest target row with its line end (CR LF): three full notes.
inline constexpr size_t kRowLineSize = 51;
/// Where the notes stand in such a row (0-based columns).
inline constexpr size_t kNoteColumns[3] = {8, 22, 36};

/// Target rows with their line ends, each built in one piece to be printed
/// in one piece.  A source row of 28 bytes or more holds three full notes:
/// it is translated and formatted in one step into a fixed row, of which
/// only the notes change from row to row.  A shorter row goes through
/// TranslateRow.
class RowLines {
 public:
  RowLines();
  /// The target row of a source row with CR LF, valid until the next call;
  /// empty when the row is dropped.  No state is carried from row to row.
  std::string_view Translate(std::string_view source_row);

 private:
  char full_[kRowLineSize];  // the fixed row
  char other_[kRowLineSize];
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_ROW_TRANSLATION_H_
