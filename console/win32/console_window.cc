#include "console/win32/console_window.h"

#include <algorithm>
#include <iterator>

namespace console {
namespace {

// Keys that press nothing by themselves.
bool IsModifierKey(WORD virtual_key) {
  constexpr WORD kModifiers[] = {VK_SHIFT, VK_CONTROL, VK_MENU,    VK_LWIN,
                                 VK_RWIN,  VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
  return std::find(std::begin(kModifiers), std::end(kModifiers), virtual_key) !=
         std::end(kModifiers);
}

}  // namespace

bool WindowGoesWithProgram(HANDLE input, HANDLE output) {
  DWORD processes[2];
  DWORD mode = 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return ::GetConsoleProcessList(processes, 2) == 1 && ::GetConsoleMode(input, &mode) &&
         ::GetConsoleScreenBufferInfo(output, &info);
}

void WaitForKeyPress(HANDLE input) {
  DWORD mode = 0;
  if (::GetConsoleMode(input, &mode)) ::SetConsoleMode(input, mode | ENABLE_PROCESSED_INPUT);
  ::FlushConsoleInputBuffer(input);
  for (;;) {
    INPUT_RECORD record{};
    DWORD count = 0;
    if (!::ReadConsoleInputW(input, &record, 1, &count) || count == 0) return;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (record.EventType == KEY_EVENT && key.bKeyDown && !IsModifierKey(key.wVirtualKeyCode)) {
      return;
    }
  }
}

}  // namespace console
