#include "textio/channels.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "textio/test_support.h"
#include "textio/windows_names.h"

namespace textio {
namespace {

using Fields = std::vector<std::string>;

class ChannelsTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.File(name); }
  int OpenInput(const std::string& name, int number = 1) {
    return channels_.Open(name, kModeInput, 0, 0, number, 0);
  }
  int OpenOutput(const std::string& name, int number = 2) {
    return channels_.Open(name, kModeOutput, 0, 0, number, 0);
  }

  ScopedTempDir dir_;
  Channels channels_;
};

TEST_F(ChannelsTest, RefusesBadCalls) {
  WriteFile(Path("in"), "a\r\n");
  EXPECT_EQ(OpenInput(Path("in"), 0), kStatusBadCall);    // the console
  EXPECT_EQ(OpenInput(Path("in"), 256), kStatusBadCall);  // names no channel
  EXPECT_EQ(OpenInput(Path("in"), -1), kStatusBadCall);
  EXPECT_EQ(OpenInput(""), kStatusBadCall);
  EXPECT_EQ(channels_.EndTest(300), -1);
  EXPECT_EQ(channels_.SelectInput(300), kStatusBadCall);
  EXPECT_EQ(channels_.Print(300, "x", kFlagLast), kStatusBadCall);
  EXPECT_EQ(channels_.Close(300), kStatusBadCall);
  EXPECT_EQ(channels_.Close(7), kStatusBadCall);  // not open
}

TEST_F(ChannelsTest, MissingInputStaysClosed) {
  EXPECT_EQ(OpenInput(Path("missing")), kStatusCannotOpen);
  EXPECT_FALSE(channels_.last_error().empty());
  EXPECT_EQ(channels_.EndTest(1), -1);
  EXPECT_EQ(channels_.SelectInput(1), kStatusBadCall);
  EXPECT_EQ(channels_.Print(1, "x", kFlagLast | kFlagLineEnd), kStatusBadCall);
}

TEST_F(ChannelsTest, OpenOnAnOpenChannelLeavesItUndisturbed) {
  WriteFile(Path("a"), "first\r\nsecond\r\n");
  WriteFile(Path("b"), "other\r\n");
  ASSERT_EQ(OpenInput(Path("a")), kStatusOk);
  channels_.SelectInput(1);
  std::string field;
  channels_.ReadField(&field);
  EXPECT_EQ(OpenInput(Path("b")), kStatusBadCall);
  EXPECT_EQ(ReadAllFields(channels_), Fields{"second"});
}

TEST_F(ChannelsTest, DirectoryAsInputCannotBeOpened) {
  EXPECT_EQ(OpenInput(dir_.path()), kStatusCannotOpen);
  EXPECT_EQ(channels_.EndTest(1), -1);
}

TEST_F(ChannelsTest, UnmeasurableInputIsReadAsAStream) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int keep = ::open(fifo.c_str(), O_RDWR);
  ASSERT_GE(keep, 0);
  EXPECT_EQ(OpenInput(fifo), kStatusOk);
  ASSERT_EQ(::write(keep, "x\r\n\x1Ay", 5), 5);
  ::close(keep);
  EXPECT_EQ(ReadAllFields(channels_), Fields{"x"});
  int64_t line = 0, after = 0;
  EXPECT_TRUE(channels_.TextCutShort(1, &line, &after));
  EXPECT_EQ(line, 2);
  EXPECT_EQ(after, 1);
}

TEST_F(ChannelsTest, NamesWithNulNameNoFile) {
  WriteFile(Path("a"), "x\r\n");
  const std::string name = Path("a") + std::string("\0tail", 5);
  EXPECT_EQ(OpenInput(name), kStatusCannotOpen);
  EXPECT_EQ(OpenOutput(name), kStatusCannotOpen);
  EXPECT_EQ(ReadFile(Path("a")), "x\r\n");  // not emptied through the cut name
}

TEST_F(ChannelsTest, ReservedDeviceNamesAreNeverOpened) {
  const char* reserved[] = {
      "COM1:", "com:", "LPT2:x", "lpt:", "PRN:", "cons:", "SCRN:", "pipe:", "COM12:settings"};
  for (const char* name : reserved) {
    EXPECT_TRUE(IsReservedDeviceName(name)) << name;
    EXPECT_EQ(OpenOutput(name), kStatusCannotOpen) << name;
  }
  const char* ordinary[] = {"COM", "COM1", "CO:", "PRN", "PRN:x", "LPTX:", "COMA:", "CONS:x", "a:"};
  for (const char* name : ordinary) EXPECT_FALSE(IsReservedDeviceName(name)) << name;
  // What Windows opens as a device, '|' between the names: the Windows
  // build refuses these as well.  Then names that are files to it.
  const std::pair<std::string, bool> windows_names[] = {
      {"CON|nul.txt|Aux .log|com1|LPT9.x.y|CON. .|prn:x|conout$|dir/CON|C:CON|c:\\d\\NUL|x/CON/."
       "|CON\\a\\..|COM\xC2\xB9|\\\\.\\C:|//./pipe/x|\\\\?\\C:|\\??\\PhysicalDrive0"
       "|\\\\?\\GLOBALROOT\\Device\\Null",
       true},
      {"CONX|COM0|COM10| CON|CON\\x|d\\CON\\..|CONIN|\\\\?\\C:\\d\\CON|\\\\?\\UNC\\srv\\share\\NUL",
       false},
  };
  for (const auto& [names, device] : windows_names) {
    for (size_t at = 0, bar = 0; bar != std::string::npos; at = bar + 1) {
      bar = names.find('|', at);
      const std::string name = names.substr(at, bar - at);
      EXPECT_EQ(IsWindowsDeviceName(name), device) << name;
    }
  }
}

TEST(WindowsNames, LongPathForm) {
  EXPECT_EQ(LongPathForm(L"C:\\d\\x.txt"), L"\\\\?\\C:\\d\\x.txt");
  EXPECT_EQ(LongPathForm(L"\\\\srv\\share\\x"), L"\\\\?\\UNC\\srv\\share\\x");
  for (const wchar_t* kept : {L"\\\\?\\C:\\x", L"\\\\.\\pipe\\x", L"x.txt", L"C:x"}) {
    EXPECT_EQ(LongPathForm(kept), kept);
  }
}

// A marked file ends where its text ends, the mark not counted: no field is
// lost or made up, and what the file grows by after the open is not read.
TEST_F(ChannelsTest, MarkedFilesEndWhereTheirTextEnds) {
  const std::string utf8 = "\xEF\xBB\xBF", le = "\xFF\xFE";
  const struct {
    std::string data, appended;
    Fields fields;
  } cases[] = {
      {utf8, "", {}},
      {le, "", {}},
      {utf8 + "a\r\n", "b\r\n", {"a"}},
      {le + std::string("a\0\r\0\n\0", 6), std::string("b\0", 2), {"a"}},
      {std::string("\xFE\xFF\0a", 4), std::string("\0b", 2), {"a"}},
  };
  for (const auto& c : cases) {
    WriteFile(Path("in"), c.data);
    Channels channels;
    ASSERT_EQ(channels.Open(Path("in"), kModeInput, 0, 0, 1, 0), kStatusOk);
    WriteFile(Path("in"), c.data + c.appended);
    EXPECT_EQ(ReadAllFields(channels), c.fields) << testing::PrintToString(c.data);
  }
}

TEST_F(ChannelsTest, PrintWritesBytesAndLineEnds) {
  ASSERT_EQ(OpenOutput(Path("out")), kStatusOk);
  EXPECT_EQ(channels_.Print(2, "Vortex Tracker II v1.0 Pattern", 0x11), kStatusOk);
  EXPECT_EQ(channels_.Print(2, "no end", 0x10), kStatusOk);
  EXPECT_EQ(channels_.Print(2, "lone\nlf", 0x10), kStatusOk);
  EXPECT_EQ(channels_.Print(2, "", 0x10), kStatusOk);
  EXPECT_EQ(channels_.Print(2, "", 0x04), kStatusOk);
  EXPECT_EQ(channels_.PrintLineEnd(2, 0x11), kStatusOk);
  EXPECT_EQ(channels_.PrintLineEnd(2, 0x10), kStatusOk);
  EXPECT_EQ(channels_.EndTest(2), 0);  // output never ends
  EXPECT_EQ(channels_.Close(2), kStatusOk);
  EXPECT_EQ(ReadFile(Path("out")), "Vortex Tracker II v1.0 Pattern\r\nno endlone\nlf\r\n\r\n");
  EXPECT_TRUE(channels_.last_error().empty());
}

// Prints of every length to past a row's, each of other bytes.
TEST_F(ChannelsTest, PrintsOfEveryLengthArriveWhole) {
  ASSERT_EQ(OpenOutput(Path("out")), kStatusOk);
  std::string expected;
  for (size_t n = 0; n <= 70; ++n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) text += static_cast<char>('!' + (n + i) % 90);
    EXPECT_EQ(channels_.Print(2, text, 0x10), kStatusOk);
    expected += text;
  }
  EXPECT_EQ(channels_.Close(2), kStatusOk);
  EXPECT_EQ(ReadFile(Path("out")), expected);
}

TEST_F(ChannelsTest, OutputIsBufferedUntilFullOrClosed) {
  ASSERT_EQ(OpenOutput(Path("out")), kStatusOk);
  channels_.Print(2, std::string(8000, 'a'), 0x10);
  EXPECT_EQ(ReadFile(Path("out")).size(), 0u);
  channels_.Print(2, std::string(500, 'b'), 0x10);
  EXPECT_EQ(ReadFile(Path("out")).size(), 8192u);  // one full buffer
  channels_.Close(0);                              // close all
  EXPECT_EQ(ReadFile(Path("out")).size(), 8500u);
}

TEST_F(ChannelsTest, OpeningForOutputEmptiesAFile) {
  WriteFile(Path("out"), "old content\r\n");
  ASSERT_EQ(OpenOutput(Path("out")), kStatusOk);
  EXPECT_EQ(ReadFile(Path("out")), "");
}

TEST_F(ChannelsTest, ChannelsLeftOpenAreClosedAtTheEnd) {
  {
    Channels channels;
    ASSERT_EQ(channels.Open(Path("out"), kModeOutput, 0, 0, 9, 0), kStatusOk);
    channels.Print(9, "kept", 0x11);
  }
  EXPECT_EQ(ReadFile(Path("out")), "kept\r\n");
}

TEST_F(ChannelsTest, TheInputFileIsNeverEmptiedAsOutput) {
  WriteFile(Path("same"), "ModPlug\r\n|C-5\r\n");
  ::symlink(Path("same").c_str(), Path("link").c_str());
  ASSERT_EQ(OpenInput(Path("same")), kStatusOk);
  EXPECT_EQ(OpenOutput(Path("same")), kStatusCannotOpen);
  EXPECT_EQ(OpenOutput(dir_.path() + "/./same"), kStatusCannotOpen);
  EXPECT_EQ(OpenOutput(Path("link")), kStatusCannotOpen);
  EXPECT_FALSE(channels_.last_error().empty());
  EXPECT_EQ(channels_.Print(2, "x", 0x11), kStatusBadCall);
  EXPECT_EQ(ReadAllFields(channels_), (Fields{"ModPlug", "|C-5"}));
  EXPECT_EQ(ReadFile(Path("same")), "ModPlug\r\n|C-5\r\n");
}

TEST_F(ChannelsTest, WriteFailureIsReportedAtClose) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(channels_.Open("/dev/full", kModeOutput, 0, 0, 2, 0), kStatusOk);
  EXPECT_EQ(channels_.Print(2, "header", 0x11), kStatusOk);  // still in the buffer
  EXPECT_EQ(channels_.Close(2), kStatusOk);
  EXPECT_NE(channels_.last_error().find("write"), std::string::npos);
}

TEST_F(ChannelsTest, WriteFailureWhenTheBufferFills) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(channels_.Open("/dev/full", kModeOutput, 0, 0, 2, 0), kStatusOk);
  channels_.Print(2, std::string(8192, 'a'), 0x10);
  EXPECT_EQ(channels_.Print(2, "b", 0x11), kStatusWriteCut);
  channels_.Close(2);
  EXPECT_FALSE(channels_.last_error().empty());
}

TEST_F(ChannelsTest, SelectionAndClosedChannels) {
  WriteFile(Path("in"), "a,b\r\n");
  ASSERT_EQ(OpenInput(Path("in")), kStatusOk);
  EXPECT_EQ(channels_.SelectInput(5), kStatusBadCall);  // selection unchanged: none
  std::string field = "old";
  TextOrigin origin = TextOrigin::kStream;
  channels_.SetAnswerLine("typed,x");
  channels_.ReadField(&field, &origin);
  EXPECT_EQ(field, "typed");
  EXPECT_EQ(origin, TextOrigin::kTyped);  // a typed name is opened as the user saw it
  EXPECT_EQ(channels_.SelectInput(1), kStatusOk);
  channels_.ReadField(&field, &origin);
  EXPECT_EQ(field, "a");
  EXPECT_EQ(origin, TextOrigin::kStream);  // bytes from a file stay bytes
  EXPECT_EQ(channels_.EndTest(1), 0);      // "b" is still to come
  channels_.Close(1);
  EXPECT_EQ(channels_.ReadField(&field), kStatusOk);
  EXPECT_EQ(field, "");  // the emptied answer line
  EXPECT_EQ(channels_.EndTest(1), -1);
}

TEST_F(ChannelsTest, PutBackCountsAsData) {
  // `"a"b` leaves b in the put-back store when the file has no more bytes.
  WriteFile(Path("in"), "\"a\"b");
  ASSERT_EQ(OpenInput(Path("in")), kStatusOk);
  channels_.SelectInput(1);
  std::string field;
  channels_.ReadField(&field);
  EXPECT_EQ(field, "a");
  EXPECT_EQ(channels_.EndTest(1), 0);
  channels_.ReadField(&field);
  EXPECT_EQ(field, "b");
  EXPECT_EQ(channels_.EndTest(1), -1);
}

TEST_F(ChannelsTest, OutputChannelReadsNothing) {
  ASSERT_EQ(OpenOutput(Path("out")), kStatusOk);
  EXPECT_EQ(channels_.SelectInput(2), kStatusOk);
  std::string field = "x";
  channels_.ReadField(&field);
  EXPECT_EQ(field, "");
}

TEST_F(ChannelsTest, ATerminalIsNoOutputFile) {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string terminal = ::ptsname(master);
  EXPECT_EQ(OpenOutput(terminal), kStatusCannotOpen);
  EXPECT_NE(channels_.last_error().find("terminal"), std::string::npos);
  EXPECT_EQ(OpenOutput("/dev/null"), kStatusOk);  // a device that is no terminal
  ::close(master);
}

TEST_F(ChannelsTest, SlashesSeparateDirectories) {
  ::mkdir(Path("sub").c_str(), 0700);
  WriteFile(Path("sub/in"), "x\r\n");
  EXPECT_EQ(OpenInput(Path("sub/in")), kStatusOk);
  EXPECT_EQ(OpenOutput(Path("nodir/out")), kStatusCannotOpen);
}

}  // namespace
}  // namespace textio
