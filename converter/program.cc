#include "converter/program.h"

#include <cstdint>
#include <cstdio>

#include "converter/clipboard_run.h"
#include "converter/command_line.h"
#include "converter/run.h"

namespace converter {
namespace {

// Text for standard output through the C runtime, whose text mode gives
// the platform's line ends.
void WriteStdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// How a run ended: its exit status, and whether what it showed must stay
// on a window that would close with the program.
struct Ending {
  int status = 0;
  bool keep_window = true;
};

Ending Follow(console::Device& device, clipboard::Clipboard& board, const CommandLine& line,
              const ErrorSink& report) {
  switch (line.action) {
    case CommandLine::Action::kHelp: WriteStdout(UsageText()); return {};
    case CommandLine::Action::kVersion: WriteStdout(VersionLine() + "\n"); return {};
    case CommandLine::Action::kRefuse: report("patconv: " + line.refusal); return {kUsageStatus};
    case CommandLine::Action::kClipboard: {
      // A clean run closes its window: copy, key, paste.
      const ClipboardOutcome outcome = RunClipboardProgram(device, board, report);
      return {outcome.status, outcome.warned};
    }
    case CommandLine::Action::kConvert: break;
  }
  uint32_t mode = 0;
  if (line.source && line.source->kind == NameKind::kStandardStream && device.GetInputMode(&mode)) {
    // Typed keys are no pattern.
    report("patconv: standard input is a terminal: redirect or pipe the pattern into it");
    return {kUsageStatus};
  }
  return {RunProgram(device, report, line)};
}

}  // namespace

int RunCommandLine(console::Device& device, clipboard::Clipboard& board,
                   const std::vector<std::string>& arguments) {
  // The device writes the lines for standard error: on the console it draws
  // on, once it has let the console go, below the final screen.
  const ErrorSink report = [&device](const std::string& line) { device.WriteErrorLine(line); };
  const Ending ending = Follow(device, board, ParseCommandLine(arguments), report);
  if (ending.keep_window && device.WindowClosesAtEnd()) {
    device.WaitForKeyAtEnd(std::string(kCloseNotice));
  }
  return ending.status;
}

}  // namespace converter
