#include "converter/column_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <utility>

#include "converter/shown_text.h"
#include "converter/tracker_row.h"

namespace converter {
namespace {

// A source cell: '|', note (3), instrument (2), volume column (3), effect
// letter (1), parameter (2).
constexpr int kCellWidth = 12;
constexpr size_t kInstrumentAt = 4, kVolumeAt = 6, kEffectAt = 9;

using Count = ColumnMapping::Count;
using Letters = ColumnMapping::Letters;

// Effect codes beside the counts: what is carried, or nothing at all.
constexpr uint8_t kNoEffect = 0xFF;
constexpr uint8_t kSetVolume = 0xFE;   // MOD/XM C: 00-40 hex
constexpr uint8_t kSpeedTicks = 0xFD;  // MOD/XM F: speed below 20 hex, tempo from it
constexpr uint8_t kSpeed = 0xFC;       // S3M/IT/MPT A: 01-FF
constexpr uint8_t kVolumeSet = 0xFB;   // the volume column's v00-v64

using ByteTable = std::array<uint8_t, 256>;

constexpr ByteTable Table(uint8_t others, std::initializer_list<std::pair<char, uint8_t>> pairs) {
  ByteTable table{};
  for (uint8_t& code : table) code = others;
  table[static_cast<unsigned char>('.')] = kNoEffect;
  table[static_cast<unsigned char>(' ')] = kNoEffect;  // outside a partial selection
  for (const auto& pair : pairs) table[static_cast<unsigned char>(pair.first)] = pair.second;
  return table;
}

// The effect letters of each format, as Letters counts them.
constexpr ByteTable kEffects[] = {
    Table(Count::kEffectWithoutHeader, {}),
    Table(Count::kOtherEffect, {{'0', Count::kArpeggio},
                                {'1', Count::kPortamentoUp},
                                {'2', Count::kPortamentoDown},
                                {'3', Count::kTonePortamento},
                                {'4', Count::kVibrato},
                                {'5', Count::kTonePortamentoVolumeSlide},
                                {'6', Count::kVibratoVolumeSlide},
                                {'7', Count::kTremolo},
                                {'8', Count::kPanning},
                                {'9', Count::kSampleOffsetEffect},
                                {'A', Count::kVolumeSlide},
                                {'B', Count::kPositionJump},
                                {'C', kSetVolume},
                                {'D', Count::kPatternBreak},
                                {'E', Count::kExtended},
                                {'F', kSpeedTicks}}),
    Table(Count::kOtherEffect, {{'J', Count::kArpeggio},
                                {'F', Count::kPortamentoUp},
                                {'E', Count::kPortamentoDown},
                                {'G', Count::kTonePortamento},
                                {'H', Count::kVibrato},
                                {'U', Count::kVibrato},
                                {'L', Count::kTonePortamentoVolumeSlide},
                                {'K', Count::kVibratoVolumeSlide},
                                {'R', Count::kTremolo},
                                {'X', Count::kPanning},
                                {'O', Count::kSampleOffsetEffect},
                                {'D', Count::kVolumeSlide},
                                {'B', Count::kPositionJump},
                                {'C', Count::kPatternBreak},
                                {'S', Count::kExtended},
                                {'A', kSpeed},
                                {'T', Count::kTempo},
                                {'M', Count::kChannelVolume},
                                {'N', Count::kChannelVolume}}),
};

constexpr ByteTable kVolumeCommands =
    Table(Count::kOtherVolumeCommand, {{'v', kVolumeSet},
                                       {'p', Count::kPanning},
                                       {'a', Count::kVolumeSlide},
                                       {'b', Count::kVolumeSlide},
                                       {'c', Count::kVolumeSlide},
                                       {'d', Count::kVolumeSlide},
                                       {'g', Count::kTonePortamento},
                                       {'h', Count::kVibrato}});

// Hex digit values; '.' and a blank are 0, anything else -1.
constexpr std::array<int8_t, 256> kHexValues = [] {
  std::array<int8_t, 256> values{};
  for (int8_t& value : values) value = -1;
  values[static_cast<unsigned char>('.')] = 0;
  values[static_cast<unsigned char>(' ')] = 0;
  for (size_t i = 0; i < 10; ++i) values['0' + i] = static_cast<int8_t>(i);
  for (size_t i = 0; i < 6; ++i) values['A' + i] = values['a' + i] = static_cast<int8_t>(10 + i);
  return values;
}();

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kSamples[] = ".123456789ABCDEFGHIJKLMNOPQRSTUV";  // by instrument 0-31
constexpr int kLastSample = 31;
constexpr int kLoudest = 64;  // the source's volume, linear

// The chip's level (1-F) for each source volume 1-64: its levels are about
// 3 dB apart, the amplitude halving every two levels.
const std::array<char, kLoudest + 1> kLevels = [] {
  std::array<char, kLoudest + 1> levels{};
  levels[0] = '.';
  for (int v = 1; v <= kLoudest; ++v) {
    const long level = std::lround(15 + 2 * std::log2(static_cast<double>(v) / kLoudest));
    levels[static_cast<size_t>(v)] = kHexDigits[std::max(1L, level)];
  }
  return levels;
}();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool ReadsOdP(std::string_view field) {
  return field.size() >= 4 && field[1] == 'o' && field[2] == 'd' && field[3] == 'P';
}

// The letters a header line names: "ModPlug Tracker", blanks, the format.
std::optional<Letters> HeaderLetters(std::string_view line) {
  constexpr std::string_view kTracker = "ModPlug Tracker";
  if (line.substr(0, kTracker.size()) != kTracker) return std::nullopt;
  line.remove_prefix(kTracker.size());
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && (IsBlank(line.back()) || line.back() == '\r')) line.remove_suffix(1);
  if (line == "MOD" || line == "XM") return Letters::kModXm;
  if (line == "S3M" || line == "IT" || line == "MPT") return Letters::kS3mItMpt;
  return Letters::kUnknown;
}

// A real note: a letter A-G (either case), '-' or '#', an octave digit.
bool IsRealNote(char letter, char sign, char octave) {
  const char upper = paste_detail::UpperAscii(letter);
  return upper >= 'A' && upper <= 'G' && (sign == '-' || sign == '#') && IsDigit(octave);
}

void Put3(char* to, const char* text) { std::memcpy(to, text, kNoteWidth); }

char* Put(char* to, std::string_view bytes) {
  if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
  return to + bytes.size();
}

// The line of the notes given, and the views into it.
RowLine PutLine(const std::string_view (&notes)[3], char* to) {
  RowLine line;
  char* at = to;
  for (int i = 0; i < 3; ++i) {
    at = Put(at, kRowPieces[i]);
    line.row.notes[i] = std::string_view(at, notes[i].size());
    at = Put(at, notes[i]);
  }
  at = Put(Put(at, kRowPieces[3]), kLineEnd);
  line.text = std::string_view(to, static_cast<size_t>(at - to));
  return line;
}

constexpr std::string_view kEmptyNote = "---";

}  // namespace

ColumnMapping::ColumnMapping(const Settings& settings, int64_t row_limit)
    : fit_(settings.fit || settings.full),
      full_(settings.full),
      octave_(settings.octave),
      row_limit_(fit_ ? row_limit : kNoRowLimit) {
  for (size_t k = 0; k < channels_.size(); ++k) {
    channels_[k] = settings.channels[k] > 0 ? kCellWidth * (settings.channels[k] - 1) : -1;
    if (channels_[k] >= 0)
      reach_ = std::max(reach_, static_cast<size_t>(channels_[k] + kCellWidth));
  }
  padded_.resize(reach_);
  const std::string_view empty[3] = {kEmptyNote, kEmptyNote, kEmptyNote};
  row_line_ = PutLine(empty, line_);
}

const RowLine* ColumnMapping::Translate(std::string_view source_field) {
  return fit_ ? TranslateFitted(source_field) : TranslatePlain(source_field);
}

const RowLine* ColumnMapping::TranslatePlain(std::string_view field) {
  if (ReadsOdP(field)) return nullptr;
  std::string_view notes[3];
  for (size_t k = 0; k < 3; ++k) {
    const size_t start = static_cast<size_t>(channels_[k] + 1);
    if (channels_[k] < 0 || start >= field.size()) {
      notes[k] = channels_[k] < 0 ? kEmptyNote : std::string_view();
      continue;
    }
    std::string_view note = field.substr(start, kNoteWidth);
    if (note == "...") note = kEmptyNote;
    if (note == "===") note = "R--";
    if (octave_ != 0 && note.size() == kNoteWidth && IsRealNote(note[0], note[1], note[2])) {
      const int octave = note[2] - '0' + octave_;
      if (octave < 1 || octave > 8) {
        ++counts_[kShiftedOut];
        note = kEmptyNote;
      } else {
        notes_[k][0] = note[0];
        notes_[k][1] = note[1];
        notes_[k][2] = static_cast<char>('0' + octave);
        note = std::string_view(notes_[k], kNoteWidth);
      }
    }
    notes[k] = note;
  }
  row_line_ = PutLine(notes, line_);
  ++rows_;
  return &row_line_;
}

const RowLine* ColumnMapping::TranslateFitted(std::string_view field) {
  while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
  if (ReadsOdP(field)) {  // the header, not counted
    if (const std::optional<Letters> letters = HeaderLetters(field)) letters_ = *letters;
    return nullptr;
  }
  if (field.empty() || field.front() != '|') {
    ++counts_[kWithoutCells];
    return nullptr;
  }
  if (rows_ >= row_limit_) {
    ++counts_[kBeyondLimit];
    return nullptr;
  }
  ++rows_;
  const char* from = field.data();
  if (field.size() < reach_) {  // the cells past its end read as blanks
    std::memcpy(padded_.data(), from, field.size());
    std::memset(padded_.data() + field.size(), ' ', reach_ - field.size());
    from = padded_.data();
  }
  for (size_t k = 0; k < 3; ++k) {
    if (channels_[k] < 0) continue;  // stays "--- .... ...."
    const char* cell = from + channels_[k];
    char* to = line_ + kNoteColumns[k];
    const Note note = PutFittedNote(cell + 1, to);
    if (full_) PutColumns(cell, note, to);
  }
  return &row_line_;
}

ColumnMapping::Note ColumnMapping::PutFittedNote(const char* from, char* to) {
  const char letter = from[0], sign = from[1], digit = from[2];
  if (IsRealNote(letter, sign, digit)) {
    const char upper = paste_detail::UpperAscii(letter);
    const int octave = digit - '0' + octave_;
    if (octave < 1 || octave > 8 || (upper == 'B' && sign == '#' && octave == 8)) {
      ++counts_[octave_ != 0 ? kShiftedOut : kOutsideOctaves];
      Put3(to, "---");
      return Note::kNone;
    }
    if (upper != letter) ++counts_[kLowerCase];
    to[0] = upper;
    to[1] = sign;
    to[2] = static_cast<char>('0' + octave);
    return Note::kNote;
  }
  if (letter == sign && sign == digit) {
    if (letter == '.' || letter == ' ') {  // empty, or a cell the row does not reach
      Put3(to, "---");
      return Note::kNone;
    }
    if (letter == '=' || letter == '^' || letter == '~') {
      if (letter != '=') ++counts_[kCutOrFade];
      Put3(to, "R--");
      return Note::kNone;
    }
  }
  const bool control = letter == 'P' && sign == 'C' && (digit == ' ' || digit == 's');
  ++counts_[control ? kParameterControl : kNoNote];
  Put3(to, "---");
  return control ? Note::kParameterControl : Note::kNone;
}

void ColumnMapping::PutColumns(const char* cell, Note note, char* to) {
  char sample = '.';
  char volume = '.';
  char command[kCommandWidth] = {'.', '.', '.', '.'};
  // A parameter control's fields hold its numbers: nothing to carry.
  if (note != Note::kParameterControl) {
    const char tens = cell[kInstrumentAt], ones = cell[kInstrumentAt + 1];
    if (tens >= '0' && tens <= '0' + 25 && IsDigit(ones)) {
      const int instrument = (tens - '0') * 10 + (ones - '0');
      if (instrument > kLastSample) {
        ++counts_[kInstrumentAbove31];
      } else if (instrument > 0) {
        if (note == Note::kNote) {
          sample = kSamples[instrument];
        } else {
          ++counts_[kInstrumentWithoutNote];
        }
      }
    }
    const bool volume_set = PutVolume(cell + kVolumeAt, &volume);
    PutEffect(cell + kEffectAt, volume_set, &volume, command);
  }
  to[kSampleOffset] = sample;
  to[kVolumeOffset] = volume;
  std::memcpy(to + kCommandOffset, command, kCommandWidth);
}

bool ColumnMapping::PutVolume(const char* column, char* volume) {
  const uint8_t code = kVolumeCommands[static_cast<unsigned char>(column[0])];
  if (code == kNoEffect) return false;
  if (code != kVolumeSet) {
    ++counts_[code];
    return false;
  }
  if (!IsDigit(column[1]) || !IsDigit(column[2])) {
    ++counts_[kOtherVolumeCommand];
    return true;
  }
  const int value = (column[1] - '0') * 10 + (column[2] - '0');
  if (value == 0 || value > kLoudest) {
    ++counts_[value == 0 ? kVolumeZero : kOtherVolumeCommand];
  } else {
    *volume = kLevels[static_cast<size_t>(value)];
  }
  return true;
}

void ColumnMapping::PutEffect(const char* effect, bool volume_set, char* volume, char* command) {
  const uint8_t code = kEffects[static_cast<int>(letters_)][static_cast<unsigned char>(effect[0])];
  if (code == kNoEffect) return;
  const int high = kHexValues[static_cast<unsigned char>(effect[1])];
  const int low = kHexValues[static_cast<unsigned char>(effect[2])];
  const int parameter = high < 0 || low < 0 ? -1 : high * 16 + low;
  switch (code) {
    case kSetVolume:
      if (volume_set) return;  // the volume column's v holds
      if (parameter > 0) {
        *volume = kLevels[static_cast<size_t>(std::min(parameter, kLoudest))];
      } else {
        ++counts_[parameter == 0 ? kVolumeZero : kOtherEffect];
      }
      return;
    case kSpeedTicks:
      if (parameter >= 0x20) {
        ++counts_[kTempo];
        return;
      }
      [[fallthrough]];
    case kSpeed:
      if (parameter <= 0) {
        ++counts_[kOtherEffect];
        return;
      }
      // The tracker's numbers: a leading zero is a dot (B..6, B.1F).
      command[0] = 'B';
      command[2] = high == 0 ? '.' : kHexDigits[high];
      command[3] = kHexDigits[low];
      return;
    default: ++counts_[code];
  }
}

namespace {

// The words for each count: one, and more than one.
struct Words {
  const char* one;
  const char* more;
};
constexpr Words kWords[] = {
    {"arpeggio", "arpeggios"},
    {"portamento up", "portamentos up"},
    {"portamento down", "portamentos down"},
    {"tone portamento", "tone portamentos"},
    {"vibrato", "vibrato"},
    {"tone portamento with volume slide", "tone portamentos with volume slide"},
    {"vibrato with volume slide", "vibrato with volume slide"},
    {"tremolo", "tremolo"},
    {"panning", "panning"},
    {"sample offset", "sample offsets"},
    {"volume slide", "volume slides"},
    {"position jump", "position jumps"},
    {"pattern break", "pattern breaks"},
    {"extended effect", "extended effects"},
    {"tempo change", "tempo changes"},
    {"channel volume", "channel volume"},
    {"other effect", "other effects"},
    {"effect with no header naming the format", "effects with no header naming the format"},
    {"volume of 0", "volumes of 0"},
    {"other volume-column command", "other volume-column commands"},
    {"instrument above 31", "instruments above 31"},
    {"instrument without a note", "instruments without a note"},
    // fit
    {"note cut or fade written as R--", "note cuts and fades written as R--"},
    {"note outside octaves 1-8 left out", "notes outside octaves 1-8 left out"},
    {"lower-case note upper-cased", "lower-case notes upper-cased"},
    {"parameter control left out", "parameter controls left out"},
    {"cell without a note written as ---", "cells without a note written as ---"},
    {"line without cells skipped", "lines without cells skipped"},
};

static_assert(std::size(kWords) == ColumnMapping::kFitEnd,
              "words for every count but the last two");

std::string Counted(int64_t count, const Words& words) {
  return ShownCount(count) + " " + (count == 1 ? words.one : words.more);
}

}  // namespace

std::vector<std::string> ColumnMapping::Warnings() const {
  std::vector<std::string> lines;
  // The counts from `first` to `end` that are not 0, after `title`.
  auto add_line = [&](const char* title, int first, int end) {
    std::string line;
    for (int i = first; i < end; ++i) {
      if (counts_[static_cast<size_t>(i)] == 0) continue;
      line += line.empty() ? title : ", ";
      line += Counted(counts_[static_cast<size_t>(i)], kWords[i]);
    }
    if (!line.empty()) lines.push_back(line);
  };
  if (const int64_t shifted = counts_[kShiftedOut]) {
    lines.push_back("--octave " + std::to_string(octave_) + ": " +
                    Counted(shifted, {"note", "notes"}) +
                    " shifted outside octaves 1-8, written as ---");
  }
  add_line("fitted for the tracker: ", kLeftOutEnd, kFitEnd);
  if (const int64_t beyond = counts_[kBeyondLimit]) {
    lines.push_back("fitted for the tracker: " + Counted(beyond, {"row", "rows"}) +
                    " after the first " + ShownCount(row_limit_) +
                    " left out, the most a pattern holds (--song converts a longer text "
                    "into several patterns)");
  }
  add_line("left out, no counterpart in the tracker: ", 0, kLeftOutEnd);
  return lines;
}

}  // namespace converter
