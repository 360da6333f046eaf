// What Vortex Tracker II does with the rows this tool writes when they are
// pasted into it.  Its clipboard reader takes a paste of "Vortex Tracker II
// v1.0 Pattern" text only when every row is 49 characters (a row of three
// full notes in the layout of row_translation.h, which is the tracker's own)
// and every note, upper-cased, is "---", "R--" or a note from C-1 to B-8 (a
// letter C D E F G A B, '-' or '#', an octave 1-8; E# and B# read as the
// next semitone, B#8 is past the last note).  A note whose first character
// is a space is skipped, whatever its other two characters, and the row
// still pastes; the row keeps its 49 characters all the same.  One row that
// breaks a rule and the whole paste does nothing, without a message; the
// other fields of our rows are dots, which it always takes.  A pattern holds
// at most 256 rows: of a longer paste the rest is lost.
#ifndef PATCONV_CONVERTER_PASTE_CHECK_H_
#define PATCONV_CONVERTER_PASTE_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "converter/row_translation.h"

namespace converter {

namespace paste_detail {
inline char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace paste_detail

/// The rows of one pattern of the tracker, the most a paste fills.
inline constexpr int64_t kPatternRows = 256;

/// True when the tracker takes the note: upper-cased (ASCII letters only),
/// "---", "R--", or a note from C-1 to B-8; or any three characters of
/// which the first is a space, which it skips.
inline bool NoteTaken(std::string_view note) {
  if (note.size() != kNoteWidth) return false;
  const char first = note[0], sign = note[1], octave = note[2];
  if (first == ' ') return true;  // skipped: the rest is never looked at
  if (octave >= '1' && octave <= '8') {
    const char letter = paste_detail::UpperAscii(first);
    if (letter < 'A' || letter > 'G') return false;
    return sign == '-' || (sign == '#' && !(letter == 'B' && octave == '8'));  // B#8: past the last
  }
  // The empty note and the note-off mark.
  return sign == '-' && octave == '-' && (first == '-' || first == 'R' || first == 'r');
}

/// True when the tracker takes the row in a paste: its three notes (only
/// a row of three full notes has the tracker's length).  No state.
inline bool Pastes(const TargetRow& row) {
  return NoteTaken(row.notes[0]) && NoteTaken(row.notes[1]) && NoteTaken(row.notes[2]);
}

/// Why the tracker refuses the row, the first rule it breaks in words
/// ("row is 46 characters, the tracker needs 49", "note '^^^' in channel 1
/// is not C-1...B-8, --- or R--"); empty when it takes the row.  Bytes of a
/// note outside printable ASCII are shown as \xNN.
std::string PasteRefusal(const TargetRow& row);

/// The rows of one run as the tracker will see them: counts them and keeps
/// the first few it refuses.
class PasteTally {
 public:
  /// Refused rows named one by one in the warnings.
  static constexpr size_t kRowsNamed = 5;

  /// Adds the run's next kept row: its notes, and the line of the source
  /// file on which the row started (1-based).
  void Add(const TargetRow& row, int64_t source_line) {
    ++rows_;
    if (!Pastes(row)) AddRefused(row, source_line);
  }

  int64_t rows() const { return rows_; }
  int64_t refused() const { return refused_; }

  /// The warning lines for the run, without the program's prefix: none when
  /// the tracker takes every row and they fit in one pattern.  `file` is the output file's name as
  /// it may be shown; empty when the rows went to the screen only, and the warnings then count the
  /// rows shown.
  std::vector<std::string> Warnings(std::string_view file) const;
  /// The same for rows put on the clipboard, which the warnings name; the
  /// rows count as on the screen, where they were shown.
  std::vector<std::string> ClipboardWarnings() const;

 private:
  struct Refused {
    int64_t row;          // 1-based among the kept rows
    int64_t source_line;  // 1-based
    std::string reason;
  };
  void AddRefused(const TargetRow& row, int64_t source_line);
  /// The warnings about rows that went to `where`; a refused row is named by
  /// its line in a file (`in_file`) or by its place among the rows.
  std::vector<std::string> WarningLines(const std::string& where, bool in_file) const;
  /// The count of refused rows and the rows named, after `where`.
  void AddRefusedLines(const std::string& where, bool in_file,
                       std::vector<std::string>* lines) const;

  int64_t rows_ = 0;
  int64_t refused_ = 0;
  std::vector<Refused> named_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_PASTE_CHECK_H_
