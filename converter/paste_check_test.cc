#include "converter/paste_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace converter {
namespace {

TEST(PasteCheck, TellsWhetherTheTrackerTakesARowAndWhyNot) {
  const std::string bad = "' in channel 1 is not C-1...B-8, --- or R--";
  struct Case {
    const char* notes[3];
    std::string refusal;  // empty: taken
  } cases[] = {
      {{"C-1", "B-8", "c#4"}, ""},
      {{"E#3", "---", "R--"}, ""},
      {{"b-8", "r--", "G#7"}, ""},                 // upper-cased first
      {{"B#8", "---", "---"}, "note 'B#8" + bad},  // past the last note
      {{"b#8", "---", "---"}, "note 'b#8" + bad},
      {{"C-0", "---", "---"}, "note 'C-0" + bad},
      {{"A-9", "---", "---"}, "note 'A-9" + bad},
      {{"^^^", "---", "---"}, "note '^^^" + bad},
      {{"~~~", "---", "---"}, "note '~~~" + bad},
      {{"PC ", "---", "---"}, "note 'PC " + bad},
      {{"PCs", "---", "---"}, "note 'PCs" + bad},
      {{"H-4", "---", "---"}, "note 'H-4" + bad},
      {{"C 5", "---", "---"}, "note 'C 5" + bad},
      {{"\xC8-4", "---", "---"}, "note '\\xC8-4" + bad},
      {{"R-5", "---", "---"}, "note 'R-5" + bad},
      {{"--1", "---", "---"}, "note '--1" + bad},
      {{"C-5", "...", "---"}, "note '...' in channel 2 is not C-1...B-8, --- or R--"},
      {{"C-5", "---", "==="}, "note '===' in channel 3 is not C-1...B-8, --- or R--"},
      // The first rule broken: the length, then the notes in order.
      {{"C-5", "^^^", "~~~"}, "note '^^^' in channel 2 is not C-1...B-8, --- or R--"},
      {{"^^^", "D-5", ""}, "row is 46 characters, the tracker needs 49"},
      {{"", "", ""}, "row is 40 characters, the tracker needs 49"},
      {{"C-5", "D-", "E-5"}, "row is 48 characters, the tracker needs 49"},
      // A note that starts with a space is skipped, whatever follows; it
      // still takes its three characters in the row.
      {{"   ", " ^^", " \xC8|"}, ""},
      {{" ", "---", "---"}, "row is 47 characters, the tracker needs 49"},
      {{"\t--", "---", "---"}, "note '\\x09--" + bad},
  };
  for (const Case& c : cases) {
    const TargetRow row{{c.notes[0], c.notes[1], c.notes[2]}};
    EXPECT_EQ(PasteRefusal(row), c.refusal) << TargetRowText(row);
    EXPECT_EQ(Pastes(row), c.refusal.empty()) << TargetRowText(row);
  }
}

TEST(PasteCheck, WarnsOfRefusedRowsAndOfMoreRowsThanAPatternHolds) {
  PasteTally tally;
  for (int i = 0; i < 256; ++i) tally.Add(TargetRow{{"C-5", "---", "R--"}}, i + 2);
  EXPECT_EQ(tally.Warnings("out.txt"), std::vector<std::string>{});
  tally.Add(TargetRow{{"C-5", "^^^", "R--"}}, 300);
  EXPECT_EQ(
      tally.Warnings("out.txt"),
      (std::vector<std::string>{
          "'out.txt': 1 of 257 rows will not paste into Vortex Tracker II (the tracker "
          "refuses the whole paste)",
          "  line 258 (source line 300): note '^^^' in channel 2 is not C-1...B-8, --- or R--",
          "'out.txt': only the first 256 of 257 rows will paste (the tracker's pattern "
          "limit)"}));
  for (int i = 0; i < 1000; ++i) tally.Add(TargetRow{{" -5", "---", "R--"}}, 301);
  EXPECT_EQ(tally.Warnings("").back(),
            "the screen: only the first 256 of 1,257 rows will paste (the tracker's pattern "
            "limit)");
}

}  // namespace
}  // namespace converter
