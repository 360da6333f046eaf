// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
//
// converter/ from main() down, in five lines:
//   ParseCommandLine (command_line.h) makes the arguments one Job (job.h).
//   Dispatch (dispatch.h) answers --help, --version and refusals, or picks the
//   job's Source (sources.h) and Target (targets.h) and hands both to Convert
//   (conversion.h): checks, screen, questions (dialogue.h), open, rows, close.
//   Messages (messages.h) writes each line for standard error; main returns the status.
#include <memory>

#include "clipboard/clipboard.h"
#include "console/device.h"
#include "converter/command_line.h"
#include "converter/dispatch.h"

int main(int argc, char** argv) {
  std::unique_ptr<console::Device> device = console::MakePlatformDevice();
  std::unique_ptr<clipboard::Clipboard> board = clipboard::MakeSystemClipboard();
  const converter::Job job = converter::ParseCommandLine(converter::ProgramArguments(argc, argv));
  return converter::Dispatch(*device, *board, job);
}
