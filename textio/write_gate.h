// Output that a signal or a control event may end at any moment: the count
// of the complete lines that reached it, and the gate that makes each write
// and its count one step for the handler that ends the process and says how
// far the output got.
//
// What differs is in write_gate_posix.cc and write_gate_win32.cc, each of
// which defines only what its platform uses: on POSIX systems the handler
// runs on the program's own thread, in the middle of whatever it was doing;
// on Windows on a thread of the system's beside it.
#ifndef PATCONV_TEXTIO_WRITE_GATE_H_
#define PATCONV_TEXTIO_WRITE_GATE_H_

#include <cstddef>

#include "textio/line_count.h"

namespace textio {

/// Held around one write to a counted output and the count of what it
/// wrote, so that the handler that ends the process sees both or neither.
/// On POSIX systems an ending signal that comes meanwhile is put off by its
/// handler (DeferEnd) and raised again as the write ends; on Windows the
/// control handler waits for the gate (EndWrites).  Not nested.  A write
/// behind it must not wait on anyone: see AwaitRoom.
class WriteGate {
 public:
  WriteGate();
  ~WriteGate();
  WriteGate(const WriteGate&) = delete;
  WriteGate& operator=(const WriteGate&) = delete;
};

/// POSIX systems: the first thing the handler of a signal that ends the
/// process from outside does.  True while a write is behind the gate: the
/// signal is then noted, to be raised again as the write ends, and the
/// handler returns at once.  Async-signal-safe.
bool DeferEnd(int signal_number);

/// POSIX systems: while a write gate is held, waits until `descriptor`, a
/// pipe, a FIFO or a terminal, has room for a write, as no write under way
/// meanwhile, so that a reader that never reads never keeps the process
/// from ending; returns how many of the `size` bytes to write now: at most
/// PIPE_BUF, which a pipe takes all or nothing.  Without a gate held it
/// neither waits nor cuts: `size`.
size_t AwaitRoom(int descriptor, size_t size);

/// Windows: for the control handler, on its own thread, before the process
/// ends: waits up to `milliseconds` for the write behind the gate and keeps
/// every later one from beginning.  False when that write did not end in
/// time (a pipe nobody reads): it is then not counted.
bool EndWrites(int milliseconds);

}  // namespace textio

#endif  // PATCONV_TEXTIO_WRITE_GATE_H_
