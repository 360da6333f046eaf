// The platform seam of the console: the few console primitives the engine
// needs, shaped after the Windows console calls.
//
// Everything the user sees (wrapping, scrolling, the pending line feed, key
// decoding, line editing) is decided above this interface, in portable code.
// A device only carries out primitives: the Win32 device (win32/) passes them
// to the console API, the terminal device (vt/) emulates them over a VT
// terminal, and the memory device (testing/) records them so that tests can
// look at the resulting screen.
#ifndef PATCONV_CONSOLE_DEVICE_H_
#define PATCONV_CONSOLE_DEVICE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "console/key_event.h"
#include "console/key_map.h"

namespace console {

/// A cell position in the screen buffer: 0-based absolute column and row.
struct Coord {
  int x = 0;
  int y = 0;
  friend bool operator==(Coord a, Coord b) { return a.x == b.x && a.y == b.y; }
};

/// A rectangle of cells, edges included (SMALL_RECT).
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  friend bool operator==(Rect a, Rect b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

/// A console as a new Windows console window starts: 80 x 25 cells, light
/// grey on black (attribute 7, which a terminal shows in its own colours).
/// The stand-in wherever the real size or colours are not known.
inline constexpr int kDefaultWidth = 80;
inline constexpr int kDefaultHeight = 25;
inline constexpr uint16_t kDefaultAttribute = 7;

/// What the screen buffer query reports (CONSOLE_SCREEN_BUFFER_INFO).
struct BufferInfo {
  Coord size;    // buffer width and height in cells
  Coord cursor;  // absolute cursor position
  uint16_t attribute = kDefaultAttribute;
  Rect window;  // the visible window, absolute
};

/// Control events the system may send (CTRL_*_EVENT).
inline constexpr uint32_t kCtrlCEvent = 0;
inline constexpr uint32_t kCtrlBreakEvent = 1;
inline constexpr uint32_t kCtrlCloseEvent = 2;
inline constexpr uint32_t kCtrlLogoffEvent = 5;
inline constexpr uint32_t kCtrlShutdownEvent = 6;

/// Called by the system, possibly on a thread of its own; returns true when
/// the event was handled.
using ControlHandler = bool (*)(uint32_t event, void* context);

/// Composes a line for standard error into `out` (at most `capacity` bytes,
/// no line end) and returns its length; 0 for no line.  Called as the
/// process is being ended, from a signal handler: it may only read memory,
/// never allocate, lock or call the system.
using LineComposer = size_t (*)(const void* context, char* out, size_t capacity);

/// Input mode bit that lets the system handle Ctrl+C (ENABLE_PROCESSED_INPUT).
inline constexpr uint32_t kProcessedInput = 0x0001;

/// The console primitives.  Every primitive that can fail says so by its
/// result; the engine decides what a failure means.  Abstract so that tests
/// can run the engine on the memory device.
class Device {
 public:
  virtual ~Device() = default;

  // --- Standard input ------------------------------------------------------
  /// GetConsoleMode on standard input: succeeds exactly when standard input
  /// is a console.
  virtual bool GetInputMode(uint32_t* mode) = 0;
  /// SetConsoleMode on standard input.
  virtual bool SetInputMode(uint32_t mode) = 0;
  /// Takes the next console input event without waiting; false when none is
  /// waiting (PeekConsoleInputW, then ReadConsoleInputW).  A typed character
  /// comes as its Windows-1251 byte, or marked outside_cp1251.
  virtual bool NextInputEvent(InputEvent* event) = 0;
  /// Reads raw bytes of a redirected standard input: the count read, 0 at
  /// its end, -1 when the read fails.
  virtual long ReadStdin(char* data, size_t size) = 0;

  // --- Screen buffer of standard output -------------------------------------
  /// GetConsoleScreenBufferInfo on standard output; fails when standard
  /// output is not a console.
  virtual bool GetBufferInfo(BufferInfo* info) = 0;
  /// FillConsoleOutputCharacter: `length` cells from `at`, row by row.
  /// Cells hold Windows-1251 bytes; each device shows them the same way.
  virtual bool FillCharacter(char character, int length, Coord at) = 0;
  /// FillConsoleOutputAttribute: `length` cells from `at`, row by row.
  virtual bool FillAttribute(uint16_t attribute, int length, Coord at) = 0;
  /// WriteConsoleOutput of one row: `length` cells from `at`, in one
  /// attribute.  Fails when the cells do not lie inside the buffer.
  virtual bool WriteCells(const char* characters, int length, uint16_t attribute, Coord at) = 0;
  /// ScrollConsoleScreenBuffer without a clip rectangle: moves `source` so
  /// that its top left lands on `destination`; the cells of `source` that
  /// the move leaves behind get `fill` in `attribute`.
  virtual bool ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) = 0;
  /// `count` line feeds written at the start of `last_row`, the buffer's
  /// last row, as output that runs past the buffer's end writes them
  /// (WriteConsoleW with processed output): the whole buffer content moves
  /// up by `count` rows, and the terminal the console is shown in (Windows
  /// Terminal, a terminal under wine; the terminal device's own) keeps the
  /// rows that leave the top in its history, which a block of cells moved
  /// inside the buffer never reaches.  The rows that come in at the bottom
  /// are blank in an attribute of the host's choosing; the cursor ends on
  /// the last row.  False, with nothing changed, where the device has no
  /// such way (the default).
  virtual bool FeedLines(int /*last_row*/, int /*count*/) { return false; }
  /// SetConsoleWindowInfo with an absolute rectangle.
  virtual bool SetWindow(Rect window) = 0;
  /// SetConsoleCursorPosition.
  virtual bool SetCursorPosition(Coord at) = 0;
  /// GetConsoleCursorInfo, the visible flag.
  virtual bool GetCursorVisible(bool* visible) = 0;
  /// SetConsoleCursorInfo, the visible flag; the cursor size is kept.
  virtual bool SetCursorVisible(bool visible) = 0;
  /// Says that one console print is complete.  A device that gathers its
  /// output may show it now; the Win32 device shows what it holds back
  /// once it has held it 40 ms, and before any wait.
  virtual void Flush() = 0;
  /// Writes raw bytes to a redirected standard output (WriteFile): the count
  /// written, -1 with errno set (EPIPE when the reader has left) when the
  /// write fails.
  virtual long WriteStdout(const char* data, size_t size) = 0;

  // --- Standard error ------------------------------------------------------
  /// One line for standard error, `line` without its line end.  When
  /// standard error is the console this device draws on, the line waits
  /// until the device lets the console go (its last screen drawn, the
  /// console put back as it was found) and is then written below the
  /// output, on a line of its own.  Otherwise it is written at once, with a
  /// line end: its bytes as they are to a file, a pipe or a terminal.  To a
  /// Windows console, held or not, the line (UTF-8) goes as Unicode text.
  virtual void WriteErrorLine(const std::string& line) = 0;
  /// Arms the line for standard error that tells what an output holds,
  /// should the process be ended from outside while it is written: by
  /// Ctrl+C, Ctrl+Break or the console window closing (Windows), or by
  /// SIGINT, SIGTERM, SIGHUP or SIGQUIT.  `compose` makes it then, and it is
  /// written as WriteErrorLine writes (after the lines held, below the
  /// final screen); `context` must live until the line is disarmed (null
  /// `compose`).  The exit status stays the signal's or the event's.  A
  /// device that is never ended so keeps this default.
  virtual void SetInterruptLine(LineComposer /*compose*/, const void* /*context*/) {}

  // --- System --------------------------------------------------------------
  /// SetConsoleCtrlHandler(handler, TRUE).
  virtual bool AddControlHandler(ControlHandler handler, void* context) = 0;
  /// SetConsoleCtrlHandler(handler, FALSE) for the handler added before.
  virtual void RemoveControlHandler() = 0;
  /// A tone (Beep).
  virtual void Beep(int frequency, int milliseconds) = 0;
  /// A pause (Sleep).  A device may end it early when input arrives.
  virtual void Sleep(int milliseconds) = 0;
  /// Waits between two looks at the input while no key is waiting.  A
  /// device that can be woken by its input sleeps until input (or anything
  /// else NextInputEvent reports) arrives, however long that takes, so that
  /// a program at a prompt costs nothing; the default pauses `poll_ms`
  /// (Sleep), as the Win32 console does: a close of its window queues a
  /// key from another thread, which no wait on the input would see.
  virtual void WaitForInput(int poll_ms) { Sleep(poll_ms); }
  /// The keyboard layout's mapping services.
  virtual const KeyMap& key_map() const = 0;
  /// Turns a typed answer line (Windows-1251) into the form of the
  /// platform's typed file names (TextOrigin::kTyped): UTF-8 on Windows, the
  /// terminal's charset on a terminal.
  virtual std::string TypedLineToNative(const std::string& line) const = 0;
  /// The other way: a name in that form (as the platform also passes
  /// arguments) as the Windows-1251 line that shows it, a character that
  /// Windows-1251 lacks as '?'.
  virtual std::string NativeToTypedLine(const std::string& name) const = 0;
  /// Standard output is a terminal or console; asked without setting
  /// anything up or drawing.
  virtual bool StdoutIsTerminal() const = 0;

  // --- The end of the program -------------------------------------------------
  // Only a Windows console has a window that goes with the program; the
  // other devices keep these defaults.
  /// The window the program shows in closes as the program ends, taking
  /// what it showed with it: on Windows, the program is the only process on
  /// its console (started from Explorer or a shortcut) and neither standard
  /// input nor standard output is redirected.
  virtual bool WindowClosesAtEnd() { return false; }
  /// Lets the console go (the lines held for standard error written), then
  /// shows `line` below everything on a line of its own and waits for one
  /// key press.  Ctrl+C ends the process at once.
  virtual void WaitForKeyAtEnd(const std::string& line) { static_cast<void>(line); }
};

/// The device of the platform the program was built for.
std::unique_ptr<Device> MakePlatformDevice();

}  // namespace console

#endif  // PATCONV_CONSOLE_DEVICE_H_
