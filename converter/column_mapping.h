// The conversion of source rows under the settings that change it: the
// channels chosen, an octave shift, rows fitted to what the tracker takes,
// and every column that has a counterpart carried.  (The plain conversion
// is RowLines.)
//
// Without fit, only the notes change: those of the chosen cells (cell k's
// note at 0-based offset 1 + 12 (k - 1) of the field), cut and mapped as
// RowLines does, real notes shifted by the octaves.  A field whose
// characters 2-4 read "odP" (the header) gives no row.
//
// With fit, every row written is 49 characters the tracker takes: a field
// whose first non-blank character is not '|' gives no row; notes are
// "---", "R--" (note off, cut, fade) or an upper-case note C-1 to B-8;
// at most `row_limit` rows are written.
//
// With full (fit implied), per chosen channel: instrument 1-31 -> sample
// (on rows with a note), volume column v01-v64 or MOD/XM set volume C01-C40
// -> volume 1-F by loudness, speed (MOD/XM F01-F1F, S3M/IT/MPT A01-AFF) ->
// command B.  The header line ("ModPlug Tracker  XM") names the effect
// letters; without one no effect is carried.  The rest is counted.
#ifndef PATCONV_CONVERTER_COLUMN_MAPPING_H_
#define PATCONV_CONVERTER_COLUMN_MAPPING_H_

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "converter/paste_check.h"
#include "converter/row_translation.h"
#include "converter/settings.h"

namespace converter {

/// Translates the fields of one source text, one after another, under
/// settings other than the default ones.  Counts what it changes or leaves
/// out for its warnings.  Nothing is allocated per row.
class ColumnMapping {
 public:
  /// No limit on the rows written (a caller that splits the text itself).
  static constexpr int64_t kNoRowLimit = std::numeric_limits<int64_t>::max();

  /// `row_limit` applies with fit only: the rows written at most.
  explicit ColumnMapping(const Settings& settings, int64_t row_limit = kPatternRows);
  ColumnMapping(const ColumnMapping&) = delete;
  ColumnMapping& operator=(const ColumnMapping&) = delete;

  /// The line of the field's target row, valid until the next call; nullptr
  /// when the field gives no row.  A header line sets the effect letters
  /// of the fields after it, so one mapping takes a whole text.  Rows past
  /// the limit are counted, not translated.
  const RowLine* Translate(std::string_view source_field);

  /// The rows written so far.
  int64_t rows() const { return rows_; }

  /// The warning lines for the fields translated so far, without the
  /// program's prefix and level ("fitted for the tracker: 3 note cuts and
  /// fades written as R--"); none when nothing was changed or left out.
  std::vector<std::string> Warnings() const;

  // What is counted (public for the tables of column_mapping.cc).
  enum Count : uint8_t {
    // Effects and volume-column commands left out, in the order named.
    kArpeggio,
    kPortamentoUp,
    kPortamentoDown,
    kTonePortamento,
    kVibrato,
    kTonePortamentoVolumeSlide,
    kVibratoVolumeSlide,
    kTremolo,
    kPanning,
    kSampleOffsetEffect,
    kVolumeSlide,
    kPositionJump,
    kPatternBreak,
    kExtended,
    kTempo,
    kChannelVolume,
    kOtherEffect,
    kEffectWithoutHeader,
    kVolumeZero,
    kOtherVolumeCommand,
    kInstrumentAbove31,
    kInstrumentWithoutNote,
    kLeftOutEnd,
    // The changes of fit.
    kCutOrFade = kLeftOutEnd,
    kOutsideOctaves,
    kLowerCase,
    kParameterControl,
    kNoNote,
    kWithoutCells,
    kFitEnd,
    // Notes the octave shift put outside 1-8, and rows past the limit.
    kShiftedOut = kFitEnd,
    kBeyondLimit,
    kCountEnd,
  };

  /// The effect letters of the source's format, by its header.
  enum class Letters : uint8_t { kUnknown, kModXm, kS3mItMpt };

 private:
  enum class Note : uint8_t { kNote, kNone, kParameterControl };

  const RowLine* TranslatePlain(std::string_view field);
  const RowLine* TranslateFitted(std::string_view field);
  /// Writes the fitted note of the three characters at `from` to `to`.
  Note PutFittedNote(const char* from, char* to);
  /// Writes the other columns of one channel from its 12-character cell.
  void PutColumns(const char* cell, Note note, char* to);
  /// The volume column's level into *volume; true when it holds a v.
  bool PutVolume(const char* column, char* volume);
  /// The effect's volume or command, by the letters of the format.
  void PutEffect(const char* effect, bool volume_set, char* volume, char* command);

  const bool fit_;
  const bool full_;
  const int octave_;
  const int64_t row_limit_;
  std::array<int, 3> channels_;  // 0-based offset of each chosen cell, or -1
  size_t reach_ = 0;             // the length of a field that holds every chosen cell
  Letters letters_ = Letters::kUnknown;
  int64_t rows_ = 0;
  std::array<int64_t, kCountEnd> counts_{};
  std::vector<char> padded_;   // a short field with blanks after it
  char notes_[3][kNoteWidth];  // shifted notes (without fit)
  char line_[kLongestLine];
  RowLine row_line_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_COLUMN_MAPPING_H_
