// The dialogue on the console: its texts, the screen a conversion starts
// with, and the questions for the source and the target, each asked, or
// shown answered by a name from the command line.
#ifndef PATCONV_CONVERTER_DIALOGUE_H_
#define PATCONV_CONVERTER_DIALOGUE_H_

#include <optional>
#include <string>
#include <string_view>

#include "converter/job.h"
#include "converter/session.h"
#include "textio/text_input.h"

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

/// One answer of the dialogue.  A typed name is opened as the user saw it,
/// one from standard input as the bytes it is: the field reader tells
/// which.  A name from the command line is in the form of a typed one.
struct Answer {
  std::string name;
  textio::TextOrigin origin = textio::TextOrigin::kStream;
  bool standard_stream = false;  // "-" on the command line
};

/// The screen a conversion starts on: cleared, the title, the cursor on
/// row 5.  Nothing when the session is not on the screen.
void ShowTitle(Session& session);

/// The status line and an empty line, above the rows.
void ShowStatusLine(Session& session);

/// "Filename to Open:", answered by `given` the first time when there is
/// one, and asked again after each empty name, which is refused.  False,
/// the failure reported, when standard input ends before a name.
bool AskSourceName(Session& session, const std::optional<GivenName>& given, Answer* answer);

/// "Filename to SAVE Output as:", answered by `given` when there is one.
Answer AskTargetName(Session& session, const std::optional<GivenName>& given);

}  // namespace converter

#endif  // PATCONV_CONVERTER_DIALOGUE_H_
