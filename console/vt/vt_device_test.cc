// The terminal device on a real pseudo-terminal (console/vt/testing/
// pty_session.h): each test runs a small program on the device in a child
// process and plays the terminal.
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "console/device.h"
#include "console/vt/testing/pty_session.h"
#include "console/vt/vt_screen.h"
#include "gtest/gtest.h"

namespace console {
namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

std::string HexBytes(const std::string& bytes) {
  std::string text;
  for (char byte : bytes) text += Hex(static_cast<unsigned char>(byte), 2);
  return text;
}

std::string InfoText(const BufferInfo& info) {
  return std::to_string(info.size.x) + "x" + std::to_string(info.size.y) + " window " +
         std::to_string(info.window.left) + " " + std::to_string(info.window.top) + " " +
         std::to_string(info.window.right) + " " + std::to_string(info.window.bottom) + " cursor " +
         std::to_string(info.cursor.x) + " " + std::to_string(info.cursor.y) + " attr " +
         std::to_string(info.attribute);
}

/// The program's main loop: reports every key pressed ("key <vk> <char>") and
/// every other event with the buffer info after it, until 'q' is pressed.
/// It sleeps long between polls, so only input may wake it in time.
void RunUntilQuit(Device& device, const ProgramSide& side) {
  for (;;) {
    InputEvent event;
    if (!device.NextInputEvent(&event)) {
      device.Sleep(60000);
    } else if (event.type == InputEvent::Type::kBufferSize) {
      BufferInfo info;
      side.Report(device.GetBufferInfo(&info) ? "resized " + InfoText(info) : "resized ?");
    } else if (event.key.key_down) {
      side.Report("key " + Hex(event.key.virtual_key, 2) + " " + Hex(event.key.character, 2));
      if (event.key.character == 'q') return;
    }
  }
}

/// Raw input, a cell drawn, then the main loop.
void DrawAndRun(const ProgramSide& side) {
  auto device = MakePlatformDevice();
  device->SetInputMode(0x01F7);
  device->WriteCells("Hi", 2, 7, Coord{0, 0});
  device->Flush();
  side.Report("ready");
  RunUntilQuit(*device, side);
}

// The terminal was set up for drawing and put back after it.
bool RestoredAfterDrawing(const std::string& output) {
  size_t start = output.rfind(VtScreen::StartSequence());
  size_t restore = output.rfind(VtScreen::RestoreSequence());
  return start != std::string::npos && restore != std::string::npos && restore > start;
}

// --- Tests -----------------------------------------------------------------------

enum class Ending { kReturn, kExit, kTerminate };

TEST(VtDevice, RawModeWhileRunningAndModesPutBackOnEveryWayOut) {
  struct Case {
    const char* name;
    Ending ending;
    bool exited;  // else ended by signal
    int code;     // exit code or signal
  };
  const Case cases[] = {
      {"device destroyed", Ending::kReturn, true, 0},
      {"exit() with the device alive", Ending::kExit, true, 0},
      {"std::terminate", Ending::kTerminate, false, SIGABRT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PtySession session(PtySetup{}, [&](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      uint32_t mode = 0;
      side.Report(device->GetInputMode(&mode) ? "mode " + Hex(mode, 4) : "no mode");
      device->SetInputMode(mode | kProcessedInput);
      device->WriteCells("Hi", 2, 7, Coord{0, 0});
      device->Flush();
      side.Report("ready");
      RunUntilQuit(*device, side);
      if (c.ending == Ending::kExit) {
        device.release();  // left to the exit hook
        std::exit(0);
      }
      if (c.ending == Ending::kTerminate) std::terminate();
    });
    ASSERT_TRUE(session.started());
    const termios before = session.initial_modes();
    ASSERT_TRUE(session.AwaitReport("ready"));
    EXPECT_TRUE(session.AwaitReport("mode 01f7"));
    const termios during = session.Modes();
    EXPECT_EQ("", RawModeProblems(during));
    EXPECT_EQ(0u, during.c_oflag & OPOST) << "a line feed must only move down";
    EXPECT_TRUE(session.AwaitOutput("Hi"));
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    if (c.exited) {
      ASSERT_TRUE(WIFEXITED(status)) << status;
      EXPECT_EQ(c.code, WEXITSTATUS(status));
    } else {
      ASSERT_TRUE(WIFSIGNALED(status)) << status;
      EXPECT_EQ(c.code, WTERMSIG(status));
    }
    EXPECT_EQ("", ModesDifference(before, session.Modes()));
    EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    EXPECT_TRUE(RestoredAfterDrawing(session.output()));
    if (c.ending == Ending::kTerminate) {
      // Put back before the runtime prints why it terminates.
      ASSERT_TRUE(session.AwaitOutput("terminat"));
      EXPECT_LT(session.output().rfind(VtScreen::RestoreSequence()),
                session.output().find("terminat"));
    }
  }
}

TEST(VtDevice, SignalsEndTheProgramWithTheirStatusAndModesPutBack) {
  struct Case {
    const char* name;
    const char* typed;  // nullptr: the signal is sent from outside
    int signal_number;
  };
  const Case cases[] = {
      {"Ctrl+C", "\x03", SIGINT}, {"Ctrl+\\", "\x1c", SIGQUIT}, {"kill", nullptr, SIGTERM},
      {"kill", nullptr, SIGHUP},  {"kill", nullptr, SIGINT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + strsignal(c.signal_number));
    PtySession session(PtySetup{}, DrawAndRun);
    ASSERT_TRUE(session.started());
    const termios before = session.initial_modes();
    ASSERT_TRUE(session.AwaitReport("ready"));
    ASSERT_EQ("", RawModeProblems(session.Modes()));
    if (c.typed != nullptr) {
      session.Type(c.typed);
    } else {
      session.Signal(c.signal_number);
    }
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(c.signal_number, WTERMSIG(status));
    EXPECT_EQ("", ModesDifference(before, session.Modes()));
    EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    EXPECT_TRUE(RestoredAfterDrawing(session.output()));
  }
}

TEST(VtDevice, KeysArriveAsKeyRecords) {
  struct Key {
    const char* typed;
    std::vector<std::string> reported;  // "key <vk> <char>" of each key press
  };
  struct Case {
    const char* locale;
    cc_t erase;
    std::vector<Key> keys;
  };
  const Case cases[] = {
      {"C.UTF-8",
       0x7F,
       {{"a", {"key 41 61"}},
        {"\x1b[A", {"key 26 00"}},
        {"\r", {"key 0d 0d"}},  // Enter stays CR
        {"\x7f", {"key 08 08"}},
        {"\x08", {"key 08 08"}},                   // Ctrl+H is Backspace too
        {"\x13\x11", {"key 53 13", "key 51 11"}},  // Ctrl+S, Ctrl+Q reach the program
        {"\x1b", {"key 1b 1b"}},                   // a lone Escape, settled in time
        {"\xd0\x90", {"key 00 c0"}}}},
      // The C locale, and one that is not installed: the terminal is read
      // as UTF-8 all the same.
      {"C", 0x08, {{"\x08", {"key 08 08"}}, {"\x7f", {"key 08 7f"}}, {"\xd0\x90", {"key 00 c0"}}}},
      {"xx_XX.KOI8-R", 0x7F, {{"\xd0\x90", {"key 00 c0"}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    PtySetup setup;
    setup.locale = c.locale;
    setup.erase = c.erase;
    PtySession session(setup, DrawAndRun);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    std::vector<std::string> expected;
    for (const Key& key : c.keys) {
      SCOPED_TRACE(HexBytes(key.typed));
      session.Type(key.typed);
      expected.insert(expected.end(), key.reported.begin(), key.reported.end());
      EXPECT_EQ(expected, session.AwaitReports("key ", expected.size()));
    }
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

// The buffer takes the terminal's width, then and after a resize; the
// window keeps the height it started with (the text view is fixed with it).
// A shorter terminal shows the rows around the cursor; a taller one adds
// buffer rows below the window, for output to scroll into.
TEST(VtDevice, BufferInfoFollowsTheWidthAndKeepsTheHeight) {
  struct Case {
    unsigned short columns, rows;
    const char* info;
    unsigned short new_rows;  // resized to 90 x new_rows
    const char* resized;
  };
  const Case cases[] = {
      {100, 30, "info 100x30 window 0 0 99 29 cursor 5 3 attr 7", 20,
       "resized 90x30 window 0 0 89 29 cursor 5 3 attr 7"},
      {0, 0, "info 80x25 window 0 0 79 24 cursor 5 3 attr 7", 20,
       "resized 90x25 window 0 0 89 24 cursor 5 3 attr 7"},
      {80, 25, "info 80x25 window 0 0 79 24 cursor 5 3 attr 7", 40,
       "resized 90x40 window 0 0 89 24 cursor 5 3 attr 7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    PtySetup setup;
    setup.columns = c.columns;
    setup.rows = c.rows;
    PtySession session(setup, [](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      device->SetInputMode(0x01F7);
      device->SetCursorPosition(Coord{5, 3});
      BufferInfo info;
      side.Report(device->GetBufferInfo(&info) ? "info " + InfoText(info) : "no info");
      device->WriteCells("Hi", 2, 7, Coord{0, 0});
      device->Flush();
      side.Report("ready");
      RunUntilQuit(*device, side);
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    EXPECT_TRUE(session.AwaitReport(c.info)) << ::testing::PrintToString(session.reports());
    ASSERT_TRUE(session.AwaitOutput("Hi"));
    const size_t shown = session.output().size();
    session.Resize(90, c.new_rows);
    EXPECT_TRUE(session.AwaitReport(c.resized)) << ::testing::PrintToString(session.reports());
    EXPECT_TRUE(session.AwaitOutput("Hi", shown)) << "repainted after the resize";
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

TEST(VtDevice, FlushShowsCellsThroughTheTerminalsEncoding) {
  struct Case {
    const char* locale;
    const char* shown;   // for the cells "Hi", 0xC0 (Cyrillic A), 0x01
    const char* native;  // the typed line "\xC0" for a file name
  };
  const Case cases[] = {
      {"C.UTF-8", "Hi\xd0\x90\xe2\x98\xba", "native d090"},
      {"C", "Hi\xd0\x90\xe2\x98\xba", "native d090"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    PtySetup setup;
    setup.locale = c.locale;
    PtySession session(setup, [](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      device->WriteCells("Hi\xC0\x01", 4, 7, Coord{3, 2});
      device->Flush();
      side.Report("native " + HexBytes(device->TypedLineToNative("\xC0")));
      side.Report("flushed");
      side.WaitGo();
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("flushed"));
    // The program now waits: what it drew came out through Flush alone.
    EXPECT_TRUE(session.AwaitOutput(c.shown)) << ::testing::PrintToString(session.output());
    EXPECT_EQ(0u, session.output().find(VtScreen::StartSequence()));
    EXPECT_TRUE(session.AwaitReport(c.native));
    session.Go();
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    const std::string& output = session.output();
    // Last: the colours put back, the cursor where the model has it, and
    // shown, since whether it was shown before is not known here.
    EXPECT_EQ(output.substr(output.rfind(VtScreen::RestoreSequence())),
              VtScreen::RestoreSequence() + "\x1b[1;1H\x1b[?25h")
        << "the terminal is put back last";
  }
}

// The terminal is asked whether its cursor is shown; its answers are no
// keys, and the cursor is left as they said.
TEST(VtDevice, CursorVisibilityIsPutBackAsTheTerminalReportedIt) {
  struct Case {
    const char* answer;    // to DECRQM for mode 25, before the device attributes
    const char* restored;  // the cursor's last visibility sequence
  };
  const Case cases[] = {
      {"\x1b[?25;2$y", "\x1b[?25l"},  // found hidden: hidden again
      {"\x1b[?25;1$y", "\x1b[?25h"},
      {"", "\x1b[?25h"},  // no answer (tmux): shown
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.answer));
    PtySession session(PtySetup{}, DrawAndRun);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitOutput("\x1b[?25$p\x1b[c"));
    session.Type(std::string(c.answer) + "\x1b[?62;22c");
    ASSERT_TRUE(session.AwaitReport("ready"));
    session.Type("q");
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(session.reports(), (std::vector<std::string>{"ready", "key 51 71"}));
    ASSERT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
    const std::string& output = session.output();
    const size_t last = output.rfind("\x1b[?25");
    ASSERT_NE(last, std::string::npos);
    EXPECT_GT(last, output.rfind(VtScreen::RestoreSequence()));
    EXPECT_EQ(output.substr(last), c.restored);
  }
}

// Lines for standard error on the terminal drawn on wait until it is put
// back, also on the way out by a signal, and stand on a line of their own.
TEST(VtDevice, ErrorLinesComeAfterTheTerminalIsPutBack) {
  for (bool by_signal : {false, true}) {
    SCOPED_TRACE(by_signal ? "SIGTERM" : "end of the run");
    PtySession session(PtySetup{}, [](const ProgramSide& side) {
      auto device = MakePlatformDevice();
      device->SetInputMode(0x01F7);
      device->WriteCells("Hi", 2, 7, Coord{0, 0});
      device->SetCursorPosition(Coord{2, 0});
      device->Flush();
      device->WriteErrorLine("patconv: first");
      device->WriteErrorLine("patconv: second");
      side.Report("ready");
      RunUntilQuit(*device, side);
    });
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    ASSERT_TRUE(session.AwaitOutput("Hi"));
    if (by_signal) {
      session.Signal(SIGTERM);
    } else {
      session.Type("q");
    }
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    ASSERT_TRUE(session.AwaitOutput("second\r\n"));  // the terminal adds the CR
    const std::string& output = session.output();
    const size_t lines = output.find("patconv: first");
    ASSERT_NE(lines, std::string::npos);
    EXPECT_GT(lines, output.rfind(VtScreen::RestoreSequence()));
    EXPECT_EQ(output.substr(lines - 2), "\r\npatconv: first\r\npatconv: second\r\n");
  }
}

TEST(VtDevice, StandardOutputRedirectedReadsKeysAndDrawsNothing) {
  PtySetup setup;
  setup.stdout_to_pipe = true;
  PtySession session(setup, [](const ProgramSide& side) {
    {
      auto device = MakePlatformDevice();
      BufferInfo info;
      side.Report(device->GetBufferInfo(&info) ? "info" : "no info");
      side.Report(device->WriteCells("x", 1, 7, Coord{0, 0}) ? "cells" : "no cells");
      uint32_t mode = 0;
      side.Report(device->GetInputMode(&mode) ? "mode " + Hex(mode, 4) : "no mode");
      device->SetInputMode(mode | kProcessedInput);
      side.Report("wrote " + std::to_string(device->WriteStdout("abc\r\n", 5)));
      device->Beep(1000, 250);
      device->Flush();
      side.Report("ready");
      RunUntilQuit(*device, side);
    }
    ssize_t ignored = write(STDERR_FILENO, "END", 3);
    (void)ignored;
  });
  ASSERT_TRUE(session.started());
  const termios before = session.initial_modes();
  ASSERT_TRUE(session.AwaitReport("ready"));
  const termios during = session.Modes();
  EXPECT_EQ("", RawModeProblems(during));
  EXPECT_EQ(before.c_oflag, during.c_oflag) << "nothing is drawn on the terminal";
  session.Type("q");
  int status = 0;
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(session.AwaitOutput("END"));
  EXPECT_EQ("END", session.output()) << "no echo, no drawing, nothing to put back";
  EXPECT_EQ("abc\r\n", session.stdout_data());
  EXPECT_EQ((std::vector<std::string>{"no info", "no cells", "mode 01f7", "wrote 5", "ready",
                                      "key 51 71"}),
            session.reports());
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
}

TEST(VtDevice, StandardInputRedirectedDrawsWithoutTouchingInputModes) {
  PtySetup setup;
  setup.stdin_from_null = true;
  PtySession session(setup, [](const ProgramSide& side) {
    auto device = MakePlatformDevice();
    uint32_t mode = 0;
    side.Report(device->GetInputMode(&mode) ? "mode" : "no mode");
    side.Report(device->SetInputMode(0x01F7) ? "set" : "not set");
    BufferInfo info;
    side.Report(device->GetBufferInfo(&info) ? "info " + InfoText(info) : "no info");
    device->WriteCells("Hi", 2, 7, Coord{0, 0});
    device->Flush();
    char byte = 0;
    side.Report("stdin " + std::to_string(device->ReadStdin(&byte, 1)));
    InputEvent event;
    side.Report(device->NextInputEvent(&event) ? "event" : "no event");
    side.Report("ready");
    side.WaitGo();
  });
  ASSERT_TRUE(session.started());
  const termios before = session.initial_modes();
  ASSERT_TRUE(session.AwaitReport("ready"));
  const termios during = session.Modes();
  EXPECT_EQ(before.c_lflag, during.c_lflag);
  EXPECT_EQ(before.c_iflag, during.c_iflag);
  EXPECT_TRUE(session.AwaitOutput("Hi"));
  session.Go();
  int status = 0;
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ((std::vector<std::string>{"no mode", "not set",
                                      "info 80x25 window 0 0 79 24 cursor 0 0 attr 7", "stdin 0",
                                      "no event", "ready"}),
            session.reports());
  EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
  EXPECT_TRUE(RestoredAfterDrawing(session.output()));
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
}

TEST(VtDevice, HangUpEndsTheProgramInsteadOfSpinning) {
  // Without the shell's forwarding only the failing read tells the program.
  for (bool forwarded : {false, true}) {
    SCOPED_TRACE(forwarded ? "SIGHUP forwarded" : "read fails");
    PtySetup setup;
    setup.shell_forwards_hangup = forwarded;
    PtySession session(setup, DrawAndRun);
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.AwaitReport("ready"));
    session.HangUp();
    int status = 0;
    ASSERT_TRUE(session.AwaitStatus(&status));
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(SIGHUP, WTERMSIG(status));
  }
}

TEST(VtDevice, CtrlZStopsWithModesPutBackAndContinueRepaints) {
  PtySession session(PtySetup{}, DrawAndRun);
  ASSERT_TRUE(session.started());
  const termios before = session.initial_modes();
  ASSERT_TRUE(session.AwaitReport("ready"));
  ASSERT_TRUE(session.AwaitOutput("Hi"));
  session.Type("\x1a");
  int status = 0;
  ASSERT_TRUE(session.AwaitStatus(&status));
  ASSERT_TRUE(WIFSTOPPED(status)) << status;
  EXPECT_EQ(SIGTSTP, WSTOPSIG(status));
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
  EXPECT_TRUE(session.AwaitOutput(VtScreen::RestoreSequence()));
  EXPECT_TRUE(RestoredAfterDrawing(session.output()));

  const size_t stopped_at = session.output().size();
  session.Signal(SIGCONT);
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFCONTINUED(status)) << status;
  EXPECT_TRUE(session.AwaitOutput(VtScreen::StartSequence(), stopped_at));
  EXPECT_TRUE(session.AwaitOutput("Hi", stopped_at)) << "repainted";
  EXPECT_EQ("", RawModeProblems(session.Modes()));

  session.Type("q");
  ASSERT_TRUE(session.AwaitStatus(&status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ("", ModesDifference(before, session.Modes()));
}

}  // namespace
}  // namespace console
