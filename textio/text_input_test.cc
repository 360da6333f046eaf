#include "textio/text_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "textio/decoding_source.h"

namespace textio {
namespace {

// A source that hands out its bytes in pieces of a fixed size and can fail
// after a number of bytes.
class PieceSource : public ByteSource {
 public:
  PieceSource(std::string data, size_t piece, long fail_after = -1)
      : data_(std::move(data)), piece_(piece), fail_after_(fail_after) {}
  long Read(char* out, size_t size, int* error) override {
    if (fail_after_ >= 0 && static_cast<long>(offset_) >= fail_after_) {
      *error = EIO;
      return -1;
    }
    size_t n = std::min({size, piece_, data_.size() - offset_});
    data_.copy(out, n, offset_);
    offset_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string data_;
  size_t piece_;
  long fail_after_;
  size_t offset_ = 0;
};

struct Delivered {
  std::string bytes;
  std::vector<int64_t> positions;  // after each byte
};

Delivered DeliverAll(TextInput& input) {
  Delivered out;
  for (int c = input.Get(); c != kEnd; c = input.Get()) {
    out.bytes.push_back(static_cast<char>(c));
    out.positions.push_back(input.position());
  }
  return out;
}

TEST(TextInput, TranslatesLineEndsAndStopsAtTheEndMark) {
  struct Case {
    std::string data;
    std::string delivered;
    std::vector<int64_t> positions;
  } cases[] = {
      {"a\r\nb", "a\nb", {1, 3, 4}},
      {"a\rb", "a\rb", {1, 2, 3}},
      {"\r\r\n", "\r\n", {1, 3}},
      {"a\n\r", "a\n\r", {1, 2, 3}},
      {"ab\x1A"
       "cd",
       "ab",
       {1, 2}},
      {"\r\x1A\n", "\r", {1}},
      {std::string("\0\xFF", 2), std::string("\0\xFF", 2), {1, 2}},
  };
  for (size_t piece : {1u, 2u, 8192u}) {
    for (const Case& c : cases) {
      PieceSource source(c.data, piece);
      TextInput input(&source);
      Delivered got = DeliverAll(input);
      EXPECT_EQ(got.bytes, c.delivered) << "piece " << piece;
      EXPECT_EQ(got.positions, c.positions) << "piece " << piece;
      EXPECT_TRUE(input.ended());
      EXPECT_EQ(input.Get(), kEnd);  // stays at its end
    }
  }
}

// Below the translation: a byte-order mark is skipped, and marked text
// arrives as Windows-1251 bytes however the reads cut it.
TEST(TextInput, MarkedTextArrivesAsWindows1251) {
  using Marks = DecodingSource::Marks;
  const std::string le = "\xFF\xFE", be = "\xFE\xFF", utf8 = "\xEF\xBB\xBF";
  struct Case {
    Marks marks;
    std::string data;
    std::string delivered;
    int64_t after;  // source bytes after the 0x1A that ends the data, or -1
  } cases[] = {
      {Marks::kConvert, utf8 + "a\r\nb", "a\nb", -1},
      // Zhe, the euro sign, e-acute and a note emoji; bytes that are no
      // UTF-8 (alone, cut short by a byte, cut off at the end).
      {Marks::kConvert, utf8 + "\xD0\x96\xE2\x82\xAC\xC3\xA9\xF0\x9F\x8E\xB5\xFF\xE2\x82z\xC3",
       "\xC6\x88" + std::string(4, '?') + "z?", -1},
      {Marks::kConvert, le + std::string("\x16\x04\r\0\n\0\x1A\0x\0", 10), "\xC6\n", 2},
      // A pair, a low and a high surrogate alone, an odd byte at the end.
      {Marks::kConvert, be + std::string("\0a\xD8\x3C\xDF\xB5\xDC\0\xD8\0\0b\0", 13), "a???b?", -1},
      {Marks::kConvert, le, "", -1},
      {Marks::kConvert, "\xEF\xBBx\x1A", "\xEF\xBBx", 0},  // no mark: bytes as they are
      {Marks::kConvert, le + std::string("a\0\x1A\0\x1A\0", 6), "a", 0},  // only marks after
      {Marks::kAnswers, utf8 + "\xC3\xA9\x1A\x1A\x1A", "\xC3\xA9", 0},
      {Marks::kAnswers, utf8 + "\xC3\x1A\x1A?\x1A", "\xC3", 3},
      // UTF-16 answers as UTF-8: e-acute, a note emoji; Zhe, a low surrogate alone.
      {Marks::kAnswers, le + std::string("\xE9\0\r\0\n\0\x3C\xD8\xB5\xDF", 10),
       "\xC3\xA9\n\xF0\x9F\x8E\xB5", -1},
      {Marks::kAnswers, be + std::string("\x04\x16\xDC\0", 4), "\xD0\x96?", -1},
  };
  for (size_t piece : {1u, 2u, 3u, 8192u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::PrintToString(c.data) + " piece " + std::to_string(piece));
      PieceSource raw(c.data, piece);
      DecodingSource source(&raw, c.marks);
      TextInput input(&source);
      const Delivered got = DeliverAll(input);
      EXPECT_EQ(got.bytes, c.delivered);
      EXPECT_EQ(input.ended_at_mark(), c.after >= 0);
      int64_t after = 0;
      EXPECT_EQ(input.CutShort(&after), c.after > 0);
      EXPECT_EQ(after, std::max<int64_t>(c.after, 0));
    }
  }
}

TEST(TextInput, CrLfSplitAcrossTheBuffer) {
  std::string data(TextInput::kBufferSize - 1, 'x');
  data += "\r\nyz";
  PieceSource source(data, 8192);
  TextInput input(&source);
  Delivered got = DeliverAll(input);
  EXPECT_EQ(got.bytes, std::string(TextInput::kBufferSize - 1, 'x') + "\nyz");
  EXPECT_EQ(got.positions.back(), static_cast<int64_t>(data.size()));
}

TEST(TextInput, TakePlainStopsAtBytesThatNeedAttention) {
  PieceSource source("abc,de\"f\r\ng\x1Ah", 3);
  TextInput input(&source);
  std::string out = "<";
  EXPECT_EQ(input.TakePlain(&out, 16), 3u);
  EXPECT_EQ(out, "<abc");  // appended
  EXPECT_EQ(input.Get(), ',');
  EXPECT_EQ(input.TakePlain(&out, 1), 1u);  // room for one only
  EXPECT_EQ(input.TakePlain(&out, 16), 1u);
  EXPECT_EQ(out, "<abcde");
  EXPECT_EQ(input.Get(), '"');
  EXPECT_EQ(input.TakePlain(&out, 16), 1u);
  EXPECT_EQ(input.Get(), '\n');
  EXPECT_EQ(input.TakePlain(&out, 16), 1u);
  EXPECT_EQ(input.TakePlain(&out, 16), 0u);
  EXPECT_EQ(out, "<abcdefg");
  EXPECT_EQ(input.Get(), kEnd);
  EXPECT_EQ(input.position(), 11);
}

TEST(TextInput, TakePlainNeverTakesMoreThanItsRoom) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>('a' + i % 26);
  PieceSource source(data + "\r\n", 8192);
  TextInput input(&source);
  for (size_t room : {1u, 5u, 16u, 17u, 33u}) {
    int64_t before = input.position();
    std::string out;
    ASSERT_EQ(input.TakePlain(&out, room), room);
    EXPECT_EQ(out, data.substr(static_cast<size_t>(before), room));
    EXPECT_EQ(input.position(), before + static_cast<int64_t>(room));
  }
  EXPECT_EQ(input.Get(), data[72]);
}

TEST(TextInput, FailedReadEndsTheData) {
  PieceSource source("abcdef", 2, 4);
  TextInput input(&source);
  EXPECT_EQ(DeliverAll(input).bytes, "abcd");
  EXPECT_TRUE(input.ended());
  EXPECT_EQ(input.error(), EIO);
}

}  // namespace
}  // namespace textio
