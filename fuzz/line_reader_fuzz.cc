// Fuzz target: the line editor on a memory console.
//
// The input picks the console (width 2-60, window height 3-20, up to 10
// buffer rows below the window), the row the prompt starts on and the
// prompt's length (0 to two rows); then up to 400 keys: characters 32-255
// (typed, or composed with Alt and keypad digits), Backspace, Delete,
// Escape, Home, End, Left, Right, Up, Down and Tab; Enter ends the line.
//
// Properties:
//   a. The returned line equals a model of the edits at an edit position p
//      on a line of length n, W being the console width: a character is
//      inserted at p; Backspace deletes before p; Delete deletes at p;
//      Escape empties the line; Home and End go to 0 and n; Left and Right
//      move by one within the line; Up and Down move by W when the line has
//      that much in that direction; Tab inserts 8 - p mod 8 spaces.
//   b. When the screen did not scroll while the line was edited (the window
//      did not move and the marker on its first row is still there), the
//      screen shows the prompt and then the line from where the prompt
//      ended, wrapped at the buffer width; the cells that the line covered
//      at its longest and covers no more are blank; and the cursor stands
//      just after the line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/console.h"
#include "console/testing/memory_device.h"
#include "fuzz/fuzz_input.h"
#include "textio/channels.h"

namespace {

using fuzz::Check;

// The marker holds a byte no typed key can put into a line.
constexpr std::string_view kMarker = "\x01MARK";
constexpr const char* kKeyNames[] = {"{Backspace}", "{Delete}", "{Esc}", "{Home}", "{End}",
                                     "{Left}",      "{Right}",  "{Up}",  "{Down}", "{Tab}"};

// The edits as the line reader should make them.
struct Model {
  std::string line;
  size_t p = 0;
  size_t longest = 0;
  size_t width = 0;

  void Insert(const std::string& text) {
    line.insert(p, text);
    p += text.size();
  }
  void Key(int which) {
    const size_t n = line.size();
    switch (which) {
      case 0:
        if (p > 0) line.erase(--p, 1);
        break;  // Backspace
      case 1:
        if (p < n) line.erase(p, 1);
        break;                             // Delete
      case 2: line.clear(), p = 0; break;  // Escape
      case 3: p = 0; break;                // Home
      case 4: p = n; break;                // End
      case 5:
        if (p > 0) --p;
        break;  // Left
      case 6:
        if (p < n) ++p;
        break;  // Right
      case 7:
        if (p >= width) p -= width;
        break;  // Up
      case 8:
        if (p + width <= n) p += width;
        break;                                              // Down
      default: Insert(std::string(8 - p % 8, ' ')); break;  // Tab
    }
  }
};

// Queues the keys and works out the line they should give.
Model TypeKeys(fuzz::FuzzInput& input, console::MemoryDevice& device, size_t width) {
  Model model;
  model.width = width;
  for (int keys = 0; keys < 400 && !input.empty(); ++keys) {
    const int kind = input.Byte() % 17;
    if (kind < 6 || kind == 16) {
      const auto character = static_cast<unsigned char>(32 + input.Byte() % 224);
      if (kind == 16 || character == '{') {
        device.Type("{AltNum:" + std::to_string(character) + "}");
      } else {
        device.Type(std::string(1, static_cast<char>(character)));
      }
      model.Insert(std::string(1, static_cast<char>(character)));
    } else {
      device.Type(kKeyNames[kind - 6]);
      model.Key(kind - 6);
    }
    if (model.line.size() > model.longest) model.longest = model.line.size();
  }
  device.Type("{Enter}");
  return model;
}

// The cell `offset` cells after the absolute cell `start`, wrapped.
char CellAfter(const console::MemoryDevice& device, console::Coord start, size_t offset,
               int width) {
  const size_t linear = static_cast<size_t>(start.y) * static_cast<size_t>(width) +
                        static_cast<size_t>(start.x) + offset;
  return device.CharacterAt(static_cast<int>(linear % static_cast<size_t>(width)),
                            static_cast<int>(linear / static_cast<size_t>(width)));
}

void CheckScreen(const console::MemoryDevice& device, const Model& model, const std::string& prompt,
                 int prompt_row, int width) {
  const console::Coord prompt_start{0, prompt_row};
  for (size_t i = 0; i < prompt.size(); ++i) {
    Check(CellAfter(device, prompt_start, i, width) == prompt[i], "the prompt stays shown");
  }
  const console::Coord start{static_cast<int>(prompt.size()) % width,
                             prompt_row + static_cast<int>(prompt.size()) / width};
  for (size_t i = 0; i < model.longest; ++i) {
    const char expected = i < model.line.size() ? model.line[i] : ' ';
    Check(CellAfter(device, start, i, width) == expected,
          "the screen shows the line, and blanks where it no longer reaches");
  }
  const size_t end = static_cast<size_t>(start.y) * static_cast<size_t>(width) +
                     static_cast<size_t>(start.x) + model.line.size();
  const console::Coord cursor = device.cursor();
  Check(cursor.x == static_cast<int>(end % static_cast<size_t>(width)) &&
            cursor.y == static_cast<int>(end / static_cast<size_t>(width)),
        "the cursor stands just after the line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input(data, size);
  console::MemoryDevice::Options options;
  options.width = input.Range(2, 60);
  options.height = input.Range(3, 20);
  options.buffer_height = options.height + input.Range(0, 10);
  const int prompt_row = input.Range(1, options.height - 1);
  std::string prompt(static_cast<size_t>(input.Range(0, 2 * options.width)), '>');
  console::MemoryDevice device(options);
  textio::Channels channels;
  console::Console console(device, channels);

  console.ClearScreen();
  console.Print(kMarker);
  console.PlaceCursor(prompt_row + 1, 1, -1);
  console.Print({}, true);
  console.Print(prompt);
  const console::Rect window = device.window();
  const Model model = TypeKeys(input, device, static_cast<size_t>(options.width));
  const std::string line = console.ReadLine();
  Check(line == model.line, "the line is the model's line");
  Check(device.events_left() == 0, "Enter was the last key taken");

  // A prompt that fills the window's last row leaves the line's start below
  // the window (the line feed waits); only a line that starts inside the
  // window and made nothing scroll can be checked cell by cell.
  const int start_row = prompt_row + static_cast<int>(prompt.size()) / options.width;
  const bool scrolled = !(device.window() == window) || device.Row(window.top) != kMarker;
  if (!scrolled && start_row <= window.bottom) {
    CheckScreen(device, model, prompt, prompt_row, options.width);
  }
  return 0;
}
