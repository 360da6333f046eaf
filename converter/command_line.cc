#include "converter/command_line.h"

#include <utility>

#include "converter/shown_text.h"

#ifndef PATCONV_VERSION
#error "PATCONV_VERSION comes from project() in CMakeLists.txt"
#endif

namespace converter {
namespace {

constexpr std::string_view kUsage =
    "Usage: patconv [-h] [-V] [SOURCE [TARGET]]\n"
    "       patconv -c\n"
    "\n"
    "Converts tracker pattern text copied from ModPlug Tracker or OpenMPT into\n"
    "pattern text that Vortex Tracker II accepts.\n"
    "\n"
    "SOURCE names the file to read and TARGET the file to write: each answers\n"
    "its question, and a question left without a name is asked.  A SOURCE of\n"
    "'-' reads the pattern from standard input; a TARGET of '-' writes the\n"
    "converted text to standard output and nothing else there.  'patconv -'\n"
    "is 'patconv - -'.  A file named '-' is './-'.\n"
    "\n"
    "Options:\n"
    "  -c, --clipboard  convert the pattern rows on the clipboard and put the\n"
    "                   result there, ready to paste into Vortex Tracker II\n"
    "  -h, --help       show this text and exit\n"
    "  -V, --version    show the version and exit\n"
    "  --               end the options: every later argument is a name\n"
    "\n"
    "Exit status: 0 when the run completes; 1 when a file could not be opened,\n"
    "read or written, or the clipboard held no pattern rows (it is then left\n"
    "as it was) or could not be read or set; 2 when the command line cannot\n"
    "be followed.\n";

constexpr std::string_view kHelpHint = " (patconv --help lists the options)";

enum class Option : uint8_t { kClipboard, kHelp, kVersion };

struct OptionName {
  std::string_view short_form;
  std::string_view long_form;
  Option option;
};

constexpr OptionName kOptions[] = {
    {"-c", "--clipboard", Option::kClipboard},
    {"-h", "--help", Option::kHelp},
    {"-V", "--version", Option::kVersion},
};

const OptionName* FindOption(std::string_view argument) {
  for (const OptionName& name : kOptions) {
    if (argument == name.short_form || argument == name.long_form) return &name;
  }
  return nullptr;
}

Job Refused(const std::string& why) {
  Job job;
  job.action = Job::Action::kRefuse;
  job.refusal = why + std::string(kHelpHint);
  return job;
}

GivenName Named(const std::string& argument) {
  if (argument == "-") return {NameKind::kStandardStream, argument};
  return {NameKind::kFile, argument};
}

// The clipboard job: the clipboard takes the place of both names.
Job WithClipboard(Job job, const std::vector<GivenName>& names) {
  if (!names.empty()) {
    return Refused("--clipboard takes no names, but '" + ShownName(names[0].text) + "' was given");
  }
  job.action = Job::Action::kClipboard;
  return job;
}

// The conversion of SOURCE into TARGET, as far as they are named.
Job WithNames(Job job, const std::vector<GivenName>& names) {
  if (names.size() > 2)
    return Refused("too many names, from '" + ShownName(names[2].text) + "' on");
  if (!names.empty()) job.source = names[0];
  if (names.size() == 2) {
    job.target = names[1];
  } else if (job.source && job.source->kind == NameKind::kStandardStream) {
    job.target = job.source;
  }
  // The refusal of an empty name and the question that follows it belong
  // on the screen, which standard output does not show when it carries the
  // converted text.
  if (job.ToStandardOutput() && job.source->text.empty()) {
    return Refused("an empty SOURCE names no file");
  }
  return job;
}

}  // namespace

Job ParseCommandLine(const std::vector<std::string>& arguments) {
  Job job;  // the options set what they change in it
  std::vector<GivenName> names;
  bool options_ended = false;
  bool clipboard = false;
  for (const std::string& argument : arguments) {
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      names.push_back(Named(argument));
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    const OptionName* option = FindOption(argument);
    if (option == nullptr) return Refused("unknown option '" + ShownName(argument) + "'");
    switch (option->option) {
      case Option::kClipboard: clipboard = true; break;
      case Option::kHelp: job.action = Job::Action::kHelp; return job;
      case Option::kVersion: job.action = Job::Action::kVersion; return job;
    }
  }
  return clipboard ? WithClipboard(std::move(job), names) : WithNames(std::move(job), names);
}

std::string_view UsageText() { return kUsage; }

std::string VersionLine() { return "patconv " PATCONV_VERSION; }

}  // namespace converter
