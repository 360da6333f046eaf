#include "textio/field_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "textio/channels.h"
#include "textio/test_support.h"

namespace textio {
namespace {

using Fields = std::vector<std::string>;

struct FieldCase {
  const char* name;
  std::string data;
  Fields fields;
};

Fields FieldsOfFile(const std::string& data) {
  ScopedTempDir dir;
  WriteFile(dir.File("in.txt"), data);
  Channels channels;
  EXPECT_EQ(channels.Open(dir.File("in.txt"), kModeInput, 0, 0, 1, 0), kStatusOk);
  return ReadAllFields(channels);
}

// Fields of one line typed as an answer: read until the line is used up.
Fields FieldsOfAnswer(const std::string& line, size_t count) {
  Channels channels;
  channels.SetAnswerLine(line);
  Fields fields;
  for (size_t i = 0; i < count; ++i) {
    std::string field;
    channels.ReadField(&field);
    fields.push_back(field);
  }
  return fields;
}

TEST(FieldReader, CutsFieldsOfAFile) {
  const std::string long_line(5000, 'x');
  const FieldCase cases[] = {
      {"comma", "a,b\r\n", {"a", "b"}},
      {"blanks", "  a b  ,c\r\n", {"a b  ", "c"}},
      {"tab_blanks", "\t a\tb\t,c\r\n", {"a\tb\t", "c"}},
      {"quoted_comma", "\"a,b\",c\r\n", {"a,b", "c"}},
      {"blanks_after_quote", "\"a\" , b\r\n", {"a", "b"}},
      {"text_after_quote", "\"a\"b,c\r\n", {"a", "b", "c"}},
      {"inner_quote", "a\"b\"\r\n", {"a\"b\""}},
      {"empty_quotes", "\"\"\r\n", {""}},
      {"unclosed_quote", "\"ab\r\n", {"ab"}},
      {"quote_spans_no_lines", "\"a\r\nb\"\r\n", {"a", "b\""}},
      {"quoted_blanks_kept", "\"  a  \"\r\n", {"  a  "}},
      {"empty_line", "\r\n", {""}},
      {"blank_line", "   \r\n", {""}},
      {"trailing_comma", "a,\r\n", {"a", ""}},
      {"leading_comma", ",a\r\n", {"", "a"}},
      {"long_line", long_line + "\r\n", {std::string(4096, 'x'), std::string(904, 'x')}},
      {"lf_before_cr", "a\n\rb", {"a", "", "b"}},
      {"lone_cr", "a\rb", {"a", "b"}},
      {"lf_lines", "a\nb\n", {"a", "b"}},
      {"byte_order_mark", "\xEF\xBB\xBFModPlug\r\n", {"ModPlug"}},
      {"cp1251", "\xC7\xE0\xEF\xFF\r\n", {"\xC7\xE0\xEF\xFF"}},
      {"nul_kept",
       std::string("a\0b,c\0", 6) + "\r\n",
       {std::string("a\0b", 3), std::string("c\0", 2)}},
      {"quote_after_blanks_opens", "  \"a,b\"\r\n", {"a,b"}},
      {"cr_after_quote", "\"a\"\rb\r\n", {"a", "b"}},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(FieldsOfFile(c.data), c.fields) << c.name;
  }
}

TEST(FieldReader, FindsTheEndOfAFile) {
  const FieldCase cases[] = {
      {"empty_file", "", {}},
      {"two_lines", "a\r\nb\r\n", {"a", "b"}},
      {"last_line_without_end", "a\r\nb", {"a", "b"}},
      {"empty_last_line", "a\r\n\r\n", {"a", ""}},
      {"lone_cr_at_end", "a\r", {"a"}},
      {"eof_mark_after_line_end", "a\r\n\x1A", {"a"}},
      {"eof_mark_mid_line",
       "ab\x1A"
       "cd\r\nef\r\n",
       {"ab"}},
      {"eof_mark_first",
       "\x1A"
       "abc\r\n",
       {}},
      {"blanks_after_last_line", "a\r\n  ", {"a", ""}},
      {"only_blanks", "   ", {""}},
      {"cr_before_eof_mark", "a\r\x1A", {"a"}},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(FieldsOfFile(c.data), c.fields) << c.name;
  }
}

TEST(FieldReader, FullFieldIsFinishedLikeAClosedQuote) {
  // The byte after 4096 stored bytes is handled as after a closing quote:
  // blanks and one terminator are consumed, anything else starts a field.
  std::string full(4096, 'y');
  EXPECT_EQ(FieldsOfFile(full + "  ,z\r\n"), (Fields{full, "z"}));
  EXPECT_EQ(FieldsOfFile(full + "\r\nz\r\n"), (Fields{full, "z"}));
  EXPECT_EQ(FieldsOfFile("\"" + full + ",q\"\r\n"), (Fields{full, "q\""}));
  EXPECT_EQ(FieldsOfFile(full + "  z"), (Fields{full, "z"}));
}

TEST(FieldReader, CountsTheLineEndsItConsumes) {
  // The line each field starts on: commas, quotes, blanks and full fields
  // stay on their line; LF, CR LF and a lone CR each end one, and so does
  // CR CR LF (a CR and the LF after it, as every field is cut).
  ScopedTempDir dir;
  WriteFile(dir.File("in.txt"),
            "a,b\r\n\"c,\"  \n\rd\r\r\n" + std::string(4100, 'e') + "\nf, \"g\" \rh");
  Channels channels;
  ASSERT_EQ(channels.Open(dir.File("in.txt"), kModeInput, 0, 0, 1, 0), kStatusOk);
  std::vector<int64_t> lines;
  while (channels.EndTest(1) == 0) {
    lines.push_back(channels.LineEndsRead(1) + 1);
    std::string field;
    channels.SelectInput(1);
    channels.ReadField(&field);
  }
  EXPECT_EQ(lines, (std::vector<int64_t>{1, 1, 2, 3, 4, 5, 5, 6, 6, 7}));
  EXPECT_EQ(channels.LineEndsRead(1), 6);
  channels.Close(1);
  EXPECT_EQ(channels.LineEndsRead(1), 0);
}

TEST(FieldReader, LongFieldsAcrossBufferBoundaries) {
  // Lines that straddle the 8192-byte buffer, with CR LF split over it.
  std::string data;
  Fields expected;
  for (int i = 0; i < 600; ++i) {
    std::string row = "|C-5" + std::to_string(i) + std::string(static_cast<size_t>(i % 37), '.');
    data += row + "\r\n";
    expected.push_back(row);
  }
  EXPECT_EQ(FieldsOfFile(data), expected);
}

// A first line and filler lines of 98 bytes, then one line whose CR stands
// at `cr_index`.
std::string CrAt(size_t cr_index) {
  std::string data = "first\r\n";
  while (cr_index - data.size() > 100) data += std::string(98, 'f') + "\r\n";
  return data + "|C-5" + std::string(cr_index - data.size() - 4, '.') + "\r\n";
}

TEST(FieldReader, WholeLinesReadAtOnceAsTheGeneralReaderReadsThem) {
  // NextField takes a whole line in one piece only where reading it byte by
  // byte gives the same field and leaves the same state; `fast` counts the
  // fields it so takes (a view into the read buffer, not the storage).
  const std::string x40(40, 'x'), x4095(4095, 'x'), x4096(4096, 'x'), x4097(4097, 'x');
  const size_t kEnd = TextInput::kBufferSize;
  const size_t kFillers = 81;  // CrAt's lines before the one near kEnd
  struct Case {
    const char* name;
    std::string data;
    std::string appended;  // after the size was measured at open
    size_t fast;
  } cases[] = {
      {"line_of_4095", "a\r\n" + x4095 + "\r\nb\r\n", "", 3},
      {"line_of_4096", "a\r\n" + x4096 + "\r\nb\r\n", "", 3},
      {"line_of_4097", "a\r\n" + x4097 + "\r\nb\r\n", "", 2},
      {"lf_lines", "a\n" + x4096 + "\nb\nc", "", 3},
      // The line of the CR is read byte by byte when its line end is not
      // all in the buffer; "b" then comes after a refill.
      {"cr_lf_split_at_buffer_end", CrAt(kEnd - 1) + "b\r\n", "", kFillers + 2},
      {"cr_lf_at_buffer_end", CrAt(kEnd - 2) + "b\r\n", "", kFillers + 3},
      {"cr_lf_in_next_buffer", CrAt(kEnd) + "b\r\n", "", kFillers + 2},
      {"quotes_after_the_first_byte", "a\r\nb\"c\"\r\nd\"\r\n", "", 3},
      {"quote_first", "a\r\n\"b,c\"\r\nd\r\n", "", 2},
      {"put_back_after_a_quote", "a\r\n\"b\"c\r\nd\r\n", "", 2},
      {"blanks_first", "a\r\n  b\r\n\tc\r\nd \r\n", "", 2},
      {"blanks_and_tabs_inside", "a\r\nb c\td \r\n", "", 2},
      {"commas", "a\r\nb,c\r\n,d\r\ne,\r\n", "", 3},
      {"lone_cr", "a\r\nb\rc\r\nd\r\r\ne\r\n", "", 2},
      {"stops_past_the_first_blocks",
       "a\r\n" + x40 + "\r" + x40 + "\r\n" + x40 + "," + x40 + "\r\n" + x40 + "\x1A\r\n", "", 2},
      {"empty_lines", "a\r\n\r\n\nb\r\n", "", 2},
      {"eof_mark_mid_line",
       "a\r\nb\x1A"
       "c\r\nd\r\n",
       "", 1},
      {"eof_mark_after_line_end",
       "a\r\nb\r\n\x1A"
       "c\r\n",
       "", 2},
      {"last_line_without_end", "a\r\nbc\r\nde", "", 2},
      {"nul_bytes", std::string("a\r\nb\0c\r\n\0\r\n", 11), "", 3},
      {"size_reached_mid_line", "a\r\nbc", "de\r\nfg\r\n", 1},
      {"size_reached_at_line_end", "a\r\nbc\r\n", "de\r\n", 2},
  };
  ScopedTempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    WriteFile(path, c.data);
    Channels channels;
    ASSERT_EQ(channels.Open(path, kModeInput, 0, 0, 1, 0), kStatusOk) << c.name;
    ASSERT_EQ(channels.Open(path, kModeInput, 0, 0, 3, 0), kStatusOk) << c.name;
    WriteFile(path, c.data + c.appended);
    ChannelRecord* general = channels.Lookup(1);
    ChannelRecord* whole = channels.Lookup(3);
    size_t fast = 0;
    for (size_t read = 0;; ++read) {
      ASSERT_LT(read, c.data.size() + 2) << c.name;
      std::string expected, storage;
      std::string_view field;
      const bool more = channels.EndTest(1) == 0;
      if (more) {
        channels.SelectInput(1);
        channels.ReadField(&expected);
      }
      ASSERT_EQ(channels.NextField(3, &storage, &field), more) << c.name << " read " << read;
      if (!more) break;
      EXPECT_EQ(field, expected) << c.name << " read " << read;
      if (field.data() != storage.data()) ++fast;
      EXPECT_EQ(whole->put_back_count, general->put_back_count) << c.name << " read " << read;
      EXPECT_EQ(whole->line_ends, general->line_ends) << c.name << " read " << read;
      TextInput* a = general->kind->input();
      TextInput* b = whole->kind->input();
      EXPECT_EQ(b->position(), a->position()) << c.name << " read " << read;
      EXPECT_EQ(b->ended(), a->ended()) << c.name << " read " << read;
    }
    EXPECT_EQ(fast, c.fast) << c.name;
  }
}

TEST(FieldReader, CutsTheAnswerLineTheSameWay) {
  EXPECT_EQ(FieldsOfAnswer("  in.txt,out.txt", 3), (Fields{"in.txt", "out.txt", ""}));
  EXPECT_EQ(FieldsOfAnswer("\"a,b\"c", 2), (Fields{"a,b", "c"}));
  EXPECT_EQ(FieldsOfAnswer("\"a\"  ", 2), (Fields{"a", ""}));
  EXPECT_EQ(FieldsOfAnswer(std::string(4100, 'n'), 2), (Fields{std::string(4096, 'n'), "nnnn"}));
  EXPECT_EQ(FieldsOfAnswer("x\x1Ay", 1), (Fields{"x\x1Ay"}));  // no translation on typed lines
  EXPECT_EQ(FieldsOfAnswer("", 2), (Fields{"", ""}));
}

}  // namespace
}  // namespace textio
