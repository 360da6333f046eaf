// The terminal as this process found it and as it runs it: the modes of the
// terminals of standard input and output, the bytes that start and end
// drawing, and the signal handlers and exit hooks that put everything back
// on every way out of the process.
//
// Process-wide and kept in plain fields, so that the signal handlers get by
// with write() and tcsetattr().
#ifndef PATCONV_CONSOLE_VT_TERMINAL_STATE_H_
#define PATCONV_CONSOLE_VT_TERMINAL_STATE_H_

#include <signal.h>
#include <termios.h>

#include <cstddef>
#include <string>

#include "console/device.h"

namespace console {

/// The modes of one terminal: as found, and as this program wants them.
struct TtyModes {
  int fd = -1;  // -1: no terminal to change
  termios original{};
  termios applied{};
  volatile sig_atomic_t wanted = 0;  // `applied` should be in force
  volatile sig_atomic_t active = 0;  // `applied` is in force now
};

/// What the signal handlers and the device share.
struct TerminalState {
  TtyModes input;       // the terminal of standard input
  TtyModes output;      // the terminal of standard output, when it is another one
  bool shared = false;  // standard input and output are one terminal
  volatile sig_atomic_t drawing_wanted = 0;
  volatile sig_atomic_t drawing_active = 0;  // the start bytes were written
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t continued = 0;
  int wake_read = -1;               // self-pipe, written by the handlers
  volatile sig_atomic_t woken = 0;  // a handler wrote to the self-pipe
  int wake_write = -1;
  char start[128] = {};
  size_t start_size = 0;
  char restore[128] = {};  // puts back the colours; a cursor position follows
  size_t restore_size = 0;
  // What the drawing changed, and so what putting the terminal back must
  // undo: the colours (by `restore`), the cursor's visibility (to what it
  // was found in when the terminal told, else shown).
  volatile sig_atomic_t rendition_changed = 0;
  volatile sig_atomic_t cursor_visibility_changed = 0;
  volatile sig_atomic_t found_cursor_visible = -1;  // -1 unknown, 0 hidden, 1 shown
  volatile sig_atomic_t cursor_row = -1;            // the terminal's cursor; -1 unknown
  volatile sig_atomic_t cursor_column = 0;
  // Lines for standard error that wait until the terminal is put back.
  const char* volatile held_errors = nullptr;
  volatile size_t held_errors_size = 0;
  // The line for an output cut short by an ending signal from outside
  // (Device::SetInterruptLine), and whether standard error is the terminal
  // drawn on.
  volatile LineComposer interrupt_compose = nullptr;
  const void* volatile interrupt_context = nullptr;
  volatile sig_atomic_t errors_to_terminal = 0;
};

/// The one terminal state of the process.
extern TerminalState g_term;

/// Reads the modes a terminal was found in, once per terminal.
void ReadOriginalModes(TtyModes* modes, int fd);
/// Puts the modes this program runs the terminal in into force (and keeps
/// them wanted across a stop and continue).
void SetModes(TtyModes* modes, bool raw_input, bool raw_output);
/// Puts the terminal back as it was found, for good: no drawing and no
/// modes of ours are wanted afterwards.  Idempotent, async-signal-safe.
void RestoreTerminal();
/// Writes the lines held for standard error, on a line of their own below
/// the cursor, and forgets them.  Async-signal-safe.
void WriteHeldErrorLines();
/// Ends the process by `signal_number` as if nothing had caught it.
void DieBy(int signal_number);
/// Once per process, with or without a terminal: the handlers of the
/// signals that end the process from outside (SIGINT, SIGTERM, SIGHUP,
/// SIGQUIT, and every other whose default action ends it but SIGPIPE),
/// which write the interrupt line before it ends.
void InstallEndingHandlers();

/// Once per process: the self-pipe, the signal handlers and the exit hooks.
/// `start` is sent before drawing begins and `restore` puts back the colours
/// it saved; `on_exit` runs at a normal exit and must at least restore the
/// terminal.
void InstallProcessHooks(const std::string& start, const std::string& restore, void (*on_exit)());

/// Blocks the handled signals while the shared state is being changed.
class SignalBlock {
 public:
  SignalBlock();
  ~SignalBlock();
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t saved_;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_TERMINAL_STATE_H_
