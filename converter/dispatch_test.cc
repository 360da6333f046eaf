#include "converter/dispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/testing/memory_device.h"
#include "converter/command_line.h"

namespace converter {

std::string LoadModule(const std::string& text);  // song_test.cc

namespace {

using clipboard::Found;

class FakeClipboard final : public clipboard::Clipboard {
 public:
  Found found = Found::kText;
  std::string text;
  std::string read_error;
  bool refuse_set = false;

  Found Read(std::string* out, std::string* error) override {
    *out = text;
    *error = read_error;
    return found;
  }
  bool Set(std::string_view bytes, std::string* error) override {
    if (refuse_set) {
      *error = "another program holds it open";
      return false;
    }
    found = Found::kText;
    text = bytes;
    return true;
  }
};

// CR LF and LF line ends, as the clipboard brings them.
const std::string kSource =
    "ModPlug Tracker MOD\r\n|C-501...A08|...........|===........\r\n"
    "|...........|D#5........|...........\n";
const std::string kConverted =
    "Vortex Tracker II v1.0 Pattern\r\n"
    "....|..|C-5 .... ....|--- .... ....|R-- .... ....\r\n"
    "....|..|--- .... ....|D#5 .... ....|--- .... ....\r\n";
const std::string kNoRows = "patconv: the clipboard holds no pattern rows; it is left as it was";

struct Case {
  const char* name;
  Found found;
  std::string text;
  bool refuse_set;
  int status;
  std::string after;                      // what the clipboard holds after the run
  std::string lines;                      // for standard error, each ended by a line feed
  std::vector<std::string> options = {};  // before --clipboard
};

TEST(ClipboardRun, SetOnlyWithConvertedRows) {
  const std::string no_rows = kNoRows + "\n";
  const Case cases[] = {
      {"rows", Found::kText, kSource, false, 0, kConverted,
       "patconv: 2 rows are on the clipboard, ready to paste into Vortex Tracker II\n"},
      {"refused row", Found::kText, "|^^^........|...........|...\r\n", false, 0,
       "Vortex Tracker II v1.0 Pattern\r\n....|..|^^^ .... ....|--- .... ....|--- .... ....\r\n",
       "patconv: 1 row is on the clipboard\n"
       "patconv: warning: the clipboard: the only row will not paste into Vortex Tracker II (the "
       "tracker refuses the whole paste)\n"
       "patconv: warning:   row 1 (source line 1): note '^^^' in channel 1 is not C-1...B-8, --- "
       "or R--\n"},
      {"marked text", Found::kText, "\xEF\xBB\xBF" + kSource, false, 0, kConverted,
       "patconv: 2 rows are on the clipboard, ready to paste into Vortex Tracker II\n"},
      {"0x1A", Found::kText, kSource + "\x1A|C-5\r\n", false, 0, kConverted,
       "patconv: 2 rows are on the clipboard\npatconv: warning: the clipboard: a 0x1A byte on "
       "line 4 ends the text; 6 bytes after it were not read\n"},
      {"nothing", Found::kNoText, "", false, 1, "", no_rows},
      {"empty text", Found::kText, "", false, 1, "", no_rows},
      {"header only", Found::kText, "ModPlug Tracker MOD\r\n", false, 1, "ModPlug Tracker MOD\r\n",
       no_rows},
      {"header rows only", Found::kText, "|odP\r\n |odP", false, 1, "|odP\r\n |odP", no_rows},
      {"read failure", Found::kFailure, "", false, 1, "",
       "patconv: cannot read the clipboard: xclip: Error: Can't open display: :9\\x1B\n"},
      {"set failure", Found::kText, kSource, true, 1, kSource,
       "patconv: cannot set the clipboard: another program holds it open\n"},
      {"full",
       Found::kText,
       "ModPlug Tracker  XM\r\n|C-501v64F06|...........|E-410v32...\n|^^^",
       false,
       0,
       "Vortex Tracker II v1.0 Pattern\r\n....|..|C-5 1..F B..6|--- .... ....|E-4 A..D ....\r\n"
       "....|..|R-- .... ....|--- .... ....|--- .... ....\r\n",
       "patconv: 2 rows are on the clipboard\n"
       "patconv: warning: fitted for the tracker: 1 note cut or fade written as R--\n",
       {"--full"}},
      {"channels, octave",
       Found::kText,
       kSource,
       false,
       0,
       "Vortex Tracker II v1.0 Pattern\r\n....|..|--- .... ....|C-4 .... ....|--- .... ....\r\n"
       "....|..|D#4 .... ....|--- .... ....|--- .... ....\r\n",
       "patconv: 2 rows are on the clipboard, ready to paste into Vortex Tracker II\n",
       {"--channels=2,1", "--octave", "-1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClipboard board;
    board.found = c.found;
    board.text = c.text;
    board.read_error = "xclip: Error: Can't open display: :9\x1B";
    board.refuse_set = c.refuse_set;
    console::MemoryDevice device;
    device.window_closes_at_end = true;
    std::vector<std::string> arguments = c.options;
    arguments.push_back("--clipboard");
    EXPECT_EQ(Dispatch(device, board, ParseCommandLine(arguments)), c.status);
    EXPECT_EQ(board.text, c.after);
    EXPECT_EQ(board.found, c.status == 0 ? Found::kText : c.found);
    std::string lines;
    for (const std::string& line : device.error_lines()) lines += line + "\n";
    EXPECT_EQ(lines, c.lines);
    const bool warned = c.lines.find("warning") != std::string::npos || c.status != 0;
    EXPECT_EQ(device.key_waits().size(), warned ? 1u : 0u);  // the closing window waits
  }
}

// The dialogue's screen without its questions (end to end: redirected).
TEST(ClipboardRun, ShowsTheRowsAsTheDialogueDoes) {
  FakeClipboard board;
  board.text = kSource;
  console::MemoryDevice device;
  Dispatch(device, board, ParseCommandLine({"--clipboard"}));
  std::vector<std::string> screen = device.WindowRows();
  screen.resize(9);
  EXPECT_EQ(screen,
            (std::vector<std::string>{"Korvani pattern CONVERTER V0.2 betta", "", "", "",
                                      "\xC7\xE0\xEF\xE8\xF1\xE8 \xE2 \xF4\xE0\xE9\xEB\xE5:", "",
                                      kConverted.substr(32, 49), kConverted.substr(83, 49), ""}));
}

// A whole song's copy from the clipboard, left as it was, to a module on
// standard output: no screen, the end line and the warnings on standard error.
TEST(SongRun, WritesTheModuleOfTheCopy) {
  FakeClipboard board;
  const std::string copy =
      "ModPlug Tracker  XM\r\nOrders: 0,1,+,0,7,2,-,1\r\nRows: 64\r\nName: Intro\r\n"
      "|C-501v64F03|E-502v32A01\r\n|===........\r\nRows: 1\r\n|D-503...C20\r\nRows: 9\r\n"
      "|G-410......\r\n";
  board.text = copy;
  console::MemoryDevice::Options options;
  options.stdin_console = options.stdout_console = false;
  console::MemoryDevice device(options);
  EXPECT_EQ(Dispatch(device, board, ParseCommandLine({"--song", "-c", "-"})), 0);
  const std::string& module = device.stdout_bytes();
  EXPECT_EQ(LoadModule(module), "Intro|3|L0,1,0,2|2,1,1|1,2,3,10");
  EXPECT_NE(module.find("[Pattern0]\r\n....|..|C-5 1..F B..3|E-5 2..D ....|--- .... ....\r\n"
                        "....|..|R-- .... ....|--- .... ....|--- .... ....\r\n\r\n[Pattern1]\r\n"
                        "....|..|D-5 3..D ....|"),
            std::string::npos);
  EXPECT_EQ(device.error_lines(),
            (std::vector<std::string>{"patconv: '-': 3 patterns, 4 rows, 4 positions",
                                      "patconv: warning: 1 entry of the play order names no "
                                      "pattern of the copy and was left out",
                                      "patconv: warning: left out, no counterpart in the tracker: "
                                      "1 volume slide"}));
  EXPECT_EQ(board.text, copy);
  EXPECT_TRUE(device.WindowRows()[0].empty());
}

}  // namespace
}  // namespace converter
