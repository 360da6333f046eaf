// Fuzz target: the terminal input decoder under arbitrary bytes and clock
// steps.
//
// The input is a script: the first byte picks the options (the terminal's
// charset UTF-8 or GB18030, whose characters run to four bytes with ASCII
// among them; the erase character 0x7F or 0x08); then each byte below 0xC0 feeds the
// next 1 to 8 bytes at the current time, and each byte from 0xC0 up lets
// the clock go forward by one of a few steps around the decoder's waits
// (0 to 1000 ms), with an explicit Tick when bit 4 is set.
//
// Properties:
//   a. Only well-formed key event records come out: every key goes down and
//      comes straight back up (the up record equal to the down one but for
//      key_down), with a repeat count of 1 and no control bits but left Alt,
//      left Ctrl, Shift, Num Lock and the enhanced-key bit; the one
//      exception is an Alt+keypad number: Alt (VK_MENU) down, keypad digits
//      with left Alt alone and no character, then Alt up with no bits set.
//      A key marked outside_cp1251 carries no character.
//   b. No more keys go down than bytes were fed (a byte starts at most one
//      key; an ESC that starts nothing is one Escape key).
//   c. After Feed or Tick at time t, Deadline() is -1 or lies in
//      (t, t + 500]: never more than the longest wait (the Alt-number idle
//      time) ahead, and never already past.
//   d. When the clock has passed every deadline, nothing stays pending:
//      Deadline() is -1 and any Alt+keypad number has been closed.
//   e. Reports the terminal sent (mode states, device attributes) take at
//      least four bytes each and carry numbers of at most three digits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/key_event.h"
#include "console/key_map.h"
#include "console/vt/terminal_charset.h"
#include "console/vt/vt_input_decoder.h"
#include "fuzz/fuzz_input.h"

namespace {

using console::KeyEvent;
using fuzz::Check;

constexpr uint32_t kKnownBits = console::kLeftAltPressed | console::kLeftCtrlPressed |
                                console::kShiftPressed | console::kNumLockOn |
                                console::kEnhancedKey;
constexpr int64_t kSteps[16] = {0,  1,   5,   10,  20,  49,  50,  51,
                                99, 100, 101, 250, 499, 500, 501, 1000};

// Follows the records one by one and checks their grammar.
class RecordChecker {
 public:
  void Take(const KeyEvent& r) {
    Check(r.repeat_count == 1, "every record has a repeat count of 1");
    Check((r.control_state & ~kKnownBits) == 0, "only known control bits are set");
    Check(!r.outside_cp1251 || r.character == 0, "a character outside Windows-1251 is no byte");
    if (r.key_down) {
      Check(!waiting_up_, "a key comes back up before the next goes down");
      if (r.virtual_key == console::kVkMenu) {
        Check(!alt_open_, "Alt goes down once per number");
        Check(
            r.scan_code == 0x38 && r.character == 0 && r.control_state == console::kLeftAltPressed,
            "Alt down of an Alt+keypad number");
        alt_open_ = true;
        return;
      }
      if (alt_open_) {
        Check(r.virtual_key >= console::kVkNumpad0 && r.virtual_key <= console::kVkNumpad9 &&
                  r.character == 0 && r.control_state == console::kLeftAltPressed,
              "only keypad digits with left Alt go down while Alt is held");
      }
      ++presses_;
      down_ = r;
      waiting_up_ = true;
      return;
    }
    if (waiting_up_) {
      KeyEvent expected = down_;
      expected.key_down = false;
      Check(r == expected, "a key's up record equals its down record");
      waiting_up_ = false;
      return;
    }
    Check(alt_open_ && r.virtual_key == console::kVkMenu && r.scan_code == 0x38 &&
              r.character == 0 && r.control_state == 0,
          "the only other up record is Alt's, closing a number");
    alt_open_ = false;
  }

  bool waiting_up() const { return waiting_up_; }
  bool alt_open() const { return alt_open_; }
  size_t presses() const { return presses_; }

 private:
  bool alt_open_ = false;
  bool waiting_up_ = false;
  KeyEvent down_;
  size_t presses_ = 0;
};

void Drain(console::VtInputDecoder& decoder, RecordChecker& checker, size_t* reports) {
  KeyEvent record;
  while (decoder.Next(&record)) checker.Take(record);
  Check(!checker.waiting_up(), "down and up records come out together");
  console::VtInputDecoder::Report report;
  while (decoder.NextReport(&report)) {
    ++*reports;
    Check(report.mode >= 0 && report.mode <= 999 && report.value >= 0 && report.value <= 999,
          "a report's numbers have at most three digits");
  }
}

void CheckDeadline(const console::VtInputDecoder& decoder, int64_t now) {
  const int64_t deadline = decoder.Deadline();
  Check(deadline == -1 ||
            (deadline > now && deadline <= now + console::VtInputDecoder::kAltNumberIdleMs),
        "the deadline is -1 or within the longest wait ahead");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input(data, size);
  console::VtInputDecoder::Options options;
  const uint8_t setup = input.Byte();
  static const console::TerminalCharset* const gb18030 =
      console::TerminalCharset::Named("GB18030").release();
  if ((setup & 1) == 0 && gb18030 != nullptr) options.charset = gb18030;
  options.erase_character = (setup & 2) != 0 ? 0x08 : 0x7F;
  console::VtInputDecoder decoder(console::UsKeyMap(), options);
  RecordChecker checker;

  int64_t now = 1000;
  size_t fed = 0;
  size_t reports = 0;
  while (!input.empty()) {
    const uint8_t op = input.Byte();
    if (op < 0xC0) {
      const std::string_view bytes = input.Bytes(op % 8 + 1u);
      decoder.Feed(bytes.data(), bytes.size(), now);
      fed += bytes.size();
    } else {
      now += kSteps[op & 0x0F];
      if ((op & 0x10) == 0) continue;  // time passes unseen until the next call
      decoder.Tick(now);
    }
    CheckDeadline(decoder, now);
    Drain(decoder, checker, &reports);
    Check(checker.presses() <= fed, "no more keys go down than bytes were fed");
    Check(reports * 4 <= fed, "a report takes at least four bytes");
  }
  now += 10 * console::VtInputDecoder::kAltNumberIdleMs;
  decoder.Tick(now);
  Check(decoder.Deadline() == -1, "nothing waits once every deadline has passed");
  Drain(decoder, checker, &reports);
  Check(!checker.alt_open(), "an Alt+keypad number is closed once its wait has passed");
  Check(checker.presses() <= fed, "no more keys go down than bytes were fed");
  return 0;
}
