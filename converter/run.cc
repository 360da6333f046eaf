#include "converter/run.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

#include "converter/interrupted_line.h"
#include "converter/paste_check.h"
#include "converter/row_translation.h"
#include "converter/shown_text.h"
#include "converter/standard_streams.h"

namespace converter {
namespace {

constexpr int kPrintItem = textio::kFlagLast;                         // 0x10
constexpr int kPrintLine = textio::kFlagLast | textio::kFlagLineEnd;  // 0x11

// Prints a kept row to a channel as seven items, the line end with the last.
void PrintRow(textio::Channels& channels, int channel, const RowLine& line) {
  const std::array<std::string_view, 7> pieces = line.Pieces();
  for (size_t i = 0; i + 1 < pieces.size(); ++i) channels.Print(channel, pieces[i], kPrintItem);
  channels.Print(channel, pieces.back(), kPrintLine);
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
    const RowLine* line = lines.Translate(source_row);
    if (line == nullptr) continue;  // dropped
    tally->Add(line->row, source_line);
    // Built once and printed once: a file and a redirected standard output
    // write only when their buffers are full, so the bytes are the same as
    // for seven prints.  On a console every print shows (a pending line
    // feed, the console check), so there the row stays seven prints.
    channels.Print(kOutputChannel, line->text, kPrintItem);
    if (console.screen().stdout_is_console()) {
      PrintRow(channels, textio::kConsoleChannel, *line);
    } else {
      channels.Print(textio::kConsoleChannel, line->text, kPrintItem);
    }
  }
}

std::optional<std::string> EndMarkWarning(const textio::Channels& channels,
                                          const std::string& source) {
  int64_t line = 0;
  int64_t after = 0;
  if (!channels.TextCutShort(kInputChannel, &line, &after)) return std::nullopt;
  return source + ": a 0x1A byte on line " + std::to_string(line) + " ends the text; " +
         ShownCount(after) +
         (after == 1 ? " byte after it was not read" : " bytes after it were not read");
}

namespace {

// One answer of the dialogue.  A typed name is opened as the user saw it,
// one from standard input as the bytes it is: the field reader tells which.
// A name from the command line is in the form of a typed one.
struct Answer {
  std::string name;
  textio::TextOrigin origin = textio::TextOrigin::kStream;
  bool standard_stream = false;  // "-" on the command line
};

Answer Asked(console::Console& console, textio::Channels& channels, std::string_view prompt) {
  Answer answer;
  console.PromptedInput(prompt, true, true);
  channels.ReadField(&answer.name, &answer.origin);
  return answer;
}

Answer Given(console::Console& console, std::string_view prompt, const GivenName& given,
             bool on_screen) {
  if (on_screen) console.ShowAnswered(prompt, true, true, given.text);
  return {given.text, textio::TextOrigin::kTyped, given.kind == NameKind::kStandardStream};
}

bool OpenInput(console::Console& console, textio::Channels& channels, const Answer& input) {
  if (input.standard_stream) {
    return channels.OpenStream(kInputChannel, textio::kModeInput,
                               std::make_unique<StandardInputChannel>(console.SourceInput())) ==
           textio::kStatusOk;
  }
  return channels.Open(input.name, textio::kModeInput, 0, 0, kInputChannel, 0, input.origin) ==
         textio::kStatusOk;
}

bool OpenOutput(console::Device& device, textio::Channels& channels, const Answer& output) {
  if (output.standard_stream) {
    return channels.OpenStream(kOutputChannel, textio::kModeOutput,
                               std::make_unique<StandardOutputChannel>(device)) ==
           textio::kStatusOk;
  }
  return channels.Open(output.name, textio::kModeOutput, 0, 0, kOutputChannel, 0, output.origin) ==
         textio::kStatusOk;
}

}  // namespace

int Run(console::Device& device, console::Console& console, textio::Channels& channels,
        const CommandLine& names, const ErrorSink& report) {
  int status = 0;
  auto fail = [&](const std::string& line) {
    console.FlushOutput();  // what the screen got so far comes first
    report("patconv: " + line);
    status = 1;
  };

  // With the converted text on standard output the console is never set
  // up: channel 0 stays closed, so every print to it does nothing, and the
  // screen is left as it was.
  const bool on_screen = !names.ToStandardOutput();
  if (on_screen) {
    console.ClearScreen();
    channels.Print(textio::kConsoleChannel, kTitle, kPrintLine);
    console.PlaceCursor(5, 1, -1);
  }

  Answer input;
  for (bool first = true;; first = false) {
    input = first && names.source ? Given(console, kOpenPrompt, *names.source, on_screen)
                                  : Asked(console, channels, kOpenPrompt);
    if (!input.name.empty()) break;
    channels.Print(textio::kConsoleChannel, kEmptyNameRefusal, kPrintLine);
    channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
    if (console.StdinEnded()) {
      // Asking again would only read the same end of standard input.
      fail("no input file named: standard input has ended");
      return status;
    }
  }
  const Answer output = names.target ? Given(console, kSavePrompt, *names.target, on_screen)
                                     : Asked(console, channels, kSavePrompt);
  const std::string& input_name = input.name;
  const std::string& output_name = output.name;

  // The output is opened only once the input is: a mistyped input name must
  // not cost the file named for the output (which may even be the source).
  // An output being written says how far it got if the program is ended.
  textio::LineCount lines_written{0};
  std::optional<InterruptedLine> interrupted;
  if (!OpenInput(console, channels, input)) {
    fail("cannot open input file '" + ShownName(input_name) + "': " + channels.last_error());
  } else if (OpenOutput(device, channels, output)) {
    channels.CountLinesWritten(kOutputChannel, &lines_written);
    interrupted.emplace(device, ShownName(output_name), &lines_written);
  } else if (!output_name.empty()) {
    fail("cannot open output file '" + ShownName(output_name) + "': " + channels.last_error());
  }

  channels.Print(textio::kConsoleChannel, kStatusLine, kPrintLine);
  channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
  channels.Print(kOutputChannel, kTargetHeader, kPrintLine);

  PasteTally tally;
  ConvertRows(console, channels, &tally);
  if (interrupted) interrupted->Finished(tally.rows());
  const std::optional<std::string> end_mark =
      EndMarkWarning(channels, "'" + ShownName(input_name) + "'");

  if (channels.Close(kInputChannel) == textio::kStatusOk && !channels.last_error().empty()) {
    fail("input file '" + ShownName(input_name) + "': " + channels.last_error());
  }
  if (channels.Close(kOutputChannel) == textio::kStatusOk && !channels.last_error().empty()) {
    fail("output file '" + ShownName(output_name) + "': " + channels.last_error());
  }
  interrupted.reset();  // the output is closed: whole, or said to be cut short

  // What the tracker will make of the result, once everything is written.
  // After a failure (an input that could not be opened or read, an output
  // not made or cut short) the error line has said that the result is not
  // whole; a warning about it would only confuse.
  if (status == 0) {
    console.FlushOutput();  // the rows come before the warnings
    if (end_mark) report("patconv: warning: " + *end_mark);
    for (const std::string& line : tally.Warnings(ShownName(output_name))) {
      report("patconv: warning: " + line);
    }
  }
  return status;
}

int RunProgram(console::Device& device, const ErrorSink& report, const CommandLine& names) {
  textio::Channels channels;
  console::Console console(device, channels);
  int status = Run(device, console, channels, names, report);
  channels.CloseAll();
  console.FlushOutput();
  return status;
}

}  // namespace converter
