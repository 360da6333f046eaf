// The terminal device: the console primitives over a POSIX terminal.
//
// The screen is an in-memory model (VtScreen) that a renderer brings the
// terminal in line with; keys are decoded from the bytes the terminal sends
// (TerminalInput).  The device adds what only a real terminal has: raw
// mode, the terminal's size, its signals, and putting everything back on
// every way out of the process; the process-wide part of that is
// terminal_state.  What it draws is gathered in an OutputBatch and written
// with WriteAll (terminal_output).
//
// Library console_vt, POSIX builds only: this device, its input, output and
// process-wide state, the screen model and its renderer (vt_screen), the key
// decoder (vt_input_decoder) and the terminal's charset (terminal_charset).
// The program makes the device through MakePlatformDevice (device.h).
#ifndef PATCONV_CONSOLE_VT_VT_DEVICE_H_
#define PATCONV_CONSOLE_VT_VT_DEVICE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "console/device.h"
#include "console/key_map.h"
#include "console/vt/terminal_charset.h"
#include "console/vt/terminal_input.h"
#include "console/vt/terminal_output.h"
#include "console/vt/vt_screen.h"

namespace console {

/// The device over the process's terminal; one per process, made by
/// MakePlatformDevice.  Also works with standard input or output redirected
/// (it then reads or draws nothing there).
class VtDevice final : public Device {
 public:
  VtDevice();
  ~VtDevice() override;
  VtDevice(const VtDevice&) = delete;
  VtDevice& operator=(const VtDevice&) = delete;

  bool GetInputMode(uint32_t* mode) override {
    if (input_.tty()) *mode = input_mode_;
    return input_.tty();
  }
  bool SetInputMode(uint32_t mode) override;
  bool NextInputEvent(InputEvent* event) override;
  long ReadStdin(char* data, size_t size) override;

  bool GetBufferInfo(BufferInfo* info) override;
  bool FillCharacter(char character, int length, Coord at) override {
    return EnsureScreen() && screen_->FillCharacter(character, length, at);
  }
  bool FillAttribute(uint16_t attribute, int length, Coord at) override {
    return EnsureScreen() && screen_->FillAttribute(attribute, length, at);
  }
  bool WriteCells(const char* characters, int length, uint16_t attribute, Coord at) override {
    return EnsureScreen() && screen_->WriteCells(characters, length, attribute, at);
  }
  bool ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) override {
    return EnsureScreen() && screen_->ScrollRect(source, destination, fill, attribute);
  }
  // Line feeds on the terminal's last row, which keeps the rows they push
  // off in its scroll-back; the first clear screen feeds them all.
  bool FeedLines(int last_row, int count) override {
    return EnsureScreen() && last_row == screen_->height() - 1 && screen_->FeedLines(count);
  }
  bool SetWindow(Rect window) override;
  bool SetCursorPosition(Coord at) override {
    return EnsureScreen() && screen_->SetCursorPosition(at);
  }
  bool GetCursorVisible(bool* visible) override {
    if (!EnsureScreen()) return false;
    *visible = screen_->cursor_visible();
    return true;
  }
  bool SetCursorVisible(bool visible) override {
    if (!EnsureScreen()) return false;
    screen_->SetCursorVisible(visible);
    return true;
  }
  void Flush() override;
  long WriteStdout(const char* data, size_t size) override;

  // A terminal sends no close or logoff events: the handler is only kept.
  bool AddControlHandler(ControlHandler handler, void* context) override {
    control_handler_ = handler;
    control_context_ = context;
    return true;
  }
  void RemoveControlHandler() override { AddControlHandler(nullptr, nullptr); }
  void Beep(int frequency, int milliseconds) override;
  void Sleep(int milliseconds) override;
  /// Sleeps until a key, a signal or a resize comes: a timed wait only
  /// while the key decoder holds something back.
  void WaitForInput(int poll_ms) override;
  const KeyMap& key_map() const override { return UsKeyMap(); }
  // File names are in the charset of the terminal's locale.
  std::string TypedLineToNative(const std::string& line) const override {
    return charset_->FromCp1251(line);
  }
  std::string NativeToTypedLine(const std::string& name) const override {
    return charset_->ToCp1251(name);
  }
  bool StdoutIsTerminal() const override { return stdout_tty_; }
  void WriteErrorLine(const std::string& line) override;
  void SetInterruptLine(LineComposer compose, const void* context) override;

  /// Shows what is still unwritten and puts the terminal back, then writes
  /// the lines held for standard error; idempotent.  The device draws and
  /// reads no more afterwards.
  void Close();

 private:
  // The device's life, one way through:
  //   kMade      the terminal as it was found (its input may be raw already);
  //   kDrawing   set up for drawing at the first byte rendered for it, the
  //              start bytes sent;
  //   kGone      a write failed: the terminal hung up, and nothing more is
  //              written to it (the next read ends the process);
  //   kReleased  Close: the terminal put back; nothing more is drawn or read.
  // A stop and continue by job control, and an ending signal, are handled
  // in terminal_state: its handlers put the terminal back (and after a stop
  // set it up again, for ServiceSignals to repaint).
  enum class Phase { kMade, kDrawing, kGone, kReleased };

  bool EnsureScreen();
  void BeginDrawing();
  void TakeScreenOutput();
  void Render();
  void WriteBatch();
  void ShowEverything();
  void ServiceSignals();
  void Wait(int64_t timeout_ms);
  void NoteTerminalState();
  [[noreturn]] void HangUp();

  bool stdout_tty_;
  bool stdout_may_wait_;  // a pipe, a FIFO, a terminal: not a regular file
  std::unique_ptr<TerminalCharset> charset_;
  TerminalInput input_;
  bool linux_console_;
  uint32_t input_mode_ = 0x01F7;  // what a Windows console starts with
  Phase phase_ = Phase::kMade;
  bool resize_event_ = false;  // an input event for a resize is due
  // Standard error is the terminal drawn on: its lines wait for Close.
  bool errors_wait_;
  std::string held_errors_;
  // The window is the rows of the buffer the engine's text view uses: the
  // terminal's height at the start.  A taller terminal gives the buffer
  // more rows below, which the window moves down through as output scrolls.
  int window_top_ = 0;
  int window_rows_ = 0;
  std::unique_ptr<VtScreen> screen_;
  OutputBatch batch_;
  ControlHandler control_handler_ = nullptr;
  void* control_context_ = nullptr;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_VT_DEVICE_H_
