// The console window as the program's end sees it: whether it goes with the
// program, and a wait for one key press before it does.
//
// Part of library console_win32, Windows builds only.
#ifndef PATCONV_CONSOLE_WIN32_CONSOLE_WINDOW_H_
#define PATCONV_CONSOLE_WIN32_CONSOLE_WINDOW_H_

#include <windows.h>

namespace console {

/// The program is the only process on its console (started from Explorer,
/// by a dropped file or a shortcut: nobody else, such as cmd, PowerShell or
/// a terminal, keeps the window), and `input` and `output` are that console.
bool WindowGoesWithProgram(HANDLE input, HANDLE output);

/// Waits for one key press on the console `input`.  Keys pressed before
/// (the release of an Enter among them) and modifier keys alone do not
/// count.  With processed input on, Ctrl+C never arrives as a key: it goes
/// to the control handlers, whose last, the system's, ends the process.
void WaitForKeyPress(HANDLE input);

}  // namespace console

#endif  // PATCONV_CONSOLE_WIN32_CONSOLE_WINDOW_H_
