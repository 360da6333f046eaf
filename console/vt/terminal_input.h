// What the terminal sends on standard input: key records decoded from its
// bytes (VtInputDecoder), and its answers to the questions the terminal
// device asks it when it starts drawing.
#ifndef PATCONV_CONSOLE_VT_TERMINAL_INPUT_H_
#define PATCONV_CONSOLE_VT_TERMINAL_INPUT_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "console/key_event.h"
#include "console/vt/terminal_charset.h"
#include "console/vt/vt_input_decoder.h"

namespace console {

/// Standard input when it is a terminal.  Every read may find that the
/// terminal has gone away (an end of file in raw mode, a hang-up, an I/O
/// error); the call then returns false and the caller ends the process.
class TerminalInput {
 public:
  /// `tty`: standard input is a terminal (else nothing is ever read here).
  /// `charset` is the terminal's and must outlive this.  Reads the modes
  /// the terminal was found in (for its erase character, which is
  /// Backspace).
  TerminalInput(bool tty, const TerminalCharset* charset);
  TerminalInput(const TerminalInput&) = delete;
  TerminalInput& operator=(const TerminalInput&) = delete;

  /// Standard input is a terminal.
  bool tty() const { return tty_; }
  /// The terminal is in raw mode: keys byte by byte, no echo.
  bool raw() const { return raw_; }
  void set_raw() { raw_ = true; }
  /// Nothing more is read from the terminal (it has been put back).
  void Stop() { reading_ = false; }

  /// Takes what the terminal has sent, without waiting, unless keys read
  /// before are still waiting: while the engine has no room for keys, they
  /// stay in the terminal.  True unless the terminal has gone away.
  bool Poll();
  /// The next key record (an Escape alone once its time to settle is up);
  /// false when there is none.
  bool NextKey(KeyEvent* key);
  /// Keys read are waiting.
  bool has_keys() const { return decoder_.has_records(); }
  /// Waits until the terminal sends something or `wake_fd` (-1: none) is
  /// readable, at most `timeout_ms` (kNoTimeLimit: as long as it takes) and
  /// no longer than what the decoder holds back takes to settle (a lone
  /// Escape, an Alt+keypad number), and takes what the terminal sent.  True
  /// unless the terminal has gone away.
  bool Wait(int64_t timeout_ms, int wake_fd);
  static constexpr int64_t kNoTimeLimit = -1;

  /// The questions for the terminal, the first time: whether its cursor is
  /// shown (DECRQM), so that it is left so, then its device attributes,
  /// whose answer says that no other is coming.  Empty once asked.
  std::string_view Ask();
  /// Waits up to kAnswerWaitMs for the answers not come yet, so that none
  /// reaches the shell once the terminal is given back; keys read
  /// meanwhile are dropped.  True unless the terminal has gone away.
  bool AwaitAnswers();

  /// How long AwaitAnswers waits.
  static constexpr int64_t kAnswerWaitMs = 500;

 private:
  enum class Questions { kNotAsked, kAsked, kAnswered };

  static VtInputDecoder::Options DecoderOptions(bool tty, const TerminalCharset* charset);
  bool Read(short poll_events);
  void TakeReports();

  const bool tty_;
  bool raw_ = false;
  bool reading_ = true;
  Questions questions_ = Questions::kNotAsked;
  VtInputDecoder decoder_;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_TERMINAL_INPUT_H_
