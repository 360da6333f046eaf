// The Windows device: each console primitive is the console API call it is
// named after, on the standard handles.  Nothing is emulated here; the
// engine above decides what every result means.
//
// The buffer query's answer is remembered while it is fresh, and the cell
// writes and cursor moves it vouches for are held back and gathered
// (held_output): each call is a round trip to the console host.
//
// Text goes through the Unicode (W) calls and the one Windows-1251 table,
// never the console's code pages (never changed): a cell shows its byte's
// Unicode form (control bytes as the console's pictures), a typed character
// becomes its Windows-1251 byte (or is marked as having none), a typed line
// UTF-8 for the file calls.  So what is seen and typed is the same under
// every code page.
//
// Library console_win32, Windows builds only: this device, the console
// window as the program's end sees it (console_window), the lines for
// standard error and the handler that writes them as the process ends
// (error_lines), the remembered buffer answer and held drawing
// (held_output), the key records and the keyboard layout (key_records).
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/cell_glyph.h"
#include "console/device.h"
#include "console/win32/console_window.h"
#include "console/win32/error_lines.h"
#include "console/win32/held_output.h"
#include "console/win32/key_records.h"
#include "textio/cp1251.h"

namespace console {
namespace {

// --- Coordinates ------------------------------------------------------------------
// The console API counts cells in SHORTs; a position beyond that range names
// no cell, so the primitive fails instead of writing somewhere else.

bool FitsShort(int value) { return value >= SHRT_MIN && value <= SHRT_MAX; }

bool ToNative(Coord at, COORD* native) {
  if (!FitsShort(at.x) || !FitsShort(at.y)) return false;
  *native = COORD{static_cast<SHORT>(at.x), static_cast<SHORT>(at.y)};
  return true;
}

bool ToNative(Rect rect, SMALL_RECT* native) {
  COORD from{}, to{};
  const bool fits =
      ToNative(Coord{rect.left, rect.top}, &from) && ToNative(Coord{rect.right, rect.bottom}, &to);
  if (fits) *native = SMALL_RECT{from.X, from.Y, to.X, to.Y};
  return fits;
}

// What a cell holding a Windows-1251 byte shows: one UTF-16 unit, since
// every glyph lies in the Basic Multilingual Plane.
WCHAR Glyph(char character) {
  return static_cast<WCHAR>(CellGlyph(static_cast<uint8_t>(character)));
}

CHAR_INFO MakeCell(char character, uint16_t attribute) {
  CHAR_INFO cell{};
  cell.Char.UnicodeChar = Glyph(character);
  cell.Attributes = attribute;
  return cell;
}

// --- Control events ------------------------------------------------------------------
// SetConsoleCtrlHandler takes a bare function without a context, so the
// engine's handler and its context wait here.  The system calls the
// trampoline on a thread of its own, hence the atomics.

std::atomic<ControlHandler> g_control_handler{nullptr};
std::atomic<void*> g_control_context{nullptr};

// Ctrl+C and Ctrl+Break come back unhandled from the engine, so the next
// handler (the system's default) ends the process.
BOOL WINAPI ControlTrampoline(DWORD event) {
  ControlHandler handler = g_control_handler.load();
  if (handler == nullptr) return FALSE;
  return handler(event, g_control_context.load()) ? TRUE : FALSE;
}

// --- The device ------------------------------------------------------------------------

class Win32Device final : public Device {
 public:
  Win32Device()
      : input_(::GetStdHandle(STD_INPUT_HANDLE)),
        output_(::GetStdHandle(STD_OUTPUT_HANDLE)),
        error_(::GetStdHandle(STD_ERROR_HANDLE)),
        held_(output_) {
    SetHeldDrawing(ShowHeldAtEnd, &held_);
  }
  // The console is let go: the lines for standard error that waited for it
  // come last.
  ~Win32Device() override {
    ShowHeld();
    SetHeldDrawing(nullptr, nullptr);
    RemoveControlHandler();
    WriteHeldErrorLines(false);
  }
  Win32Device(const Win32Device&) = delete;
  Win32Device& operator=(const Win32Device&) = delete;

  bool GetInputMode(uint32_t* mode) override;
  bool SetInputMode(uint32_t mode) override;
  bool NextInputEvent(InputEvent* event) override;
  long ReadStdin(char* data, size_t size) override;

  bool GetBufferInfo(BufferInfo* info) override;
  bool FillCharacter(char character, int length, Coord at) override;
  bool FillAttribute(uint16_t attribute, int length, Coord at) override;
  bool WriteCells(const char* characters, int length, uint16_t attribute, Coord at) override;
  bool ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) override;
  bool FeedLines(int last_row, int count) override;
  bool SetWindow(Rect window) override;
  bool SetCursorPosition(Coord at) override;
  bool GetCursorVisible(bool* visible) override;
  bool SetCursorVisible(bool visible) override;
  void Flush() override;
  long WriteStdout(const char* data, size_t size) override;
  void WriteErrorLine(const std::string& line) override;
  void SetInterruptLine(LineComposer compose, const void* context) override;

  bool AddControlHandler(ControlHandler handler, void* context) override;
  void RemoveControlHandler() override;
  void Beep(int frequency, int milliseconds) override;
  void Sleep(int milliseconds) override;
  const KeyMap& key_map() const override { return key_map_; }
  // UTF-8, which the file calls turn into the names' UTF-16 (TextOrigin).
  std::string TypedLineToNative(const std::string& line) const override {
    return textio::Cp1251ToUtf8(line);
  }
  std::string NativeToTypedLine(const std::string& name) const override {
    return textio::Utf8ToCp1251(name);
  }
  bool StdoutIsTerminal() const override {
    DWORD mode = 0;
    return ::GetConsoleMode(output_, &mode) != FALSE;
  }

  bool WindowClosesAtEnd() override;
  void WaitForKeyAtEnd(const std::string& line) override;

 private:
  // One call of _read or WriteFile moves at most this many bytes.
  static constexpr size_t kLargestTransfer = 1u << 30;

  bool ErrorLinesWait();
  bool LineFeedsScroll();
  void ShowHeld() {
    DrawingGate gate;
    if (gate.open()) held_.Show();
  }
  static void ShowHeldAtEnd(void* held) { static_cast<HeldOutput*>(held)->Show(); }

  HANDLE input_;
  HANDLE output_;
  HANDLE error_;
  bool stdin_binary_ = false;
  bool handler_added_ = false;
  int line_feeds_scroll_ = -1;    // -1: the output mode not read yet
  std::vector<CHAR_INFO> cells_;  // one row for WriteConsoleOutputW, reused
  HeldOutput held_;
  Win32KeyMap key_map_;
};

// --- Standard input ----------------------------------------------------------------------

bool Win32Device::GetInputMode(uint32_t* mode) {
  DWORD native = 0;
  if (!::GetConsoleMode(input_, &native)) return false;
  *mode = native;
  return true;
}

// Set once, at the console's set-up.  Wine's console in a terminal takes the
// terminal's keys (and stops the terminal's own echo of them) only from the
// first input call on: one look at the queue here keeps keys typed before
// the first prompt as key records, as a Windows console does, instead of
// letting the terminal echo them over the screen.  Looking removes nothing.
bool Win32Device::SetInputMode(uint32_t mode) {
  const bool set = ::SetConsoleMode(input_, mode) != FALSE;
  INPUT_RECORD record{};
  DWORD count = 0;
  ::PeekConsoleInputW(input_, &record, 1, &count);
  return set;
}

// Looks first, so that an empty input never blocks; then takes exactly the
// one record that was seen.
bool Win32Device::NextInputEvent(InputEvent* event) {
  INPUT_RECORD record{};
  DWORD count = 0;
  ShowHeld();
  if (!::PeekConsoleInputW(input_, &record, 1, &count) || count == 0) return false;
  if (!::ReadConsoleInputW(input_, &record, 1, &count) || count == 0) return false;
  held_.Forget();  // a resize, for one, comes as an event
  *event = InputEvent{};
  if (record.EventType == KEY_EVENT) {
    event->type = InputEvent::Type::kKey;
    event->key = ToKeyEvent(record.Event.KeyEvent);
  } else {
    event->type = InputEvent::Type::kOther;
  }
  return true;
}

// The bytes as they are: the engine does its own text translation, so the
// runtime's (CR LF to LF, Ctrl+Z as the end) is switched off first.  A
// read may wait: the rows echoed so far show first.
long Win32Device::ReadStdin(char* data, size_t size) {
  ShowHeld();
  if (!stdin_binary_) {
    stdin_binary_ = true;
    ::_setmode(0, _O_BINARY);
  }
  unsigned count = static_cast<unsigned>(std::min(size, kLargestTransfer));
  int read = ::_read(0, data, count);
  return read < 0 ? -1L : static_cast<long>(read);
}

// --- Screen buffer of standard output -----------------------------------------------------

bool Win32Device::GetBufferInfo(BufferInfo* info) {
  if (held_.Known()) {
    *info = held_.info();
    return true;
  }
  // In the gate: the lines written as the process ends may show what is
  // held meanwhile, from another thread.
  DrawingGate gate;
  if (gate.open()) held_.Show();
  held_.Forget();
  CONSOLE_SCREEN_BUFFER_INFO native{};
  if (!::GetConsoleScreenBufferInfo(output_, &native)) return false;
  info->size = Coord{native.dwSize.X, native.dwSize.Y};
  info->cursor = Coord{native.dwCursorPosition.X, native.dwCursorPosition.Y};
  info->attribute = native.wAttributes;
  info->window = Rect{native.srWindow.Left, native.srWindow.Top, native.srWindow.Right,
                      native.srWindow.Bottom};
  held_.Remember(*info);
  return true;
}

void Win32Device::Flush() {
  if (held_.ShowDue()) ShowHeld();
}

bool Win32Device::FillCharacter(char character, int length, Coord at) {
  DrawingGate gate;
  COORD start;
  DWORD written = 0;
  if (gate.open()) held_.Show();
  return gate.open() && length >= 0 && ToNative(at, &start) &&
         ::FillConsoleOutputCharacterW(output_, Glyph(character), static_cast<DWORD>(length), start,
                                       &written) != FALSE;
}

bool Win32Device::FillAttribute(uint16_t attribute, int length, Coord at) {
  DrawingGate gate;
  COORD start;
  DWORD written = 0;
  if (gate.open()) held_.Show();
  return gate.open() && length >= 0 && ToNative(at, &start) &&
         ::FillConsoleOutputAttribute(output_, attribute, static_cast<DWORD>(length), start,
                                      &written) != FALSE;
}

// The console clips a region that reaches past the buffer and still reports
// success; the region it hands back tells, and a clipped write counts as a
// failed one, as the engine expects of cells outside the buffer.
bool Win32Device::WriteCells(const char* characters, int length, uint16_t attribute, Coord at) {
  DrawingGate gate;
  if (!gate.open() || length < 0 || !FitsShort(length)) return false;
  if (length == 0) return true;
  cells_.resize(static_cast<size_t>(length));
  for (size_t i = 0; i < cells_.size(); ++i) cells_[i] = MakeCell(characters[i], attribute);
  if (held_.HoldCells(cells_.data(), length, at)) return true;
  held_.Show();
  SMALL_RECT region;
  if (!ToNative(Rect{at.x, at.y, at.x + length - 1, at.y}, &region)) return false;
  const SMALL_RECT wanted = region;
  const COORD shape{static_cast<SHORT>(length), 1};
  if (!::WriteConsoleOutputW(output_, cells_.data(), shape, COORD{0, 0}, &region)) return false;
  return region.Left == wanted.Left && region.Top == wanted.Top && region.Right == wanted.Right &&
         region.Bottom == wanted.Bottom;
}

bool Win32Device::ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) {
  DrawingGate gate;
  SMALL_RECT native_source;
  COORD native_destination;
  if (gate.open()) held_.Show();
  if (!gate.open() || !ToNative(source, &native_source) ||
      !ToNative(destination, &native_destination)) {
    return false;
  }
  const CHAR_INFO fill_cell = MakeCell(fill, attribute);
  return ::ScrollConsoleScreenBufferW(output_, &native_source, nullptr, native_destination,
                                      &fill_cell) != FALSE;
}

// Line feeds at the buffer's last row scroll it as a program's output does,
// and the terminal that shows the console (Windows Terminal through its
// pseudo console, a terminal under wine) gets them as line feeds too, so the
// rows leaving the top stay in its history.  A line feed is carried out only
// in processed output, and output past the buffer's last row scrolls the
// content only with wrapping at the end of line: a console set otherwise
// keeps the scroll call.  From column 0, so that it is the same whether the
// console adds a CR to each LF or not.
bool Win32Device::FeedLines(int last_row, int count) {
  DrawingGate gate;
  COORD start;
  if (!gate.open() || count <= 0 || !LineFeedsScroll() || !ToNative(Coord{0, last_row}, &start)) {
    return false;
  }
  held_.DropCursor();  // the feeds move it anyway
  held_.Show();
  const bool known = held_.Known();
  // After a feed, the next one starts where the cursor stands.
  const bool in_place = held_.CursorShownAt(Coord{0, last_row});
  held_.Forget();
  if (!in_place && !::SetConsoleCursorPosition(output_, start)) return false;
  const std::wstring feeds(static_cast<size_t>(count), L'\n');
  DWORD written = 0;
  if (!::WriteConsoleW(output_, feeds.data(), static_cast<DWORD>(feeds.size()), &written,
                       nullptr)) {
    return false;
  }
  // The cursor stays at the start of the last row; a window that showed
  // that row already did not move.
  held_.FedLines(last_row, known);
  return true;
}

// The output mode is read once: the program never changes it, and a scroll
// costs calls on every line of a long echo.
bool Win32Device::LineFeedsScroll() {
  if (line_feeds_scroll_ < 0) {
    constexpr DWORD kScrollingOutput = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    DWORD mode = 0;
    line_feeds_scroll_ =
        ::GetConsoleMode(output_, &mode) && (mode & kScrollingOutput) == kScrollingOutput ? 1 : 0;
  }
  return line_feeds_scroll_ == 1;
}

bool Win32Device::SetWindow(Rect window) {
  DrawingGate gate;
  SMALL_RECT native;
  if (gate.open()) held_.Show();
  const bool known = held_.Known();
  held_.Forget();
  if (!gate.open() || !ToNative(window, &native) ||
      !::SetConsoleWindowInfo(output_, TRUE, &native)) {
    return false;
  }
  held_.WindowSet(window, known);
  return true;
}

// A move inside the window, which the console makes without moving the
// window, is held; any other goes at once, and the window may follow it.
bool Win32Device::SetCursorPosition(Coord at) {
  DrawingGate gate;
  if (!gate.open()) return false;
  if (held_.HoldCursor(at)) return true;
  held_.Show();
  held_.Forget();
  COORD native;
  return ToNative(at, &native) && ::SetConsoleCursorPosition(output_, native) != FALSE;
}

bool Win32Device::GetCursorVisible(bool* visible) {
  CONSOLE_CURSOR_INFO cursor{};
  if (!::GetConsoleCursorInfo(output_, &cursor)) return false;
  *visible = cursor.bVisible != FALSE;
  return true;
}

// Read first, so that the cursor's size goes back as it was.
bool Win32Device::SetCursorVisible(bool visible) {
  DrawingGate gate;
  CONSOLE_CURSOR_INFO cursor{};
  if (gate.open()) held_.Show();
  if (!gate.open() || !::GetConsoleCursorInfo(output_, &cursor)) return false;
  cursor.bVisible = visible ? TRUE : FALSE;
  return ::SetConsoleCursorInfo(output_, &cursor) != FALSE;
}

long Win32Device::WriteStdout(const char* data, size_t size) {
  DWORD written = 0;
  DWORD count = static_cast<DWORD>(std::min(size, kLargestTransfer));
  if (::WriteFile(output_, data, count, &written, nullptr)) return static_cast<long>(written);
  // A pipe whose reader has left, in the words a POSIX write uses for it.
  const DWORD error = ::GetLastError();
  errno = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ? EPIPE : EIO;
  return -1;
}

// --- Standard error ---------------------------------------------------------------------------

// Standard error is a console and the program draws on the console (a
// process has one): the lines would land amid the screen, so they wait.
bool Win32Device::ErrorLinesWait() {
  DWORD mode = 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return ::GetConsoleMode(error_, &mode) && ::GetConsoleScreenBufferInfo(output_, &info);
}

void Win32Device::WriteErrorLine(const std::string& line) {
  ShowHeld();
  held_.Forget();
  if (ErrorLinesWait()) {
    HoldErrorLine(error_, line);
    return;
  }
  DWORD mode = 0;
  if (::GetConsoleMode(error_, &mode)) {  // a console the program does not draw on
    WriteConsoleText(error_, line + "\r\n");
    return;
  }
  // A file or a pipe: the bytes through the runtime, as ever (a text-mode
  // stream, so the line end is CR LF).
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Where WriteErrorLine would write it, when the process is ending.
void Win32Device::SetInterruptLine(LineComposer compose, const void* context) {
  DWORD mode = 0;
  const ErrorTarget target = ErrorLinesWait()                  ? ErrorTarget::kHeld
                             : ::GetConsoleMode(error_, &mode) ? ErrorTarget::kConsole
                                                               : ErrorTarget::kFile;
  ArmInterruptLine(compose, context, error_, target);
}

// --- The end of the program -------------------------------------------------------------

bool Win32Device::WindowClosesAtEnd() { return WindowGoesWithProgram(input_, output_); }

// Below everything: the held lines first, then this one, at its start.
void Win32Device::WaitForKeyAtEnd(const std::string& line) {
  ShowHeld();
  held_.Forget();
  RemoveControlHandler();
  WriteHeldErrorLines(false);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const bool fresh_line =
      ::GetConsoleScreenBufferInfo(output_, &info) && info.dwCursorPosition.X == 0;
  WriteConsoleText(output_, (fresh_line ? "" : "\r\n") + line);
  WaitForKeyPress(input_);
}

// --- System ---------------------------------------------------------------------------------

bool Win32Device::AddControlHandler(ControlHandler handler, void* context) {
  g_control_context.store(context);
  g_control_handler.store(handler);
  if (handler_added_) return true;
  handler_added_ = ::SetConsoleCtrlHandler(ControlTrampoline, TRUE) != FALSE;
  return handler_added_;
}

void Win32Device::RemoveControlHandler() {
  if (handler_added_) ::SetConsoleCtrlHandler(ControlTrampoline, FALSE);
  handler_added_ = false;
  g_control_handler.store(nullptr);
  g_control_context.store(nullptr);
}

void Win32Device::Beep(int frequency, int milliseconds) {
  ShowHeld();
  ::Beep(static_cast<DWORD>(std::max(frequency, 0)), static_cast<DWORD>(std::max(milliseconds, 0)));
}

void Win32Device::Sleep(int milliseconds) {
  ShowHeld();
  ::Sleep(static_cast<DWORD>(std::max(milliseconds, 0)));
}

}  // namespace

std::unique_ptr<Device> MakePlatformDevice() { return std::make_unique<Win32Device>(); }

}  // namespace console
