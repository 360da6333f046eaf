#include "converter/command_line.h"

#include <gtest/gtest.h>

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
};

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const Job line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.source, c.source);
    EXPECT_EQ(line.target, c.target);
    EXPECT_EQ(line.refusal, c.refusal);
  }
}

}  // namespace
}  // namespace converter
