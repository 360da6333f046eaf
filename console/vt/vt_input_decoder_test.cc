#include "console/vt/vt_input_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/key_event.h"
#include "console/key_map.h"
#include "console/vt/terminal_charset.h"

namespace console {
namespace {

constexpr uint32_t kAlt = kLeftAltPressed;
constexpr uint32_t kCtrl = kLeftCtrlPressed;
constexpr uint32_t kShift = kShiftPressed;
constexpr uint32_t kEnh = kEnhancedKey;
constexpr uint32_t kNum = kNumLockOn;

// What a key press should give: virtual key, scan code, character, state,
// and whether the key typed a character that Windows-1251 lacks.
struct Key {
  uint16_t vk;
  uint16_t scan;
  uint8_t ch;
  uint32_t state;
  bool outside = false;
};

Key With(Key key, uint32_t more_state) {
  key.state |= more_state;
  return key;
}

// Values of the Windows console (set-1 scan codes).
constexpr Key kUp{0x26, 0x48, 0, kEnh};
constexpr Key kDown{0x28, 0x50, 0, kEnh};
constexpr Key kRight{0x27, 0x4D, 0, kEnh};
constexpr Key kLeft{0x25, 0x4B, 0, kEnh};
constexpr Key kHome{0x24, 0x47, 0, kEnh};
constexpr Key kEnd{0x23, 0x4F, 0, kEnh};
constexpr Key kInsert{0x2D, 0x52, 0, kEnh};
constexpr Key kDelete{0x2E, 0x53, 0, kEnh};
constexpr Key kPgUp{0x21, 0x49, 0, kEnh};
constexpr Key kPgDn{0x22, 0x51, 0, kEnh};
constexpr Key kEscape{0x1B, 0x01, 0x1B, 0};
constexpr Key kEnter{0x0D, 0x1C, 0x0D, 0};
constexpr Key kTab{0x09, 0x0F, 0x09, 0};
constexpr Key kBackspace{0x08, 0x0E, 0x08, 0};
constexpr Key kCtrlBackspace{0x08, 0x0E, 0x7F, kCtrl};
constexpr Key kF[13] = {{0, 0, 0, 0},       {0x70, 0x3B, 0, 0}, {0x71, 0x3C, 0, 0},
                        {0x72, 0x3D, 0, 0}, {0x73, 0x3E, 0, 0}, {0x74, 0x3F, 0, 0},
                        {0x75, 0x40, 0, 0}, {0x76, 0x41, 0, 0}, {0x77, 0x42, 0, 0},
                        {0x78, 0x43, 0, 0}, {0x79, 0x44, 0, 0}, {0x7A, 0x57, 0, 0},
                        {0x7B, 0x58, 0, 0}};
constexpr Key kPad[10] = {{0x60, 0x52, '0', kNum}, {0x61, 0x4F, '1', kNum}, {0x62, 0x50, '2', kNum},
                          {0x63, 0x51, '3', kNum}, {0x64, 0x4B, '4', kNum}, {0x65, 0x4C, '5', kNum},
                          {0x66, 0x4D, '6', kNum}, {0x67, 0x47, '7', kNum}, {0x68, 0x48, '8', kNum},
                          {0x69, 0x49, '9', kNum}};
constexpr Key kLowerX{0x58, 0x2D, 'x', 0};
constexpr Key kLowerZ{0x5A, 0x2C, 'z', 0};
constexpr Key kOutside{0, 0, 0, 0, true};  // a character Windows-1251 lacks

std::string Describe(bool down, Key key, uint16_t repeat = 1) {
  char text[112];
  std::snprintf(text, sizeof text, "%s vk=%02X sc=%02X ch=%02X st=%04X rep=%u%s",
                down ? "down" : "up", key.vk, key.scan, key.ch, static_cast<unsigned>(key.state),
                static_cast<unsigned>(repeat), key.outside ? " outside-cp1251" : "");
  return text;
}

std::string Describe(const KeyEvent& event) {
  return Describe(event.key_down,
                  Key{event.virtual_key, event.scan_code, event.character, event.control_state,
                      event.outside_cp1251},
                  event.repeat_count);
}

using Records = std::vector<std::string>;

// The key-down and key-up records of pressing each key in turn.
Records Presses(std::initializer_list<Key> keys) {
  Records records;
  for (const Key& key : keys) {
    records.push_back(Describe(true, key));
    records.push_back(Describe(false, key));
  }
  return records;
}

Records Join(std::initializer_list<Records> parts) {
  Records all;
  for (const Records& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The records of an Alt+keypad number: Alt down, the digits with Alt held.
const std::string kMenuDown = Describe(true, {0x12, 0x38, 0, kAlt});
const std::string kMenuUp = Describe(false, {0x12, 0x38, 0, 0});
Records AltDigits(std::initializer_list<int> digits) {
  Records records{kMenuDown};
  for (int digit : digits) {
    const Key key{kPad[digit].vk, kPad[digit].scan, 0, kAlt};
    records.push_back(Describe(true, key));
    records.push_back(Describe(false, key));
  }
  return records;
}

class Harness {
 public:
  explicit Harness(VtInputDecoder::Options options = {}) : decoder_(UsKeyMap(), options) {}
  void Feed(const std::string& bytes, int64_t now_ms) {
    decoder_.Feed(bytes.data(), bytes.size(), now_ms);
  }
  // Feeds one byte per call, `gap_ms` apart, from `start_ms` on.
  void FeedBytewise(const std::string& bytes, int64_t start_ms, int64_t gap_ms) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      Feed(bytes.substr(i, 1), start_ms + static_cast<int64_t>(i) * gap_ms);
    }
  }
  Records Take() {
    Records records;
    KeyEvent event;
    while (decoder_.Next(&event)) records.push_back(Describe(event));
    return records;
  }
  VtInputDecoder& decoder() { return decoder_; }

 private:
  VtInputDecoder decoder_;
};

// Decodes bytes that arrive in one read and then lets all waits run out.
Records DecodeSettled(const std::string& bytes, VtInputDecoder::Options options = {}) {
  Harness harness(options);
  harness.Feed(bytes, 0);
  harness.decoder().Tick(100000);
  return harness.Take();
}

struct KeyCase {
  const char* bytes;
  Key key;
};

// Checks that each case decodes at once (nothing left waiting) to one press.
void ExpectSingleKeys(const std::vector<KeyCase>& cases, VtInputDecoder::Options options = {}) {
  for (const KeyCase& c : cases) {
    Harness harness(options);
    harness.Feed(c.bytes, 0);
    EXPECT_EQ(harness.Take(), Presses({c.key})) << "input: " << testing::PrintToString(c.bytes);
    EXPECT_EQ(harness.decoder().Deadline(), -1) << "input: " << testing::PrintToString(c.bytes);
  }
}

TEST(VtInputDecoder, PrintableCharactersUseTheLayout) {
  ExpectSingleKeys({
      {"a", {0x41, 0x1E, 'a', 0}},
      {"A", {0x41, 0x1E, 'A', kShift}},
      {"z", {0x5A, 0x2C, 'z', 0}},
      {"1", {0x31, 0x02, '1', 0}},
      {"!", {0x31, 0x02, '!', kShift}},
      {"0", {0x30, 0x0B, '0', 0}},
      {" ", {0x20, 0x39, ' ', 0}},
      {"~", {0xC0, 0x29, '~', kShift}},
      {"[", {0xDB, 0x1A, '[', 0}},
      {"O", {0x4F, 0x18, 'O', kShift}},
      {"*", {0x38, 0x09, '*', kShift}},
      {"/", {0xBF, 0x35, '/', 0}},
      {"\"", {0xDE, 0x28, '"', kShift}},
  });
}

TEST(VtInputDecoder, ControlBytes) {
  ExpectSingleKeys({
      {"\r", kEnter},
      {"\n", {0x0D, 0x1C, 0x0A, kCtrl}},
      {"\t", kTab},
      {"\x7f", kBackspace},
      {"\x08", kBackspace},  // Ctrl+H; VTE's Ctrl+Backspace
      {"\x01", {0x41, 0x1E, 0x01, kCtrl}},
      {"\x03", {0x43, 0x2E, 0x03, kCtrl}},
      {"\x0b", {0x4B, 0x25, 0x0B, kCtrl}},
      {"\x0c", {0x4C, 0x26, 0x0C, kCtrl}},
      {"\x1a", {0x5A, 0x2C, 0x1A, kCtrl}},
  });
}

TEST(VtInputDecoder, ControlBytesOutsideTheLetters) {
  struct Case {
    char byte;
    Key key;
  };
  const Case cases[] = {
      {'\0', {0x32, 0x03, 0x00, kCtrl}},    // Ctrl+@
      {'\x1c', {0xDC, 0x2B, 0x1C, kCtrl}},  // Ctrl+backslash
      {'\x1d', {0xDD, 0x1B, 0x1D, kCtrl}},  // Ctrl+]
      {'\x1e', {0x36, 0x07, 0x1E, kCtrl}},  // Ctrl+^
      {'\x1f', {0xBD, 0x0C, 0x1F, kCtrl}},  // Ctrl+_
  };
  for (const Case& c : cases) {
    Harness harness;
    harness.Feed(std::string(1, c.byte), 0);
    EXPECT_EQ(harness.Take(), Presses({c.key})) << "byte " << int{c.byte};
  }
}

TEST(VtInputDecoder, EraseCharacterChoosesBackspace) {
  VtInputDecoder::Options erase_bs;
  erase_bs.erase_character = 0x08;
  ExpectSingleKeys({{"\x08", kBackspace}, {"\x7f", kCtrlBackspace}}, erase_bs);
  // Whatever the erase character, it and 0x08 are Backspace.
  VtInputDecoder::Options erase_nak;
  erase_nak.erase_character = 0x15;
  ExpectSingleKeys({{"\x15", kBackspace}, {"\x08", kBackspace}, {"\x7f", kBackspace}}, erase_nak);
  // With Alt, both keep their meaning.
  ExpectSingleKeys({{"\x1b\x08", With(kBackspace, kAlt)}, {"\x1b\x7f", With(kCtrlBackspace, kAlt)}},
                   erase_bs);
}

TEST(VtInputDecoder, XtermVteTmuxKeys) {
  ExpectSingleKeys({
      {"\x1b[A", kUp},
      {"\x1b[B", kDown},
      {"\x1b[C", kRight},
      {"\x1b[D", kLeft},
      {"\x1bOA", kUp},
      {"\x1bOB", kDown},
      {"\x1bOC", kRight},
      {"\x1bOD", kLeft},
      {"\x1b[H", kHome},
      {"\x1b[F", kEnd},
      {"\x1bOH", kHome},
      {"\x1bOF", kEnd},
      {"\x1b[1~", kHome},
      {"\x1b[4~", kEnd},
      {"\x1b[2~", kInsert},
      {"\x1b[3~", kDelete},
      {"\x1b[5~", kPgUp},
      {"\x1b[6~", kPgDn},
      {"\x1bOP", kF[1]},
      {"\x1bOQ", kF[2]},
      {"\x1bOR", kF[3]},
      {"\x1bOS", kF[4]},
      {"\x1b[15~", kF[5]},
      {"\x1b[17~", kF[6]},
      {"\x1b[18~", kF[7]},
      {"\x1b[19~", kF[8]},
      {"\x1b[20~", kF[9]},
      {"\x1b[21~", kF[10]},
      {"\x1b[23~", kF[11]},
      {"\x1b[24~", kF[12]},
      {"\x1b[Z", {0x09, 0x0F, 0x09, kShift}},
  });
}

TEST(VtInputDecoder, ModifierParameter) {
  ExpectSingleKeys({
      {"\x1b[1;2A", With(kUp, kShift)},
      {"\x1b[1;3D", With(kLeft, kAlt)},
      {"\x1b[1;4B", With(kDown, kShift | kAlt)},
      {"\x1b[1;5C", With(kRight, kCtrl)},
      {"\x1b[1;6H", With(kHome, kShift | kCtrl)},
      {"\x1b[1;7F", With(kEnd, kAlt | kCtrl)},
      {"\x1b[1;8A", With(kUp, kShift | kAlt | kCtrl)},
      {"\x1b[1;9A", With(kUp, kAlt)},            // Meta taken as Alt
      {"\x1b[1;10A", With(kUp, kShift | kAlt)},  // Meta+Shift
      {"\x1b[1;13A", With(kUp, kAlt | kCtrl)},   // Meta+Ctrl
      {"\x1b[1;1A", kUp},
      {"\x1b[1A", kUp},
      {"\x1b[3;5~", With(kDelete, kCtrl)},
      {"\x1b[2;2~", With(kInsert, kShift)},
      {"\x1b[6;3~", With(kPgDn, kAlt)},
      {"\x1b[1;2P", With(kF[1], kShift)},
      {"\x1b[1;5Q", With(kF[2], kCtrl)},
      {"\x1b[1;5R", With(kF[3], kCtrl)},  // modified F3, never a cursor report
      {"\x1b[1;3S", With(kF[4], kAlt)},
      {"\x1b[15;3~", With(kF[5], kAlt)},
      {"\x1b[24;5~", With(kF[12], kCtrl)},
      {"\x1bO2P", With(kF[1], kShift)},  // older xterm: modifier inside SS3
      {"\x1bO5A", With(kUp, kCtrl)},
  });
}

TEST(VtInputDecoder, LinuxConsoleKeys) {
  ExpectSingleKeys({
      {"\x1b[[A", kF[1]},
      {"\x1b[[B", kF[2]},
      {"\x1b[[C", kF[3]},
      {"\x1b[[D", kF[4]},
      {"\x1b[[E", kF[5]},
      {"\x1b[1~", kHome},
      {"\x1b[4~", kEnd},
      {"\x1b[3~", kDelete},
  });
}

TEST(VtInputDecoder, RxvtKeys) {
  ExpectSingleKeys({
      {"\x1b[a", With(kUp, kShift)},
      {"\x1b[b", With(kDown, kShift)},
      {"\x1b[c", With(kRight, kShift)},
      {"\x1b[d", With(kLeft, kShift)},
      {"\x1bOa", With(kUp, kCtrl)},
      {"\x1bOb", With(kDown, kCtrl)},
      {"\x1bOc", With(kRight, kCtrl)},
      {"\x1bOd", With(kLeft, kCtrl)},
      {"\x1b[7~", kHome},
      {"\x1b[8~", kEnd},
      {"\x1b[11~", kF[1]},
      {"\x1b[12~", kF[2]},
      {"\x1b[13~", kF[3]},
      {"\x1b[14~", kF[4]},
      {"\x1b[2$", With(kInsert, kShift)},
      {"\x1b[3^", With(kDelete, kCtrl)},
      {"\x1b[5@", With(kPgUp, kCtrl | kShift)},
      {"\x1b[7$", With(kHome, kShift)},
      {"\x1b[8^", With(kEnd, kCtrl)},
      {"\x1b[11^", With(kF[1], kCtrl)},
      {"\x1b[24$", With(kF[12], kShift)},
  });
}

TEST(VtInputDecoder, ApplicationKeypad) {
  ExpectSingleKeys({
      {"\x1bOp", kPad[0]},
      {"\x1bOq", kPad[1]},
      {"\x1bOr", kPad[2]},
      {"\x1bOs", kPad[3]},
      {"\x1bOt", kPad[4]},
      {"\x1bOu", kPad[5]},
      {"\x1bOv", kPad[6]},
      {"\x1bOw", kPad[7]},
      {"\x1bOx", kPad[8]},
      {"\x1bOy", kPad[9]},
      {"\x1bOn", {0x6E, 0x53, '.', kNum}},
      {"\x1bOM", {0x0D, 0x1C, 0x0D, kEnh}},
      {"\x1bOj", {0x6A, 0x37, '*', 0}},
      {"\x1bOk", {0x6B, 0x4E, '+', 0}},
      {"\x1bOm", {0x6D, 0x4A, '-', 0}},
      {"\x1bOo", {0x6F, 0x35, '/', kEnh}},
      // Modified keypad keys: Shift keeps the character, Ctrl takes it away.
      {"\x1bO2p", With(kPad[0], kShift)},
      {"\x1bO5q", {0x61, 0x4F, 0, kNum | kCtrl}},
      {"\x1b[1;5r", {0x62, 0x50, 0, kNum | kCtrl}},
      {"\x1bO1;2k", {0x6B, 0x4E, '+', kShift}},
      {"\x1b[1;5k", {0x6B, 0x4E, 0, kCtrl}},
      {"\x1bO5M", {0x0D, 0x1C, 0x0A, kEnh | kCtrl}},  // Ctrl+keypad Enter
      {"\x1bO3M", {0x0D, 0x1C, 0x0D, kEnh | kAlt}},
      {"\x1b[1;7p", {0x60, 0x52, 0, kNum | kAlt | kCtrl}},  // not Alt alone
  });
}

TEST(VtInputDecoder, EscapePrefixAddsAlt) {
  ExpectSingleKeys({
      {"\x1b"
       "a",
       {0x41, 0x1E, 'a', kAlt}},
      {"\x1b"
       "A",
       {0x41, 0x1E, 'A', kAlt | kShift}},
      {"\x1b"
       "x",
       With(kLowerX, kAlt)},
      {"\x1b"
       "-",
       {0xBD, 0x0C, '-', kAlt}},
      {"\x1b"
       " ",
       {0x20, 0x39, ' ', kAlt}},
      {"\x1b\r", With(kEnter, kAlt)},
      {"\x1b\t", With(kTab, kAlt)},
      {"\x1b\x7f", With(kBackspace, kAlt)},
      {"\x1b\x01", {0x41, 0x1E, 0x01, kAlt | kCtrl}},
      {"\x1b\xd0\xb6", {0, 0, 0xE6, kAlt}},  // Alt+ж
      {"\x1b\x1b[A", With(kUp, kAlt)},
      {"\x1b\x1b[1;5A", With(kUp, kAlt | kCtrl)},
      {"\x1b\x1bOP", With(kF[1], kAlt)},
      {"\x1b\x1b[3~", With(kDelete, kAlt)},
      {"\x1b\x1b[2$", With(kInsert, kAlt | kShift)},
      {"\x1b\x1b[[A", With(kF[1], kAlt)},
      {"\x1b\x1bOk", {0x6B, 0x4E, '+', kAlt}},
  });
}

TEST(VtInputDecoder, CursorReportIsNotAKey) {
  // Only CSI 1;m R is a key (F3); other reports are dropped without a trace.
  for (const char* bytes : {"\x1b[12;40R", "\x1b[R", "\x1b[1R", "\x1b[2;5R"}) {
    EXPECT_EQ(DecodeSettled(std::string(bytes) + "z"), Presses({kLowerZ})) << bytes + 1;
  }
}

TEST(VtInputDecoder, SequenceSplitAcrossReads) {
  const std::vector<std::pair<std::string, Records>> cases = {
      {"\x1b[1;5A", Presses({With(kUp, kCtrl)})},
      {"\x1bOP", Presses({kF[1]})},
      {"\x1b\x1b[A", Presses({With(kUp, kAlt)})},
      {"\x1b[[B", Presses({kF[2]})},
      {"\x1b[15;2~", Presses({With(kF[5], kShift)})},
      {"\x1b[2$", Presses({With(kInsert, kShift)})},
      {"\x1b[M !!z", Presses({kLowerZ})},
      {"\x1b]11;rgb:0000/0000/0000\x07z", Presses({kLowerZ})},
      {"\x1bP1$r0m\x1b\\z", Presses({kLowerZ})},
      {"\xd0\xb6", Presses({{0, 0, 0xE6, 0}})},
      {"\xe2\x82\xac", Presses({{0, 0, 0x88, 0}})},  // €
  };
  for (const auto& [bytes, expected] : cases) {
    Harness at_once;
    at_once.Feed(bytes, 0);
    EXPECT_EQ(at_once.Take(), expected);
    // One byte per read, each just inside the wait of the one before.
    Harness bytewise;
    bytewise.FeedBytewise(bytes, 1000, 49);
    EXPECT_EQ(bytewise.Take(), expected) << testing::PrintToString(bytes);
    EXPECT_EQ(bytewise.decoder().Deadline(), -1);
  }
}

TEST(VtInputDecoder, SequenceWaitRestartsWithEachByte) {
  Harness harness;
  harness.Feed("\x1b", 0);
  harness.Feed("[", 49);
  harness.Feed("1", 148);
  harness.Feed(";", 247);
  harness.Feed("5", 346);
  EXPECT_EQ(harness.decoder().Deadline(), 446);
  EXPECT_TRUE(harness.Take().empty());
  harness.Feed("A", 445);
  EXPECT_EQ(harness.Take(), Presses({With(kUp, kCtrl)}));
}

TEST(VtInputDecoder, LoneEscapeAfterItsWait) {
  Harness harness;
  harness.Feed("\x1b", 1000);
  EXPECT_EQ(harness.decoder().Deadline(), 1050);
  harness.decoder().Tick(1049);
  EXPECT_TRUE(harness.Take().empty());
  harness.decoder().Tick(1050);
  EXPECT_EQ(harness.Take(), Presses({kEscape}));
  EXPECT_EQ(harness.decoder().Deadline(), -1);
}

TEST(VtInputDecoder, EscapeThenCharacterAtTheWaitsEdge) {
  Harness inside;
  inside.Feed("\x1b", 0);
  inside.Feed("x", 49);
  EXPECT_EQ(inside.Take(), Presses({With(kLowerX, kAlt)}));

  Harness after;
  after.Feed("\x1b", 0);
  after.Feed("x", 50);  // the wait is over: Escape, then a plain x
  EXPECT_EQ(after.Take(), Presses({kEscape, kLowerX}));

  Harness sequence_after;
  sequence_after.Feed("\x1b", 0);
  sequence_after.Feed("[A", 60);
  EXPECT_EQ(sequence_after.Take(),
            Presses({kEscape, {0xDB, 0x1A, '[', 0}, {0x41, 0x1E, 'A', kShift}}));
}

TEST(VtInputDecoder, UnfinishedIntroducersAfterTheirWait) {
  const Key alt_bracket{0xDB, 0x1A, '[', kAlt};
  const Key alt_o{0x4F, 0x18, 'O', kAlt | kShift};
  struct Case {
    const char* bytes;
    int64_t deadline;
    Records expected;
  };
  const Case cases[] = {
      {"\x1b[", 100, Presses({alt_bracket})},
      {"\x1bO", 100, Presses({alt_o})},
      {"\x1b\x1b", 50, Presses({kEscape, kEscape})},
      {"\x1b\x1b[", 100, Presses({kEscape, alt_bracket})},
      {"\x1b\x1bO", 100, Presses({kEscape, alt_o})},
      {"\x1b[1", 100, {}},
      {"\x1b[1;5", 100, {}},
      {"\x1b[[", 100, {}},
      {"\x1bO5", 100, {}},
  };
  for (const Case& c : cases) {
    Harness harness;
    harness.Feed(c.bytes, 0);
    EXPECT_EQ(harness.decoder().Deadline(), c.deadline) << c.bytes + 1;
    harness.decoder().Tick(c.deadline - 1);
    EXPECT_TRUE(harness.Take().empty()) << c.bytes + 1;
    harness.decoder().Tick(c.deadline);
    EXPECT_EQ(harness.Take(), c.expected) << c.bytes + 1;
    EXPECT_EQ(harness.decoder().Deadline(), -1);
  }
}

TEST(VtInputDecoder, EscapeEscapeBeforeOtherBytes) {
  EXPECT_EQ(DecodeSettled("\x1b\x1bx"), Presses({kEscape, With(kLowerX, kAlt)}));
  EXPECT_EQ(DecodeSettled("\x1b\x1b\x1b"), Presses({kEscape, kEscape, kEscape}));
  EXPECT_EQ(DecodeSettled("\x1b\x1b\r"), Presses({kEscape, With(kEnter, kAlt)}));
}

TEST(VtInputDecoder, Utf8CharactersBecomeWindows1251) {
  struct Case {
    const char* bytes;
    uint8_t cp1251;
  };
  const Case cases[] = {
      {"\xd0\xb6", 0xE6},      // ж
      {"\xd0\x96", 0xC6},      // Ж
      {"\xd0\x90", 0xC0},      // А
      {"\xd1\x8f", 0xFF},      // я
      {"\xd1\x91", 0xB8},      // ё
      {"\xd0\x81", 0xA8},      // Ё
      {"\xe2\x82\xac", 0x88},  // €
      {"\xe2\x84\x96", 0xB9},  // №
      {"\xc2\xa0", 0xA0},      // no-break space
      {"\xc2\xab", 0xAB},      // «
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeSettled(c.bytes), Presses({{0, 0, c.cp1251, 0}})) << c.bytes;
  }
}

// A character Windows-1251 lacks is reported, so that it can be refused.
TEST(VtInputDecoder, Utf8WithoutWindows1251FormIsMarked) {
  // ö, z, Alt+ö, a CJK character, an emoji
  EXPECT_EQ(DecodeSettled("\xc3\xb6z\x1b\xc3\xb6\xe4\xb8\xad\xf0\x9f\x98\x80"),
            Presses({kOutside, kLowerZ, With(kOutside, kAlt), kOutside, kOutside}));
}

TEST(VtInputDecoder, InvalidUtf8AndControlsAreDropped) {
  const char* const cases[] = {
      "\xc2\x80",          // a C1 control
      "\x80",              // a stray continuation byte
      "\xc0\xaf",          // overlong '/'
      "\xe0\x80\xaf",      // overlong '/'
      "\xed\xa0\x80",      // a surrogate
      "\xf4\x90\x80\x80",  // beyond U+10FFFF
      "\xff",
      "\xd0",  // cut short by the next character
      "\xe2\x82",
  };
  for (const char* bytes : cases) {
    EXPECT_EQ(DecodeSettled(std::string(bytes) + "z"), Presses({kLowerZ}))
        << testing::PrintToString(bytes);
  }
}

TEST(VtInputDecoder, Utf8CharacterWaitsForItsRest) {
  Harness in_time;
  in_time.Feed("\xd0", 0);
  EXPECT_EQ(in_time.decoder().Deadline(), 100);
  in_time.Feed("\xb6", 99);
  EXPECT_EQ(in_time.Take(), Presses({{0, 0, 0xE6, 0}}));

  Harness too_late;
  too_late.Feed("\xd0", 0);
  too_late.Feed("\xb6", 100);  // the lead byte expired; the rest is a stray byte
  too_late.Feed("z", 101);
  EXPECT_EQ(too_late.Take(), Presses({kLowerZ}));
}

// A terminal of another locale sends its charset's bytes, decoded through
// iconv into the same records.
TEST(VtInputDecoder, CharactersOfOtherCharsets) {
  struct Case {
    const char* codeset;
    const char* bytes;  // then "z"
    Records records;
  };
  const Case cases[] = {
      {"KOI8-R", "\xd6\xf6", Presses({{0, 0, 0xE6, 0}, {0, 0, 0xC6, 0}})},  // ж Ж
      {"KOI8-R", "\x1b\xd6", Presses({{0, 0, 0xE6, kAlt}})},
      {"KOI8-R", "\x80", Presses({kOutside})},  // a box-drawing line
      {"CP1251", "\xe6\xa8\x88", Presses({{0, 0, 0xE6, 0}, {0, 0, 0xA8, 0}, {0, 0, 0x88, 0}})},
      {"CP866", "\x80\x9f\xa6", Presses({{0, 0, 0xC0, 0}, {0, 0, 0xDF, 0}, {0, 0, 0xE6, 0}})},
      {"ISO-8859-5", "\xd6\xe9", Presses({{0, 0, 0xE6, 0}, {0, 0, 0xF9, 0}})},  // ж щ
      {"GB18030", "\xa7\xd8", Presses({{0, 0, 0xE6, 0}})},                      // ж, two bytes
      {"GB18030", "\x81\x30\x89\x38", Presses({kOutside})},                     // ö, four bytes
      {"GB18030", "\x81\x30\r", Presses({kEnter})},  // four bytes begun, cut short
      {"EUC-JP", "\xa7\xd8\x8e\xb1", Presses({{0, 0, 0xE6, 0}, kOutside})},  // ж, a kana
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codeset) + " " + testing::PrintToString(c.bytes));
    std::unique_ptr<TerminalCharset> charset = TerminalCharset::Named(c.codeset);
    ASSERT_NE(charset, nullptr);
    VtInputDecoder::Options options;
    options.charset = charset.get();
    Records expected = c.records;
    for (const std::string& record : Presses({kLowerZ})) expected.push_back(record);
    EXPECT_EQ(DecodeSettled(std::string(c.bytes) + "z", options), expected);
    // Byte by byte, each in a read of its own, the same keys.
    Harness split(options);
    split.FeedBytewise(std::string(c.bytes) + "z", 0, 10);
    split.decoder().Tick(100000);
    EXPECT_EQ(split.Take(), expected);
  }
}

TEST(VtInputDecoder, AltKeypadNumberClosedByOtherByte) {
  // Alt+6 5 as ESC 6 ESC 5, then x: Alt is released before the x.
  Harness harness;
  harness.Feed(
      "\x1b"
      "6\x1b"
      "5x",
      0);
  EXPECT_EQ(harness.Take(), Join({AltDigits({6, 5}), {kMenuUp}, Presses({kLowerX})}));
  EXPECT_EQ(harness.decoder().Deadline(), -1);
}

TEST(VtInputDecoder, AltKeypadForms) {
  const std::vector<std::pair<std::string, Records>> cases = {
      {"\x1b\x1bOt\x1b\x1bOq", AltDigits({4, 1})},  // ESC + application keypad
      {"\x1bO3r", AltDigits({2})},                  // SS3 with Alt modifier
      {"\x1bO1;3y", AltDigits({9})},
      {"\x1b[1;3s", AltDigits({3})},
      {"\x1bO9p", AltDigits({0})},  // Meta taken as Alt
      {"\x1b"
       "2\x1bO3u\x1b[1;3w",
       AltDigits({2, 5, 7})},
  };
  for (const auto& [bytes, expected] : cases) {
    Harness harness;
    harness.Feed(bytes, 0);
    EXPECT_EQ(harness.Take(), expected) << testing::PrintToString(bytes);
    EXPECT_EQ(harness.decoder().Deadline(), VtInputDecoder::kAltNumberIdleMs);
  }
}

TEST(VtInputDecoder, AltKeypadNumberClosedWhenIdle) {
  Harness harness;
  harness.Feed(
      "\x1b"
      "1",
      0);
  harness.Feed(
      "\x1b"
      "2",
      400);
  EXPECT_EQ(harness.decoder().Deadline(), 900);
  harness.decoder().Tick(899);
  EXPECT_EQ(harness.Take(), AltDigits({1, 2}));
  harness.decoder().Tick(900);
  EXPECT_EQ(harness.Take(), Records{kMenuUp});
  EXPECT_EQ(harness.decoder().Deadline(), -1);
  // A later digit starts a new number with Alt pressed again.
  harness.Feed(
      "\x1b"
      "3",
      1000);
  EXPECT_EQ(harness.Take(), AltDigits({3}));
}

TEST(VtInputDecoder, AltKeypadNumberClosedByOtherKeys) {
  const std::vector<std::pair<std::string, Records>> cases = {
      // Ctrl+Alt+keypad 0 is a key of its own.
      {"\x1b"
       "1\x1b[1;7p",
       Join({AltDigits({1}), {kMenuUp}, Presses({{0x60, 0x52, 0, kNum | kAlt | kCtrl}})})},
      // An Alt+letter.
      {"\x1b"
       "1\x1b"
       "x",
       Join({AltDigits({1}), {kMenuUp}, Presses({With(kLowerX, kAlt)})})},
      // A plain keypad digit (no Alt).
      {"\x1b"
       "1\x1bOq",
       Join({AltDigits({1}), {kMenuUp}, Presses({kPad[1]})})},
      // A dropped sequence ends the number too, leaving nothing else.
      {"\x1b"
       "1\x1b[99~",
       Join({AltDigits({1}), {kMenuUp}})},
  };
  for (const auto& [bytes, expected] : cases) {
    Harness harness;
    harness.Feed(bytes, 0);
    EXPECT_EQ(harness.Take(), expected) << testing::PrintToString(bytes);
  }
}

TEST(VtInputDecoder, AltKeypadNumberClosedBeforeLoneEscape) {
  Harness harness;
  harness.Feed(
      "\x1b"
      "1",
      0);
  harness.Feed("\x1b", 10);
  EXPECT_EQ(harness.decoder().Deadline(), 60);  // the ESC wait comes first
  harness.decoder().Tick(60);
  EXPECT_EQ(harness.Take(), Join({AltDigits({1}), {kMenuUp}, Presses({kEscape})}));
  EXPECT_EQ(harness.decoder().Deadline(), -1);
}

TEST(VtInputDecoder, UnknownSequencesAreDroppedWhole) {
  const char* const cases[] = {
      "\x1b[99~",  // no such key number
      "\x1b[16~",
      "\x1b[1000~",
      "\x1b[;5~",
      "\x1b[1;5X",                               // no such final
      "\x1b[?1h",                                // private parameters
      "\x1b[<0;10;20M",                          // an SGR mouse report
      "\x1b[M !!",                               // an X10 mouse report: three raw bytes
      "\x1b[M#\xff\xfe",                         // ... which may lie beyond ASCII
      "\x1b[M \xc2\xa0\xc3\x80",                 // a UTF-8 mouse report (mode 1005)
      "\x1b[M\x1b[A",                            // ... whose bytes may look like anything
      "\x1b[?25;2$y",                            // a private mode's state (DECRPM)
      "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c",  // device attributes
      "\x1b[>0;276;0c",                          // secondary device attributes
      "\x1b[8;25;80t",                           // the window's size
      "\x1b[I",                                  // focus in
      "\x1b[1;2;3A",                             // too many parameters
      "\x1b[25A",                                // cursor keys take no count
      "\x1b[1!A",                                // an intermediate byte
      "\x1b[2;5$",                               // rxvt suffixes take no modifier
      "\x1b[1a",                                 // rxvt Shift+arrows take no parameter
      "\x1b[p",                                  // keypad keys need 1;m after CSI
      "\x1b[[F",                                 // Linux console keys end at E
      "\x1bOz",
      "\x1bO2;5A",
      "\x1bOE",
  };
  for (const char* bytes : cases) {
    Harness harness;
    harness.Feed(std::string(bytes) + "z", 0);
    EXPECT_EQ(harness.Take(), Presses({kLowerZ})) << bytes + 1;
    EXPECT_EQ(harness.decoder().Deadline(), -1) << bytes + 1;
  }
}

TEST(VtInputDecoder, ControlStringsAreConsumedWhole) {
  // Typed a, the string, b: the answer must read "ab".
  const Key lower_a{0x41, 0x1E, 'a', 0};
  const Key lower_b{0x42, 0x30, 'b', 0};
  const char* const strings[] = {
      "\x1b]11;rgb:0000/0000/0000\x07",              // OSC colour reply, ended by BEL
      "\x1b]10;rgb:ffff/ffff/ffff\x1b\\",            // ... by ST
      "\x1b]l\xd0\x97\xd0\xb0\xd0\xbf title\x1b\\",  // a window title report, UTF-8
      "\x1bP1$r0;1m\x1b\\",                          // DCS: a DECRQSS reply
      "\x1bP>|XTerm(390)\x1b\\",                     // DCS: the terminal's version
      "\x1b_Gi=1;OK\x1b\\",                          // APC (kitty graphics)
      "\x1b^private\x07",                            // PM
      "\x1bXstring\r\n\t\x1b\\",                     // SOS, control bytes inside
      "\x1b]\x07",                                   // an OSC with nothing in it
  };
  for (const char* string : strings) {
    const std::string bytes = std::string("a") + string + "b";
    EXPECT_EQ(DecodeSettled(bytes), Presses({lower_a, lower_b})) << testing::PrintToString(bytes);
  }
  // An ESC that is no string terminator ends the string and starts afresh.
  EXPECT_EQ(DecodeSettled("\x1b]11;rgb:00\x1b[Az"), Presses({kUp, kLowerZ}));
  // Longer than the bound: given up, the bytes after it are keys.
  EXPECT_EQ(DecodeSettled("\x1b]" + std::string(VtInputDecoder::kMaxStringBytes, '1') + "xz"),
            Presses({kLowerX, kLowerZ}));
}

TEST(VtInputDecoder, StringIntroducerAloneIsAltWithItsKey) {
  struct Case {
    const char* bytes;
    Key key;
  };
  const Case cases[] = {
      {"\x1b]", {0xDD, 0x1B, ']', kAlt}},
      {"\x1bP", {0x50, 0x19, 'P', kAlt | kShift}},
      {"\x1b_", {0xBD, 0x0C, '_', kAlt | kShift}},
  };
  for (const Case& c : cases) {
    Harness harness;
    harness.Feed(c.bytes, 0);
    EXPECT_EQ(harness.decoder().Deadline(), VtInputDecoder::kEscapeWaitMs);
    harness.decoder().Tick(VtInputDecoder::kEscapeWaitMs);
    EXPECT_EQ(harness.Take(), Presses({c.key})) << c.bytes + 1;
  }
  // Once it has begun, a string waits for each next byte and is dropped
  // when none comes; what is typed later is a key.
  Harness cut;
  cut.Feed("\x1b]11;rgb", 0);
  EXPECT_EQ(cut.decoder().Deadline(), VtInputDecoder::kSequenceWaitMs);
  cut.decoder().Tick(VtInputDecoder::kSequenceWaitMs);
  cut.Feed("z", 200);
  EXPECT_EQ(cut.Take(), Presses({kLowerZ}));
}

TEST(VtInputDecoder, ReportsAreKeptForTheDevice) {
  Harness harness;
  harness.Feed("\x1b[?25;2$y\x1b[?1;1$yx\x1b[?62;22c\x1b[?7;0$y", 0);
  EXPECT_EQ(harness.Take(), Presses({kLowerX}));
  using Kind = VtInputDecoder::Report::Kind;
  std::vector<std::string> reports;
  VtInputDecoder::Report report;
  while (harness.decoder().NextReport(&report)) {
    reports.push_back(report.kind == Kind::kDeviceAttributes
                          ? std::string("attributes")
                          : std::to_string(report.mode) + "=" + std::to_string(report.value));
  }
  EXPECT_EQ(reports, (std::vector<std::string>{"25=2", "1=1", "attributes", "7=0"}));
}

TEST(VtInputDecoder, ByteThatCannotContinueAbortsTheSequence) {
  struct Case {
    const char* bytes;
    Records expected;
  };
  const Case cases[] = {
      {"\x1b[1\r", Presses({kEnter})},
      {"\x1b[1;\x1b[B", Presses({kDown})},  // ESC starts over
      {"\x1bO\x1bOP", Presses({kF[1]})},
      {"\x1bO ", Presses({{0x20, 0x39, ' ', 0}})},
      {"\x1b[1\xd0\xb6", Presses({{0, 0, 0xE6, 0}})},
      {"\x1b[1\x7f", Presses({kBackspace})},
      {"\x1b[[\t", Presses({kTab})},
      {"\x1b\x1b[2\x03", Presses({{0x43, 0x2E, 0x03, kCtrl}})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeSettled(c.bytes), c.expected) << testing::PrintToString(c.bytes);
  }
}

TEST(VtInputDecoder, OverlongSequenceIsSwallowedWithBoundedWaits) {
  Harness harness;
  harness.Feed("\x1b[", 0);
  const std::string endless(100000, '1');
  for (size_t i = 0; i < endless.size(); i += 1000) {
    harness.Feed(endless.substr(i, 1000), static_cast<int64_t>(i / 1000));
    EXPECT_EQ(harness.decoder().Deadline(), static_cast<int64_t>(i / 1000) + 100);
  }
  harness.Feed("A", 150);  // the final byte ends it; nothing of it comes out
  harness.Feed("z", 151);
  EXPECT_EQ(harness.Take(), Presses({kLowerZ}));

  // A parameter string longer than the decoder keeps is dropped even when
  // it ends like a key.
  Harness long_parameters;
  long_parameters.Feed("\x1b[" + std::string(30, '0') + "1;5Az", 0);
  EXPECT_EQ(long_parameters.Take(), Presses({kLowerZ}));

  // Without a final byte it is dropped when its wait runs out.
  Harness timed_out;
  timed_out.Feed("\x1b[" + std::string(5000, ';'), 0);
  timed_out.decoder().Tick(100);
  timed_out.Feed("z", 100);
  EXPECT_EQ(timed_out.Take(), Presses({kLowerZ}));
}

TEST(VtInputDecoder, DeadlineValues) {
  struct Step {
    const char* bytes;
    int64_t now;
    int64_t deadline;
  };
  const Step steps[] = {
      {"", 0, -1},
      {"a", 5, -1},
      {"\x1b", 10, 60},  // lone ESC wait
      {"\x1b", 20, 70},  // ESC ESC: still the ESC wait
      {"[", 30, 130},    // ESC ESC [: the sequence wait
      {"1", 40, 140},
      {"A", 50, -1},
      {"\xd1", 60, 160},  // half a UTF-8 character
      {"\x8f", 70, -1},
      {"\x1b"
       "4",
       80, 580},          // an Alt+keypad number waits for its Alt release
      {"\x1b", 90, 140},  // the ESC wait comes before the idle release
      {"7", 100, 600},
  };
  Harness harness;
  for (const Step& step : steps) {
    harness.Feed(step.bytes, step.now);
    EXPECT_EQ(harness.decoder().Deadline(), step.deadline) << "at " << step.now;
  }
  EXPECT_EQ(harness.Take(), Join({Presses({{0x41, 0x1E, 'a', 0}, With(kUp, kAlt), {0, 0, 0xFF, 0}}),
                                  AltDigits({4, 7})}));
}

TEST(VtInputDecoder, TickSettlesEverythingDueInOrder) {
  // One late Tick: the ESC wait ends first, then the Alt release comes due.
  Harness harness;
  harness.Feed(
      "\x1b"
      "1\x1b"
      "2",
      0);
  harness.Feed("\x1b", 10);
  harness.decoder().Tick(10000);
  EXPECT_EQ(harness.Take(), Join({AltDigits({1, 2}), {kMenuUp}, Presses({kEscape})}));
  EXPECT_EQ(harness.decoder().Deadline(), -1);
}

}  // namespace
}  // namespace console
