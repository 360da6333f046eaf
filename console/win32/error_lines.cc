// Lines for standard error on Windows: see error_lines.h.
#include "console/win32/error_lines.h"

#include <algorithm>
#include <vector>

#include "textio/os_file.h"
#include "textio/write_gate.h"

namespace console {
namespace {

// --- Lines held for standard error ------------------------------------------------------
// Lines for a standard error that is the console wait until the console is
// let go.  Ctrl+C and Ctrl+Break end the process in the system's handler, on
// a thread of the system's: a handler of ours, added with the first line
// held, writes them first, so that none is lost.  It ends the drawing
// before it writes them: every call that changes the console holds the lock
// shared.

struct HeldErrorLines {
  SRWLOCK lock = SRWLOCK_INIT;
  HANDLE console = nullptr;
  std::vector<std::string> lines;
  bool drawing_ended = false;
  void (*show_held)(void*) = nullptr;
  void* held_drawing = nullptr;
};
HeldErrorLines g_held;

// --- The interrupt line -----------------------------------------------------------------
// Armed and disarmed by the program's thread, written by the handler's: the
// lock keeps a disarm (after which the composer's context is gone) from
// overtaking a line being written.

struct InterruptLine {
  SRWLOCK lock = SRWLOCK_INIT;
  LineComposer compose = nullptr;
  const void* context = nullptr;
  HANDLE error = nullptr;
  ErrorTarget target = ErrorTarget::kFile;
};
InterruptLine g_interrupt;

// The system gives a handler of the window's closing five seconds in all.
constexpr int kWriteWaitMs = 2000;

bool g_handler_added = false;  // the program's thread alone adds it

void WriteAtCursorLineStart(HANDLE console, const std::string& text) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(console, &info) && info.dwCursorPosition.X != 0) {
    WriteConsoleText(console, "\r\n");
  }
  WriteConsoleText(console, text);
}

// Once: the process is ending.
void WriteInterruptLine() {
  ::AcquireSRWLockExclusive(&g_interrupt.lock);
  if (g_interrupt.compose != nullptr) {
    std::string line(32 * 1024, '\0');
    line.resize(g_interrupt.compose(g_interrupt.context, &line[0], line.size()));
    g_interrupt.compose = nullptr;
    if (!line.empty()) {
      line += "\r\n";
      switch (g_interrupt.target) {
        case ErrorTarget::kHeld: WriteAtCursorLineStart(g_interrupt.error, line); break;
        case ErrorTarget::kConsole: WriteConsoleText(g_interrupt.error, line); break;
        case ErrorTarget::kFile: {
          DWORD written = 0;
          ::WriteFile(g_interrupt.error, line.data(), static_cast<DWORD>(line.size()), &written,
                      nullptr);
          break;
        }
      }
    }
  }
  ::ReleaseSRWLockExclusive(&g_interrupt.lock);
}

bool Armed() {
  ::AcquireSRWLockShared(&g_interrupt.lock);
  const bool armed = g_interrupt.compose != nullptr;
  ::ReleaseSRWLockShared(&g_interrupt.lock);
  return armed;
}

// Never handles the event: the handlers after it, the system's last, act.
// The count of an armed line is final once no write is in progress.
BOOL WINAPI WriteLinesOnEnd(DWORD event) {
  const bool armed = Armed();
  const bool ends =
      event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || (event == CTRL_CLOSE_EVENT && armed);
  if (!ends) return FALSE;
  if (armed && textio::EndWrites(kWriteWaitMs)) textio::CutCountedOutput();
  WriteHeldErrorLines(true);
  if (armed) WriteInterruptLine();
  return FALSE;
}

// Handlers are called last added first: re-added, it comes before the
// engine's, which takes the window's closing as a key and handles it.
void AddHandler(bool to_front) {
  if (g_handler_added && !to_front) return;
  if (g_handler_added) ::SetConsoleCtrlHandler(WriteLinesOnEnd, FALSE);
  g_handler_added = ::SetConsoleCtrlHandler(WriteLinesOnEnd, TRUE) != FALSE;
}

}  // namespace

DrawingGate::DrawingGate() { ::AcquireSRWLockShared(&g_held.lock); }

DrawingGate::~DrawingGate() { ::ReleaseSRWLockShared(&g_held.lock); }

bool DrawingGate::open() const { return !g_held.drawing_ended; }

void WriteConsoleText(HANDLE console, const std::string& text) {
  if (text.empty() || text.size() > (1u << 30)) return;
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return;
  std::wstring wide(static_cast<size_t>(length), L' ');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], length);
  for (size_t done = 0; done < wide.size();) {
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 1u << 14));
    if (!::WriteConsoleW(console, wide.data() + done, count, &written, nullptr) || written == 0) {
      return;
    }
    done += written;
  }
}

void HoldErrorLine(HANDLE console, const std::string& line) {
  ::AcquireSRWLockExclusive(&g_held.lock);
  g_held.console = console;
  g_held.lines.push_back(line);
  ::ReleaseSRWLockExclusive(&g_held.lock);
  AddHandler(false);
}

void WriteHeldErrorLines(bool end_drawing) {
  ::AcquireSRWLockExclusive(&g_held.lock);
  if (end_drawing && !g_held.drawing_ended && g_held.show_held != nullptr) {
    g_held.show_held(g_held.held_drawing);
  }
  if (end_drawing) g_held.drawing_ended = true;
  if (!g_held.lines.empty()) {
    std::string text;
    for (const std::string& line : g_held.lines) text += line + "\r\n";
    WriteAtCursorLineStart(g_held.console, text);
    g_held.lines.clear();
  }
  ::ReleaseSRWLockExclusive(&g_held.lock);
}

void SetHeldDrawing(void (*show)(void* context), void* context) {
  ::AcquireSRWLockExclusive(&g_held.lock);
  g_held.show_held = show;
  g_held.held_drawing = context;
  ::ReleaseSRWLockExclusive(&g_held.lock);
}

void ArmInterruptLine(LineComposer compose, const void* context, HANDLE error, ErrorTarget target) {
  ::AcquireSRWLockExclusive(&g_interrupt.lock);
  g_interrupt.compose = compose;
  g_interrupt.context = context;
  g_interrupt.error = error;
  g_interrupt.target = target;
  ::ReleaseSRWLockExclusive(&g_interrupt.lock);
  if (compose != nullptr) AddHandler(true);
}

}  // namespace console
