// UTF-8 decoded from a string and a byte at a time, and encoded.
#include "textio/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace textio {
namespace {

struct SequenceCase {
  std::string bytes;
  size_t length;  // 0: no valid character of two to four bytes starts there
  uint32_t code_point;
};

const SequenceCase kSequences[] = {
    {"\xC2\x80", 2, 0x80},
    {"\xD0\x96z", 2, 0x416},
    {"\xE2\x82\xAC", 3, 0x20AC},
    {"\xEF\xBF\xBD", 3, 0xFFFD},
    {"\xF0\x9F\x8E\xB5", 4, 0x1F3B5},
    {"\xF4\x8F\xBF\xBF", 4, 0x10FFFF},
    {"A", 0, 0},                 // ASCII is no sequence
    {"\x80", 0, 0},              // a continuation byte
    {"\xC0\xAF", 0, 0},          // overlong '/'
    {"\xE0\x80\xAF", 0, 0},      // overlong '/'
    {"\xF0\x8F\xBF\xBF", 0, 0},  // overlong U+FFFF
    {"\xED\xA0\x80", 0, 0},      // a surrogate
    {"\xF4\x90\x80\x80", 0, 0},  // past U+10FFFF
    {"\xF5\x80\x80\x80", 0, 0},  // no lead byte
    {"\xE2\x82", 0, 0},          // cut short by the end
    {"\xE2(\xAC", 0, 0},         // cut short by a byte that is no continuation
};

TEST(Utf8, SequencesFromAString) {
  for (const SequenceCase& c : kSequences) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    uint32_t code_point = 0;
    EXPECT_EQ(Utf8Sequence(c.bytes, 0, &code_point), c.length);
    if (c.length > 0) {
      EXPECT_EQ(code_point, c.code_point);
    }
  }
  uint32_t code_point = 0;
  EXPECT_EQ(Utf8Sequence("ab\xC3\xA9", 2, &code_point), 2u);
  EXPECT_EQ(code_point, 0xE9u);
}

// A byte at a time, the decoder says where a character is cut short and
// finishes the valid ones as the whole string does.
TEST(Utf8, ByteAtATimeAgreesWithTheString) {
  for (const SequenceCase& c : kSequences) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    Utf8Decoder decoder;
    size_t taken = 0;
    bool cut = !decoder.Start(static_cast<unsigned char>(c.bytes[0]));
    while (!cut && !decoder.complete() && ++taken < c.bytes.size()) {
      cut = !decoder.Take(static_cast<unsigned char>(c.bytes[taken]));
    }
    const bool whole = !cut && decoder.complete() && decoder.valid();
    EXPECT_EQ(whole, c.length > 0);
    if (whole) {
      EXPECT_EQ(decoder.code_point(), c.code_point);
    }
  }
}

// Names read from standard input that Windows opens as UTF-8.
TEST(Utf8, TextBeyondAscii) {
  EXPECT_TRUE(IsUtf8BeyondAscii("\xD0\xBF\xD1\x80.txt"));
  EXPECT_TRUE(IsUtf8BeyondAscii("sortie_\xC3\xA9.txt"));
  EXPECT_FALSE(IsUtf8BeyondAscii("plain.txt"));
  EXPECT_FALSE(IsUtf8BeyondAscii("\xEF\xF0\xE8\xEC\xE5\xF0.txt"));  // Windows-1251
  EXPECT_FALSE(IsUtf8BeyondAscii("\xC3\xA9\xED\xA0\x80"));          // a surrogate after
}

TEST(Utf8, EncodesWhatItDecodes) {
  for (const SequenceCase& c : kSequences) {
    if (c.length == 0) continue;
    std::string out = "x";
    AppendUtf8(&out, c.code_point);
    EXPECT_EQ(out, "x" + c.bytes.substr(0, c.length));
  }
  std::string ascii;
  AppendUtf8(&ascii, 'A');
  EXPECT_EQ(ascii, "A");
}

}  // namespace
}  // namespace textio
