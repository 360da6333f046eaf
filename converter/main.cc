// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
#include <memory>

#include "console/device.h"
#include "converter/program.h"

int main(int argc, char** argv) {
  std::unique_ptr<console::Device> device = console::MakePlatformDevice();
  return converter::RunCommandLine(*device, converter::ProgramArguments(argc, argv));
}
