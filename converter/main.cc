// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
#include <memory>

#include "clipboard/clipboard.h"
#include "console/device.h"
#include "converter/program.h"

int main(int argc, char** argv) {
  std::unique_ptr<console::Device> device = console::MakePlatformDevice();
  std::unique_ptr<clipboard::Clipboard> board = clipboard::MakeSystemClipboard();
  return converter::RunCommandLine(*device, *board, converter::ProgramArguments(argc, argv));
}
