// The terminal screen's tests: a model filled with letters, row by row.
#ifndef PATCONV_CONSOLE_VT_TESTING_SCREEN_LETTERS_H_
#define PATCONV_CONSOLE_VT_TESTING_SCREEN_LETTERS_H_

#include <gtest/gtest.h>

#include <string>

#include "console/vt/vt_screen.h"

namespace console {

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

#endif  // PATCONV_CONSOLE_VT_TESTING_SCREEN_LETTERS_H_
