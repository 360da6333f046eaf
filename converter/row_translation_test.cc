#include "converter/row_translation.h"

#include <gtest/gtest.h>

#include <string>

namespace converter {
namespace {

std::string Translate(const std::string& source) {
  auto row = TranslateRow(source);
  return row ? TargetRowText(*row) : "<dropped>";
}

TEST(RowTranslation, CutsAndMapsTheFirstThreeNotes) {
  struct Case {
    std::string source;
    std::string target;
  } cases[] = {
      {"|C-501v64...|...........|===........",
       "....|..|C-5 .... ....|--- .... ....|R-- .... ...."},
      {"|F#4........|^^^........|c-5........|C-5........",
       "....|..|F#4 .... ....|^^^ .... ....|c-5 .... ...."},
      {"", "....|..| .... ....| .... ....| .... ...."},
      {"|", "....|..| .... ....| .... ....| .... ...."},
      {"|C", "....|..|C .... ....| .... ....| .... ...."},
      {"|C-", "....|..|C- .... ....| .... ....| .... ...."},
      // 15 characters: note 2 has two characters, note 3 none.
      {"|...........|==", "....|..|--- .... ....|== .... ....| .... ...."},
      {"|...........|===", "....|..|--- .... ....|R-- .... ....| .... ...."},
      {"|...........|...........|..", "....|..|--- .... ....|--- .... ....|.. .... ...."},
      {"x==.........x...........x....",
       "....|..|==. .... ....|--- .... ....|--- .... ...."},
      // Near misses are copied, never mapped.
      {"|..,|.. |== ", "....|..|.., .... ....| .... ....| .... ...."},
      {"\t..........|===", "....|..|--- .... ....|== .... ....| .... ...."},
      {std::string("|\0\0\0", 4), std::string("....|..|\0\0\0 .... ....| .... ....| .... ....", 43)},
  };
  for (const Case& c : cases) EXPECT_EQ(Translate(c.source), c.target) << c.source;
}

TEST(RowTranslation, DropsRowsWhoseFirstNoteReadsOdP) {
  EXPECT_EQ(Translate("ModPlug Tracker MOD"), "<dropped>");
  EXPECT_EQ(Translate("ModPlug Tracker  IT"), "<dropped>");
  EXPECT_EQ(Translate("XodP"), "<dropped>");
  // Only note 1 counts, and only exactly.
  EXPECT_EQ(Translate("|C-5........|odP"), "....|..|C-5 .... ....|odP .... ....| .... ....");
  EXPECT_EQ(Translate("Xodp"), "....|..|odp .... ....| .... ....| .... ....");
  EXPECT_EQ(Translate("\tModPlug Tracker  IT"), "....|..|Mod .... ....|ker .... ....| .... ....");
  EXPECT_EQ(Translate(" ModPlug"), "....|..|Mod .... ....| .... ....| .... ....");
}

TEST(RowTranslation, FullRowIs49Characters) {
  EXPECT_EQ(Translate("|C-501v64...|D-5........|E-5........").size(), 49u);
}

}  // namespace
}  // namespace converter
