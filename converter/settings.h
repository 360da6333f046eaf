// What a conversion carries over from the source rows: which channels, the
// octave shift, and how far the rows are fitted to what Vortex Tracker II
// takes.  The defaults are the plain conversion: the notes of channels 1-3,
// "..." and "===" mapped, every other byte as it stands.
#ifndef PATCONV_CONVERTER_SETTINGS_H_
#define PATCONV_CONVERTER_SETTINGS_H_

#include <array>

namespace converter {

/// How the rows are converted.
struct Settings {
  /// The source channel (1-based) that each target channel A, B and C takes
  /// its note from; 0 for none (the empty note).
  std::array<int, 3> channels{1, 2, 3};
  /// Octaves added to every real note (-7 to 7).
  int octave = 0;
  /// Every row written is one the tracker takes.
  bool fit = false;
  /// Every column with a counterpart is carried (implies fit).
  bool full = false;

  /// The plain conversion: no option changes a byte of it.
  bool IsDefault() const {
    return channels == std::array<int, 3>{1, 2, 3} && octave == 0 && !fit && !full;
  }
  friend bool operator==(const Settings& a, const Settings& b) {
    return a.channels == b.channels && a.octave == b.octave && a.fit == b.fit && a.full == b.full;
  }
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_SETTINGS_H_
