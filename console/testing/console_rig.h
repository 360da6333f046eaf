// Helpers shared by the console engine tests: a console on the memory
// device, with the channel table it plugs into.
#ifndef PATCONV_CONSOLE_TESTING_CONSOLE_RIG_H_
#define PATCONV_CONSOLE_TESTING_CONSOLE_RIG_H_

#include <ostream>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/testing/memory_device.h"
#include "textio/channels.h"

namespace console {

/// A memory console of the given shape; 80 x 25 when none is given.
inline MemoryDevice::Options Shape(int width, int height, int buffer_height = 0,
                                   int window_top = 0) {
  MemoryDevice::Options options;
  options.width = width;
  options.height = height;
  options.buffer_height = buffer_height;
  options.window_top = window_top;
  return options;
}

/// The device, the channel table and the console of one program run.  The
/// console goes first, as at the end of the program.
struct Rig {
  explicit Rig(MemoryDevice::Options options = {}) : device(options), console(device, channels) {}

  /// Prompted input as the converter makes it, then read field: the answer.
  std::string Ask(const std::string& prompt) {
    console.PromptedInput(prompt, true, true);
    std::string answer;
    channels.ReadField(&answer);
    return answer;
  }

  MemoryDevice device;
  textio::Channels channels;
  Console console;
};

/// The cursor as a 0-based absolute cell.
inline Coord At(int x, int y) { return Coord{x, y}; }

/// Shows a cell as (x, y) in failure messages.
inline void PrintTo(const Coord& at, std::ostream* out) {
  *out << "(" << at.x << ", " << at.y << ")";
}

/// Rows of text, for comparing with MemoryDevice::WindowRows().
using Rows = std::vector<std::string>;

}  // namespace console

#endif  // PATCONV_CONSOLE_TESTING_CONSOLE_RIG_H_
