// The write gate on POSIX systems: a flag that the handlers of the ending
// signals look at, on the program's own thread.  No system call: a counted
// output is written some 8 KiB at a time.
#include <limits.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "textio/write_gate.h"

namespace textio {
namespace {

volatile sig_atomic_t g_writing = 0;   // a write is behind the gate
volatile sig_atomic_t g_deferred = 0;  // the signal put off meanwhile, or 0

void Close() {
  g_writing = 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

// A signal put off while the gate was closed comes now, with the count
// and the output in step; its handler ends the process.
void Open() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  g_writing = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  const int deferred = g_deferred;
  if (deferred != 0) {
    g_deferred = 0;
    raise(deferred);
  }
}

}  // namespace

WriteGate::WriteGate() { Close(); }

WriteGate::~WriteGate() { Open(); }

bool DeferEnd(int signal_number) {
  if (g_writing == 0) return false;
  if (g_deferred == 0) g_deferred = signal_number;
  return true;
}

size_t AwaitRoom(int descriptor, size_t size) {
  // Without the gate an ending signal interrupts a write that waits, as
  // any other: nothing to do.
  if (g_writing == 0) return size;
  Open();
  // An error or a hang-up also ends the wait: the write then says what.
  pollfd out{descriptor, POLLOUT, 0};
  while (poll(&out, 1, -1) < 0 && errno == EINTR) {
  }
  Close();
  return std::min<size_t>(size, PIPE_BUF);
}

}  // namespace textio
