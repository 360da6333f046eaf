// Prompted input on a console: the prompt, the "? " suffix, the typed line
// echoed as it is typed, the line end, and the answer read by read field;
// checked by the screen the memory console is left with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/testing/rig.h"

namespace console {
namespace {

TEST(ConsolePromptedInput, TheConvertersDialogue) {
  Rig rig(Shape(40, 8));
  rig.device.Type("in.txt{Enter}out.txt{Enter}");
  rig.console.ClearScreen();
  rig.channels.Print(textio::kConsoleChannel, "Korvani pattern CONVERTER", textio::kFlagLineEnd);
  rig.console.PlaceCursor(5, 1, -1);
  EXPECT_EQ(rig.Ask("Filename to Open:"), "in.txt");
  EXPECT_EQ(rig.Ask("Filename to SAVE Output as:"), "out.txt");
  rig.channels.Print(textio::kConsoleChannel, "done", textio::kFlagLineEnd);
  EXPECT_EQ(rig.device.WindowRows(),
            (Rows{"Korvani pattern CONVERTER", "", "", "", "Filename to Open:? in.txt",
                  "Filename to SAVE Output as:? out.txt", "done", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 7));
}

TEST(ConsolePromptedInput, TheQuestionAndLineEndFlags) {
  struct Case {
    std::string prompt;
    bool question, line_end;
    Rows rows;  // after typing "ab", Enter, then printing "|"
  };
  const Case cases[] = {
      {"P", true, true, {"P? ab", "|", ""}},  {"P", false, true, {"Pab", "|", ""}},
      {"", true, true, {"? ab", "|", ""}},    {"", false, true, {"ab", "|", ""}},
      {"P", true, false, {"P? ab|", "", ""}}, {"", false, false, {"ab|", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.prompt + "\"" + (c.question ? " question" : "") +
                 (c.line_end ? " line end" : ""));
    Rig rig(Shape(20, 3));
    rig.device.Type("ab{Enter}");
    rig.console.ClearScreen();
    EXPECT_EQ(rig.console.PromptedInput(c.prompt, c.question, c.line_end), textio::kStatusOk);
    rig.console.Print("|");
    EXPECT_EQ(rig.device.WindowRows(), c.rows);
    std::string answer;
    rig.channels.ReadField(&answer);
    EXPECT_EQ(answer, "ab");
  }
}

TEST(ConsolePromptedInput, StartsWhereTheCursorStandsOrOnAFreshRowAfterAPendingLineFeed) {
  struct Case {
    const char* name;
    std::string before;  // printed on the last row of a 10 x 4 console
    std::string prompt;
    bool question;
    Rows rows;
  };
  const Case cases[] = {
      {"after text", "abc", "Q", true, {"", "", "", "abcQ? x"}},
      {"after a full last row", "0123456789", "Q", true, {"", "", "0123456789", "Q? x"}},
      {"after a line end", "abc\r\n", "Q", true, {"", "", "abc", "Q? x"}},
      // Nothing is printed before the typed line, yet it starts on a new row.
      {"no prompt after a full last row", "0123456789", "", false, {"", "", "0123456789", "x"}},
      {"no prompt after text", "abc", "", false, {"", "", "", "abcx"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(Shape(10, 4));
    rig.device.Type("x{Enter}");
    rig.console.ClearScreen();
    rig.console.PlaceCursor(4, 1, -1);
    rig.console.Print(c.before);
    rig.console.PromptedInput(c.prompt, c.question, false);
    EXPECT_EQ(rig.device.WindowRows(), c.rows);
  }
}

TEST(ConsolePromptedInput, EnterAloneGivesAnEmptyAnswer) {
  Rig rig(Shape(20, 4));
  rig.device.Type("{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("Name:"), "");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"Name:?", "", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 1));
}

TEST(ConsolePromptedInput, OnlyTheFirstFieldOfTheTypedLineIsAnswered) {
  Rig rig(Shape(30, 4));
  rig.device.Type("a,b{Enter}  \"c,d\" , e{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("First:"), "a");
  // The next prompted input empties the answer line: "b" is lost.
  EXPECT_EQ(rig.Ask("Second:"), "c,d");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"First:? a,b", "Second:?   \"c,d\" , e", "", ""}));
}

TEST(ConsolePromptedInput, TypedCharactersWrapAtTheRightEdge) {
  Rig rig(Shape(10, 4));
  rig.device.Type("abcdefghij{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "abcdefghij");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"P? abcdefg", "hij", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 2));
}

TEST(ConsolePromptedInput, TypingIntoTheBottomRightCellScrollsAtOnce) {
  Rig rig(Shape(10, 3));
  rig.device.Type("abcdefg");
  std::vector<Rows> rows_at_wait;
  std::vector<Coord> cursor_at_wait;
  rig.device.SetIdleHook([&] {
    rows_at_wait.push_back(rig.device.WindowRows());
    cursor_at_wait.push_back(rig.device.cursor());
    rig.device.Type(rows_at_wait.size() == 1 ? "h" : "ij{Enter}");
  });
  rig.console.ClearScreen();
  rig.console.PlaceCursor(3, 1, -1);
  EXPECT_EQ(rig.Ask("P"), "abcdefghij");
  // "g" filled the bottom-right cell: the screen has moved up already and the
  // cursor waits at the start of the new last row.
  ASSERT_EQ(rows_at_wait.size(), 2u);
  EXPECT_EQ(rows_at_wait[0], (Rows{"", "P? abcdefg", ""}));
  EXPECT_EQ(cursor_at_wait[0], At(0, 2));
  EXPECT_EQ(rows_at_wait[1], (Rows{"", "P? abcdefg", "h"}));
  EXPECT_EQ(cursor_at_wait[1], At(1, 2));
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"P? abcdefg", "hij", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 2));
}

TEST(ConsolePromptedInput, TypingIntoTheBottomRightCellOfATallerBufferMovesTheWindow) {
  Rig rig(Shape(10, 3, 6));
  rig.device.Type("abcdefghij{Enter}");
  rig.console.ClearScreen();
  rig.console.Print("top");
  rig.console.PlaceCursor(3, 1, -1);
  EXPECT_EQ(rig.Ask("P"), "abcdefghij");
  const Rows buffer = {"top", "", "P? abcdefg", "hij", "", ""};
  for (int y = 0; y < 6; ++y) EXPECT_EQ(rig.device.Row(y), buffer[static_cast<size_t>(y)]);
  EXPECT_EQ(rig.device.window(), (Rect{0, 2, 9, 4}));
  EXPECT_EQ(rig.device.cursor(), At(0, 4));
}

TEST(ConsolePromptedInput, ASuffixEndingInTheLastCellIsOverwrittenByTheFirstTypedCharacter) {
  Rig rig(Shape(20, 4));
  const std::string prompt(18, 'P');  // with "? " it fills the last row
  rig.device.Type("x");
  std::vector<Rows> rows_at_wait;
  std::vector<Coord> cursor_at_wait;
  rig.device.SetIdleHook([&] {
    rows_at_wait.push_back(rig.device.WindowRows());
    cursor_at_wait.push_back(rig.device.cursor());
    rig.device.Type("{Enter}");
  });
  rig.console.ClearScreen();
  rig.console.PlaceCursor(4, 1, -1);
  EXPECT_EQ(rig.Ask(prompt), "x");
  // The line reader's first cursor placement dropped the waiting line feed:
  // "x" took the suffix's blank, and filling that last cell scrolled at once.
  ASSERT_EQ(rows_at_wait.size(), 1u);
  EXPECT_EQ(rows_at_wait[0], (Rows{"", "", prompt + "?x", ""}));
  EXPECT_EQ(cursor_at_wait[0], At(0, 3));
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"", prompt + "?x", "", ""}));
  EXPECT_EQ(rig.device.cursor(), At(0, 3));
}

TEST(ConsolePromptedInput, TheCursorIsShownWhileTypingAndItsVisibilityPutBackAfter) {
  for (int visibility : {0, 1}) {
    SCOPED_TRACE(visibility == 0 ? "hidden before" : "shown before");
    Rig rig(Shape(20, 4));
    std::vector<bool> visible_at_wait;
    rig.device.SetIdleHook([&] {
      visible_at_wait.push_back(rig.device.cursor_visible());
      rig.device.Type(visible_at_wait.size() == 1 ? "a" : "{Enter}");
    });
    rig.console.ClearScreen();
    rig.console.PlaceCursor(0, 0, visibility);
    EXPECT_EQ(rig.Ask("P"), "a");
    EXPECT_EQ(visible_at_wait, (std::vector<bool>{true, true}));
    EXPECT_EQ(rig.device.cursor_visible(), visibility == 1);
  }
}

TEST(ConsolePromptedInput, KeysWithoutAMeaningHereChangeNothing) {
  Rig rig(Shape(20, 4));
  // Control characters, function keys, Page Up, Insert, Alt+letter.
  rig.device.Type("a{Ctrl+a}{Ctrl+b}{F1}{F12}{PgUp}{Insert}{Alt+x}b{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "ab");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"P? ab", "", "", ""}));
}

TEST(ConsolePromptedInput, CtrlJEndsTheLineLikeEnter) {
  Rig rig(Shape(20, 4));
  rig.device.Type("ab{Ctrl+j}cd{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "ab");
  EXPECT_EQ(rig.Ask("Q"), "cd");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"P? ab", "Q? cd", "", ""}));
}

TEST(ConsolePromptedInput, BytesAboveAsciiAreTypedAndEchoedAsTheyCome) {
  Rig rig(Shape(20, 4));
  rig.device.Type("{AltNum:233}\xe0");  // Alt+233, and a byte typed on a Cyrillic layout
  rig.device.Type("{Enter}");
  rig.console.ClearScreen();
  EXPECT_EQ(rig.Ask("P"), "\xe9\xe0");
  EXPECT_EQ(rig.device.Row(0), "P? \xe9\xe0");
}

}  // namespace
}  // namespace console
