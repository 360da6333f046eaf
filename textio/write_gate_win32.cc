// The write gate on Windows: a lock that every write behind it holds shared
// and the control handler, on its own thread, takes for good.
#include <windows.h>

#include "textio/write_gate.h"

namespace textio {
namespace {

SRWLOCK g_gate = SRWLOCK_INIT;

}  // namespace

WriteGate::WriteGate() { ::AcquireSRWLockShared(&g_gate); }

WriteGate::~WriteGate() { ::ReleaseSRWLockShared(&g_gate); }

// Once taken, the lock is never given back: the process is ending.  A pipe
// on Windows offers no wait for room: a write to one waits in the call,
// behind the gate, and after a while this gives up on it.
bool EndWrites(int milliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
  while (!::TryAcquireSRWLockExclusive(&g_gate)) {
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(1);
  }
  return true;
}

}  // namespace textio
