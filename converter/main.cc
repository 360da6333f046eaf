// patconv: converts tracker pattern text into Vortex Tracker II pattern text.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/device.h"
#include "converter/run.h"
#include "textio/os_file.h"

int main() {
  // The lines for standard error wait until the device has drawn its last
  // screen and let the terminal go: on a terminal they then stand below it.
  std::vector<std::string> lines;
  int status = 0;
  {
    std::unique_ptr<console::Device> device = console::MakePlatformDevice();
    status = converter::RunProgram(
        *device, [&lines](const std::string& line) { lines.push_back(line + "\n"); });
  }
  for (const std::string& line : lines) textio::WriteStandardError(line);
  std::fflush(stderr);
  return status;
}
