// The write gate on POSIX systems: a flag that the handlers of the ending
// signals look at, on the program's own thread.  No system call: it is
// held around every write of a counted output.
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

// From here on an ending signal waits for the write and its count.
void BeginWrite() {
  g_writing = 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

// A signal put off while the write was under way comes now, with the count
// and the output in step; its handler ends the process.
void EndWrite() {
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

WriteGate::WriteGate() { BeginWrite(); }

WriteGate::~WriteGate() { EndWrite(); }

bool DeferEnd(int signal_number) {
  if (g_writing == 0) return false;
  if (g_deferred == 0) g_deferred = signal_number;
  return true;
}

size_t AwaitRoom(int descriptor, size_t size) {
  // Without the gate an ending signal interrupts a write that waits, as
  // any other: nothing to do.
  if (g_writing == 0) return size;
  EndWrite();  // nothing is written while waiting: a signal may end it
  // An error or a hang-up also ends the wait: the write then says what.
  pollfd out{descriptor, POLLOUT, 0};
  while (poll(&out, 1, -1) < 0 && errno == EINTR) {
  }
  BeginWrite();
  return std::min<size_t>(size, PIPE_BUF);
}

}  // namespace textio
