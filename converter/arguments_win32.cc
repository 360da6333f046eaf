// The program's arguments on Windows, from the wide command line: the
// runtime's narrow ones have passed through the ANSI code page, which loses
// every character it lacks.  UTF-8 is the form of typed names, which the
// file calls open through the wide calls (textio::TextOrigin::kTyped).
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "converter/command_line.h"

namespace converter {

const std::string_view kDashFileName = ".\\-";
namespace {

std::string ToUtf8(const wchar_t* wide) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string text(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
  text.resize(static_cast<size_t>(size - 1));  // without the terminating NUL
  return text;
}

}  // namespace

std::vector<std::string> ProgramArguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  bool options_end = false;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(ToUtf8(wide[i]));
    // "/?" asks for the help, as of every Windows tool; no file is so named.
    if (!options_end && arguments.back() == "/?") arguments.back() = "--help";
    options_end = options_end || arguments.back() == "--";
  }
  ::LocalFree(wide);
  return arguments;
}

}  // namespace converter
