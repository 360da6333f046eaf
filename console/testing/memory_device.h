// A console in memory, for tests: a screen buffer with a window, cursor and
// attribute, scripted input events, and logs of tones and pauses.  It acts
// like the Windows console primitives it stands for, so the engine can be
// tested by the screen it leaves behind.
//
// Library console_testing, linked by tests and fuzz targets only: this
// device and the test rig (rig.h).
#ifndef PATCONV_CONSOLE_TESTING_MEMORY_DEVICE_H_
#define PATCONV_CONSOLE_TESTING_MEMORY_DEVICE_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/device.h"

namespace console {

class MemoryDevice final : public Device {
 public:
  struct Options {
    int width = kDefaultWidth;    // buffer width
    int height = kDefaultHeight;  // window rows
    int buffer_height = 0;        // buffer rows; 0: as many as the window
    int window_top = 0;           // first row of the window in the buffer
    int max_window_width = 0;     // widest window allowed; 0: the buffer width
    bool stdin_console = true;
    bool stdout_console = true;
    uint16_t attribute = kDefaultAttribute;
  };

  explicit MemoryDevice(Options options);
  MemoryDevice() : MemoryDevice(Options()) {}

  // --- Device ------------------------------------------------------------------
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
  void Flush() override { ++flushes_; }
  long WriteStdout(const char* data, size_t size) override;
  void WriteErrorLine(const std::string& line) override { error_lines_.push_back(line); }
  bool AddControlHandler(ControlHandler handler, void* context) override;
  void RemoveControlHandler() override;
  void Beep(int frequency, int milliseconds) override;
  void Sleep(int milliseconds) override;
  const KeyMap& key_map() const override;
  std::string TypedLineToNative(const std::string& line) const override { return line; }
  std::string NativeToTypedLine(const std::string& name) const override { return name; }
  bool StdoutIsTerminal() const override { return stdout_console_; }
  bool WindowClosesAtEnd() override { return window_closes_at_end; }
  void WaitForKeyAtEnd(const std::string& line) override { key_waits_.push_back(line); }

  // --- Input the test supplies ---------------------------------------------------
  /// Queues the key events of a key script: plain characters, and names in
  /// braces with optional modifiers: {Enter} {Esc} {Tab} {Backspace} {Home}
  /// {End} {Left} {Right} {Up} {Down} {Insert} {Delete} {PgUp} {PgDn} {F1}..
  /// {F12}, {Ctrl+Left}, {Shift+Tab}, {Alt+Enter}, {Ctrl+H}, {AltNum:233}
  /// (Alt held while 2, 3, 3 are typed on the keypad), {NotCp1251} (the key
  /// of a character Windows-1251 lacks, as the devices report it).
  void Type(std::string_view script);
  void AddEvent(const InputEvent& event) { events_.push_back(event); }
  void SetStdin(std::string bytes) { stdin_ = std::move(bytes); }
  /// Runs when the engine sleeps with no input left; by default it fails
  /// the wait (throws) so a test cannot hang.
  void SetIdleHook(std::function<void()> hook) { idle_hook_ = std::move(hook); }
  /// Runs at each tone, after it is logged, so a test can look at the
  /// screen as it stands when the tone sounds.
  void SetBeepHook(std::function<void()> hook) { beep_hook_ = std::move(hook); }

  // --- What the test looks at ----------------------------------------------------
  /// A buffer row's text, trailing blanks removed.
  std::string Row(int y) const;
  /// The rows of the window, trailing blanks removed.
  std::vector<std::string> WindowRows() const;
  char CharacterAt(int x, int y) const;
  uint16_t AttributeAt(int x, int y) const;
  Coord cursor() const { return cursor_; }
  bool cursor_visible() const { return cursor_visible_; }
  Rect window() const { return window_; }
  const std::vector<std::string>& history() const { return history_; }
  uint32_t input_mode() const { return input_mode_; }
  const std::string& stdout_bytes() const { return stdout_; }
  const std::vector<std::string>& error_lines() const { return error_lines_; }
  const std::vector<std::pair<int, int>>& beeps() const { return beeps_; }
  int sleeps() const { return sleeps_; }
  /// The length asked for by each pause, in order.
  const std::vector<int>& sleep_lengths() const { return sleep_lengths_; }
  int flushes() const { return flushes_; }
  /// The line of each wait for a key at the end.
  const std::vector<std::string>& key_waits() const { return key_waits_; }
  int cell_writes() const { return cell_writes_; }
  /// Calls of WriteStdout, failed ones included.
  int stdout_writes() const { return stdout_writes_; }
  /// Calls that asked to write cells, scroll or place the cursor outside the
  /// buffer (refused or clipped); the engine should make none.
  int out_of_buffer_calls() const { return out_of_buffer_calls_; }
  bool handler_registered() const { return handler_ != nullptr; }
  size_t events_left() const { return events_.size(); }
  /// Calls the registered control handler as the system would.
  bool SendControlEvent(uint32_t event);

  // --- Changes the test makes ------------------------------------------------------
  /// The user resized the window to rows [top, bottom] of the buffer.
  void MoveWindow(int top, int bottom) { window_.top = top, window_.bottom = bottom; }
  /// Fills a buffer row with text, as earlier output would have left it.
  void PutRow(int y, std::string_view text);
  bool fail_buffer_info = false;
  bool host_history = false;  ///< FeedLines works; the rows it pushes off go to history()
  bool fail_cell_writes = false;
  /// The one cell write that fails, counting from 1; 0: none.
  int fail_cell_write_number = 0;
  bool fail_stdout = false;
  /// The window goes with the program, as a Windows console's may.
  bool window_closes_at_end = false;
  /// The most bytes one WriteStdout takes (a partial write); 0: all.
  size_t stdout_chunk = 0;

 private:
  struct Cell {
    char character = ' ';
    uint16_t attribute = kDefaultAttribute;
  };
  bool Inside(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }
  /// Counts a call that reaches outside the buffer: a run of `length` cells
  /// from `at`, row by row, or one cell when `length` is 1.
  void NoteReach(Coord at, int length);
  Cell& At(int x, int y) { return cells_[static_cast<size_t>(y * width_ + x)]; }
  const Cell& At(int x, int y) const { return cells_[static_cast<size_t>(y * width_ + x)]; }
  void TypeKey(std::string_view name);

  int width_;
  int height_;
  int max_window_width_;
  std::vector<Cell> cells_;
  Rect window_;
  Coord cursor_;
  bool cursor_visible_ = true;
  uint16_t attribute_;
  bool stdin_console_;
  bool stdout_console_;
  uint32_t input_mode_ = 0x01F7;
  std::deque<InputEvent> events_;
  std::string stdin_;
  size_t stdin_offset_ = 0;
  std::string stdout_;
  std::vector<std::string> error_lines_;
  std::vector<std::string> history_;
  std::vector<std::string> key_waits_;
  std::vector<std::pair<int, int>> beeps_;
  int sleeps_ = 0;
  std::vector<int> sleep_lengths_;
  int flushes_ = 0;
  int cell_writes_ = 0;
  int cell_write_calls_ = 0;
  int stdout_writes_ = 0;
  int out_of_buffer_calls_ = 0;
  ControlHandler handler_ = nullptr;
  void* handler_context_ = nullptr;
  std::function<void()> idle_hook_;
  std::function<void()> beep_hook_;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_TESTING_MEMORY_DEVICE_H_
