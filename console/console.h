// Channel 0, the console: clear screen, place cursor, console print and
// prompted input, on a console or on redirected standard streams.
//
// Library console, the portable engine: this channel over the screen, the
// keyboard with its key codes, and the line reader, all acting through the
// device seam (device.h).  The devices sit in folders of their own, which
// this library never includes: vt/, win32/, and testing/ for tests.
#ifndef PATCONV_CONSOLE_CONSOLE_H_
#define PATCONV_CONSOLE_CONSOLE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "console/device.h"
#include "console/keyboard.h"
#include "console/line_reader.h"
#include "console/screen.h"
#include "textio/channels.h"
#include "textio/decoding_source.h"
#include "textio/text_input.h"

namespace console {

class Console final : public textio::ChannelKind, public LineConsole {
 public:
  /// Redirected standard output is gathered up to this many bytes before a
  /// write, so that printing costs no system call per print.
  static constexpr size_t kStdoutBufferSize = 64 * 1024;

  /// Nothing is done to the console before the first console operation.
  Console(Device& device, textio::Channels& channels);
  /// Writes what is still held back for standard output.
  ~Console() override;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  /// Blanks the text view and puts the cursor at row 1, column 1; nothing
  /// when standard output is not a console.
  void ClearScreen();
  /// See Screen::PlaceCursor.
  int PlaceCursor(int row, int column, int visibility) override;
  /// Console print: bytes drawn on a console or written unchanged to a
  /// redirected standard output.  An empty run does nothing unless forced;
  /// a forced empty print carries out a pending line feed.
  void Print(std::string_view bytes, bool force = false);
  /// Prompted input.  On a console: the prompt, "? " when `question` is
  /// set, a typed line, CR LF when `line_end` is set; the line becomes the
  /// answer line for read field.  On a redirected standard input nothing is
  /// shown and read field takes the next field of standard input.
  int PromptedInput(std::string_view prompt, bool question, bool line_end);
  /// A question answered before it is asked (a name given on the command
  /// line), shown as prompted input shows a typed answer: on a console the
  /// prompt, "? " when `question` is set, the answer as the line that would
  /// have been typed (Device::NativeToTypedLine; control bytes as '?'), and
  /// CR LF when `line_end` is set.  Nothing shows when standard input is not
  /// a console, as for an answer read from it.
  void ShowAnswered(std::string_view prompt, bool question, bool line_end,
                    const std::string& answer);
  /// A read of the redirected standard input has met its end.
  bool StdinEnded() const { return stdin_input_.ended(); }
  /// Writes what is held back for a redirected standard output.
  void FlushOutput();

  /// Reads one typed line with echo and editing (the console line reader);
  /// `lead` is what was printed just before it on its row (see
  /// LineReader::Read).
  std::string ReadLine(std::string_view lead = {});

  // --- What the line reader uses ---------------------------------------------
  Position ConsoleSize() override { return screen_.CurrentSize(); }
  Position CursorPosition() override { return screen_.CursorPosition(); }
  long RowsScrolled() const override { return screen_.rows_scrolled(); }
  /// A place outside the text view leaves the cursor where it is.
  void CursorAdvance(int d, Position from, Position size) override;
  void Echo(std::string_view bytes) override { Print(bytes); }
  /// Shows held-back output first.
  int WaitKey() override;
  void Beep(int frequency, int milliseconds) override { device_.Beep(frequency, milliseconds); }

  Keyboard& keyboard() { return keyboard_; }
  Screen& screen() { return screen_; }

  // --- Channel 0's operations ------------------------------------------------
  int EndTest(const textio::ChannelRecord& record) override;
  textio::TextInput* input() override { return &stdin_input_; }
  /// Standard input as a source file rather than answers, before anything
  /// of it has been read: a text marked as UTF-8 or UTF-16 is converted to
  /// Windows-1251, as a file's is.
  textio::TextInput* SourceInput() {
    stdin_marks_.ConvertMarkedText();
    return &stdin_input_;
  }
  size_t Write(const char* data, size_t size) override;
  std::string Close() override { return {}; }

 private:
  // The raw bytes of a redirected standard input.
  class StdinSource final : public textio::ByteSource {
   public:
    explicit StdinSource(Device& device) : device_(device) {}
    long Read(char* data, size_t size, int* error) override;

   private:
    Device& device_;
  };

  void SetUp();
  /// Prints to a redirected standard output from now on.
  void StartRedirected();
  void WriteRedirected(std::string_view bytes);

  Device& device_;
  textio::Channels& channels_;
  Screen screen_;
  Keyboard keyboard_;
  StdinSource stdin_source_;
  // A byte-order mark (Notepad's) is no part of the first answer; answers
  // in UTF-16 come as UTF-8.
  textio::DecodingSource stdin_marks_;
  textio::TextInput stdin_input_;
  bool set_up_ = false;
  // Output held back for a redirected standard output: from its start to
  // put_ (channel 0's put area, which prints fill directly).
  std::unique_ptr<char[]> held_output_;
  bool redirected_ = false;  // standard output was not a console at set-up
};

}  // namespace console

#endif  // PATCONV_CONSOLE_CONSOLE_H_
