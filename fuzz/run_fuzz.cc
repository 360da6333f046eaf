// Fuzz target: the whole program on redirected standard streams.
//
// The input is split into a mode byte, a length byte L, L bytes of standard
// input and the source file's bytes.  In a scratch directory of its own the
// source is written to the file "s"; the program runs on a memory console
// whose standard input and output are both redirected, standard input
// holding the L bytes (after "s" LF, or "s" LF "o" LF, in modes 1 and 2, so
// that most runs convert something).  Every '/' of standard input becomes
// '_': a name can then only reach an entry of the scratch directory.
//
// Properties:
//   a. The run ends, with status 0 or 1; status 1 comes with at least one
//      error line for standard error, status 0 with none.  Every line for
//      standard error starts with "patconv: " and is safe to show on a
//      terminal: valid UTF-8 with no C0 control, no DEL and no C1 control
//      (U+0080-U+009F).
//   b. Standard output is a well-formed dialogue: the title and CR LF; then
//      refusal pairs (the refusal, CR LF, CR LF); then either nothing more
//      (the early stop on an exhausted standard input, status 1, after at
//      least one refusal) or the status line, CR LF, CR LF and rows of the
//      target format ("....|..|" n1 " .... ....|" n2 " .... ....|" n3
//      " .... ...." with notes of at most 3 bytes and no CR or LF), each
//      ending CR LF, at most one per source byte plus one.
//   c. The file read is never changed: "s" keeps its bytes, also when it is
//      named for the output after an input that cannot be opened.
//   d. An output file, when one was made, holds the header line and CR LF
//      first, then exactly the rows that standard output shows.
//   e. Warnings ("patconv: warning: ") come only with status 0, after any
//      error line: first, when a 0x1A byte ended the source early, where it
//      stands; then "no rows were converted" when no row is shown; otherwise
//      none, or a count "X of N rows" with N the rows shown ("the only
//      row" of one), then 1 to 5
//      refused rows; last, when N is over 256, "only the first 256 of N".
//      A name may hold any text, so each warning is read whole, naming "s"
//      or the output as the harness knows them (the file it finds made, or
//      "the screen"), never told by a phrase found in it.
//   f. The source's bytes on a clipboard (modes 1 and 2, no byte-order mark,
//      which a clipboard's text never has): --clipboard sets it, with status 0,
//      to the header line and the rows shown, or leaves it, with status 1.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/testing/memory_device.h"
#include "converter/conversion.h"
#include "converter/dialogue.h"
#include "converter/dispatch.h"
#include "converter/job.h"
#include "converter/shown_text.h"
#include "fuzz/fuzz_input.h"
#include "textio/test_support.h"

namespace {

using fuzz::Check;
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kWarning = "patconv: warning: ";
// The one file the scratch directory holds before a run, so the only name an
// input can be opened by ('/' never reaches the program).
constexpr std::string_view kSourceName = "s";

bool TakePrefix(std::string_view* text, std::string_view prefix) {
  if (text->substr(0, prefix.size()) != prefix) return false;
  text->remove_prefix(prefix.size());
  return true;
}

// True when `line` (without its CR LF) has the target row's layout.
bool IsTargetRow(std::string_view line) {
  static constexpr std::string_view kPieces[4] = {"....|..|", " .... ....|", " .... ....|",
                                                  " .... ...."};
  // Notes of 0 to 3 bytes each: try every split.
  for (int combination = 0; combination < 64; ++combination) {
    std::string_view rest = line;
    bool fits = TakePrefix(&rest, kPieces[0]);
    for (int k = 0; k < 3 && fits; ++k) {
      const size_t length = static_cast<size_t>((combination >> (2 * k)) & 3);
      fits = rest.size() >= length;
      if (fits) rest.remove_prefix(length);
      fits = fits && TakePrefix(&rest, kPieces[k + 1]);
    }
    if (fits && rest.empty()) return true;
  }
  return false;
}

// Valid UTF-8 without C0, DEL or C1 controls.
bool SafeToShow(std::string_view line) {
  for (size_t i = 0; i < line.size();) {
    const auto lead = static_cast<unsigned char>(line[i]);
    if (lead < 0x20 || lead == 0x7F) return false;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    const size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                                                        : 0;
    if (length == 0 || i + length > line.size()) return false;
    uint32_t code = lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(line[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    // C1 controls (and overlong forms), surrogates, beyond U+10FFFF.
    if (code < 0xA0 || (length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
        (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
      return false;
    }
    i += length;
  }
  return true;
}

// Checks the dialogue on standard output; returns the rows part.
std::string_view CheckDialogue(std::string_view out, int status, size_t source_size) {
  Check(TakePrefix(&out, converter::kTitle) && TakePrefix(&out, kCrLf), "the title comes first");
  const std::string refusal = std::string(converter::kEmptyNameRefusal) + "\r\n\r\n";
  int refusals = 0;
  while (TakePrefix(&out, refusal)) ++refusals;
  if (out.empty()) {
    Check(status == 1 && refusals >= 1, "an early stop follows a refusal, with status 1");
    return out;
  }
  Check(TakePrefix(&out, converter::kStatusLine) && TakePrefix(&out, "\r\n\r\n"),
        "the status line and an empty line follow the dialogue");
  const std::string_view rows = out;
  size_t count = 0;
  while (!out.empty()) {
    const size_t end = out.find(kCrLf);
    Check(end != std::string_view::npos, "every row ends with CR LF");
    Check(IsTargetRow(out.substr(0, end)), "every row has the target layout");
    out.remove_prefix(end + 2);
    ++count;
  }
  Check(count <= source_size + 1, "at most one row per source byte plus one");
  return rows;
}

// Takes a count of decimal digits, with thousands grouped by commas when
// `grouped`, from the front of `text`.
bool TakeCount(std::string_view* text, bool grouped) {
  size_t length = 0;
  while (length < text->size() && (((*text)[length] >= '0' && (*text)[length] <= '9') ||
                                   (grouped && (*text)[length] == ','))) {
    ++length;
  }
  text->remove_prefix(length);
  return length > 0;
}

// True when `line` is, whole, the warning that a 0x1A byte ended the text of
// the source "s" early.  Matched from the first byte to the last, so that no
// other line can pass for it whatever name it holds.
bool IsEndMarkWarning(std::string_view line) {
  return TakePrefix(&line, "'" + std::string(kSourceName) + "': a 0x1A byte on line ") &&
         TakeCount(&line, false) && TakePrefix(&line, " ends the text; ") &&
         TakeCount(&line, true) &&
         (line == " byte after it was not read" || line == " bytes after it were not read");
}

// Checks the paste warnings of a run that went well against the rows shown;
// `where` is how they name the output ("the screen", or the file quoted).
void CheckWarnings(std::vector<std::string> warnings, std::string_view where,
                   std::string_view source, std::string_view rows) {
  if (!warnings.empty() && source.find('\x1A') != std::string_view::npos &&
      IsEndMarkWarning(warnings[0])) {
    warnings.erase(warnings.begin());
  }
  size_t shown = 0;
  for (size_t at = rows.find(kCrLf); at != std::string_view::npos; at = rows.find(kCrLf, at + 2)) {
    ++shown;
  }
  const std::string named = std::string(where) + ": ";
  if (shown > 256) {
    const std::string limit = named + "only the first 256 of " +
                              converter::ShownCount(static_cast<int64_t>(shown)) +
                              " rows will paste (the tracker's pattern limit)";
    Check(!warnings.empty() && warnings.back() == limit,
          "a result longer than a pattern says so, last");
    warnings.pop_back();
  }
  if (shown == 0) {
    Check(warnings.size() == 1 && warnings[0] == named + "no rows were converted",
          "a run without rows says so");
  } else if (!warnings.empty()) {
    // "X of N rows", or "the only row" of a run of one.
    std::string_view count = warnings[0];
    const std::string_view refusal =
        " will not paste into Vortex Tracker II (the tracker refuses the whole paste)";
    const bool counted =
        shown == 1 ? count == named + "the only row" + std::string(refusal)
                   : TakePrefix(&count, named) && TakeCount(&count, true) &&
                         count == " of " + converter::ShownCount(static_cast<int64_t>(shown)) +
                                      " rows" + std::string(refusal);
    Check(counted, "the count is of the rows shown");
    Check(warnings.size() >= 2 && warnings.size() <= 6, "1 to 5 refused rows are named");
  }
}

// Checks the scratch directory after a run: the file read left intact, an
// output file holding the header and the rows shown.  Returns the output
// file's name, empty when none was made.
std::string CheckFiles(const std::string& directory, std::string_view source,
                       std::string_view rows) {
  bool found = false;
  Check(textio::ReadFile(directory + "/" + std::string(kSourceName), &found) == source && found,
        "the file read is never changed");
  std::string output;
  DIR* dir = opendir(directory.c_str());
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || name == kSourceName) continue;
    const std::string written = textio::ReadFile(directory + "/" + name, &found);
    Check(written == std::string(converter::kTargetHeader) + "\r\n" + std::string(rows),
          "the output file is the header line, then the rows shown");
    output = name;
  }
  closedir(dir);
  return output;
}

class Clipboard final : public clipboard::Clipboard {
 public:
  std::string text;
  bool set = false;
  clipboard::Found Read(std::string* out, std::string*) override {
    *out = text;
    return clipboard::Found::kText;
  }
  bool Set(std::string_view bytes, std::string*) override {
    text = bytes;
    return set = true;
  }
};

void CheckClipboardRun(std::string_view source, std::string_view rows) {
  console::MemoryDevice::Options options;
  options.stdout_console = false;  // the dialogue's screen is much slower
  console::MemoryDevice device(options);
  Clipboard board;
  board.text = source;
  converter::Job job;
  job.action = converter::Job::Action::kClipboard;
  const int status = converter::Dispatch(device, board, job);
  const std::string output = std::string(converter::kTargetHeader) + "\r\n" + std::string(rows);
  Check(status == (board.set ? 0 : 1) && board.text == (board.set ? output : std::string(source)),
        "the clipboard gets what the output file gets, or stays as it was");
}

// Runs the program without arguments in `directory`; the working directory
// is put back after.
int RunIn(const std::string& directory, console::MemoryDevice& device) {
  const int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  Check(home >= 0 && chdir(directory.c_str()) == 0, "can enter the scratch directory");
  Clipboard board;
  const int status = converter::Dispatch(device, board, converter::Job{});
  Check(fchdir(home) == 0, "can leave the scratch directory");
  close(home);
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Check(!textio::ScratchDirectory().empty(), "a scratch directory can be made");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input(data, size);
  const int mode = input.Byte() % 4;
  std::string stdin_bytes(input.Bytes(input.Byte()));
  const std::string_view source = input.Rest();
  for (char& c : stdin_bytes) {
    if (c == '/') c = '_';
  }
  if (mode == 1) stdin_bytes.insert(0, "s\n");
  if (mode == 2) stdin_bytes.insert(0, "s\no\n");

  const std::string& directory = textio::ScratchDirectory();
  textio::EmptyDirectory(directory);
  Check(textio::WriteFile(directory + "/" + std::string(kSourceName), source),
        "the source file can be written");

  console::MemoryDevice::Options options;
  options.stdin_console = false;
  options.stdout_console = false;
  console::MemoryDevice device(options);
  device.SetStdin(stdin_bytes);
  const int status = RunIn(directory, device);
  const std::vector<std::string>& errors = device.error_lines();

  Check(status == 0 || status == 1, "the exit status is 0 or 1");
  std::vector<std::string> warnings;
  for (const std::string& line : errors) {
    Check(line.rfind("patconv: ", 0) == 0, "error lines start with the program's name");
    if (!SafeToShow(line)) fuzz::Fail("an error line is unsafe to show: " + fuzz::Escaped(line));
    if (line.rfind(kWarning, 0) == 0) {
      warnings.push_back(line.substr(kWarning.size()));
    } else {
      Check(warnings.empty(), "warnings come after the error lines");
    }
  }
  Check((status == 0) == (errors.size() == warnings.size()),
        "status 1 exactly when a failure is reported");
  const std::string_view rows = CheckDialogue(device.stdout_bytes(), status, source.size());
  Check(status == 0 || warnings.empty(), "no warning after a failure");
  const std::string output = CheckFiles(directory, source, rows);
  if (status == 0) {
    // The warnings name the output as the program shows it.
    CheckWarnings(warnings,
                  output.empty() ? "the screen" : "'" + converter::ShownName(output) + "'", source,
                  rows);
  }

  const bool marked = source.substr(0, 2) == "\xFF\xFE" || source.substr(0, 2) == "\xFE\xFF" ||
                      source.substr(0, 3) == "\xEF\xBB\xBF";
  if ((mode == 1 || mode == 2) && !marked) CheckClipboardRun(source, rows);
  return 0;
}
