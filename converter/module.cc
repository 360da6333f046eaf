#include "converter/module.h"

#include <array>

#include "converter/row_translation.h"
#include "converter/shown_text.h"
#include "converter/tracker_row.h"

namespace converter {
namespace {

// The plain tone every sample plays: tone on, full amplitude, looped.
constexpr std::string_view kPlainSample = "Tne +000_ +00_ F_ L";

// The value of a hex digit of a row, '.' as 0; -1 for any other byte.
int RowDigit(char c) {
  if (c == '.') return 0;
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;  // the sample column goes up to V (31)
  return -1;
}

// The first row of a pattern's text, without its line end.
std::string_view FirstRow(const ModulePattern& pattern) {
  const std::string_view text = pattern.text;
  return text.substr(0, text.find(kLineEnd));
}

std::string Counted(int64_t count, std::string_view one, std::string_view many) {
  return ShownCount(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

int64_t Song::Rows() const {
  int64_t rows = 0;
  for (const ModulePattern& pattern : patterns) rows += pattern.rows;
  return rows;
}

std::string ModuleTitle(const std::optional<std::string>& name, std::string_view source_path) {
  std::string title;
  if (name) {
    title = *name;
  } else {
    std::string_view file = source_path.substr(source_path.find_last_of("/\\") + 1);
    const size_t dot = file.rfind('.');
    if (dot != std::string_view::npos && dot > 0) file = file.substr(0, dot);
    title = file;
  }
  if (title.size() > kTitleBytes) title.resize(kTitleBytes);
  for (char& c : title) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return title;
}

int SongSpeed(const Song& song) {
  if (song.play_order.empty()) return kDefaultSpeed;
  const std::string_view row = FirstRow(song.patterns[static_cast<size_t>(song.play_order[0])]);
  for (size_t note : kNoteColumns) {
    const size_t command = note + kCommandOffset, parameter = note + (kCommandOffset + 2);
    if (row.size() < parameter + 2 || row[command] != 'B') continue;
    const int high = RowDigit(row[parameter]), low = RowDigit(row[parameter + 1]);
    if (high < 0 || high > 15 || low < 0 || low > 15) continue;
    if (high * 16 + low > 0) return high * 16 + low;
  }
  return kDefaultSpeed;
}

std::vector<int> SamplesUsed(const Song& song) {
  std::array<bool, 32> used{};
  used[1] = true;
  for (const ModulePattern& pattern : song.patterns) {
    std::string_view text = pattern.text;
    while (!text.empty()) {
      const size_t end = text.find(kLineEnd);
      const std::string_view row = text.substr(0, end);
      for (size_t note : kNoteColumns) {
        if (note + kSampleOffset < row.size()) {
          const int sample = RowDigit(row[note + kSampleOffset]);
          if (sample > 0) used[static_cast<size_t>(sample)] = true;
        }
      }
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + kLineEnd.size());
    }
  }
  std::vector<int> samples;
  for (size_t n = 1; n < used.size(); ++n) {
    if (used[n]) samples.push_back(static_cast<int>(n));
  }
  return samples;
}

std::string ModuleText(const Song& song, std::string_view title) {
  std::string text;
  auto line = [&text](std::string_view first, std::string_view second = {}) {
    text.append(first).append(second).append(kLineEnd);
  };
  auto section = [&line](std::string_view kind, int number) {
    line(kind, std::to_string(number) + "]");
  };
  std::string play_order = "L";
  for (size_t i = 0; i < song.play_order.size(); ++i) {
    if (i > 0) play_order += ',';
    play_order += std::to_string(song.play_order[i]);
  }

  line("[Module]");
  line("VortexTrackerII=1");
  line("Version=3.6");
  line("Title=", title.substr(0, kTitleBytes));
  line("Author=");
  line("NoteTable=2");
  line("Speed=", std::to_string(SongSpeed(song)));
  line("PlayOrder=", play_order);
  line("");
  section("[Ornament", 1);
  line("L0");
  line("");
  for (int sample : SamplesUsed(song)) {
    section("[Sample", sample);
    line(kPlainSample);
    line("");
  }
  for (size_t n = 0; n < song.patterns.size(); ++n) {
    section("[Pattern", static_cast<int>(n));
    text += song.patterns[n].text;
    line("");
  }
  return text;
}

std::string SongEndLine(const Song& song, std::string_view target) {
  return "'" + std::string(target) +
         "': " + Counted(static_cast<int64_t>(song.patterns.size()), "pattern", "patterns") + ", " +
         Counted(song.Rows(), "row", "rows") + ", " +
         Counted(static_cast<int64_t>(song.play_order.size()), "position", "positions");
}

std::vector<std::string> SongWarnings(const Song& song) {
  if (song.entries_left_out == 0) return {};
  const bool one = song.entries_left_out == 1;
  return {Counted(song.entries_left_out, "entry", "entries") + " of the play order " +
          (one ? "names" : "name") + " no pattern of the copy and " + (one ? "was" : "were") +
          " left out"};
}

}  // namespace converter
