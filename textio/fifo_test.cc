// Names that lead to FIFOs: opening one never waits for its other end.  A
// FIFO has no size to measure, so as an input it is read as a stream, its
// first read waiting for a writer; as an output without a reader it cannot
// be opened.  POSIX only (the source list
// leaves it out elsewhere).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "textio/channels.h"
#include "textio/line_count.h"
#include "textio/os_file.h"
#include "textio/test_support.h"

namespace textio {
namespace {

// A FIFO nobody else has open.  A test that would wait for its other end is
// ended by the alarm instead of hanging the test run.
class OsFileLonelyFifo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    ::alarm(10);
  }
  void TearDown() override { ::alarm(0); }

  ScopedTempDir directory_;
  std::string path_ = directory_.File("fifo");
};

TEST_F(OsFileLonelyFifo, OpensForReadingAtOnceAndHasNoSize) {
  int error = 0;
  std::unique_ptr<OsFile> file = OsFile::OpenForReading(path_, TextOrigin::kStream, &error);
  ASSERT_NE(file, nullptr);
  int64_t size = 0;
  EXPECT_FALSE(file->MeasureSize(&size, &error));
  EXPECT_EQ(error, ESPIPE);
}

// Opened before its writer, it is read as a stream once the writer comes.
TEST_F(OsFileLonelyFifo, IsReadAsAStreamFromTheWriterThatComesLater) {
  Channels channels;
  ASSERT_EQ(channels.Open(path_, kModeInput, 0, 0, 1, 0), kStatusOk);
  std::thread writer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int fd = ::open(path_.c_str(), O_WRONLY);
    EXPECT_EQ(::write(fd, "a\r\nb\r\n", 6), 6);
    ::close(fd);
  });
  EXPECT_EQ(ReadAllFields(channels), (std::vector<std::string>{"a", "b"}));
  writer.join();
  EXPECT_EQ(channels.EndTest(1), -1);
}

TEST_F(OsFileLonelyFifo, CannotBeOpenedForWritingWithoutAReader) {
  int error = 0;
  EXPECT_EQ(OsFile::OpenForWriting(path_, TextOrigin::kStream, &error), nullptr);
  EXPECT_EQ(error, ENXIO);
  Channels channels;
  EXPECT_EQ(channels.Open(path_, kModeOutput, 0, 0, 2, 0), kStatusCannotOpen);
  EXPECT_EQ(channels.Print(2, "x", kFlagLast), kStatusBadCall);
}

// A FIFO with a reader, open for writing on channel 2.
class OsFileFifo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    reader_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader_, 0);
    ASSERT_EQ(channels_.Open(path_, kModeOutput, 0, 0, 2, 0), kStatusOk);
  }
  void TearDown() override { ::close(reader_); }

  ScopedTempDir directory_;
  std::string path_ = directory_.File("fifo");
  int reader_ = -1;
  Channels channels_;
};

TEST_F(OsFileFifo, WithAReaderIsWrittenThroughBlockingWrites) {
  EXPECT_EQ(channels_.Print(2, "Vortex", kFlagLast | kFlagLineEnd), kStatusOk);
  EXPECT_EQ(channels_.Close(2), kStatusOk);
  char bytes[16] = {};
  EXPECT_EQ(::read(reader_, bytes, sizeof bytes), 8);
  EXPECT_EQ(std::string(bytes, 8), "Vortex\r\n");
}

// A FIFO takes a counted buffer in pieces, none ending on a line end: the
// count stays the complete lines that went through, and their bytes.
TEST_F(OsFileFifo, CountsTheCompleteLinesOfEachPieceWritten) {
  LineCount lines;
  channels_.CountLinesWritten(2, &lines);
  const std::string row(48, '.');  // 50 bytes a line: 8192 bytes end mid-line
  for (int i = 0; i < 200; ++i) channels_.Print(2, row, kFlagLast | kFlagLineEnd);
  EXPECT_EQ(lines.lines, 163);  // the first buffer, written when full
  EXPECT_EQ(lines.line_bytes, 163 * 50);
  EXPECT_EQ(lines.bytes, 8192);
  EXPECT_TRUE(lines.EndsMidLine());
  EXPECT_EQ(channels_.Close(2), kStatusOk);
  EXPECT_EQ(lines.lines, 200);
  EXPECT_FALSE(lines.EndsMidLine());
}

}  // namespace
}  // namespace textio
