// The program's one run: the dialogue, the conversion pass and the echo.
//
// Library converter, the top layer: the run and the row translation, on
// console/ and textio/.  main.cc alone links the device of the platform.
#ifndef PATCONV_CONVERTER_RUN_H_
#define PATCONV_CONVERTER_RUN_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/console.h"
#include "console/device.h"
#include "converter/command_line.h"
#include "converter/paste_check.h"
#include "textio/channels.h"

namespace converter {

/// The texts of the dialogue, byte for byte (the Russian ones in
/// Windows-1251).
inline constexpr std::string_view kTitle = "Korvani pattern CONVERTER V0.2 betta";
inline constexpr std::string_view kOpenPrompt = "Filename to Open:";
inline constexpr std::string_view kSavePrompt = "Filename to SAVE Output as:";
// "Имя файла не может быть пустым!"
inline constexpr std::string_view kEmptyNameRefusal =
    "\xC8\xEC\xFF\x20\xF4\xE0\xE9\xEB\xE0\x20\xED\xE5\x20\xEC\xEE\xE6\xE5\xF2\x20\xE1\xFB\xF2\xFC"
    "\x20\xEF\xF3\xF1\xF2\xFB\xEC\x21";
// "Записи в файле:"
inline constexpr std::string_view kStatusLine =
    "\xC7\xE0\xEF\xE8\xF1\xE8\x20\xE2\x20\xF4\xE0\xE9\xEB\xE5\x3A";
inline constexpr std::string_view kTargetHeader = "Vortex Tracker II v1.0 Pattern";

/// The channels of the source text and of the converted text.
inline constexpr int kInputChannel = 1;
inline constexpr int kOutputChannel = 2;

/// Receives one line for standard error per failure the run meets.
using ErrorSink = std::function<void(const std::string& line)>;

/// Runs the converter once on the given console and channels, which work on
/// `device`.  A name that `names` gives answers its question, which is then
/// shown answered instead of asked; with the target on standard output the
/// console is never set up and nothing but the converted text goes there.
/// Returns the exit status: 0, or 1 when a file could not be opened, read
/// or written, or when standard input ended before an input file was named.
int Run(console::Device& device, console::Console& console, textio::Channels& channels,
        const CommandLine& names, const ErrorSink& report);

/// The conversion pass, the same for every source: every field of the input
/// channel translated, each kept row written to the output channel, shown on
/// the console and added to *tally.
void ConvertRows(console::Console& console, textio::Channels& channels, PasteTally* tally);

/// The warning for a source (`source`, as the line names it) whose text a
/// 0x1A byte ended with more text after it, or nothing.  Asked before the
/// input channel is closed.
std::optional<std::string> EndMarkWarning(const textio::Channels& channels,
                                          const std::string& source);

/// The whole program on a device: builds the channels and the console,
/// runs, and closes everything.  Failure lines go to `report`.
int RunProgram(console::Device& device, const ErrorSink& report, const CommandLine& names = {});

}  // namespace converter

#endif  // PATCONV_CONVERTER_RUN_H_
