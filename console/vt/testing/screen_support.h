// What the terminal screen's tests share: the charsets they draw in, and a
// model filled with letters.
#ifndef PATCONV_CONSOLE_VT_TESTING_SCREEN_SUPPORT_H_
#define PATCONV_CONSOLE_VT_TESTING_SCREEN_SUPPORT_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "console/vt/vt_screen.h"

namespace console {

// A terminal whose locale is ASCII alone (libvterm knows no other 8-bit
// charset), reached through iconv like any other.
inline const TerminalCharset& AsciiCharset() {
  static const TerminalCharset* const ascii = TerminalCharset::Named("ANSI_X3.4-1968").release();
  return *ascii;
}

inline const VtScreen::Options kUtf8{};
inline const VtScreen::Options kAscii{&AsciiCharset(), false};

// Fills every row of the model with its own letters: "abcde", "fghij" ...
inline void FillWithLetters(VtScreen* screen) {
  char next = 'a';
  for (int y = 0; y < screen->height(); ++y) {
    std::string row;
    for (int x = 0; x < screen->width(); ++x) row += next++;
    ASSERT_TRUE(screen->WriteCells(row.data(), screen->width(), 7, Coord{0, y}));
  }
}

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_TESTING_SCREEN_SUPPORT_H_
