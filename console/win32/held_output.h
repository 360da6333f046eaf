// What the Win32 device remembers of standard output's screen buffer and
// holds back from it.  The echo of a long conversion prints seven pieces a
// row, and each console call costs a round trip to the console host (a
// third of a millisecond under wine): the last buffer query's answer is
// trusted while it is fresh (kHoldMs) and nothing can have changed it, and
// the cursor moves and cell writes it vouches for are held: cells that meet
// on one row go in one call, of the cursor moves only the last.  The device
// shows what is held before every other call that draws, queries afresh or
// waits for input, at the first print complete after kHoldMs, and as the
// process ends (SetHeldDrawing).
//
// Part of library console_win32, Windows builds only.  Every member that
// draws is called inside a DrawingGate that is open.
#ifndef PATCONV_CONSOLE_WIN32_HELD_OUTPUT_H_
#define PATCONV_CONSOLE_WIN32_HELD_OUTPUT_H_

#include <windows.h>

#include <vector>

#include "console/device.h"

namespace console {

class HeldOutput {
 public:
  /// How long a buffer query's answer is trusted and drawing held back.
  static constexpr ULONGLONG kHoldMs = 40;

  explicit HeldOutput(HANDLE output) : output_(output) {}

  /// The last query's answer, the held cursor in it, is fresh.
  bool Known() const { return known_ && ::GetTickCount64() - answered_at_ < kHoldMs; }
  const BufferInfo& info() const { return info_; }
  /// A query's answer, fresh from now on.
  void Remember(const BufferInfo& info);
  /// The console may have changed: the next query goes to it.
  void Forget() {
    known_ = false;
    cursor_shown_known_ = false;
  }
  /// The console's cursor is known to stand at `at` already: no call of
  /// the program's has moved it since it was put there.
  bool CursorShownAt(Coord at) const { return cursor_shown_known_ && cursor_shown_ == at; }

  /// Holds a row of cells that lies inside the buffer as the fresh answer
  /// has it; false, holding nothing, otherwise.
  bool HoldCells(const CHAR_INFO* cells, int length, Coord at);
  /// Holds a cursor move inside the window, which the console makes
  /// without moving the window; false, holding nothing, otherwise.
  bool HoldCursor(Coord at);
  /// The held cursor move is no longer wanted (a call moves the cursor).
  void DropCursor() { cursor_held_ = false; }
  /// Line feeds have left the cursor at the start of `last_row`: the answer
  /// stays fresh, if it was, when the window showed that row, and the
  /// cursor is known to stand there.
  void FedLines(int last_row, bool was_known);
  /// The window is now `window`: the answer stays fresh, if it was.
  void WindowSet(Rect window, bool was_known);

  /// Carries out what is held.
  void Show();
  /// Something is held and has waited kHoldMs since the last show.
  bool ShowDue() const {
    return (!cells_.empty() || cursor_held_) && ::GetTickCount64() - shown_at_ >= kHoldMs;
  }

 private:
  HANDLE output_;
  BufferInfo info_;
  bool known_ = false;
  ULONGLONG answered_at_ = 0;
  bool cursor_held_ = false;  // info_.cursor is still to be set
  bool cursor_shown_known_ = false;
  Coord cursor_shown_;            // where the console's cursor stands, when known
  std::vector<CHAR_INFO> cells_;  // held for row cells_at_.y from cells_at_.x
  Coord cells_at_;
  ULONGLONG shown_at_ = 0;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_WIN32_HELD_OUTPUT_H_
