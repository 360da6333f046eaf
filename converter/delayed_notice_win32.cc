// The delayed notice on Windows: a timer of the system's timer queue, whose
// callback runs on a thread of the queue.
#include <windows.h>

#include "converter/delayed_notice.h"

namespace converter {

struct DelayedNotice::State {
  std::string line;
  HANDLE timer = nullptr;
};

namespace {

void CALLBACK WriteLine(void* context, BOOLEAN /*fired*/) {
  const auto* state = static_cast<const DelayedNotice::State*>(context);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), state->line.data(),
              static_cast<DWORD>(state->line.size()), &written, nullptr);
}

}  // namespace

DelayedNotice::DelayedNotice(std::string line, int milliseconds)
    : state_(std::make_unique<State>()) {
  DWORD mode = 0;
  if (!::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode)) return;
  state_->line = std::move(line) + "\r\n";
  if (!::CreateTimerQueueTimer(&state_->timer, nullptr, WriteLine, state_.get(),
                               static_cast<DWORD>(milliseconds), 0, WT_EXECUTEONLYONCE)) {
    state_->timer = nullptr;
  }
}

DelayedNotice::~DelayedNotice() {
  // INVALID_HANDLE_VALUE: returns once a callback under way has ended.
  if (state_->timer != nullptr) {
    ::DeleteTimerQueueTimer(nullptr, state_->timer, INVALID_HANDLE_VALUE);
  }
}

}  // namespace converter
