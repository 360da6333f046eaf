// The delayed notice on POSIX systems: a thread that waits for the time or
// for the notice to go.
#include <pthread.h>
#include <signal.h>
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
  // The thread takes no signal: each goes to the program's own thread,
  // where the clipboard tools' ends (SIGCHLD) are awaited and the ending
  // signals handled.  A thread starts with the mask of the one that makes it.
  sigset_t all;
  sigset_t saved;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &saved);
  state->waiter = std::thread([state, milliseconds] {
    std::unique_lock<std::mutex> lock(state->mutex);
    if (state->gone.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [state] { return state->done; })) {
      return;
    }
    const ssize_t ignored = ::write(STDERR_FILENO, state->line.data(), state->line.size());
    static_cast<void>(ignored);
  });
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
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
