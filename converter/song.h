// A whole-song copy of the source tracker (orders selected) read into a song
// for a module (module.h).  The copy, line by line:
//
//   ModPlug Tracker  XM         the header: no row
//   Orders: 0,1,+,0,2,-,1       the play order: blocks counted from 0 in the
//                               order they appear; '+' skipped, '-' ends it
//   Rows: 64                    begins a block; the number only marks it
//   Name: Intro                 the first one is the song's title
//   Signature: 4/16             (any other line gives nothing)
//   |C-501v64A06|...........    a row of the block
//
// A copy without Rows: lines is one block of all its rows; a copy without
// an Orders: line plays its blocks once each, in order.  A block becomes one
// pattern, or, longer than kPatternRows, parts of that many rows that follow
// each other in the play order.  Patterns are numbered from 0 in the order
// they are first played; a block never played is not kept.  Only the rows
// of blocks that may be played are converted and held, so a copy too large
// for a module is refused as soon as it is known to be.
#ifndef PATCONV_CONVERTER_SONG_H_
#define PATCONV_CONVERTER_SONG_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "converter/module.h"

namespace converter {

/// Converts a row of the copy (a line that begins with '|') into the text of
/// a target row, without its line end; nothing when it gives no row.  The
/// view may be into the conversion's own storage, valid until its next call.
using RowConversion = std::function<std::optional<std::string_view>(std::string_view source_row)>;

/// Why a copy makes no module.
struct SongError {
  enum class Kind {
    kNoRows,            ///< no row at all
    kNothingPlayed,     ///< rows, but the play order plays none of them
    kTooManyPatterns,   ///< more than kModulePatterns
    kTooManyPositions,  ///< more than kModulePositions play-order entries
  };
  Kind kind = Kind::kNoRows;
  int64_t count = 0;      ///< the patterns or positions (the kTooMany kinds)
  bool at_least = false;  ///< refused before the copy's end: `count` or more

  /// The error line without the program's prefix; `source` names the copy
  /// as it is shown ("'song.txt'", "the clipboard").
  std::string Message(std::string_view source) const;
};

/// Reads a copy field by field, as the field reader cuts it: a line whole,
/// or the pieces of a line cut at its commas.
class SongReader {
 public:
  explicit SongReader(RowConversion convert);

  /// Takes the copy's next field; `ends_line` when a line end came with it
  /// (the next field begins a line).  False once the copy is refused as too
  /// large: nothing more need be read.
  bool Feed(std::string_view field, bool ends_line);

  /// The copy's first Name: that is not empty, blanks around it removed;
  /// nothing without one.
  /// A name cut at its commas is joined again, without the blanks that
  /// followed the commas.
  const std::optional<std::string>& name() const { return name_; }

  /// The song, or why there is none.  Called once, after the last field.
  std::variant<Song, SongError> Finish();

  /// Play-order entries held at most (a copy with more is refused).
  static constexpr size_t kEntriesHeld = 65536;

 private:
  struct Block {
    uint32_t number;  // counted from 0 in the order blocks appear
    std::vector<ModulePattern> parts;
  };
  enum class Line { kNone, kOrders, kName };  // what the next field continues

  void OrderEntries(std::string_view text);
  void OrdersEnded();
  void BeginBlock();
  void AddRow(std::string_view source_row);
  int64_t TimesPlayed(uint32_t block) const;
  void Refuse(SongError::Kind kind, int64_t count);

  RowConversion convert_;
  std::optional<std::string> name_;
  Line continued_ = Line::kNone;
  bool line_open_ = false;  // the last field did not end its line
  bool orders_seen_ = false;
  bool orders_ended_ = false;
  std::vector<uint32_t> entries_;  // block numbers in play order
  std::vector<uint32_t> sorted_entries_;
  int64_t not_numbers_ = 0;
  int64_t blocks_ = 0;           // blocks begun
  bool holding_ = false;         // the current block's rows are kept
  int64_t rows_not_played_ = 0;  // rows of blocks not kept
  std::vector<Block> held_;      // the kept blocks that have rows, by number
  int64_t patterns_ = 0;         // parts of the kept blocks
  int64_t positions_ = 0;        // the play-order entries they make
  std::optional<SongError> refused_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_SONG_H_
