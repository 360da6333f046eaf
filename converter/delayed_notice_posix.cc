// The delayed notice on POSIX systems: a thread that waits for the time or
// for the notice to go.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "converter/delayed_notice.h"

namespace converter {

struct DelayedNotice::State {
  std::string line;
  std::mutex mutex;
  std::condition_variable gone;
  bool done = false;
  std::thread waiter;
};

DelayedNotice::DelayedNotice(std::string line, int milliseconds)
    : state_(std::make_unique<State>()) {
  if (::isatty(STDERR_FILENO) != 1) return;
  state_->line = std::move(line) + "\n";
  State* state = state_.get();
  state->waiter = std::thread([state, milliseconds] {
    std::unique_lock<std::mutex> lock(state->mutex);
    if (state->gone.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [state] { return state->done; })) {
      return;
    }
    const ssize_t ignored = ::write(STDERR_FILENO, state->line.data(), state->line.size());
    static_cast<void>(ignored);
  });
}

DelayedNotice::~DelayedNotice() {
  if (!state_->waiter.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->done = true;
  }
  state_->gone.notify_one();
  state_->waiter.join();
}

}  // namespace converter
