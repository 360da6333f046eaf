// Fuzz target: the console engine (clear screen, place cursor, console
// print, cursor advance) on a memory console of any shape, while the user
// moves and resizes the window.
//
// The input picks the buffer width (2-100), the window height (2-40), extra
// buffer rows below it (0-40), the window's first row and the widest window
// allowed; then at most 64 op bytes each pick one of: a print of up to 64
// arbitrary bytes, a long print (up to 2100 bytes of one value, more than
// two runs), a forced empty print, place cursor with a row and column
// around and outside the console, clear screen, a cursor advance by -300 to
// 300 cells, or a window move to any rows of the buffer (a one-row window
// stops being a console).
//
// Property: the engine keeps the cursor and every write inside the buffer.
// The memory console counts each primitive that is asked to reach outside
// the buffer (a cell write, fill, scroll or cursor position that it would
// have to refuse or clip); the count stays 0 after every operation.
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/console.h"
#include "console/testing/memory_device.h"
#include "fuzz/fuzz_input.h"
#include "textio/channels.h"

namespace {

using fuzz::Check;

void Step(fuzz::FuzzInput& input, console::MemoryDevice& device, console::Console& console,
          int buffer_height) {
  switch (input.Byte() % 8) {
    case 0:
    case 1: console.Print(input.Bytes(input.Byte() % 65u)); break;
    case 2: {
      const char byte = static_cast<char>(input.Byte());
      console.Print(std::string(static_cast<size_t>(input.Range(1, 2100)), byte));
      break;
    }
    case 3: console.Print({}, true); break;
    case 4: {
      const console::Position size = console.ConsoleSize();
      const int row = input.Range(-2, size.row + 3);
      const int column = input.Range(-2, size.column + 3);
      console.PlaceCursor(row, column, input.Range(-1, 1));
      break;
    }
    case 5: console.ClearScreen(); break;
    case 6:
      console.CursorAdvance(input.Range(-300, 300), console.CursorPosition(),
                            console.ConsoleSize());
      break;
    default: {
      const int top = input.Range(0, buffer_height - 1);
      device.MoveWindow(top, input.Range(top, buffer_height - 1));
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input(data, size);
  console::MemoryDevice::Options options;
  options.width = input.Range(2, 100);
  options.height = input.Range(2, 40);
  options.buffer_height = options.height + input.Range(0, 40);
  options.window_top = input.Range(0, options.buffer_height - options.height);
  options.max_window_width = input.Range(0, options.width);
  console::MemoryDevice device(options);
  device.host_history = options.width % 2 == 0;  // scrolling by line feeds on even widths
  textio::Channels channels;
  console::Console console(device, channels);

  int steps = 0;
  while (!input.empty() && ++steps <= 64) {
    Step(input, device, console, options.buffer_height);
    Check(device.out_of_buffer_calls() == 0,
          "the engine keeps the cursor and every write inside the buffer");
  }
  return 0;
}
