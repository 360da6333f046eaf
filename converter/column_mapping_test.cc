#include "converter/column_mapping.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "converter/tracker_row.h"

namespace converter {
namespace {

Settings With(std::array<int, 3> channels, int octave, bool fit, bool full) {
  return Settings{channels, octave, fit, full};
}

// The fields through one mapping; the rows written, without line ends.
std::vector<std::string> Rows(ColumnMapping& mapping, const std::vector<std::string>& fields) {
  std::vector<std::string> rows;
  for (const std::string& field : fields) {
    if (const RowLine* line = mapping.Translate(field)) {
      rows.emplace_back(line->text.substr(0, line->text.size() - kLineEnd.size()));
      EXPECT_EQ(line->text.substr(rows.back().size()), kLineEnd);
      for (size_t k = 0; k < 3 && rows.back().size() == kFullRowLength; ++k) {
        EXPECT_EQ(line->row.notes[k], line->text.substr(kNoteColumns[k], kNoteWidth));
      }
    }
  }
  return rows;
}

TEST(ColumnMapping, RowsInAndOut) {
  const std::array<int, 3> k123{1, 2, 3};
  struct Case {
    Settings settings;
    std::vector<std::string> fields;  // the row of the last one is checked
    const char* target;
  } cases[] = {
      {With({2, 4, 5}, 0, false, false),
       {"|C-5........|===........|F-5........|...........|E-5........"},
       "....|..|R-- .... ....|--- .... ....|E-5 .... ...."},
      {With({2, 0, 0}, 0, false, false),
       {"|C-5........|D-"},
       "....|..|D- .... ....|--- .... ....|--- .... ...."},
      {With({3, 0, 0}, 0, false, false), {"ModPlug Tracker MOD"}, nullptr},
      {With(k123, 1, false, false),
       {"|c-5........|C-8........|^^^"},
       "....|..|c-6 .... ....|--- .... ....|^^^ .... ...."},
      {With(k123, 0, true, false),
       {"|c-5........|~~~........|PC 01002003"},
       "....|..|C-5 .... ....|R-- .... ....|--- .... ...."},
      {With(k123, 0, true, false),
       {"|C-9........|===........|x#5"},
       "....|..|--- .... ....|R-- .... ....|--- .... ...."},
      {With(k123, 1, true, false), {"\t|c-0"}, "....|..|C-1 .... ....|--- .... ....|--- .... ...."},
      {With(k123, 0, true, false), {"Orders: 0"}, nullptr},
      {With(k123, 0, true, true),
       {"ModPlug Tracker  XM", "|C-501v64F06|...........|E-410v32..."},
       "....|..|C-5 1..F B..6|--- .... ....|E-4 A..D ...."},
      {With({1, 2, 5}, 0, true, true),
       {" ModPlug Tracker MOD", "|...05...C50|C-540...F1F"},
       "....|..|--- ...F ....|C-5 .... B.1F|--- .... ...."},
      {With(k123, 0, true, true),
       {"ModPlug Tracker IT", "|C-532v16AFF|D-5..p32H44|C-531v01C20"},
       "....|..|C-5 ...B B.FF|D-5 .... ....|C-5 V..3 ...."},
      {With(k123, 0, true, true),
       {"|C-501v01F06|PC 01002003|C-5..v64A06"},
       "....|..|C-5 1..3 ....|--- .... ....|C-5 ...F ...."},
  };
  for (const Case& c : cases) {
    ColumnMapping mapping(c.settings);
    const std::vector<std::string> rows = Rows(mapping, c.fields);
    const std::string source = c.fields.back();
    if (c.target == nullptr) {
      EXPECT_TRUE(rows.empty()) << source;
    } else {
      ASSERT_EQ(rows.size(), 1u) << source;
      EXPECT_EQ(rows[0], c.target) << source;
      const bool fitted = c.settings.fit || c.settings.full;
      EXPECT_TRUE(!fitted || TrackerTakesRow(rows[0])) << source;
    }
  }
}

TEST(ColumnMapping, WarningsCountWhatChangedAndWhatWasLeftOut) {
  ColumnMapping mapping(With({1, 2, 3}, -1, false, true), 2);
  EXPECT_EQ(Rows(mapping, {"ModPlug Tracker  XM", "Rows: 64", "|C-1........|^^^01...410|c-5",
                           "|PC 01002003|xyz........|C-5..h10A04", "|C-5"})
                .size(),
            2u);
  EXPECT_EQ(mapping.Warnings(),
            (std::vector<std::string>{
                "--octave -1: 1 note shifted outside octaves 1-8, written as ---",
                "fitted for the tracker: 1 note cut or fade written as R--, 1 lower-case note "
                "upper-cased, 1 parameter control left out, 1 cell without a note written as ---, "
                "1 line without cells skipped",
                "fitted for the tracker: 1 row after the first 2 left out, the most a pattern "
                "holds (--song converts a longer text into several patterns)",
                "left out, no counterpart in the tracker: 2 vibrato, 1 volume slide, 1 instrument "
                "without a note"}));

  ColumnMapping many(With({1, 2, 3}, 0, true, false), ColumnMapping::kNoRowLimit);
  EXPECT_EQ(Rows(many, std::vector<std::string>(1234, "|~~~........|C-0")).size(), 1234u);
  EXPECT_EQ(many.Warnings(),
            std::vector<std::string>{"fitted for the tracker: 1,234 note cuts and fades written as "
                                     "R--, 1,234 notes outside octaves 1-8 left out"});
  EXPECT_TRUE(ColumnMapping(With({1, 2, 3}, 0, true, true)).Warnings().empty());
}

TEST(TrackerRow, EveryColumnByItsRules) {
  const std::string taken = "FFFF|1F|C-1 VEFF 0123|B-8 1101 ABCD|R-- .... ....";
  EXPECT_TRUE(TrackerTakesRow(taken));
  EXPECT_FALSE(TrackerTakesRow(taken.substr(1)));
  // One character changed: noise 2x, sample W, envelope 0, ornament G,
  // volume 0, command g, parameter ',', separators.
  const std::pair<size_t, char> changes[] = {{5, '2'},  {12, 'W'}, {13, '0'}, {14, 'G'}, {15, '0'},
                                             {17, 'g'}, {20, ','}, {4, ':'},  {11, '.'}, {35, '.'}};
  for (auto [at, c] : changes) {
    std::string row = taken;
    row[at] = c;
    EXPECT_FALSE(TrackerTakesRow(row)) << row;
  }
  // Its notes are those the paste check takes.
  const std::string marks = " -#.=RrCcBbHe01892";
  for (char a : marks) {
    for (char b : marks) {
      for (char d : marks) {
        const std::string note{a, b, d};
        EXPECT_EQ(TrackerTakesRow(std::string(taken).replace(kNoteColumns[1], 3, note)),
                  NoteTaken(note))
            << note;
      }
    }
  }
}

}  // namespace
}  // namespace converter
