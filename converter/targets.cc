#include "converter/targets.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "converter/dialogue.h"
#include "converter/interrupted_line.h"
#include "converter/shown_text.h"
#include "converter/sources.h"
#include "converter/standard_streams.h"

namespace converter {
namespace {

bool OpenStandardOutput(Session& session) {
  return session.channels.OpenStream(kOutputChannel, textio::kModeOutput,
                                     std::make_unique<StandardOutputChannel>(session.device)) ==
         textio::kStatusOk;
}

bool OpenFile(Session& session, const Answer& answer) {
  return session.channels.Open(answer.name, textio::kModeOutput, 0, 0, kOutputChannel, 0,
                               answer.origin) == textio::kStatusOk;
}

class Named final : public Target {
 public:
  Named(std::optional<GivenName> given, OutputText text) : given_(std::move(given)), text_(text) {}

  bool OnStandardOutput() const override {
    return given_ && given_->kind == NameKind::kStandardStream;
  }
  void Name(Session& session) override { answer_ = AskTargetName(session, given_); }
  void Open(Session& session) override {
    if (answer_.standard_stream ? OpenStandardOutput(session) : OpenFile(session, answer_)) {
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
  const OutputText text_;
  Answer answer_;
  textio::LineCount lines_written_{0};
  std::optional<InterruptedLine> interrupted_;
};

std::string RowsOnClipboard(int64_t rows, bool all_paste) {
  std::string line =
      std::to_string(rows) + (rows == 1 ? " row is" : " rows are") + " on the clipboard";
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

std::unique_ptr<Target> NamedTarget(const std::optional<GivenName>& given, OutputText text) {
  return std::make_unique<Named>(given, text);
}

std::unique_ptr<Target> ClipboardTarget(clipboard::Clipboard& board) {
  return std::make_unique<ToClipboard>(board);
}

}  // namespace converter
