#include "converter/dialogue.h"

namespace converter {
namespace {

Answer Asked(Session& session, std::string_view prompt) {
  Answer answer;
  session.console.PromptedInput(prompt, true, true);
  session.channels.ReadField(&answer.name, &answer.origin);
  return answer;
}

Answer Given(Session& session, std::string_view prompt, const GivenName& given) {
  if (session.on_screen) session.console.ShowAnswered(prompt, true, true, given.text);
  return {given.text, textio::TextOrigin::kTyped, given.kind == NameKind::kStandardStream};
}

}  // namespace

void ShowTitle(Session& session) {
  if (!session.on_screen) return;
  session.console.ClearScreen();
  session.channels.Print(textio::kConsoleChannel, kTitle, kPrintLine);
  session.console.PlaceCursor(5, 1, -1);
}

void ShowStatusLine(Session& session) {
  session.channels.Print(textio::kConsoleChannel, kStatusLine, kPrintLine);
  session.channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
}

bool AskSourceName(Session& session, const std::optional<GivenName>& given, Answer* answer) {
  for (bool first = true;; first = false) {
    *answer = first && given ? Given(session, kOpenPrompt, *given) : Asked(session, kOpenPrompt);
    if (!answer->name.empty()) return true;
    session.channels.Print(textio::kConsoleChannel, kEmptyNameRefusal, kPrintLine);
    session.channels.PrintLineEnd(textio::kConsoleChannel, kPrintLine);
    if (session.console.StdinEnded()) {
      // Asking again would only read the same end of standard input.
      session.Fail("no input file named: standard input has ended");
      return false;
    }
  }
}

Answer AskTargetName(Session& session, const std::optional<GivenName>& given) {
  return given ? Given(session, kSavePrompt, *given) : Asked(session, kSavePrompt);
}

}  // namespace converter
