#include "converter/command_line.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace converter {
namespace {

using Action = Job::Action;

const GivenName kStream{NameKind::kStandardStream, "-"};
GivenName File(const std::string& name) { return {NameKind::kFile, name}; }

struct Case {
  std::vector<std::string> arguments;
  Action action;
  std::optional<GivenName> source;
  std::optional<GivenName> target;
  std::string refusal;
  Settings settings = {};
};

Settings Chosen(std::array<int, 3> channels, int octave = 0, bool fit = false, bool full = false) {
  return {channels, octave, fit, full};
}

TEST(CommandLineTest, ReadsOptionsAndNames) {
  const std::string hint = " (patconv --help lists the options)";
  const Case cases[] = {
      {{}, Action::kConvert, {}, {}, ""},
      {{"in.txt"}, Action::kConvert, File("in.txt"), {}, ""},
      {{"in.txt", "out.txt"}, Action::kConvert, File("in.txt"), File("out.txt"), ""},
      {{"", "out.txt"}, Action::kConvert, File(""), File("out.txt"), ""},
      {{"-"}, Action::kConvert, kStream, kStream, ""},
      {{"-", "out.txt"}, Action::kConvert, kStream, File("out.txt"), ""},
      {{"in.txt", "-"}, Action::kConvert, File("in.txt"), kStream, ""},
      {{"--", "-x.txt", "-"}, Action::kConvert, File("-x.txt"), kStream, ""},
      {{"--", "--", "--help"}, Action::kConvert, File("--"), File("--help"), ""},
      {{"in.txt", "--help", "--bad"}, Action::kHelp, {}, {}, ""},
      {{"-h"}, Action::kHelp, {}, {}, ""},
      {{"--version", "-h"}, Action::kVersion, {}, {}, ""},
      {{"-V"}, Action::kVersion, {}, {}, ""},
      {{"--foo", "--help"}, Action::kRefuse, {}, {}, "unknown option '--foo'" + hint},
      {{"-hV"}, Action::kRefuse, {}, {}, "unknown option '-hV'" + hint},
      {{"--help=1"}, Action::kRefuse, {}, {}, "unknown option '--help=1'" + hint},
      {{"-\x1b[2J"}, Action::kRefuse, {}, {}, "unknown option '-\\x1B[2J'" + hint},
      {{"a", "b", "c", "d"}, Action::kRefuse, {}, {}, "too many names, from 'c' on" + hint},
      {{"", "-"}, Action::kRefuse, {}, {}, "an empty SOURCE names no file" + hint},
      {{"-c"}, Action::kClipboard, {}, {}, ""},
      {{"-c", "--help"}, Action::kHelp, {}, {}, ""},
      {{"a", "-c", "b", "c"},
       Action::kRefuse,
       {},
       {},
       "--clipboard takes no names, but 'a' was given" + hint},
      // The options of the conversion, with a value after '=' or as the next argument.
      {{"--channels", "2,4,5", "--octave=-1", "a"},
       Action::kConvert,
       File("a"),
       {},
       "",
       Chosen({2, 4, 5}, -1)},
      {{"--channels=7", "--octave", "+3", "--full", "-c"},
       Action::kClipboard,
       {},
       {},
       "",
       Chosen({7, 0, 0}, 3, false, true)},
      {{"--octave", "2", "--octave=2", "--fit"},
       Action::kConvert,
       {},
       {},
       "",
       Chosen({1, 2, 3}, 2, true)},
      {{"--song", "-", "m.txt"},
       Action::kSong,
       kStream,
       File("m.txt"),
       "",
       Chosen({1, 2, 3}, 0, true, true)},
      {{"--song", "-c", "m.txt"},
       Action::kSong,
       {},
       File("m.txt"),
       "",
       Chosen({1, 2, 3}, 0, true, true)},
      {{"--channels", "1,2,3,4"},
       Action::kRefuse,
       {},
       {},
       "--channels '1,2,3,4': more than three channels" + hint},
      {{"--channels=2,,3"},
       Action::kRefuse,
       {},
       {},
       "--channels '2,,3': a channel is a number from 1 to 127" + hint},
      {{"--channels="},
       Action::kRefuse,
       {},
       {},
       "--channels '': a channel is a number from 1 to 127" + hint},
      {{"--channels", "128"},
       Action::kRefuse,
       {},
       {},
       "--channels '128': a channel is a number from 1 to 127" + hint},
      {{"--channels", "4,2,4"},
       Action::kRefuse,
       {},
       {},
       "--channels '4,2,4': channel 4 twice" + hint},
      {{"--octave", "8"},
       Action::kRefuse,
       {},
       {},
       "--octave '8': the shift is a number from -7 to 7" + hint},
      {{"--octave", "x", "-h"}, Action::kHelp, {}, {}, ""},
      {{"a", "--octave"}, Action::kRefuse, {}, {}, "--octave needs a value" + hint},
      {{"--channels", "2", "--channels=3"},
       Action::kRefuse,
       {},
       {},
       "--channels is given twice with different values" + hint},
      {{"--song", "a"},
       Action::kRefuse,
       {},
       {},
       "--song needs SOURCE and TARGET, the copy to read and the module file to write" + hint},
      {{"--song", "-c"},
       Action::kRefuse,
       {},
       {},
       "--song --clipboard needs TARGET, the module file to write" + hint},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const Job line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.source, c.source);
    EXPECT_EQ(line.target, c.target);
    EXPECT_EQ(line.refusal, c.refusal);
    if (c.action != Action::kRefuse) {
      EXPECT_EQ(line.settings, c.settings);
    }
  }
}

}  // namespace
}  // namespace converter
