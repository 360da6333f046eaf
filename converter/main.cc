// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
#include <cstdio>
#include <string>

#include "console/device.h"
#include "converter/run.h"

int main() {
  std::unique_ptr<console::Device> device = console::MakePlatformDevice();
  return converter::RunProgram(*device, [](const std::string& line) {
    std::fputs((line + "\n").c_str(), stderr);
    std::fflush(stderr);
  });
}
