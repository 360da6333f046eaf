// Channel 0 on redirected standard streams: output written unchanged and
// held back in large pieces, answers taken from a redirected standard input,
// and a console keyboard whose echo goes to a redirected standard output.
#include "console/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/testing/rig.h"

namespace console {
namespace {

MemoryDevice::Options Redirected(bool stdin_console, bool stdout_console) {
  MemoryDevice::Options options = Shape(20, 5);
  options.stdin_console = stdin_console;
  options.stdout_console = stdout_console;
  return options;
}

// --- Redirected standard output ------------------------------------------------------

TEST(ConsoleRedirectedOutput, ReceivesExactlyThePrintedBytesAndNothingForScreenOperations) {
  for (bool query_fails : {false, true}) {
    SCOPED_TRACE(query_fails ? "the buffer query fails" : "standard output a file");
    MemoryDevice device(Redirected(false, query_fails));
    device.fail_buffer_info = query_fails;
    {
      textio::Channels channels;
      Console console(device, channels);
      console.ClearScreen();
      channels.Print(textio::kConsoleChannel, "Title", textio::kFlagLineEnd);
      console.PlaceCursor(5, 1, -1);
      console.Print("a\tb\a\b\r\n");
      console.Print(std::string("\0\x1b\xff\x0c", 4));
      console.Print("", true);
      channels.PrintLineEnd(textio::kConsoleChannel, textio::kFlagLineEnd);
      console.ClearScreen();
    }
    EXPECT_EQ(device.stdout_bytes(),
              "Title\r\na\tb\a\b\r\n" + std::string("\0\x1b\xff\x0c", 4) + "\r\n");
    EXPECT_TRUE(device.beeps().empty());
    EXPECT_EQ(device.cell_writes(), 0);
  }
}

TEST(ConsoleRedirectedOutput, IsHeldBackAndWrittenInLargePieces) {
  MemoryDevice device(Redirected(false, false));
  std::string expected;
  {
    textio::Channels channels;
    Console console(device, channels);
    console.ClearScreen();
    for (int i = 0; i < 20000; ++i) {
      std::string row = "row " + std::to_string(i);
      channels.Print(textio::kConsoleChannel, row, textio::kFlagLineEnd);
      expected += row + "\r\n";
    }
    // 20000 rows, 40000 prints, about 230 KB: a write per 4 KB at most.
    EXPECT_LE(device.stdout_writes(), static_cast<int>(expected.size() / 4096));
  }
  EXPECT_EQ(device.stdout_bytes().size(), expected.size());
  EXPECT_TRUE(device.stdout_bytes() == expected);  // not printed: 230 KB
  EXPECT_LE(device.stdout_writes(), static_cast<int>(expected.size() / 4096) + 1);
}

TEST(ConsoleRedirectedOutput, IsWrittenBeforeAnswersAreReadFromStandardInput) {
  Rig rig(Redirected(false, false));
  rig.device.SetStdin("in.txt\r\n");
  rig.console.Print("Title\r\n");
  rig.console.Print("Status");
  EXPECT_EQ(rig.device.stdout_bytes(), "");
  rig.console.PromptedInput("Filename to Open:", true, true);
  EXPECT_EQ(rig.device.stdout_bytes(), "Title\r\nStatus");
}

TEST(ConsoleRedirectedOutput, IsWrittenBeforeTheKeyboardIsWaitedFor) {
  Rig rig(Redirected(true, false));
  std::vector<std::string> shown_at_wait;
  rig.device.SetIdleHook([&] {
    shown_at_wait.push_back(rig.device.stdout_bytes());
    rig.device.Type("abc{Enter}");
  });
  rig.console.Print("Title\r\n");
  EXPECT_EQ(rig.Ask("Name:"), "abc");
  EXPECT_EQ(shown_at_wait, (Rows{"Title\r\nName:? "}));
  rig.console.FlushOutput();
  EXPECT_EQ(rig.device.stdout_bytes(), "Title\r\nName:? abc\r\n");
}

TEST(ConsoleRedirectedOutput, APartialWriteIsFollowedByTheRest) {
  Rig rig(Redirected(false, false));
  rig.device.stdout_chunk = 3;
  rig.console.Print("0123456789");
  rig.console.FlushOutput();
  EXPECT_EQ(rig.device.stdout_bytes(), "0123456789");
  EXPECT_EQ(rig.device.stdout_writes(), 4);
}

TEST(ConsoleRedirectedOutput, AFailedWriteStopsSilentlyAndTheRunGoesOn) {
  Rig rig(Redirected(false, false));
  rig.device.SetStdin("a,b\r\n");
  rig.device.fail_stdout = true;
  rig.console.Print("Title\r\n");
  EXPECT_EQ(rig.Ask("First:"), "a");
  EXPECT_EQ(rig.device.stdout_writes(), 1);  // no retry of a failed write
  rig.console.Print("more\r\n");
  EXPECT_EQ(rig.Ask("Second:"), "b");
  rig.console.FlushOutput();
  EXPECT_EQ(rig.device.stdout_bytes(), "");
  EXPECT_LE(rig.device.stdout_writes(), 2);
}

// --- Redirected standard input -----------------------------------------------------

TEST(ConsoleRedirectedInput, EachPromptTakesTheNextFieldOfStandardInput) {
  struct Case {
    const char* name;
    std::string stdin_bytes;
    Rows answers;  // of four prompts in a row
  };
  const Case cases[] = {
      {"two names on one line", "in.txt,out.txt\r\n", {"in.txt", "out.txt", "", ""}},
      {"one name a line", "in.txt\r\nout.txt\r\n", {"in.txt", "out.txt", "", ""}},
      {"LF line ends", "in.txt\nout.txt\n", {"in.txt", "out.txt", "", ""}},
      {"a blank first line", "\r\nx.txt\r\n", {"", "x.txt", "", ""}},
      {"empty", "", {"", "", "", ""}},
      {"no final line end", "a,b", {"a", "b", "", ""}},
      {"0x1A ends the data",
       "a\r\nb\x1A"
       "c\r\nd\r\n",
       {"a", "b", "", ""}},
      {"leading blanks skipped, quotes keep commas",
       "  one , \"t,wo\"\r\n",
       {"one ", "t,wo", "", ""}},
      {"three fields, three lines", "1,2\r\n3\r\n", {"1", "2", "3", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(Redirected(false, true));
    rig.device.SetStdin(c.stdin_bytes);
    rig.console.ClearScreen();
    Rows answers;
    for (int i = 0; i < 4; ++i) answers.push_back(rig.Ask("Filename:"));
    EXPECT_EQ(answers, c.answers);
  }
}

TEST(ConsoleRedirectedInput, ShowsNoPromptAndDoesNotTouchTheScreen) {
  for (bool stdout_console : {true, false}) {
    SCOPED_TRACE(stdout_console ? "standard output a console" : "both redirected");
    Rig rig(Redirected(false, stdout_console));
    rig.device.SetStdin("in.txt\r\n");
    rig.console.ClearScreen();
    rig.console.PlaceCursor(5, 1, -1);
    const Coord cursor = rig.device.cursor();
    EXPECT_EQ(rig.console.PromptedInput("Filename to Open:", true, true), textio::kStatusOk);
    std::string answer;
    rig.channels.ReadField(&answer);
    EXPECT_EQ(answer, "in.txt");
    rig.console.FlushOutput();
    EXPECT_EQ(rig.device.stdout_bytes(), "");
    EXPECT_EQ(rig.device.WindowRows(), Rows(5, ""));
    EXPECT_EQ(rig.device.cursor(), cursor);
    EXPECT_FALSE(rig.device.handler_registered());
  }
}

TEST(ConsoleRedirectedInput, LeavesAPendingLineFeedPending) {
  Rig rig(Redirected(false, true));
  rig.device.SetStdin("x\r\n");
  rig.console.ClearScreen();
  rig.console.PlaceCursor(5, 1, -1);
  rig.console.Print(std::string(20, '='));  // fills the last row
  rig.Ask("Filename:");
  EXPECT_EQ(rig.device.WindowRows(), (Rows{"", "", "", "", std::string(20, '=')}));
  EXPECT_EQ(rig.device.cursor(), At(19, 4));
}

// --- A console keyboard with a redirected standard output ----------------------------

TEST(ConsoleKeyboardWithRedirectedOutput, PromptSuffixEchoAndLineEndGoOutAsRawBytes) {
  struct Case {
    std::string keys;
    std::string answer;
    std::string output;
  };
  const Case cases[] = {
      {"in.txt{Enter}", "in.txt", "Name:? in.txt\r\n"},
      {"{Enter}", "", "Name:? \r\n"},
      {"a,b{Enter}", "a", "Name:? a,b\r\n"},
      {std::string(100, 'x') + "{Enter}", std::string(100, 'x'),
       "Name:? " + std::string(100, 'x') + "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    MemoryDevice device(Redirected(true, false));
    device.Type(c.keys);
    {
      textio::Channels channels;
      Console console(device, channels);
      console.ClearScreen();
      console.PlaceCursor(5, 1, -1);
      console.PromptedInput("Name:", true, true);
      std::string answer;
      channels.ReadField(&answer);
      EXPECT_EQ(answer, c.answer);
    }
    EXPECT_EQ(device.stdout_bytes(), c.output);
    EXPECT_EQ(device.cell_writes(), 0);
  }
}

TEST(ConsoleKeyboardWithRedirectedOutput, TwoPromptsInARow) {
  MemoryDevice device(Redirected(true, false));
  device.Type("in{Enter}out{Enter}");
  {
    textio::Channels channels;
    Console console(device, channels);
    console.Print("Title\r\n");
    std::string first, second;
    console.PromptedInput("Open:", true, true);
    channels.ReadField(&first);
    console.PromptedInput("Save:", true, true);
    channels.ReadField(&second);
    EXPECT_EQ(first, "in");
    EXPECT_EQ(second, "out");
  }
  EXPECT_EQ(device.stdout_bytes(), "Title\r\nOpen:? in\r\nSave:? out\r\n");
}

}  // namespace
}  // namespace console
