// Key decoding for VT terminals (xterm, VTE, Konsole, tmux, rxvt, the Linux
// console).  Accepted input, CSI = ESC [, SS3 = ESC O:
//
//   input     := key*
//   key       := ESC ESC? sequence         ; the extra ESC adds Alt
//              | ESC ESC                   ; two Escapes (not followed by [ or O)
//              | ESC char                  ; char with Alt
//              | ESC digit                 ; Alt+keypad digit (Alt-number entry)
//              | ESC                       ; Escape, when nothing follows in 50 ms
//              | char
//   char      := 0x0D Enter | 0x0A Ctrl+Enter | 0x09 Tab
//              | VERASE Backspace | 0x08 Backspace | 0x7F Backspace, or
//                Ctrl+Backspace when VERASE is 0x08
//              | 0x00-0x1F Ctrl+@, Ctrl+A..Z, Ctrl+\ ] ^ _
//              | 0x20-0x7E | a character in the terminal's charset (its
//                bytes start from 0x80 up), as its Windows-1251 byte; one
//                that Windows-1251 lacks as a record marked outside_cp1251
//   sequence  := a key's CSI or SS3 sequence (vt_key_sequences.h)
//
// Everything else that starts with ESC [ or ESC O is dropped up to its final
// byte.  A sequence waits 100 ms for each next byte; a byte that cannot go on
// aborts it (the byte itself is decoded afresh).  When the wait runs out,
// ESC [ and ESC O alone are Alt+[ and Alt+O; longer pieces are dropped.
//
// What the terminal sends of its own is consumed whole and never typed:
//
//   report    := CSI M b x y                  ; X10 mouse: three raw bytes, or
//                                             ;   three UTF-8 characters (mode 1005)
//              | CSI ? mode ; value $ y        ; a private mode's state (DECRPM)
//              | CSI ? ... c                   ; primary device attributes
//              | any other CSI or SS3 sequence that is no key (SGR mouse,
//                focus, cursor reports ...)
//   string    := (ESC ] | ESC P | ESC _ | ESC ^ | ESC X) any* (BEL | ESC \)
//                                             ; OSC, DCS, APC, PM, SOS
//
// A string waits 50 ms for its first byte and 100 ms for each next one;
// when nothing came after its introducer it was Alt with that key.  An ESC
// inside a string that is not ST ends it and starts afresh, and a string
// longer than 4096 bytes is given up: the bytes after that are keys again.
// ESC [ M followed by a byte of 0xC2-0xDF and a continuation byte is read as
// one UTF-8 coordinate, which a raw X10 report beyond column or row 161 can
// look like too; terminals that large with a mouse left on are not served.
#include "console/vt/vt_input_decoder.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "console/vt/vt_key_sequences.h"
#include "textio/cp1251.h"

namespace console {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr uint32_t kModifierMask = kAltPressed | kCtrlPressed | kShiftPressed;

}  // namespace

VtInputDecoder::VtInputDecoder(const KeyMap& key_map, Options options)
    : key_map_(key_map), options_(options) {}

void VtInputDecoder::Feed(const char* data, size_t size, int64_t now_ms) {
  Tick(now_ms);  // what timed out before these bytes came is settled first
  for (size_t i = 0; i < size; ++i) {
    held_since_ = now_ms;
    TakeByte(static_cast<unsigned char>(data[i]));
    if (alt_number_open_) alt_number_since_ = now_ms;
  }
}

void VtInputDecoder::Tick(int64_t now_ms) {
  for (;;) {
    const int64_t deadline = Deadline();
    if (deadline < 0 || deadline > now_ms) return;
    if (stage_ != Stage::kGround && HeldDeadline() <= now_ms) {
      Expire();
    } else {
      CloseAltNumber();
    }
  }
}

int64_t VtInputDecoder::Deadline() const {
  int64_t deadline = stage_ == Stage::kGround ? -1 : HeldDeadline();
  if (alt_number_open_) {
    const int64_t idle = alt_number_since_ + kAltNumberIdleMs;
    deadline = deadline < 0 ? idle : std::min(deadline, idle);
  }
  return deadline;
}

bool VtInputDecoder::Next(KeyEvent* event) {
  if (ready_.empty()) return false;
  *event = ready_.front();
  ready_.pop_front();
  return true;
}

bool VtInputDecoder::NextReport(Report* report) {
  if (reports_.empty()) return false;
  *report = reports_.front();
  reports_.pop_front();
  return true;
}

int64_t VtInputDecoder::HeldDeadline() const {
  const bool escape_only = stage_ == Stage::kEscape || stage_ == Stage::kEscapeEscape ||
                           (stage_ == Stage::kString && string_bytes_ == 0);
  return held_since_ + (escape_only ? kEscapeWaitMs : kSequenceWaitMs);
}

// --- Bytes ------------------------------------------------------------------

void VtInputDecoder::TakeByte(unsigned char byte) {
  switch (stage_) {
    case Stage::kGround: TakeGround(byte); break;
    case Stage::kEscape: TakeAfterEscape(byte); break;
    case Stage::kEscapeEscape: TakeAfterEscapeEscape(byte); break;
    case Stage::kCsi: TakeCsiByte(byte); break;
    case Stage::kCsiLinux: TakeLinuxByte(byte); break;
    case Stage::kSs3: TakeSs3Byte(byte); break;
    case Stage::kCharacter: TakeCharacterByte(byte); break;
    case Stage::kString: TakeStringByte(byte); break;
    case Stage::kStringEscape: TakeStringEscapeByte(byte); break;
    case Stage::kMouse: TakeMouseByte(byte); break;
  }
}

void VtInputDecoder::TakeGround(unsigned char byte) {
  if (byte == kEsc) {
    stage_ = Stage::kEscape;
  } else if (byte >= 0x80) {
    StartCharacter(byte, false);
  } else {
    Deliver(ByteKey(key_map_, options_.erase_character, byte));
  }
}

void VtInputDecoder::TakeAfterEscape(unsigned char byte) {
  stage_ = Stage::kGround;
  if (byte == '[') {
    StartSequence(Stage::kCsi, false);
  } else if (byte == 'O') {
    StartSequence(Stage::kSs3, false);
  } else if (byte == kEsc) {
    stage_ = Stage::kEscapeEscape;
  } else if (byte == ']' || byte == 'P' || byte == '_' || byte == '^' || byte == 'X') {
    StartString(byte);
  } else if (byte >= '0' && byte <= '9') {
    // Terminals send Alt+keypad digits as ESC digit.
    KeyEvent key = KeypadDigit(byte - '0');
    AddModifiers(kLeftAltPressed, &key);
    Deliver(key);
  } else if (byte >= 0x80) {
    StartCharacter(byte, true);
  } else {
    Deliver(AltByteKey(key_map_, options_.erase_character, byte));
  }
}

void VtInputDecoder::TakeAfterEscapeEscape(unsigned char byte) {
  if (byte == '[' || byte == 'O') {
    StartSequence(byte == '[' ? Stage::kCsi : Stage::kSs3, true);
    return;
  }
  // The first ESC prefixes nothing: it was the Escape key.
  Deliver(EscapeKey());
  TakeAfterEscape(byte);
}

void VtInputDecoder::StartSequence(Stage stage, bool alt) {
  stage_ = stage;
  alt_prefix_ = alt;
  body_size_ = 0;
  body_overflow_ = false;
}

void VtInputDecoder::AppendBody(unsigned char byte) {
  if (body_size_ < kMaxBody) {
    body_[body_size_++] = byte;
  } else {
    body_overflow_ = true;  // swallowed up to the final byte, then dropped
  }
}

void VtInputDecoder::TakeCsiByte(unsigned char byte) {
  const bool empty = body_size_ == 0 && !body_overflow_;
  // A private marker (< = > ?) first: a report, in which '$' is an
  // intermediate byte (DECRPM) rather than the end of rxvt's Shift form.
  const bool report = body_size_ > 0 && body_[0] >= 0x3C && body_[0] <= 0x3F;
  if (byte < 0x20 || byte > 0x7E) {
    Abort(byte);
  } else if (byte == '[' && empty) {
    stage_ = Stage::kCsiLinux;
  } else if (byte == 'M' && empty) {
    StartMouseReport();
  } else if (byte >= 0x40 || (byte == '$' && !report)) {
    stage_ = Stage::kGround;
    FinishSequence(true, byte);
  } else {
    AppendBody(byte);  // parameter or intermediate byte
  }
}

void VtInputDecoder::TakeSs3Byte(unsigned char byte) {
  if ((byte >= '0' && byte <= '9') || byte == ';') {
    AppendBody(byte);
  } else if (byte >= 0x40 && byte <= 0x7E) {
    stage_ = Stage::kGround;
    FinishSequence(false, byte);
  } else {
    Abort(byte);
  }
}

void VtInputDecoder::TakeLinuxByte(unsigned char byte) {
  if (byte < 0x40 || byte > 0x7E) {
    Abort(byte);
    return;
  }
  stage_ = Stage::kGround;
  if (byte < 'A' || byte > 'E') {
    Drop();
    return;
  }
  KeyEvent key = FunctionKey(byte - 'A' + 1);
  AddModifiers(alt_prefix_ ? kLeftAltPressed : 0, &key);
  Deliver(key);
}

void VtInputDecoder::Abort(unsigned char byte) {
  Drop();
  TakeGround(byte);  // an ESC starts over, anything else is a key of its own
}

// --- Characters -------------------------------------------------------------

void VtInputDecoder::StartCharacter(unsigned char byte, bool alt) {
  alt_prefix_ = alt;
  character_size_ = 0;
  stage_ = Stage::kCharacter;
  AddCharacterByte(byte);
}

void VtInputDecoder::AddCharacterByte(unsigned char byte) {
  character_[character_size_++] = static_cast<char>(byte);
  uint32_t code_point = 0;
  switch (options_.charset->Decode(std::string_view(character_, character_size_), &code_point)) {
    case TerminalCharset::Step::kMore:
      return;  // the decoder keeps kLongestCharacter bytes from running over
    case TerminalCharset::Step::kCharacter:
      stage_ = Stage::kGround;
      DeliverCharacter(code_point);
      return;
    case TerminalCharset::Step::kInvalid: break;
  }
  // No character.  A byte that could begin something of its own (ASCII, an
  // ESC, the lead byte of the next character) cut the character short and is
  // decoded afresh; a byte that only continues one is dropped with the rest.
  const std::string_view last(&character_[character_size_ - 1], 1);
  uint32_t ignored = 0;
  const bool begins =
      byte < 0x80 || options_.charset->Decode(last, &ignored) != TerminalCharset::Step::kInvalid;
  if (character_size_ > 1 && begins) {
    Abort(byte);
  } else {
    Drop();
  }
}

void VtInputDecoder::TakeCharacterByte(unsigned char byte) {
  // A control byte continues no character in any charset: Enter, Escape or
  // Backspace right after a stray lead byte act at once.
  if (byte < 0x20 || byte == 0x7F) {
    Abort(byte);
    return;
  }
  AddCharacterByte(byte);
}

// A control character (C0, DEL, C1) never comes this way as a key: it would
// be a control byte sent in a disguise, such as an overlong form.
void VtInputDecoder::DeliverCharacter(uint32_t code_point) {
  if (code_point < 0x20 || code_point == 0x7F || (code_point >= 0x80 && code_point <= 0x9F)) {
    Drop();
    return;
  }
  const int byte_1251 = textio::UnicodeToCp1251(code_point);
  KeyEvent key;
  if (byte_1251 < 0) {
    key = KeyDown(0, 0, 0, 0);
    key.outside_cp1251 = true;
  } else {
    key = ByteKey(key_map_, options_.erase_character, static_cast<unsigned char>(byte_1251));
  }
  if (alt_prefix_) key.control_state |= kLeftAltPressed;
  Deliver(key);
}

// --- Sequences --------------------------------------------------------------

void VtInputDecoder::FinishSequence(bool csi, unsigned char final_byte) {
  if (csi && TakeReport(final_byte)) {
    Drop();
    return;
  }
  int values[2];
  const int count = body_overflow_ ? -1 : ParseParameters(body_, body_size_, values);
  KeyEvent key;
  const bool known = count >= 0 && (csi ? DecodeCsi(final_byte, count, values, &key)
                                        : DecodeSs3(final_byte, count, values, &key));
  if (!known) {
    Drop();
    return;
  }
  if (alt_prefix_) AddModifiers(kLeftAltPressed, &key);
  Deliver(key);
}

// --- Control strings and reports ----------------------------------------------

void VtInputDecoder::StartString(unsigned char introducer) {
  stage_ = Stage::kString;
  string_introducer_ = introducer;
  string_bytes_ = 0;
}

void VtInputDecoder::TakeStringByte(unsigned char byte) {
  if (byte == 0x07) {  // BEL ends it
    Drop();
  } else if (byte == kEsc) {
    stage_ = Stage::kStringEscape;
  } else if (string_bytes_ == kMaxStringBytes) {
    Abort(byte);  // too long to be a report: given up, the byte is a key
  } else {
    ++string_bytes_;
  }
}

void VtInputDecoder::TakeStringEscapeByte(unsigned char byte) {
  if (byte == '\\') {  // ST
    Drop();
    return;
  }
  // Not a string terminator: the string is given up and the ESC begins
  // whatever comes next.
  Drop();
  stage_ = Stage::kEscape;
  TakeAfterEscape(byte);
}

void VtInputDecoder::StartMouseReport() {
  stage_ = Stage::kMouse;
  mouse_items_left_ = 3;
  mouse_lead_byte_ = false;
}

// Button, column and row: each one byte, or in mode 1005 a UTF-8 character
// of one or two bytes.
void VtInputDecoder::TakeMouseByte(unsigned char byte) {
  if (mouse_lead_byte_) {
    mouse_lead_byte_ = false;
    const bool continuation = byte >= 0x80 && byte <= 0xBF;
    if (--mouse_items_left_ == 0) {
      Drop();
      if (!continuation) TakeGround(byte);  // the lead byte was the last item
      return;
    }
    if (continuation) return;
  }
  if (byte >= 0xC2 && byte <= 0xDF) {
    mouse_lead_byte_ = true;
    return;
  }
  if (--mouse_items_left_ == 0) Drop();
}

// Reports the device asked for are kept for it; the sequence is no key
// either way.
bool VtInputDecoder::TakeReport(unsigned char final_byte) {
  if (body_size_ == 0 || body_[0] != '?') return false;
  if (final_byte == 'c') {
    Report report;
    report.kind = Report::Kind::kDeviceAttributes;
    reports_.push_back(report);
    return true;
  }
  if (final_byte != 'y' || body_overflow_ || body_[body_size_ - 1] != '$') return false;
  int values[2];
  if (ParseParameters(body_ + 1, body_size_ - 2, values) != 2) return false;
  Report report;
  report.kind = Report::Kind::kPrivateMode;
  report.mode = values[0];
  report.value = values[1];
  reports_.push_back(report);
  return true;
}

// --- Timeouts ---------------------------------------------------------------

void VtInputDecoder::Expire() {
  const Stage stage = stage_;
  stage_ = Stage::kGround;
  const bool alone = body_size_ == 0 && !body_overflow_;
  switch (stage) {
    case Stage::kEscapeEscape:
      Deliver(EscapeKey());
      Deliver(EscapeKey());
      break;
    case Stage::kEscape: Deliver(EscapeKey()); break;
    case Stage::kCsi:
    case Stage::kSs3:
      if (!alone) {
        Drop();
        break;
      }
      // ESC [ or ESC O that nothing followed was Alt+[ or Alt+O.
      if (alt_prefix_) Deliver(EscapeKey());
      Deliver(AltByteKey(key_map_, options_.erase_character, stage == Stage::kCsi ? '[' : 'O'));
      break;
    case Stage::kCharacter: ExpireCharacter(); break;
    case Stage::kString:
      // An introducer that nothing followed was Alt with that key.
      if (string_bytes_ == 0) {
        Deliver(AltByteKey(key_map_, options_.erase_character, string_introducer_));
      } else {
        Drop();
      }
      break;
    default: Drop(); break;
  }
}

// A character that never ended: its first byte is dropped and the bytes
// after it are decoded afresh, so that a key typed after a stray lead byte
// is not lost with it.
void VtInputDecoder::ExpireCharacter() {
  const std::string rest(character_ + 1, character_size_ - 1);
  Drop();
  for (char byte : rest) TakeByte(static_cast<unsigned char>(byte));
}

// --- Records ----------------------------------------------------------------

void VtInputDecoder::Deliver(KeyEvent key) {
  const bool keypad_digit = key.virtual_key >= kVkNumpad0 && key.virtual_key <= kVkNumpad9;
  if (keypad_digit && (key.control_state & kModifierMask) == kLeftAltPressed) {
    AltDigit(key);
    return;
  }
  CloseAltNumber();
  Press(key);
}

void VtInputDecoder::Drop() {
  stage_ = Stage::kGround;
  CloseAltNumber();
}

void VtInputDecoder::Press(const KeyEvent& key) {
  KeyEvent down = key;
  down.key_down = true;
  down.repeat_count = 1;
  KeyEvent up = down;
  up.key_down = false;
  ready_.push_back(down);
  ready_.push_back(up);
}

void VtInputDecoder::AltDigit(const KeyEvent& key) {
  if (!alt_number_open_) {
    ready_.push_back(KeyPress(kVkMenu, kLeftAltPressed));
    alt_number_open_ = true;
  }
  Press(KeyDown(key.virtual_key, key.scan_code, 0, kLeftAltPressed));
}

void VtInputDecoder::CloseAltNumber() {
  if (!alt_number_open_) return;
  alt_number_open_ = false;
  ready_.push_back(KeyUp(KeyPress(kVkMenu)));
}

}  // namespace console
