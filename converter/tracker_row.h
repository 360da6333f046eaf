// The columns of a target row beside its notes, and the rules by which
// Vortex Tracker II takes a row:
//
//   EEEE|NN|nnn SeOv CDPp|nnn SeOv CDPp|nnn SeOv CDPp
//
// EEEE envelope period (hex digits), NN noise (00-1F); per channel the note
// (as the paste check takes it: "---", "R--" or C-1 to B-8), S sample
// (1-9, A-V), e envelope shape (1-F), O ornament (0-F), v volume (1-F),
// C command (0-F), D delay, Pp parameter (hex digits).  '.' stands for 0 in
// every column; the separators are exactly those of the layout.
#ifndef PATCONV_CONVERTER_TRACKER_ROW_H_
#define PATCONV_CONVERTER_TRACKER_ROW_H_

#include <cstddef>
#include <string_view>

#include "converter/row_translation.h"

namespace converter {

/// Where a channel's columns stand, counted from its note's column in a row
/// of full notes (kNoteColumns).
inline constexpr size_t kSampleOffset = kNoteWidth + 1;
inline constexpr size_t kEnvelopeOffset = kNoteWidth + 2;
inline constexpr size_t kOrnamentOffset = kNoteWidth + 3;
inline constexpr size_t kVolumeOffset = kNoteWidth + 4;
/// The command, then its delay and its two-digit parameter.
inline constexpr size_t kCommandOffset = kNoteWidth + 6;
inline constexpr size_t kCommandWidth = 4;

/// True when the tracker takes `row` (without its line end): 49 characters,
/// every column within its rules.  No state.
bool TrackerTakesRow(std::string_view row);

}  // namespace converter

#endif  // PATCONV_CONVERTER_TRACKER_ROW_H_
