// The text module Vortex Tracker II opens as a file: a song's patterns and
// play order, with the plain ornament and samples that make every row sound.
//
//   [Module]              the keys below, in this order
//   VortexTrackerII=1
//   Version=3.6
//   Title=…               at most 32 bytes
//   Author=
//   NoteTable=2
//   Speed=6               1-255
//   PlayOrder=L0,1,0,2    pattern numbers, the song loops to the first
//   (blank)
//   [Ornament1]  L0       the plain ornament
//   [SampleN]    one plain tone for each sample number the rows use
//   [PatternN]   the rows, N from 0
//
// Every line ends with CR LF and every section with a blank line.
#ifndef PATCONV_CONVERTER_MODULE_H_
#define PATCONV_CONVERTER_MODULE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace converter {

/// The most patterns a module holds (numbered from 0).
inline constexpr int64_t kModulePatterns = 85;
/// The most entries of a module's play order.
inline constexpr int64_t kModulePositions = 256;
/// The most bytes of a module's title.
inline constexpr size_t kTitleBytes = 32;
/// The speed of a song whose first row sets none.
inline constexpr int kDefaultSpeed = 6;

/// One pattern of a module.
struct ModulePattern {
  std::string text;  ///< its rows, each followed by CR LF
  int64_t rows = 0;  ///< 1 to kPatternRows
};

/// A song ready to be written as a module.
struct Song {
  /// Pattern N at [N], numbered in the order they are first played.
  std::vector<ModulePattern> patterns;
  /// Pattern numbers in play order; the song loops to the first.
  std::vector<int> play_order;
  /// Entries of the copy's play order that named no block with rows, or no
  /// number: left out.
  int64_t entries_left_out = 0;

  /// The rows of all the patterns.
  int64_t Rows() const;
};

/// The module's title: `name` (the copy's first Name:) when there is one,
/// else the last part of `source_path` without its extension ("" for a
/// source without a file name); cut to kTitleBytes, control bytes made
/// blanks.  Bytes as they are: a name from the system's own character set
/// is the caller's to turn into Windows-1251 first.
std::string ModuleTitle(const std::optional<std::string>& name, std::string_view source_path);

/// The speed the first row of the first pattern played sets: the parameter
/// of the first `B` command (1-255) of channel A, B or C; else kDefaultSpeed.
int SongSpeed(const Song& song);

/// The sample numbers the rows use, in increasing order, 1 always among
/// them.
std::vector<int> SamplesUsed(const Song& song);

/// The whole text of the module; `song` holds at least one pattern and one
/// play-order entry, and no more than the limits above.
std::string ModuleText(const Song& song, std::string_view title);

/// The line for standard error once the module is written, without the
/// program's prefix: "'song-vt.txt': 12 patterns, 768 rows, 16 positions".
/// `target` is the module's name as it may be shown.
std::string SongEndLine(const Song& song, std::string_view target);

/// The warnings about the song, without the program's prefix: the play-order
/// entries left out.
std::vector<std::string> SongWarnings(const Song& song);

}  // namespace converter

#endif  // PATCONV_CONVERTER_MODULE_H_
