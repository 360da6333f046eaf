// The program's arguments on POSIX systems: their bytes, as file names are.
#include <string>
#include <string_view>
#include <vector>

#include "converter/command_line.h"

namespace converter {

const std::string_view kDashFileName = "./-";

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace converter
