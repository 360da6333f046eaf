#include "converter/command_line.h"

#include <array>
#include <optional>
#include <utility>

#include "converter/shown_text.h"

#ifndef PATCONV_VERSION
#error "PATCONV_VERSION comes from project() in CMakeLists.txt"
#endif

namespace converter {
namespace {

constexpr std::string_view kUsage =
    "Usage: patconv [OPTIONS] [SOURCE [TARGET]]\n"
    "       patconv [OPTIONS] -c\n"
    "       patconv --song [OPTIONS] SOURCE|-c TARGET\n"
    "\n"
    "Converts tracker pattern text copied from ModPlug Tracker or OpenMPT into\n"
    "pattern text that Vortex Tracker II accepts.\n"
    "\n"
    "SOURCE names the file to read and TARGET the file to write: each answers\n"
    "its question, and a question left without a name is asked.  A SOURCE of\n"
    "'-' reads the pattern from standard input; a TARGET of '-' writes the\n"
    "converted text to standard output and nothing else there.  'patconv -'\n"
    "is 'patconv - -'.  A file named '-' is '@DASH@'.  A TARGET named here that\n"
    "holds anything but converted text is replaced only with --force.\n"
    "\n"
    "Options:\n"
    "  -c, --clipboard  convert the pattern rows on the clipboard and put the\n"
    "                   result there, ready to paste into Vortex Tracker II\n"
    "  --channels LIST  the source channels (1-127) for the tracker's channels\n"
    "                   A, B and C, one to three: --channels 2,4,5\n"
    "  --octave N       every note N octaves higher, -7 to 7 (-1: lower)\n"
    "  --fit            write only rows the tracker takes\n"
    "  --full           also carry instruments, volumes and speed (and --fit)\n"
    "  --song           write a whole song's copy as one module file\n"
    "  -f, --force      replace a TARGET that holds other text\n"
    "  -h, --help       show this text and exit\n"
    "  -V, --version    show the version and exit\n"
    "  --               end the options: every later argument is a name\n"
    "\n"
    "Exit status: 0 when the run completes; 1 when a file could not be opened,\n"
    "read or written, or the clipboard held no pattern rows (it is then left\n"
    "as it was) or could not be read or set; 2 when the command line cannot\n"
    "be followed.\n";

constexpr std::string_view kHelpHint = " (patconv --help lists the options)";

enum class Option : uint8_t {
  kClipboard,
  kHelp,
  kVersion,
  kChannels,
  kOctave,
  kFit,
  kFull,
  kSong,
  kForce
};

struct OptionName {
  std::string_view short_form;
  std::string_view long_form;
  Option option;
  bool takes_value;
};

constexpr OptionName kOptions[] = {
    {"-c", "--clipboard", Option::kClipboard, false},
    {"-h", "--help", Option::kHelp, false},
    {"-V", "--version", Option::kVersion, false},
    {"", "--channels", Option::kChannels, true},
    {"", "--octave", Option::kOctave, true},
    {"", "--fit", Option::kFit, false},
    {"", "--full", Option::kFull, false},
    {"", "--song", Option::kSong, false},
    {"-f", "--force", Option::kForce, false},
};

// The option an argument names, and the value it carries after '=' (an
// option that takes a value) in *value.
const OptionName* FindOption(std::string_view argument, std::optional<std::string>* value) {
  for (const OptionName& name : kOptions) {
    if (argument == name.short_form || argument == name.long_form) return &name;
    if (name.takes_value && argument.size() > name.long_form.size() &&
        argument.substr(0, name.long_form.size()) == name.long_form &&
        argument[name.long_form.size()] == '=') {
      *value = std::string(argument.substr(name.long_form.size() + 1));
      return &name;
    }
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

// A whole number from `low` to `high`, with or without a sign, in *number;
// false for anything else.
bool ReadNumber(std::string_view text, int low, int high, int* number) {
  size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (at == text.size() || text.size() - at > 3) return false;
  int value = 0;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (text[0] == '-') value = -value;
  if (value < low || value > high) return false;
  *number = value;
  return true;
}

// "2,4,5" into the channels of A, B and C; the refusal, or empty.
std::string ReadChannels(std::string_view list, std::array<int, 3>* channels) {
  const std::string shown = "--channels '" + ShownName(list) + "': ";
  std::array<int, 3> chosen{0, 0, 0};
  size_t count = 0;
  for (size_t from = 0; from <= list.size();) {
    size_t comma = list.find(',', from);
    if (comma == std::string_view::npos) comma = list.size();
    int channel = 0;
    if (count == chosen.size()) return shown + "more than three channels";
    if (list.empty() || !ReadNumber(list.substr(from, comma - from), 1, 127, &channel)) {
      return shown + "a channel is a number from 1 to 127";
    }
    for (size_t i = 0; i < count; ++i) {
      if (chosen[i] == channel) return shown + "channel " + std::to_string(channel) + " twice";
    }
    chosen[count++] = channel;
    from = comma + 1;
  }
  *channels = chosen;
  return {};
}

// What the options have set so far: a value given twice must be the same.
struct Given {
  std::optional<std::string> channels;
  std::optional<std::string> octave;
};

// Takes the value of `option` into the job; the refusal, or empty.
std::string TakeValue(Option option, const std::string& value, Given* given, Job* job) {
  std::optional<std::string>& seen = option == Option::kChannels ? given->channels : given->octave;
  const std::string name = option == Option::kChannels ? "--channels" : "--octave";
  if (seen && *seen != value) return name + " is given twice with different values";
  seen = value;
  if (option == Option::kChannels) return ReadChannels(value, &job->settings.channels);
  if (!ReadNumber(value, -7, 7, &job->settings.octave)) {
    return "--octave '" + ShownName(value) + "': the shift is a number from -7 to 7";
  }
  return {};
}

// The clipboard job: the clipboard takes the place of both names.
Job WithClipboard(Job job, const std::vector<GivenName>& names) {
  if (!names.empty()) {
    return Refused("--clipboard takes no names, but '" + ShownName(names[0].text) + "' was given");
  }
  job.action = Job::Action::kClipboard;
  return job;
}

// The song job: SOURCE (or the clipboard) and TARGET, both required; the
// rows converted as --full converts them.
Job WithSong(Job job, const std::vector<GivenName>& names, bool clipboard) {
  const size_t wanted = clipboard ? 1 : 2;
  if (names.size() != wanted) {
    return Refused(clipboard ? "--song --clipboard needs TARGET, the module file to write"
                             : "--song needs SOURCE and TARGET, the copy to read and the "
                               "module file to write");
  }
  if (!clipboard && names[0].text.empty()) return Refused("an empty SOURCE names no file");
  if (names.back().text.empty()) return Refused("an empty TARGET names no file");
  job.action = Job::Action::kSong;
  job.from_clipboard = clipboard;
  if (!clipboard) job.source = names[0];
  job.target = names.back();
  job.settings.fit = job.settings.full = true;
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
  Given given;
  bool options_ended = false;
  bool clipboard = false;
  bool song = false;
  std::optional<Job> refusal;  // the first; --help and --version still win
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      names.push_back(Named(argument));
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    std::optional<std::string> value;
    const OptionName* option = FindOption(argument, &value);
    if (option == nullptr) return Refused("unknown option '" + ShownName(argument) + "'");
    if (option->takes_value && !value) {
      if (i + 1 == arguments.size()) {
        if (!refusal) refusal = Refused(std::string(option->long_form) + " needs a value");
        continue;
      }
      value = arguments[++i];
    }
    std::string why;
    switch (option->option) {
      case Option::kClipboard: clipboard = true; break;
      case Option::kHelp: job.action = Job::Action::kHelp; return job;
      case Option::kVersion: job.action = Job::Action::kVersion; return job;
      case Option::kChannels:
      case Option::kOctave: why = TakeValue(option->option, *value, &given, &job); break;
      case Option::kFit: job.settings.fit = true; break;
      case Option::kFull: job.settings.full = true; break;
      case Option::kSong: song = true; break;
      case Option::kForce: job.force = true; break;
    }
    if (!why.empty() && !refusal) refusal = Refused(why);
  }
  if (refusal) return *refusal;
  if (song) return WithSong(std::move(job), names, clipboard);
  return clipboard ? WithClipboard(std::move(job), names) : WithNames(std::move(job), names);
}

std::string UsageText() {
  std::string text(kUsage);
  const size_t at = text.find("@DASH@");
  return text.replace(at, 6, kDashFileName);
}

std::string VersionLine() { return "patconv " PATCONV_VERSION; }

}  // namespace converter
