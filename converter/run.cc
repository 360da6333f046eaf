#include "converter/run.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "converter/row_translation.h"

namespace converter {
namespace {

constexpr int kInputChannel = 1;
constexpr int kOutputChannel = 2;
constexpr int kPrintItem = textio::kFlagLast;                          // 0x10
constexpr int kPrintLine = textio::kFlagLast | textio::kFlagLineEnd;  // 0x11

// Length of the UTF-8 character that starts at `text[i]`, or 0 when the
// bytes there are not one that is safe to show: overlong forms, surrogates
// and code points past U+10FFFF are no characters, and a terminal may act
// on a C1 control (U+0080-U+009F; U+009B is CSI) as on an escape sequence.
size_t Utf8Length(std::string_view text, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
  uint32_t code = lead & (0x7Fu >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i + k) & 0x3Fu);
  }
  constexpr uint32_t kSmallest[5] = {0, 0, 0xA0, 0x800, 0x10000};  // by length
  if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    return 0;
  }
  return length;
}

// Prints a kept row to a channel as seven items.
void PrintRow(textio::Channels& channels, int channel, const TargetRow& row) {
  for (int i = 0; i < 3; ++i) {
    channels.Print(channel, kRowPieces[i], kPrintItem);
    channels.Print(channel, row.notes[i], kPrintItem);
  }
  channels.Print(channel, kRowPieces[3], kPrintLine);
}

// The conversion pass: every field of channel 1 translated, each kept row
// written to channel 2 and shown on the console.
void ConvertRows(console::Console& console, textio::Channels& channels) {
  // End test, select for input and read field in one call; the row is a
  // view that lives until the next read.
  std::string row_storage;
  std::string_view source_row;
  RowLines lines;
  while (channels.NextField(kInputChannel, &row_storage, &source_row)) {
    std::string_view line = lines.Translate(source_row);
    if (line.empty()) continue;  // dropped
    // Built once and printed once: a file and a redirected standard output
    // write only when their buffers are full, so the bytes are the same as
    // for seven prints.  On a console every print shows (a pending line
    // feed, the console check), so there the row stays seven prints.
    channels.Print(kOutputChannel, line, kPrintItem);
    if (console.screen().stdout_is_console()) {
      PrintRow(channels, textio::kConsoleChannel, *TranslateRow(source_row));
    } else {
      channels.Print(textio::kConsoleChannel, line, kPrintItem);
    }
  }
}

}  // namespace

std::string ShownName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (size_t i = 0; i < name.size();) {
    auto byte = static_cast<unsigned char>(name[i]);
    size_t length = byte < 0x80 ? 1 : Utf8Length(name, i);
    if (byte >= 0x20 && byte != 0x7F && length > 0) {
      shown.append(name.substr(i, length));
      i += length;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
      ++i;
    }
  }
  return shown;
}

int Run(console::Console& console, textio::Channels& channels, const ErrorSink& report) {
  int status = 0;
  auto fail = [&](const std::string& line) {
    report("patconv: " + line);
    status = 1;
  };

  console.ClearScreen();
  channels.Print(textio::kConsoleChannel, kTitle, kPrintLine);
  console.PlaceCursor(5, 1, -1);

  std::string input_name;
  for (;;) {
    console.PromptedInput(kOpenPrompt, true, true);
    channels.ReadField(&input_name);
    if (!input_name.empty()) break;
    channels.Print(textio::kConsoleChannel, kEmptyNameRefusal, kPrintLine);
    channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
    if (console.StdinEnded()) {
      // Asking again would only read the same end of standard input.
      fail("no input file named: standard input has ended");
      return status;
    }
  }
  std::string output_name;
  console.PromptedInput(kSavePrompt, true, true);
  channels.ReadField(&output_name);

  if (channels.Open(input_name, textio::kModeInput, 0, 0, kInputChannel, 0) != textio::kStatusOk) {
    fail("cannot open input file '" + ShownName(input_name) + "': " + channels.last_error());
  }
  if (channels.Open(output_name, textio::kModeOutput, 0, 0, kOutputChannel, 0) !=
          textio::kStatusOk &&
      !output_name.empty()) {
    fail("cannot open output file '" + ShownName(output_name) + "': " + channels.last_error());
  }

  channels.Print(textio::kConsoleChannel, kStatusLine, kPrintLine);
  channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
  channels.Print(kOutputChannel, kTargetHeader, kPrintLine);

  ConvertRows(console, channels);

  if (channels.Close(kInputChannel) == textio::kStatusOk && !channels.last_error().empty()) {
    fail("input file '" + ShownName(input_name) + "': " + channels.last_error());
  }
  if (channels.Close(kOutputChannel) == textio::kStatusOk && !channels.last_error().empty()) {
    fail("output file '" + ShownName(output_name) + "': " + channels.last_error());
  }
  return status;
}

int RunProgram(console::Device& device, const ErrorSink& report) {
  textio::Channels channels;
  console::Console console(device, channels);
  int status = Run(console, channels, report);
  channels.CloseAll();
  console.FlushOutput();
  return status;
}

}  // namespace converter
