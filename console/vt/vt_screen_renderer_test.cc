#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/vt/testing/screen_support.h"
#include "console/vt/vt_screen.h"

namespace console {
namespace {

// A rendered output taken apart: our own control sequences, and the text
// drawn between them.  `error` names the first byte that is neither.
struct Scanned {
  std::vector<std::string> sequences;
  std::string text;
  std::string error;
};

Scanned ScanOutput(const std::string& out) {
  Scanned scanned;
  for (size_t i = 0; i < out.size(); ++i) {
    const auto byte = static_cast<uint8_t>(out[i]);
    if (byte == 0x1B) {
      size_t end = i + 1;
      if (end < out.size() && (out[end] == '=' || out[end] == '>')) {
        scanned.sequences.push_back(out.substr(i, 2));
        i = end;
        continue;
      }
      if (end >= out.size() || out[end] != '[') {
        scanned.error = "ESC not starting a CSI at " + std::to_string(i);
        return scanned;
      }
      ++end;
      while (end < out.size() && std::string("0123456789;?").find(out[end]) != std::string::npos) {
        ++end;
      }
      if (end >= out.size() || std::string("HJmhl]").find(out[end]) == std::string::npos) {
        scanned.error = "unexpected CSI at " + std::to_string(i);
        return scanned;
      }
      scanned.sequences.push_back(out.substr(i, end + 1 - i));
      i = end;
    } else if (byte == '\n' || byte == '\r' || byte == 0x07) {
      scanned.sequences.push_back(std::string(1, out[i]));
    } else if (byte < 0x20 || byte == 0x7F) {
      scanned.error = "raw control byte " + std::to_string(byte) + " at " + std::to_string(i);
      return scanned;
    } else {
      scanned.text += out[i];
    }
  }
  return scanned;
}

// Decodes UTF-8 text; false on a malformed sequence.
bool DecodeUtf8(const std::string& text, std::vector<uint32_t>* code_points) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) return false;
    uint32_t value = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3Fu);
    }
    code_points->push_back(value);
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::string Csi(const std::string& body) { return "\x1b[" + body; }

// --- The output -------------------------------------------------------------

TEST(VtScreenOutput, StartAndRestoreSequences) {
  // DECSC and DECRC: the colours the terminal had are saved and put back;
  // no mode is set that would need undoing.
  EXPECT_EQ(VtScreen::StartSequence(),
            "\x1b"
            "7");
  EXPECT_EQ(VtScreen::RestoreSequence(),
            "\x1b"
            "8");
}

TEST(VtScreenOutput, NothingChangedRendersNothing) {
  VtScreen screen(80, 25, kUtf8);
  ASSERT_TRUE(screen.FillCharacter(' ', 80 * 25, Coord{0, 0}));
  ASSERT_TRUE(screen.WriteCells("hello", 5, 7, Coord{3, 4}));
  screen.Render();
  EXPECT_TRUE(screen.has_output());
  screen.TakeOutput();
  EXPECT_FALSE(screen.has_output());
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), "");
  // Writing what is already shown is no change either.
  ASSERT_TRUE(screen.WriteCells("hello", 5, 7, Coord{3, 4}));
  ASSERT_TRUE(screen.SetCursorPosition(Coord{0, 0}));
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), "");
}

TEST(VtScreenOutput, OneChangedCellIsOneShortSequence) {
  VtScreen screen(80, 25, kUtf8);
  ASSERT_TRUE(screen.FillCharacter(' ', 80 * 25, Coord{0, 0}));
  screen.Render();
  screen.TakeOutput();
  ASSERT_TRUE(screen.WriteCells("x", 1, 7, Coord{10, 5}));
  screen.Render();
  // Cursor hidden while drawing, the cell, the cursor back and shown again.
  EXPECT_EQ(screen.TakeOutput(), Csi("?25l") + Csi("6;11H") + "x" + Csi("1;1H") + Csi("?25h"));

  screen.SetCursorVisible(false);
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), Csi("?25l"));
  ASSERT_TRUE(screen.WriteCells("y", 1, 7, Coord{79, 24}));
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), Csi("25;80H") + "y" + Csi("1;1H"));
}

TEST(VtScreenOutput, RunsShareOnePositioning) {
  VtScreen screen(10, 3, kUtf8);
  screen.SetCursorVisible(false);
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), Csi("1;1H") + Csi("?25l"));  // the terminal was unknown
  ASSERT_TRUE(screen.WriteCells("ab", 2, 7, Coord{0, 1}));
  ASSERT_TRUE(screen.WriteCells("cd", 2, 7, Coord{5, 1}));
  ASSERT_TRUE(screen.WriteCells("ef", 2, 7, Coord{2, 2}));
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(),
            Csi("2;1H") + Csi("0m") + "ab" + Csi("2;6H") + "cd" + Csi("3;3H") + "ef" + Csi("1;1H"));
}

TEST(VtScreenOutput, ShortGapsOfUnchangedCellsAreDrawnAgain) {
  struct Case {
    const char* name;
    int gap;              // unchanged cells between the two changes
    uint16_t attribute;   // the gap's attribute
    bool known;           // whether the gap was ever written
    std::string between;  // what the output has between the two changes
  };
  const Case cases[] = {
      {"short gap redrawn", 3, 7, true, "---"},
      {"as long as the move", 6, 7, true, "------"},
      {"longer than the move", 7, 7, true, Csi("1;9H")},
      {"another colour", 2, 0x1E, true, Csi("1;4H")},
      {"never written", 2, 7, false, Csi("1;4H")},
  };
  for (const Case& c : cases) {
    VtScreen screen(12, 1, kUtf8);
    screen.SetCursorVisible(false);
    if (c.known) {
      ASSERT_TRUE(screen.FillCharacter('-', 12, Coord{0, 0}));
      ASSERT_TRUE(screen.FillAttribute(c.attribute, 12, Coord{0, 0}));
    }
    screen.Render();
    screen.TakeOutput();
    ASSERT_TRUE(screen.WriteCells("a", 1, 7, Coord{0, 0}));
    ASSERT_TRUE(screen.WriteCells("b", 1, 7, Coord{1 + c.gap, 0}));
    screen.Render();
    EXPECT_EQ(screen.TakeOutput(),
              (c.known && c.attribute == 7 ? "" : Csi("0m")) + "a" + c.between + "b\r")
        << c.name;
  }
}

TEST(VtScreenOutput, AfterTheLastColumnOnlyAnAbsoluteMoveIsTrusted) {
  VtScreen screen(5, 2, kUtf8);
  screen.SetCursorVisible(false);
  screen.Render();
  screen.TakeOutput();
  ASSERT_TRUE(screen.WriteCells("xyz", 3, 7, Coord{3, 0}));
  ASSERT_TRUE(screen.SetCursorPosition(Coord{4, 0}));
  screen.Render();
  // After 'y' in the last column a terminal has a wrap pending (or has
  // wrapped): the cursor is put back with CUP even though it looks there.
  EXPECT_EQ(screen.TakeOutput(), Csi("1;4H") + Csi("0m") + "xy" + Csi("1;5H"));
}

TEST(VtScreenOutput, AttributesMapToSgrOnlyWhenTheyChange) {
  struct Case {
    uint16_t attribute;
    std::string sgr;
  };
  const Case cases[] = {
      {0x07, "0m"},  // the terminal's default colours
      {0x00, "0;30;40m"}, {0x01, "0;34;40m"},  {0x02, "0;32;40m"},  {0x04, "0;31;40m"},
      {0x06, "0;33;40m"}, {0x0F, "0;97;40m"},  {0x1E, "0;93;44m"},  {0x4F, "0;97;41m"},
      {0x70, "0;30;47m"}, {0x80, "0;30;100m"}, {0x9C, "0;91;104m"}, {0xF0, "0;30;107m"},
      {0x4007, "0m"},  // bits above the colours are not drawn
  };
  for (const Case& c : cases) {
    VtScreen screen(6, 1, kUtf8);
    screen.SetCursorVisible(false);
    screen.Render();
    screen.TakeOutput();
    ASSERT_TRUE(screen.WriteCells("ab", 2, c.attribute, Coord{2, 0}));
    screen.Render();
    EXPECT_EQ(screen.TakeOutput(), Csi("1;3H") + Csi(c.sgr) + "ab\r") << c.attribute;
    ASSERT_TRUE(screen.WriteCells("cd", 2, c.attribute, Coord{0, 0}));
    screen.Render();
    EXPECT_EQ(screen.TakeOutput(), "cd\r") << c.attribute;  // no SGR again
  }
}

TEST(VtScreenOutput, CellBytesNeverReachTheTerminalRaw) {
  const std::string hostile("\x1b[2J\x9b\x07\x08\x00\x0a\x0d\x7f\x90\x9c", 13);
  struct Case {
    VtScreen::Options options;
    std::vector<uint32_t> glyphs;
  };
  const Case cases[] = {
      {kUtf8,
       {0x2190, '[', '2', 'J', 0x203A, 0x2022, 0x25D8, ' ', 0x25D9, 0x266A, 0x2302, 0x0452,
        0x045A}},
      {kAscii, {'?', '[', '2', 'J', '?', '?', '?', ' ', '?', '?', '?', '?', '?'}},
  };
  for (const Case& c : cases) {
    VtScreen screen(13, 1, c.options);
    ASSERT_TRUE(screen.WriteCells(hostile.data(), 13, 7, Coord{0, 0}));
    screen.Render();
    const Scanned scanned = ScanOutput(screen.TakeOutput());
    ASSERT_EQ(scanned.error, "") << c.options.charset->name();
    std::vector<uint32_t> glyphs;
    ASSERT_TRUE(DecodeUtf8(scanned.text, &glyphs)) << c.options.charset->name();
    EXPECT_EQ(glyphs, c.glyphs) << c.options.charset->name();
  }
}

// A terminal of another locale gets each glyph in its charset's bytes, '?'
// where the charset lacks it; a typed file name comes out the same way.
TEST(VtScreenOutput, OtherCharsetsGetTheGlyphsInTheirBytes) {
  const std::string cells = "\xC7\xE0 \xEF\x01\xA8\xB9\x88\xAB";  // За п ☺ Ё № € «
  struct Case {
    const char* codeset;
    const char* shown;
  };
  const Case cases[] = {
      {"KOI8-R", "\xFA\xC1 \xD0?\xB3???"},
      {"CP866", "\x87\xA0 \xAF?\xF0\xFC??"},
      {"CP1251", "\xC7\xE0 \xEF?\xA8\xB9\x88\xAB"},  // the bytes themselves
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codeset);
    std::unique_ptr<TerminalCharset> charset = TerminalCharset::Named(c.codeset);
    ASSERT_NE(charset, nullptr);
    VtScreen screen(12, 1, VtScreen::Options{charset.get(), false});
    ASSERT_TRUE(screen.WriteCells(cells.data(), static_cast<int>(cells.size()), 7, Coord{0, 0}));
    screen.Render();
    const Scanned scanned = ScanOutput(screen.TakeOutput());
    ASSERT_EQ(scanned.error, "");
    EXPECT_EQ(scanned.text, c.shown);
    // DEL, which Ctrl+Backspace types, is a character of every charset.
    EXPECT_EQ(charset->FromCp1251(cells.substr(0, 4) + "\x7F" + cells.substr(5)),
              std::string(c.shown).replace(4, 1, "\x7F"));
  }
}

TEST(VtScreenOutput, EveryByteIsDrawnAsOneSafeGlyph) {
  for (const VtScreen::Options& options : {kUtf8, kAscii}) {
    VtScreen screen(256, 1, options);
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    ASSERT_TRUE(screen.WriteCells(all.data(), 256, 7, Coord{0, 0}));
    screen.Render();
    const Scanned scanned = ScanOutput(screen.TakeOutput());
    ASSERT_EQ(scanned.error, "") << options.charset->name();
    std::vector<uint32_t> glyphs;
    ASSERT_TRUE(DecodeUtf8(scanned.text, &glyphs)) << options.charset->name();
    ASSERT_EQ(glyphs.size(), 256u) << options.charset->name();  // one glyph a cell: one run
    for (uint32_t glyph : glyphs) {
      EXPECT_GE(glyph, 0x20u);
      EXPECT_NE(glyph, 0x7Fu);
      EXPECT_FALSE(glyph >= 0x80 && glyph <= 0x9F) << glyph;  // no C1 code
      if (!options.charset->utf8()) {
        EXPECT_LT(glyph, 0x7Fu);
      }
    }
    // Printable ASCII goes through as it is.
    for (int b = 0x20; b < 0x7F; ++b) EXPECT_EQ(glyphs[static_cast<size_t>(b)], uint32_t(b));
  }
}

TEST(VtScreenOutput, WholeBufferScrollIsLineFeedsOnTheLastRow) {
  VtScreen screen(4, 3, kUtf8);
  screen.SetCursorVisible(false);
  FillWithLetters(&screen);
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 2, 3, 2}, Coord{0, 0}, ' ', 7));
  // The rows are drawn first, so they leave the screen with their content.
  EXPECT_EQ(screen.TakeOutput(), Csi("?25l") + Csi("1;1H") + Csi("0m") + "abcd" + Csi("2;1H") +
                                     "efgh" + Csi("3;1H") + "ijkl" + Csi("3;1H") + "\n\n");
  // The rows brought in are blank on both sides: nothing more to draw.
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), Csi("1;1H"));
  // A scroll with a visible fill draws it afterwards.
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 3, 2}, Coord{0, 0}, '#', 7));
  EXPECT_EQ(screen.TakeOutput(), Csi("3;1H") + "\n");
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), "####" + Csi("1;1H"));  // the line feed left it there
}

TEST(VtScreenOutput, OtherMovesAreRepaintedNotScrolled) {
  VtScreen screen(4, 3, kUtf8);
  screen.SetCursorVisible(false);
  FillWithLetters(&screen);
  screen.Render();
  screen.TakeOutput();
  // Not the whole width: the model moves, the terminal gets the new cells.
  ASSERT_TRUE(screen.ScrollRect(Rect{0, 1, 2, 2}, Coord{0, 0}, ' ', 7));
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), "efg" + Csi("2;1H") + "ijk" + Csi("3;1H") + "   " + Csi("1;1H"));
}

TEST(VtScreenOutput, InvalidateAndResizeRepaintEveryKnownCell) {
  VtScreen screen(5, 2, kUtf8);
  ASSERT_TRUE(screen.WriteCells("ab", 2, 7, Coord{1, 1}));
  ASSERT_TRUE(screen.WriteCells(" ", 1, 7, Coord{4, 0}));
  screen.Render();
  screen.TakeOutput();
  screen.Invalidate();
  screen.Render();
  // A cleared terminal shows blanks: only cells other than a plain blank go.
  const std::string repaint = Csi("?25l") + Csi("0m") + Csi("H") + Csi("2J") + Csi("2;2H") + "ab" +
                              Csi("1;1H") + Csi("?25h");
  EXPECT_EQ(screen.TakeOutput(), repaint);
  screen.Resize(5, 2);
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), repaint);
  screen.Resize(2, 2);
  screen.Render();
  EXPECT_EQ(screen.TakeOutput(), Csi("?25l") + Csi("0m") + Csi("H") + Csi("2J") + Csi("2;2H") +
                                     "a" + Csi("1;1H") + Csi("?25h"));
}

TEST(VtScreenOutput, BeepFollowsWhatWasDrawnBeforeIt) {
  struct Case {
    VtScreen::Options options;
    std::string bell;
  };
  const Case cases[] = {
      {kUtf8, "\a"},
      {VtScreen::Options{&TerminalCharset::Utf8(), true}, Csi("10;1000]") + Csi("11;250]") + "\a"},
  };
  for (const Case& c : cases) {
    VtScreen screen(5, 1, c.options);
    screen.SetCursorVisible(false);
    ASSERT_TRUE(screen.WriteCells("a", 1, 7, Coord{0, 0}));
    screen.Beep(1000, 250);
    ASSERT_TRUE(screen.WriteCells("b", 1, 7, Coord{1, 0}));
    screen.Render();
    EXPECT_EQ(screen.TakeOutput(), Csi("?25l") + Csi("1;1H") + Csi("0m") + "a\r" + c.bell +
                                       "ab\r");  // 'a' redrawn: shorter
  }
}

}  // namespace
}  // namespace console
