// A whole song's copy made one text module (module.h): the source's fields
// read into a song as they come, and the module written whole to a file or
// standard output once the song is whole.  No row is written or shown on
// the way; a copy that makes no module leaves the target as it was.
#ifndef PATCONV_CONVERTER_MODULE_TARGET_H_
#define PATCONV_CONVERTER_MODULE_TARGET_H_

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "converter/column_mapping.h"
#include "converter/job.h"
#include "converter/session.h"
#include "converter/settings.h"
#include "converter/song.h"
#include "converter/targets.h"

namespace converter {

/// The fields of a copy read into a song: its rows converted as `settings`
/// say by one mapping for the whole text (whose header names the effect
/// letters), with no limit on the rows.
class SongRows {
 public:
  explicit SongRows(const Settings& settings);
  SongRows(const SongRows&) = delete;
  SongRows& operator=(const SongRows&) = delete;

  /// Reads the input channel's fields to its end, or until the copy is
  /// refused as too large for a module.
  void Read(Session& session);
  /// The song, or why there is none.  Called once, after Read.
  std::variant<Song, SongError> Finish() { return reader_.Finish(); }
  /// The copy's first Name:, in Windows-1251.
  const std::optional<std::string>& name() const { return reader_.name(); }
  /// The mapping's warnings, without the program's prefix.
  std::vector<std::string> Warnings() const { return mapping_.Warnings(); }

 private:
  ColumnMapping mapping_;
  SongReader reader_;
};

/// The module of the song a kSong job reads (from its source, a file or
/// "-", or the clipboard), written to its target (a file, or "-" for
/// standard output) once the copy has been read and makes one.  The end
/// line counts what was written; the song's warnings and the mapping's
/// follow it.
std::unique_ptr<Target> ModuleTarget(const Job& job);

}  // namespace converter

#endif  // PATCONV_CONVERTER_MODULE_TARGET_H_
