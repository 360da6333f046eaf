// The write-all loop, on pipes that refuse bytes for a
// while: made non-blocking (EAGAIN), or blocking while signals arrive
// (EINTR, the handler installed without SA_RESTART).
#include "textio/posix_io.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "gtest/gtest.h"

namespace textio {
namespace {

std::atomic<int> g_signals{0};
void CountSignal(int) { ++g_signals; }

TEST(PosixIo, WriteAllWaitsForRoomAndWritesAgainAfterASignal) {
  struct sigaction action {};
  action.sa_handler = CountSignal;  // no SA_RESTART: a blocked write fails with EINTR
  struct sigaction saved {};
  sigaction(SIGUSR1, &action, &saved);
  for (bool non_blocking : {true, false}) {
    SCOPED_TRACE(non_blocking ? "EAGAIN" : "EINTR");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    // The pipe full before the write begins, so that it takes nothing.
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
    size_t filled = 0;
    while (write(fds[1], "f", 1) == 1) ++filled;
    if (!non_blocking) fcntl(fds[1], F_SETFL, 0);
    const std::string bytes(300000, 'x');
    g_signals = 0;
    const pthread_t writer = pthread_self();
    std::string read_back;
    std::thread reader([&] {
      for (int i = 0; i < 10 && !non_blocking; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pthread_kill(writer, SIGUSR1);
      }
      char buffer[65536];
      for (ssize_t got; (got = read(fds[0], buffer, sizeof buffer)) > 0;) {
        read_back.append(buffer, static_cast<size_t>(got));
      }
    });
    EXPECT_EQ(WriteAll(fds[1], bytes.data(), bytes.size()), bytes.size());
    close(fds[1]);
    reader.join();
    close(fds[0]);
    EXPECT_EQ(read_back, std::string(filled, 'f') + bytes);
    if (!non_blocking) {
      EXPECT_GT(g_signals, 0);
    }
  }
  sigaction(SIGUSR1, &saved, nullptr);
}

TEST(PosixIo, WriteAllStopsWhenNoOneReads) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction saved {};
  sigaction(SIGPIPE, &ignore, &saved);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  EXPECT_EQ(WriteAll(fds[1], "abc", 3), 0u);
  close(fds[1]);
  sigaction(SIGPIPE, &saved, nullptr);
}

}  // namespace
}  // namespace textio
