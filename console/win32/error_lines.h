// Lines for standard error on Windows: Unicode text for a console, the lines
// held while standard error is the console the program draws on, and the
// line armed for an interrupted output (Device::SetInterruptLine).  A
// control handler writes what is held and armed as Ctrl+C, Ctrl+Break or
// the closing of the console window ends the process.
//
// Part of library console_win32, Windows builds only.
#ifndef PATCONV_CONSOLE_WIN32_ERROR_LINES_H_
#define PATCONV_CONSOLE_WIN32_ERROR_LINES_H_

#include <windows.h>

#include <string>

#include "console/device.h"

namespace console {

/// Text for a console, written at its cursor; the console's own output
/// processing makes CR LF a line end.  The program's lines are UTF-8 (file
/// names as typed, other bytes as \xNN), written as Unicode: they read the
/// same under every code page.
void WriteConsoleText(HANDLE console, const std::string& text);

/// Held around a call that changes the console; closed for good once the
/// drawing has ended, so that no cell lands on the lines written as the
/// process ends in the moments the program's thread still runs.
class DrawingGate {
 public:
  DrawingGate();
  ~DrawingGate();
  DrawingGate(const DrawingGate&) = delete;
  DrawingGate& operator=(const DrawingGate&) = delete;
  /// The call may change the console.
  bool open() const;
};

/// The drawing a device holds back, carried out by `show(context)` before
/// the lines written as the process ends (with the drawing lock held, so it
/// opens no DrawingGate); a null `show` when there is none.
void SetHeldDrawing(void (*show)(void* context), void* context);

/// Holds `line` for the console `console` until WriteHeldErrorLines.
void HoldErrorLine(HANDLE console, const std::string& line);

/// Writes the held lines, each on a line of its own below the cursor the
/// last print left, and forgets them; with `end_drawing`, nothing is drawn
/// afterwards.
void WriteHeldErrorLines(bool end_drawing);

/// Where a line for standard error goes.
enum class ErrorTarget {
  kHeld,     // the console the program draws on: below everything
  kConsole,  // another console, at once
  kFile,     // a file or a pipe, its bytes with CR LF
};

/// Arms the interrupt line (Device::SetInterruptLine) for the standard
/// error `error`, a `target`; a null `compose` disarms it, once a handler
/// that is writing it has done so.
void ArmInterruptLine(LineComposer compose, const void* context, HANDLE error, ErrorTarget target);

}  // namespace console

#endif  // PATCONV_CONSOLE_WIN32_ERROR_LINES_H_
