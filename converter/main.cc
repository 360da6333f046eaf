// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
#include <memory>
#include <string>

#include "console/device.h"
#include "converter/run.h"

int main() {
  // The device writes the lines for standard error: on the console it draws
  // on, once it has let the console go (when it is destroyed), below the
  // final screen.
  std::unique_ptr<console::Device> device = console::MakePlatformDevice();
  return converter::RunProgram(
      *device, [&device](const std::string& line) { device->WriteErrorLine(line); });
}
