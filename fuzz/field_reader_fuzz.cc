// Fuzz target: the field reader over arbitrary bytes, read three ways.
//
//   1. From a file channel: the bytes are written to a file, opened on
//      channel 1 (text translation on) and read with end test, select for
//      input, read field, until the end test gives -1; and opened on
//      channel 3 and read with NextField, as the converter reads it.
//   2. From a channel whose input arrives in short reads of varying size
//      (as a pipe delivers a redirected standard input), with the end test
//      of channel 0: the end is reported once a read has met it.
//   3. From the typed answer line, which has no text translation.
//
// Properties.  Let D be the input and let the data be D up to its first
// 0x1A byte for the channels (1, 2), and all of D for the answer line (3).
// A file that starts with a byte-order mark is read as converted text, to
// which c does not apply; the others hold for it too.
// Let Strip(x) be x without its blanks (space, tab), quotes, commas, CRs
// and LFs.
//   a. Every field holds at most 4096 bytes.
//   b. Channels: the end test gives -1 after at most |D| + 1 reads.  Answer
//      line: after |D| + 1 reads a further read yields an empty field.
//   c. Strip(the fields joined in order) == Strip(the data).  The reader
//      stores every byte it takes except leading blanks, a field's opening
//      and closing quote, the comma or line end that ends a field, and the
//      blanks it skips after a closing quote or after a full 4096-byte
//      field; any other byte after a closing quote or a full field is put
//      back and begins the next field.  Nothing is stored twice, and the
//      CR LF translation only removes a CR.  So exactly the bytes that Strip
//      keeps reach the fields, in order.
//   d. File channel: NextField, the converter's one call per field that
//      takes a whole line in one piece where it can, yields the same fields
//      as end test, select for input and read field.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "textio/channels.h"
#include "textio/test_support.h"
#include "textio/text_input.h"

namespace {

using fuzz::Check;

std::string Strip(std::string_view bytes) {
  std::string kept;
  for (char c : bytes) {
    if (c != ' ' && c != '\t' && c != '"' && c != ',' && c != '\r' && c != '\n') kept += c;
  }
  return kept;
}

std::string_view BeforeEofMark(std::string_view data) { return data.substr(0, data.find('\x1A')); }

// Raw bytes handed out in reads of 1 to 16 bytes, sizes taken from the data.
class ShortReads final : public textio::ByteSource {
 public:
  explicit ShortReads(std::string_view data) : data_(data) {}
  long Read(char* out, size_t size, int*) override {
    if (offset_ >= data_.size()) return 0;
    size_t chunk = 1 + static_cast<unsigned char>(data_[(offset_ * 7) % data_.size()]) % 16;
    if (chunk > size) chunk = size;
    if (chunk > data_.size() - offset_) chunk = data_.size() - offset_;
    data_.copy(out, chunk, offset_);
    offset_ += chunk;
    return static_cast<long>(chunk);
  }

 private:
  std::string_view data_;
  size_t offset_ = 0;
};

// A channel kind over ShortReads with the end test of channel 0.
class PipeChannel final : public textio::ChannelKind {
 public:
  explicit PipeChannel(std::string_view data) : source_(data), input_(&source_) {}
  int EndTest(const textio::ChannelRecord&) override { return input_.ended() ? -1 : 0; }
  textio::TextInput* input() override { return &input_; }
  size_t Write(const char*, size_t) override { return 0; }
  std::string Close() override { return {}; }

 private:
  ShortReads source_;
  textio::TextInput input_;
};

// Reads a channel to its end with end test, select for input and read
// field; the fields joined.  Each field is also added to *fields if given.
std::string ReadChannel(textio::Channels& channels, int number, size_t input_size,
                        std::vector<std::string>* fields = nullptr) {
  std::string joined;
  std::string field;
  size_t reads = 0;
  while (channels.EndTest(number) == 0) {
    Check(++reads <= input_size + 1, "the end test reaches -1 within |D| + 1 reads");
    Check(channels.SelectInput(number) == textio::kStatusOk, "select for input succeeds");
    channels.ReadField(&field);
    Check(field.size() <= textio::kFieldLimit, "a field holds at most 4096 bytes");
    joined += field;
    if (fields != nullptr) fields->push_back(field);
  }
  return joined;
}

// The fields of a channel read to its end with NextField, the converter's
// one call per field (which takes whole lines in one piece).
std::vector<std::string> NextFields(textio::Channels& channels, int number, size_t input_size) {
  std::vector<std::string> fields;
  std::string storage;
  std::string_view field;
  while (channels.NextField(number, &storage, &field)) {
    Check(fields.size() <= input_size, "NextField ends within |D| + 1 reads");
    fields.emplace_back(field);
  }
  return fields;
}

void CheckFileChannel(std::string_view data) {
  static const std::string path = textio::ScratchDirectory() + "/field.txt";
  Check(textio::WriteFile(path, data), "the file can be written");
  textio::Channels channels;
  Check(channels.Open(path, textio::kModeInput, 0, 0, 1, 0) == textio::kStatusOk, "the file opens");
  Check(channels.Open(path, textio::kModeInput, 0, 0, 3, 0) == textio::kStatusOk,
        "the file opens on a second channel");
  std::vector<std::string> fields;
  std::string joined = ReadChannel(channels, 1, data.size(), &fields);
  const bool marked = data.rfind("\xEF\xBB\xBF", 0) == 0 || data.rfind("\xFF\xFE", 0) == 0 ||
                      data.rfind("\xFE\xFF", 0) == 0;
  Check(marked || Strip(joined) == Strip(BeforeEofMark(data)),
        "file channel: the fields hold every byte but blanks, quotes, commas, CR, LF");
  Check(NextFields(channels, 3, data.size()) == fields,
        "NextField yields the fields of end test, select for input and read field");
}

void CheckPipeChannel(std::string_view data) {
  textio::Channels channels;
  PipeChannel pipe(data);
  channels.AttachConsole(&pipe);
  std::string joined = ReadChannel(channels, textio::kConsoleChannel, data.size());
  Check(Strip(joined) == Strip(BeforeEofMark(data)),
        "short reads: the fields hold every byte but blanks, quotes, commas, CR, LF");
}

void CheckAnswerLine(std::string_view data) {
  textio::Channels channels;
  channels.SetAnswerLine(std::string(data));
  std::string joined;
  std::string field;
  for (size_t read = 0; read <= data.size(); ++read) {
    channels.ReadField(&field);
    Check(field.size() <= textio::kFieldLimit, "an answer field holds at most 4096 bytes");
    joined += field;
  }
  channels.ReadField(&field);
  Check(field.empty(), "the answer line is used up after |D| + 1 reads");
  Check(Strip(joined) == Strip(data),
        "answer line: the fields hold every byte but blanks, quotes, commas, CR, LF");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Check(!textio::ScratchDirectory().empty(), "a scratch directory can be made");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckFileChannel(bytes);
  CheckPipeChannel(bytes);
  CheckAnswerLine(bytes);
  return 0;
}
