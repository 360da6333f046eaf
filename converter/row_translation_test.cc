#include "converter/row_translation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>
#include <string>

namespace converter {
namespace {

std::string Translate(const std::string& source) {
  auto row = TranslateRow(source);
  return row ? TargetRowText(*row) : "<dropped>";
}

// The same through the one-step formatting of whole lines, the line end
// taken off.
std::string TranslateLine(const std::string& source) {
  RowLines lines;
  const RowLine* built = lines.Translate(source);
  if (built == nullptr) return "<dropped>";
  std::string line(built->text);
  EXPECT_EQ(line.substr(line.size() - 2), "\r\n") << source;
  return line.substr(0, line.size() - 2);
}

TEST(RowTranslation, CutsAndMapsTheFirstThreeNotes) {
  struct Case {
    std::string source;
    std::string target;
  } cases[] = {
      {"|C-501v64...|...........|===........", "....|..|C-5 .... ....|--- .... ....|R-- .... ...."},
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
      {"x==.........x...........x....", "....|..|==. .... ....|--- .... ....|--- .... ...."},
      // Near misses are copied, never mapped.
      {"|..,|.. |== ", "....|..|.., .... ....| .... ....| .... ...."},
      {"\t..........|===", "....|..|--- .... ....|== .... ....| .... ...."},
      {std::string("|\0\0\0", 4),
       std::string("....|..|\0\0\0 .... ....| .... ....| .... ....", 43)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Translate(c.source), c.target) << c.source;
    EXPECT_EQ(TranslateLine(c.source), c.target) << c.source;
  }
}

TEST(RowTranslation, DropsRowsWhoseFirstNoteReadsOdP) {
  EXPECT_EQ(Translate("ModPlug Tracker MOD"), "<dropped>");
  EXPECT_EQ(Translate("ModPlug Tracker  IT"), "<dropped>");
  EXPECT_EQ(Translate("XodP"), "<dropped>");
  // Only note 1 counts, and only exactly.
  EXPECT_EQ(Translate("|C-5........|odP"), "....|..|C-5 .... ....|odP .... ....| .... ....");
  EXPECT_EQ(Translate("Xodp"), "....|..|odp .... ....| .... ....| .... ....");
  EXPECT_EQ(TranslateLine("XodP" + std::string(40, '.')), "<dropped>");
  EXPECT_EQ(Translate("\tModPlug Tracker  IT"), "....|..|Mod .... ....|ker .... ....| .... ....");
  EXPECT_EQ(Translate(" ModPlug"), "....|..|Mod .... ....| .... ....| .... ....");
}

TEST(RowTranslation, LinesInOneStepAsRowsTranslated) {
  // Random rows of 0 to 60 bytes, full rows (28 bytes and more) among them,
  // with markers and "odP" where the notes stand, one after another through
  // one RowLines: it carries nothing from row to row.
  std::mt19937 random(20261207);
  const std::string bytes = std::string(".=odP|C#-5 \t,\"\xFF\r", 17) + '\0';
  const char* const notes[] = {"...", "===", "odP", "..=", "C-5"};
  RowLines lines;
  for (int n = 0; n < 3000; ++n) {
    std::string source(random() % 61, ' ');
    for (char& c : source) c = bytes[random() % bytes.size()];
    for (size_t start : {1u, 13u, 25u}) {
      if (start < source.size() && random() % 2 == 0) source.replace(start, 3, notes[random() % 5]);
    }
    source.resize(std::min<size_t>(source.size(), 60));
    std::optional<TargetRow> row = TranslateRow(source);
    const RowLine* line = lines.Translate(source);
    ASSERT_EQ(line != nullptr, row.has_value()) << source;
    if (line == nullptr) continue;
    EXPECT_EQ(line->text, TargetRowText(*row) + "\r\n") << source;
    // The notes and the seven printed pieces are cut from the line.
    const std::array<std::string_view, 7> pieces = line->Pieces();
    std::string joined;
    for (std::string_view piece : pieces) joined += piece;
    EXPECT_EQ(joined + "\r\n", line->text) << source;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(line->row.notes[i], row->notes[i]) << source;
      EXPECT_EQ(pieces[2 * i + 1].data(), line->row.notes[i].data()) << source;
    }
  }
}

TEST(RowTranslation, FullRowIs49Characters) {
  EXPECT_EQ(Translate("|C-501v64...|D-5........|E-5........").size(), 49u);
}

}  // namespace
}  // namespace converter
