#include "converter/targets.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "converter/conversion.h"
#include "converter/dialogue.h"
#include "converter/interrupted_line.h"
#include "converter/shown_text.h"
#include "converter/sources.h"
#include "converter/standard_streams.h"
#include "textio/os_file.h"

namespace converter {
namespace {

bool OpenStandardOutput(Session& session, bool* reader_left) {
  return session.channels.OpenStream(kOutputChannel, textio::kModeOutput,
                                     std::make_unique<StandardOutputChannel>(
                                         session.device, reader_left)) == textio::kStatusOk;
}

bool OpenFile(Session& session, const Answer& answer) {
  return session.channels.Open(answer.name, textio::kModeOutput, 0, 0, kOutputChannel, 0,
                               answer.origin) == textio::kStatusOk;
}

// True when `start`, the first bytes of a file, begins with the lines
// `first` and then `second` (when not empty), each ended by CR LF, LF or
// the end of the bytes.
bool BeginsWithLines(std::string_view start, std::string_view first, std::string_view second) {
  for (std::string_view line : {first, second}) {
    if (line.empty()) return true;
    if (start.substr(0, line.size()) != line) return false;
    start.remove_prefix(line.size());
    if (start.substr(0, 2) == "\r\n") {
      start.remove_prefix(2);
    } else if (start.substr(0, 1) == "\n") {
      start.remove_prefix(1);
    } else if (!start.empty()) {
      return false;
    }
  }
  return true;
}

// The file of the input channel, when it reads one.
textio::FileIdentity InputIdentity(Session& session) {
  const textio::ChannelRecord* input = session.channels.Lookup(kInputChannel);
  return input->is_open() ? input->kind->ReadIdentity() : textio::FileIdentity{};
}

// False when the existing file `name` holds something that converting into
// it would lose: neither nothing nor converted text (the target pattern's
// header line; a module's first two lines).  What is no stored file (a
// pipe, a device) or cannot be read is left to the open, and so is the
// file the source is read from, which the open refuses.
bool MayReplace(Session& session, const std::string& name) {
  int error = 0;
  const std::unique_ptr<textio::OsFile> file =
      textio::OsFile::OpenForReading(name, textio::TextOrigin::kTyped, &error);
  int64_t size = 0;
  if (!file || !file->MeasureSize(&size, &error) || size == 0) return true;
  if (file->Identity() == InputIdentity(session)) return true;
  char start[64];
  size_t got = 0;
  for (long n = 1; n > 0 && got < sizeof start; got += static_cast<size_t>(n)) {
    n = file->Read(start + got, sizeof start - got, &error);
    if (n < 0) return true;
  }
  const std::string_view text(start, got);
  return BeginsWithLines(text, kTargetHeader, {}) ||
         BeginsWithLines(text, "[Module]", "VortexTrackerII=1");
}

class Named final : public Target {
 public:
  Named(std::optional<GivenName> given, bool force, OutputText text)
      : given_(std::move(given)), force_(force), text_(text) {}

  bool OnStandardOutput() const override {
    return given_ && given_->kind == NameKind::kStandardStream;
  }
  bool Check(Session& session) override {
    if (!given_ || given_->kind != NameKind::kFile) return true;
    const std::string& name = given_->text;
    const std::string shown = "'" + ShownName(name) + "'";
    if (std::optional<std::string> why = PlainOpenFailure(name, true)) {
      session.Fail("cannot open output file " + shown + ": " + *why);
      return false;
    }
    if (!force_ && !MayReplace(session, name)) {
      session.Fail("cannot open output file " + shown +
                   ": it holds something other than converted text; left unchanged (-f "
                   "replaces it)");
      return false;
    }
    // With the source open, the file can be made now, and a failure told;
    // not a module, which is made only once the song is whole.
    if (text_ == OutputText::kModule || !session.channels.Lookup(kInputChannel)->is_open()) {
      return true;
    }
    opened_ = OpenFile(session, {name, textio::TextOrigin::kTyped, false});
    if (!opened_) {
      session.Fail("cannot open output file " + shown + ": " + session.channels.last_error());
    }
    return opened_;
  }
  void Name(Session& session) override { answer_ = AskTargetName(session, given_); }
  void Open(Session& session) override {
    if (opened_ || (answer_.standard_stream ? OpenStandardOutput(session, &reader_left_)
                                            : OpenFile(session, answer_))) {
      session.channels.CountLinesWritten(kOutputChannel, &lines_written_);
      interrupted_.emplace(session.device, ShownName(answer_.name), &lines_written_, text_);
    } else if (!answer_.name.empty()) {
      session.Fail("cannot open output file '" + ShownName(answer_.name) +
                   "': " + session.channels.last_error());
    }
  }
  void RowsDone(int64_t rows) override {
    if (interrupted_) interrupted_->Finished(rows);
  }
  void Close(Session& session) override {
    if (session.channels.Close(kOutputChannel) == textio::kStatusOk &&
        !session.channels.last_error().empty()) {
      session.Fail("output file '" + ShownName(answer_.name) +
                   "': " + session.channels.last_error());
    }
    // The reader of standard output left: the rows are not all delivered
    // (status 1), but the reader chose that, and a line would only be
    // noise after its output.
    if (reader_left_) session.failed = true;
    interrupted_.reset();  // the output is closed: whole, or said to be cut short
  }
  void Deliver(Session& session, const PasteTally& tally,
               const std::vector<std::string>& warnings) override {
    for (const std::string& line : warnings) session.messages.Warning(line);
    for (const std::string& line : tally.Warnings(ShownName(answer_.name))) {
      session.messages.Warning(line);
    }
  }

 private:
  const std::optional<GivenName> given_;
  const bool force_;
  const OutputText text_;
  bool opened_ = false;  // the name from the command line, opened by Check
  bool reader_left_ = false;
  Answer answer_;
  textio::LineCount lines_written_{0};
  std::optional<InterruptedLine> interrupted_;
};

std::string RowsOnClipboard(int64_t rows, bool all_paste) {
  std::string line = ShownCount(rows) + (rows == 1 ? " row is" : " rows are") + " on the clipboard";
  // With a warning below, the rows are not ready to paste.
  if (all_paste) line += ", ready to paste into Vortex Tracker II";
  return line;
}

class ToClipboard final : public Target {
 public:
  explicit ToClipboard(clipboard::Clipboard& board) : board_(board) {}

  void Open(Session& session) override { session.channels.OpenOutputBytes(kOutputChannel, &text_); }
  void Close(Session& session) override { session.channels.Close(kOutputChannel); }
  void Deliver(Session& session, const PasteTally& tally,
               const std::vector<std::string>& warnings) override {
    if (tally.rows() == 0) {  // every pattern row dropped
      session.Fail(kNoPatternRows);
      return;
    }
    std::string error;
    if (!board_.Set(text_, &error)) {
      session.Fail("cannot set the clipboard: " + ShownName(error));
      return;
    }
    const std::vector<std::string> paste = tally.ClipboardWarnings();
    session.messages.Info(RowsOnClipboard(tally.rows(), warnings.empty() && paste.empty()));
    for (const std::string& line : warnings) session.messages.Warning(line);
    for (const std::string& line : paste) session.messages.Warning(line);
  }

 private:
  clipboard::Clipboard& board_;
  std::string text_;
};

}  // namespace

std::unique_ptr<Target> NamedTarget(const std::optional<GivenName>& given, bool force,
                                    OutputText text) {
  return std::make_unique<Named>(given, force, text);
}

std::unique_ptr<Target> ClipboardTarget(clipboard::Clipboard& board) {
  return std::make_unique<ToClipboard>(board);
}

}  // namespace converter
