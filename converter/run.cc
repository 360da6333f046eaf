#include "converter/run.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "converter/paste_check.h"
#include "converter/row_translation.h"
#include "converter/shown_text.h"

namespace converter {
namespace {

constexpr int kPrintItem = textio::kFlagLast;                         // 0x10
constexpr int kPrintLine = textio::kFlagLast | textio::kFlagLineEnd;  // 0x11

// Prints a kept row to a channel as seven items.
void PrintRow(textio::Channels& channels, int channel, const TargetRow& row) {
  for (int i = 0; i < 3; ++i) {
    channels.Print(channel, kRowPieces[i], kPrintItem);
    channels.Print(channel, row.notes[i], kPrintItem);
  }
  channels.Print(channel, kRowPieces[3], kPrintLine);
}

}  // namespace

void ConvertRows(console::Console& console, textio::Channels& channels, PasteTally* tally) {
  // End test, select for input and read field in one call; the row is a
  // view that lives until the next read.
  std::string row_storage;
  std::string_view source_row;
  RowLines lines;
  for (;;) {
    const int64_t source_line = channels.LineEndsRead(kInputChannel) + 1;
    if (!channels.NextField(kInputChannel, &row_storage, &source_row)) break;
    std::string_view line = lines.Translate(source_row);
    if (line.empty()) continue;  // dropped
    tally->Add(line, source_row, source_line);
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

int Run(console::Console& console, textio::Channels& channels, const ErrorSink& report) {
  int status = 0;
  auto fail = [&](const std::string& line) {
    console.FlushOutput();  // what the screen got so far comes first
    report("patconv: " + line);
    status = 1;
  };

  console.ClearScreen();
  channels.Print(textio::kConsoleChannel, kTitle, kPrintLine);
  console.PlaceCursor(5, 1, -1);

  // A typed name is opened as the user saw it, one from standard input as
  // the bytes it is: the field reader tells which.
  std::string input_name;
  textio::TextOrigin input_origin = textio::TextOrigin::kStream;
  for (;;) {
    console.PromptedInput(kOpenPrompt, true, true);
    channels.ReadField(&input_name, &input_origin);
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
  textio::TextOrigin output_origin = textio::TextOrigin::kStream;
  console.PromptedInput(kSavePrompt, true, true);
  channels.ReadField(&output_name, &output_origin);

  if (channels.Open(input_name, textio::kModeInput, 0, 0, kInputChannel, 0, input_origin) !=
      textio::kStatusOk) {
    fail("cannot open input file '" + ShownName(input_name) + "': " + channels.last_error());
  }
  if (channels.Open(output_name, textio::kModeOutput, 0, 0, kOutputChannel, 0, output_origin) !=
          textio::kStatusOk &&
      !output_name.empty()) {
    fail("cannot open output file '" + ShownName(output_name) + "': " + channels.last_error());
  }

  channels.Print(textio::kConsoleChannel, kStatusLine, kPrintLine);
  channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
  channels.Print(kOutputChannel, kTargetHeader, kPrintLine);

  PasteTally tally;
  ConvertRows(console, channels, &tally);

  if (channels.Close(kInputChannel) == textio::kStatusOk && !channels.last_error().empty()) {
    fail("input file '" + ShownName(input_name) + "': " + channels.last_error());
  }
  if (channels.Close(kOutputChannel) == textio::kStatusOk && !channels.last_error().empty()) {
    fail("output file '" + ShownName(output_name) + "': " + channels.last_error());
  }

  // What the tracker will make of the result, once everything is written.
  // After a failure (an input that could not be opened or read, an output
  // not made or cut short) the error line has said that the result is not
  // whole; a warning about it would only confuse.
  if (status == 0) {
    console.FlushOutput();  // the rows come before the warnings
    for (const std::string& line : tally.Warnings(ShownName(output_name))) {
      report("patconv: warning: " + line);
    }
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
