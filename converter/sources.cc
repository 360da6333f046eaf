#include "converter/sources.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "converter/delayed_notice.h"
#include "converter/dialogue.h"
#include "converter/messages.h"
#include "converter/shown_text.h"
#include "converter/standard_streams.h"
#include "textio/windows_names.h"

namespace converter {
namespace {

// The warning for a source (`source`, as the line names it) whose text a
// 0x1A byte ended with more text after it, or nothing.  Asked before the
// input channel is closed.
std::optional<std::string> EndMarkWarning(const textio::Channels& channels,
                                          const std::string& source) {
  int64_t line = 0;
  int64_t after = 0;
  if (!channels.TextCutShort(kInputChannel, &line, &after)) return std::nullopt;
  return source + ": a 0x1A byte on line " + std::to_string(line) + " ends the text; " +
         ShownCount(after) +
         (after == 1 ? " byte after it was not read" : " bytes after it were not read");
}

bool OpenStandardInput(Session& session) {
  return session.channels.OpenStream(kInputChannel, textio::kModeInput,
                                     std::make_unique<StandardInputChannel>(
                                         session.console.SourceInput())) == textio::kStatusOk;
}

bool OpenFile(Session& session, const Answer& answer) {
  return session.channels.Open(answer.name, textio::kModeInput, 0, 0, kInputChannel, 0,
                               answer.origin) == textio::kStatusOk;
}

// What the system says of `path`: not_found, directory ...; none when it
// cannot tell (or the name is no path it takes).
std::filesystem::file_type TypeOf(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::status(path, error).type();
}

class Named final : public Source {
 public:
  explicit Named(std::optional<GivenName> given) : given_(std::move(given)) {}

  bool Check(Session& session) override {
    if (!given_ || given_->kind != NameKind::kFile || given_->text.empty()) return true;
    opened_ = OpenFile(session, {given_->text, textio::TextOrigin::kTyped, false});
    if (!opened_) {
      const std::string why =
          PlainOpenFailure(given_->text, false).value_or(session.channels.last_error());
      session.Fail("cannot open input file '" + ShownName(given_->text) + "': " + why);
    }
    return opened_;
  }
  bool Name(Session& session) override { return AskSourceName(session, given_, &answer_); }
  bool Open(Session& session) override {
    if (opened_) return true;  // the name from the command line, opened by Check
    if (answer_.standard_stream ? OpenStandardInput(session) : OpenFile(session, answer_)) {
      return true;
    }
    session.Fail("cannot open input file '" + ShownName(answer_.name) +
                 "': " + session.channels.last_error());
    return false;
  }
  void Close(Session& session) override {
    end_mark_ = EndMarkWarning(session.channels, "'" + ShownName(answer_.name) + "'");
    if (session.channels.Close(kInputChannel) == textio::kStatusOk &&
        !session.channels.last_error().empty()) {
      session.Fail("input file '" + ShownName(answer_.name) +
                   "': " + session.channels.last_error());
    }
  }
  void AddWarnings(std::vector<std::string>* warnings) const override {
    if (end_mark_) warnings->push_back(*end_mark_);
  }

 private:
  const std::optional<GivenName> given_;
  bool opened_ = false;
  Answer answer_;
  std::optional<std::string> end_mark_;
};

// True when a line of the text begins, after blanks, with the '|' of a
// channel cell.  Other text (prose, or text this tool wrote, whose rows
// begin with dots: a second run by mistake) would become rows the tracker
// refuses, and what the user copied would be lost.
bool HoldsPatternRow(std::string_view text) {
  bool line_start = true;
  for (char c : text) {
    if (c == '\x1A') break;  // the text ends there, as a file's does
    if (c == '|' && line_start) return true;
    if (c == '\n' || c == '\r') {
      line_start = true;
    } else if (c != ' ' && c != '\t') {
      line_start = false;
    }
  }
  return false;
}

class FromClipboard final : public Source {
 public:
  explicit FromClipboard(clipboard::Clipboard& board) : board_(board) {}

  bool Check(Session& session) override {
    std::string error;
    clipboard::Found found;
    {
      // A program that holds the clipboard may be slow to hand it over.
      const DelayedNotice notice(
          MessageLine("reading the clipboard: waiting for the program that holds it..."), 500);
      found = board_.Read(&text_, &error);
    }
    if (found == clipboard::Found::kFailure) {
      session.Fail("cannot read the clipboard: " + ShownName(error));
      return false;
    }
    if (found == clipboard::Found::kNoText || !HoldsPatternRow(text_)) {
      session.Fail(kNoPatternRows);
      return false;
    }
    return true;
  }
  bool Open(Session& session) override {
    session.channels.OpenInputBytes(kInputChannel, text_);
    return true;
  }
  void Close(Session& session) override {
    end_mark_ = EndMarkWarning(session.channels, "the clipboard");
    session.channels.Close(kInputChannel);
  }
  void AddWarnings(std::vector<std::string>* warnings) const override {
    if (end_mark_) warnings->push_back(*end_mark_);
  }

 private:
  clipboard::Clipboard& board_;
  std::string text_;
  std::optional<std::string> end_mark_;
};

}  // namespace

std::optional<std::string> PlainOpenFailure(const std::string& name, bool output) {
  if (textio::IsReservedDeviceName(name) || textio::OsFile::NamesDevice(name)) {
    return "it is a device name";
  }
  std::filesystem::path path;
  try {
    path = std::filesystem::u8path(name);  // given names are UTF-8 on Windows
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const std::filesystem::file_type type = TypeOf(path);
  if (type == std::filesystem::file_type::directory) return "it is a folder";
  if (type != std::filesystem::file_type::not_found) return std::nullopt;
  if (!output) return "it does not exist";
  const std::filesystem::path folder = path.parent_path();
  if (!folder.empty() && TypeOf(folder) == std::filesystem::file_type::not_found) {
    return "its folder does not exist";
  }
  return std::nullopt;
}

std::unique_ptr<Source> NamedSource(const std::optional<GivenName>& given) {
  return std::make_unique<Named>(given);
}

std::unique_ptr<Source> ClipboardSource(clipboard::Clipboard& board) {
  return std::make_unique<FromClipboard>(board);
}

}  // namespace converter
