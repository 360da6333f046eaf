// What Vortex Tracker II does with the rows this tool writes when they are
// pasted into it.  Its clipboard reader takes a paste of "Vortex Tracker II
// v1.0 Pattern" text only when every row is 49 characters and every note,
// upper-cased, is "---", "R--" or a note from C-1 to B-8 (a letter
// C D E F G A B, '-' or '#', an octave 1-8; E# and B# read as the next
// semitone, B#8 is past the last note).  One row that breaks a rule and the
// whole paste does nothing, without a message; the other fields of our rows
// are dots, which it always takes.
#ifndef PATCONV_CONVERTER_PASTE_CHECK_H_
#define PATCONV_CONVERTER_PASTE_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "converter/row_translation.h"

namespace converter {

/// Length of a target row with three full notes.
inline constexpr size_t kPastedRowLength = 49;

namespace paste_detail {
// One table per byte of a note.  ANDed together, the entries of a note's
// three bytes give 1 for a note C-1...B-8, 2 for "---" or "R--", 5 for
// "B#8", 0 for anything else (either letter case).
struct NoteTables {
  unsigned char byte[3][256] = {};
  constexpr NoteTables() {
    Mark(0, "CDEFGAcdefga", 1);
    Mark(0, "Bb", 1 | 4);
    Mark(0, "-Rr", 2);
    Mark(1, "-", 1 | 2);
    Mark(1, "#", 1 | 4);
    Mark(2, "1234567", 1);
    Mark(2, "8", 1 | 4);
    Mark(2, "-", 2);
  }
  constexpr void Mark(int k, std::string_view bytes, unsigned char value) {
    for (char c : bytes) byte[k][static_cast<unsigned char>(c)] = value;
  }
};
inline constexpr NoteTables kNoteTables;

// The kind of a note of three bytes, as above.
inline unsigned NoteKind(std::string_view note) {
  return kNoteTables.byte[0][static_cast<unsigned char>(note[0])] &
         kNoteTables.byte[1][static_cast<unsigned char>(note[1])] &
         kNoteTables.byte[2][static_cast<unsigned char>(note[2])];
}
// The kinds the tracker takes, as a bit mask over the kinds.
inline constexpr unsigned kKindsTaken = 1u << 1 | 1u << 2;
}  // namespace paste_detail

/// True when the tracker takes the row in a paste.  No state; about two
/// dozen instructions and one branch for a row of three notes.
inline bool Pastes(const TargetRow& row) {
  if (((row.notes[0].size() ^ 3) | (row.notes[1].size() ^ 3) | (row.notes[2].size() ^ 3)) != 0) {
    return false;
  }
  using paste_detail::kKindsTaken;
  using paste_detail::NoteKind;
  return ((kKindsTaken >> NoteKind(row.notes[0])) & (kKindsTaken >> NoteKind(row.notes[1])) &
          (kKindsTaken >> NoteKind(row.notes[2])) & 1u) != 0;
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

  /// Adds the run's next kept row: its target line as RowLines gives it
  /// (with CR LF), the source row it was translated from, and the line of
  /// the source file on which that row started (1-based).
  void Add(std::string_view line, std::string_view source_row, int64_t source_line) {
    ++rows_;
    // Only a row of three full notes has the tracker's length; its notes
    // stand at fixed columns.
    if (line.size() == kRowLineSize &&
        Pastes(TargetRow{{line.substr(kNoteColumns[0], 3), line.substr(kNoteColumns[1], 3),
                          line.substr(kNoteColumns[2], 3)}})) {
      return;
    }
    AddRefused(*TranslateRow(source_row), source_line);
  }

  int64_t rows() const { return rows_; }
  int64_t refused() const { return refused_; }

  /// The warning lines for the run, without the program's prefix: none when
  /// the tracker takes every row.  `file` is the output file's name as it
  /// may be shown; empty when the rows went to the screen only, and the
  /// warnings then count the rows shown.
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

  int64_t rows_ = 0;
  int64_t refused_ = 0;
  std::vector<Refused> named_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_PASTE_CHECK_H_
