#include "converter/song.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <variant>

#include "converter/module.h"
#include "converter/row_translation.h"
#include "converter/tracker_row.h"
#include "textio/channels.h"

namespace converter {

// Loads a module by the tracker's rules (a broken one fails the test) and
// tells what it holds: "title|speed|play order|rows of each pattern|samples".
// (Also for the runs of dispatch_test.cc.)
std::string LoadModule(const std::string& text) {
  std::map<std::string, std::string> keys;
  std::string section, rows, samples;
  std::map<int, int> patterns;  // rows of each
  int ornaments = 0;
  std::smatch match;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    line.pop_back();  // the CR
    if (line.empty()) continue;
    if (std::regex_match(line, match, std::regex(R"(\[(Module|Ornament|Sample|Pattern)(\d*)\])"))) {
      section = match[1];
      const int n = section == "Module" ? 0 : std::stoi(match[2]);
      const int last = section == "Sample" ? 31 : section == "Ornament" ? 15 : 84;
      const int first = section == "Sample" || section == "Ornament" ? 1 : 0;
      EXPECT_TRUE(n >= first && n <= last && (section == "Module") == keys.empty()) << line;
      if (section == "Sample") samples += (samples.empty() ? "" : ",") + std::to_string(n);
      EXPECT_TRUE(section != "Pattern" || patterns.emplace(n, 0).second);
      ornaments += section == "Ornament";
    } else if (section == "Module") {
      EXPECT_TRUE(std::regex_match(line, match, std::regex("(\\w+)=(.{0,32})"))) << line;
      keys[match[1]] = match[2];
    } else if (section == "Pattern") {
      EXPECT_TRUE(TrackerTakesRow(line)) << line;
      ++patterns.rbegin()->second;
    } else {
      EXPECT_TRUE(std::regex_match(
          line, std::regex(section == "Sample" ? "[Tt][Nn][Ee] [+-][0-9A-F]{3}[_^] "
                                                 "[+-][0-9A-F]{2}[_^] [0-9A-F][-_+]( L)?"
                                               : "(L?-?\\d+,)*L?-?\\d+")))
          << line;
    }
  }
  EXPECT_EQ(keys["VortexTrackerII"] + " " + keys["Version"], "1 3.6");
  EXPECT_TRUE(std::regex_match(keys["NoteTable"], std::regex("[0-3]")));
  EXPECT_TRUE(std::stoi(keys["Speed"]) >= 1 && std::stoi(keys["Speed"]) <= 255);
  const std::string order = keys["PlayOrder"];
  EXPECT_TRUE(std::regex_match(order, std::regex("L?\\d+(,L?\\d+)*")) && order.find('L') < 9);
  int positions = 0;
  std::istringstream entries(order);
  for (std::string entry; std::getline(entries, entry, ','); ++positions) {
    EXPECT_EQ(patterns.count(std::stoi(entry.substr(entry[0] == 'L'))), 1u) << order;
  }
  EXPECT_TRUE(positions <= 256 && ornaments > 0 && !samples.empty());
  for (const auto& [number, count] : patterns) {
    EXPECT_TRUE(count >= 1 && count <= 256);
    rows += (rows.empty() ? "" : ",") + std::to_string(count);
  }
  return keys["Title"] + "|" + keys["Speed"] + "|" + order + "|" + rows + "|" + samples;
}

namespace {

// A row of the copy: for the stand-in conversion, '|' and the target row.
std::string Row(char sample = '.', std::string_view command = "....") {
  return "|....|..|C-4 " + std::string(1, sample) + "..F " + std::string(command) +
         "|--- .... ....|--- .... ....\r\n";
}
std::string Block(int rows, char sample = '.') {
  std::string block = "Rows: " + std::to_string(rows) + "\r\n";
  for (int i = 0; i < rows; ++i) block += Row(sample);
  return block;
}
const std::string kSong =
    "ModPlug Tracker  IT\r\nOrders: 0,1,+,0,2,-,1\r\nRows: 2\r\nName: Intro\r\n" +
    Row('1', "B.03") + Row('2') + Block(1) + "Signature: 4/16\r\n" + Block(1, 'A');

// Feeds a copy to a reader as the field reader cuts it, or line by line.
void Feed(SongReader& reader, const std::string& copy, bool whole_lines) {
  textio::Channels channels;
  channels.OpenInputBytes(1, copy);
  std::string storage;
  std::string_view field;
  for (size_t at = 0, end; whole_lines && (end = copy.find("\r\n", at)) != std::string::npos;
       at = end + 2) {
    if (!reader.Feed(std::string_view(copy).substr(at, end - at), true)) return;
  }
  for (int64_t lines = 0, before = 0; !whole_lines && channels.NextField(1, &storage, &field);) {
    before = std::exchange(lines, channels.LineEndsRead(1));
    if (!reader.Feed(field, lines > before)) return;
  }
}
const RowConversion kStandIn = [](std::string_view row) { return std::optional(row.substr(1)); };

// The module a copy makes, loaded, or the error.
std::string Convert(const std::string& copy, bool whole_lines) {
  SongReader reader(kStandIn);
  Feed(reader, copy, whole_lines);
  std::variant<Song, SongError> result = reader.Finish();
  if (const auto* error = std::get_if<SongError>(&result)) return error->Message("'s'");
  const Song& song = std::get<Song>(result);
  std::string loaded = LoadModule(ModuleText(song, ModuleTitle(reader.name(), "d/My song.txt")));
  for (const std::string& warning : SongWarnings(song)) loaded += "; " + warning;
  return loaded;
}

TEST(Song, ReadsTheCopy) {
  struct Case {
    std::string copy, module;
  } cases[] = {
      {kSong, "Intro|3|L0,1,0,2|2,1,1|1,2,10"},
      {"ModPlug Tracker MOD\r\nName:\r\n  " + Row() + Row() + "Swing: 1\r\n", "My song|6|L0|2|1"},
      {"Orders: 0,x,7,2,-\r\n" + Block(1) + Block(1) + Block(2),
       "My song|6|L0,1|1,2|1; 2 entries of the play order name no pattern of the copy and were "
       "left out"},
      {"Orders: 1,0\r\n" + Block(3) + Block(300, 'V') + "Name: Late\r\n",
       "Late|6|L0,1,2|256,44,3|1,31"},
      {"ModPlug Tracker XM\r\nOrders: 0\r\nRows: 64\r\n", "'s' holds no pattern rows"},
      {"Orders: 5\r\n" + Block(1), "the play order of 's' plays no pattern rows"},
      {Block(85 * 256 + 1), "the song has at least 86 patterns; a module holds at most 85"},
      {"Orders: " + std::regex_replace(std::string(257, '0'), std::regex("0"), "0,") + "\r\n" +
           Block(1),
       "the song's play order has at least 257 positions; a module holds at most 256"},
  };
  for (const Case& c : cases) {
    for (bool whole_lines : {false, true}) EXPECT_EQ(Convert(c.copy, whole_lines), c.module);
  }
}

TEST(Song, WritesTheModule) {
  SongReader reader(kStandIn);
  Feed(reader, kSong, false);
  const Song song = std::get<Song>(reader.Finish());
  const std::string module = ModuleText(song, "Intro");
  LoadModule(module);
  EXPECT_EQ(module,
            "[Module]\r\nVortexTrackerII=1\r\nVersion=3.6\r\nTitle=Intro\r\nAuthor=\r\n"
            "NoteTable=2\r\nSpeed=3\r\nPlayOrder=L0,1,0,2\r\n\r\n"
            "[Ornament1]\r\nL0\r\n\r\n[Sample1]\r\nTne +000_ +00_ F_ L\r\n\r\n"
            "[Sample2]\r\nTne +000_ +00_ F_ L\r\n\r\n[Sample10]\r\nTne +000_ +00_ F_ L\r\n\r\n"
            "[Pattern0]\r\n"
            "....|..|C-4 1..F B.03|--- .... ....|--- .... ....\r\n"
            "....|..|C-4 2..F ....|--- .... ....|--- .... ....\r\n\r\n"
            "[Pattern1]\r\n....|..|C-4 ...F ....|--- .... ....|--- .... ....\r\n\r\n"
            "[Pattern2]\r\n....|..|C-4 A..F ....|--- .... ....|--- .... ....\r\n\r\n");
  EXPECT_EQ(SongEndLine(song, "song-vt.txt"), "'song-vt.txt': 3 patterns, 4 rows, 4 positions");
  EXPECT_EQ(ModuleTitle(std::nullopt, "C:\\dir.x\\a very long name of thirty-three bytes.txt"),
            "a very long name of thirty-three");
}

}  // namespace
}  // namespace converter
