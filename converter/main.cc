// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
//
// From main() down, converter/ is one flow:
//  1. ParseCommandLine (command_line.h) makes the arguments one Job (job.h):
//     what to read, what to write, how to convert, or another answer.
//  2. Dispatch (dispatch.h) answers --help, --version and refusals itself,
//     and for a conversion picks a Source (sources.h) and a Target (targets.h).
//  3. Convert (conversion.h) takes both through the same steps: checks, the
//     screen and questions (dialogue.h), open, the row loop, close, delivery.
//  4. Every line for standard error goes through Messages (messages.h), and
//     the exit status comes back here: 0, 1 after a failure, 2 for a refusal.
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
