#include "converter/module_target.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

#include "converter/module.h"
#include "converter/shown_text.h"
#include "textio/cp1251.h"

namespace converter {
namespace {

// The header line ("ModPlug Tracker  XM"), which names the effect letters.
bool IsHeader(std::string_view field) {
  field.remove_prefix(std::min(field.find_first_not_of(" \t"), field.size()));
  return field.size() >= 4 && field.substr(1, 3) == "odP";
}

// Prints the module line by line (a line of it is a line of the count of
// the interrupted line); returns the lines printed.
int64_t PrintModule(textio::Channels& channels, std::string_view text) {
  int64_t lines = 0;
  for (size_t end; (end = text.find(textio::kLineEnd)) != std::string_view::npos; ++lines) {
    channels.Print(kOutputChannel, text.substr(0, end), kPrintLine);
    text.remove_prefix(end + textio::kLineEnd.size());
  }
  return lines;
}

// The source file, read and closed, as a channel that reads it: the channel
// table empties no file a channel reads.
class ReadFile final : public textio::ChannelKind {
 public:
  explicit ReadFile(textio::FileIdentity identity) : identity_(identity) {}
  int EndTest(const textio::ChannelRecord& /*record*/) override { return -1; }
  textio::TextInput* input() override { return nullptr; }
  size_t Write(const char* /*data*/, size_t /*size*/) override { return 0; }
  std::string Close() override { return {}; }
  textio::FileIdentity ReadIdentity() const override { return identity_; }

 private:
  const textio::FileIdentity identity_;
};

class Module final : public Target {
 public:
  Module(const std::optional<GivenName>& source, GivenName target, bool force,
         const Settings& settings)
      : source_(source),
        target_(std::move(target)),
        named_(NamedTarget(target_, force, OutputText::kModule)),
        song_(settings) {}

  bool OnStandardOutput() const override { return true; }  // nothing shown
  bool Check(Session& session) override { return named_->Check(session); }
  void Name(Session& session) override { named_->Name(session); }
  void Open(Session& session) override {  // the module is written once the song is whole
    source_file_ = session.channels.Lookup(kInputChannel)->kind->ReadIdentity();
  }
  SongRows* song() override { return &song_; }
  void Close(Session& /*session*/) override {}
  void Deliver(Session& session, const PasteTally& /*tally*/,
               const std::vector<std::string>& warnings) override {
    std::variant<Song, SongError> result = song_.Finish();
    if (const auto* error = std::get_if<SongError>(&result)) {
      session.Fail(error->Message(ShownSource()));
      return;
    }
    const Song& song = std::get<Song>(result);
    const bool file = source_ && source_->kind == NameKind::kFile;
    // A name from the command line is UTF-8 (the locale's bytes, taken as
    // UTF-8, on POSIX systems); a title is Windows-1251.
    const std::string title =
        ModuleTitle(song_.name(), file ? textio::Utf8ToCp1251(source_->text) : "");
    session.channels.OpenStream(kInputChannel, textio::kModeInput,
                                std::make_unique<ReadFile>(source_file_));
    named_->Open(session);
    session.channels.Close(kInputChannel);
    if (session.failed) return;
    named_->RowsDone(PrintModule(session.channels, ModuleText(song, title)));
    named_->Close(session);
    if (session.failed) return;
    session.messages.Info(SongEndLine(song, ShownName(target_.text)));
    for (const std::string& line : SongWarnings(song)) session.messages.Warning(line);
    for (const std::string& line : warnings) session.messages.Warning(line);
    for (const std::string& line : song_.Warnings()) session.messages.Warning(line);
  }

 private:
  // The copy as an error line names it.
  std::string ShownSource() const {
    if (!source_) return "the clipboard";
    if (source_->kind == NameKind::kStandardStream) return "standard input";
    return "'" + ShownName(source_->text) + "'";
  }

  const std::optional<GivenName> source_;
  const GivenName target_;
  const std::unique_ptr<Target> named_;
  SongRows song_;
  textio::FileIdentity source_file_;
};

}  // namespace

SongRows::SongRows(const Settings& settings)
    : mapping_(settings, ColumnMapping::kNoRowLimit),
      reader_([this](std::string_view row) -> std::optional<std::string_view> {
        const RowLine* line = mapping_.Translate(row);
        if (line == nullptr) return std::nullopt;
        return line->text.substr(0, line->text.size() - textio::kLineEnd.size());
      }) {}

void SongRows::Read(Session& session) {
  // The channel operations one by one: the conversion loop's NextField
  // stays the one call of it, which the compiler then puts in line there.
  textio::Channels& channels = session.channels;
  std::string field;
  bool line_start = true;
  for (int64_t ends = channels.LineEndsRead(kInputChannel); channels.EndTest(kInputChannel) == 0;) {
    channels.SelectInput(kInputChannel);
    channels.ReadField(&field);
    if (line_start && IsHeader(field)) mapping_.Translate(field);
    const int64_t before = std::exchange(ends, channels.LineEndsRead(kInputChannel));
    line_start = ends > before;
    if (!reader_.Feed(field, line_start)) return;
  }
}

std::unique_ptr<Target> ModuleTarget(const Job& job) {
  return std::make_unique<Module>(job.from_clipboard ? std::nullopt : job.source, *job.target,
                                  job.force, job.settings);
}

}  // namespace converter
