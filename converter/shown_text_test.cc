// Text shown in messages: whatever a file name holds, the line it makes is
// safe to show on a terminal; the line of an interrupted run counts the rows
// its output holds.
#include "converter/shown_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "console/testing/memory_device.h"
#include "converter/interrupted_line.h"

namespace converter {
namespace {

TEST(ShownName, ControlsAndBytesThatAreNoCharacterAppearAsHex) {
  struct Case {
    std::string name;
    std::string shown;
  };
  const Case cases[] = {
      {"in.txt", "in.txt"},
      {"\xD0\x96\xD1\x83\xD0\xBA.txt", "\xD0\x96\xD1\x83\xD0\xBA.txt"},  // Cyrillic in UTF-8
      {"\xC2\xA0\xF0\x9F\x8E\xB5", "\xC2\xA0\xF0\x9F\x8E\xB5"},          // U+00A0, U+1F3B5
      {std::string("a\x00"
                   "b",
                   3),
       "a\\x00b"},
      {"\x1B[31m", "\\x1B[31m"},
      {"\x07\x08\x7F", "\\x07\\x08\\x7F"},
      {"\xC7\xE0\xEF", "\\xC7\\xE0\\xEF"},  // Windows-1251, not UTF-8
      // C1 controls in UTF-8: U+009B is CSI to a terminal, U+009D is OSC.
      {"\xC2\x9B"
       "31m",
       "\\xC2\\x9B31m"},
      {"\xC2\x80\xC2\x9F", "\\xC2\\x80\\xC2\\x9F"},
      // Overlong forms, a surrogate, past U+10FFFF, cut short.
      {"\xC0\xAF", "\\xC0\\xAF"},
      {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},
      {"\xF0\x80\x80\xAF", "\\xF0\\x80\\x80\\xAF"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
      {"\xE2\x82", "\\xE2\\x82"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShownName(c.name), c.shown) << c.shown;
  }
}

TEST(ShownCount, DigitsInGroupsOfThree) {
  const std::pair<int64_t, std::string> cases[] = {
      {0, "0"},          {999, "999"},
      {1000, "1,000"},   {1234567, "1,234,567"},
      {-1234, "-1,234"}, {INT64_MIN, "-9,223,372,036,854,775,808"},
  };
  for (const auto& [count, shown] : cases) EXPECT_EQ(ShownCount(count), shown);
}

TEST(InterruptedLine, SaysHowManyRowsTheOutputHoldsBelowItsHeader) {
  console::MemoryDevice device;
  textio::LineCount lines;
  InterruptedLine line(device, "out.txt", &lines);
  char text[96];
  const auto composed = [&] {
    return std::string(text, InterruptedLine::Compose(&line, text, sizeof text));
  };
  const std::string head = "patconv: interrupted: 'out.txt' holds ";
  const std::pair<int64_t, std::string> cases[] = {
      {0, "no rows"},
      {1, "no rows"},
      {2, "only the first row"},
      {1204, "only the first 1,203 rows"},
      {1000001, "only the first 1,000,000 rows"},
  };
  for (const auto& [held, said] : cases) {
    lines.lines = held;
    EXPECT_EQ(composed(), head + said);
  }
  line.Finished(1000000);  // whole: no line
  EXPECT_EQ(composed(), "");
  lines.lines = 1000000;  // the last row did not reach it
  EXPECT_EQ(composed(), head + "only the first 999,999 rows");
  lines.bytes = 1;  // nor did it reach it whole
  EXPECT_EQ(composed(), head + "only the first 999,999 rows and part of the next");
  EXPECT_EQ(InterruptedLine::Compose(&line, text, 12), 12u);
}

}  // namespace
}  // namespace converter
