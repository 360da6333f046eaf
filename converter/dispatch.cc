#include "converter/dispatch.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "converter/command_line.h"
#include "converter/conversion.h"
#include "converter/interrupted_line.h"
#include "converter/messages.h"
#include "converter/module_target.h"
#include "converter/session.h"
#include "converter/sources.h"
#include "converter/targets.h"

namespace converter {
namespace {

// Text for standard output through the C runtime, whose text mode gives
// the platform's line ends.
void WriteStdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::unique_ptr<Source> SourceFor(const Job& job, clipboard::Clipboard& board) {
  if (job.action == Job::Action::kClipboard || job.from_clipboard) return ClipboardSource(board);
  return NamedSource(job.source);
}

std::unique_ptr<Target> TargetFor(const Job& job, clipboard::Clipboard& board) {
  if (job.action == Job::Action::kClipboard) return ClipboardTarget(board);
  if (job.action == Job::Action::kSong) return ModuleTarget(job);
  return NamedTarget(job.target, job.force);
}

// Typed keys are no pattern.
bool SourceIsTyped(console::Device& device, const Job& job) {
  uint32_t mode = 0;
  return job.source && job.source->kind == NameKind::kStandardStream && device.GetInputMode(&mode);
}

int ConvertJob(console::Device& device, clipboard::Clipboard& board, const Job& job,
               Messages& messages) {
  // The pieces outlive the session, which closes what they left open.
  const std::unique_ptr<Source> source = SourceFor(job, board);
  const std::unique_ptr<Target> target = TargetFor(job, board);
  // Ended from outside, a clipboard run says what the clipboard holds.
  std::optional<ClipboardInterruptedLine> interrupted;
  if (job.action == Job::Action::kClipboard) interrupted.emplace(device, board);
  Session session(device, messages);
  return Convert(session, *source, *target, job.settings);
}

int CarryOut(console::Device& device, clipboard::Clipboard& board, const Job& job,
             Messages& messages) {
  switch (job.action) {
    case Job::Action::kHelp: WriteStdout(UsageText()); return 0;
    case Job::Action::kVersion: WriteStdout(VersionLine() + "\n"); return 0;
    case Job::Action::kRefuse: messages.Error(job.refusal); return kUsageStatus;
    case Job::Action::kClipboard:
    case Job::Action::kSong:
    case Job::Action::kConvert: break;
  }
  if (SourceIsTyped(device, job)) {
    messages.Error("standard input is a terminal: redirect or pipe the pattern into it");
    return kUsageStatus;
  }
  return ConvertJob(device, board, job, messages);
}

}  // namespace

int Dispatch(console::Device& device, clipboard::Clipboard& board, const Job& job) {
  Messages messages(device);
  const int status = CarryOut(device, board, job, messages);
  // A clean clipboard run closes its window: copy, key, paste.
  const bool keep_window = job.action != Job::Action::kClipboard || messages.alarmed();
  if (keep_window && device.WindowClosesAtEnd()) {
    device.WaitForKeyAtEnd(std::string(kCloseNotice));
  }
  return status;
}

}  // namespace converter
