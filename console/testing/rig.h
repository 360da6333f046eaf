// The test rig of the console engine: a console on the memory device with
// the channel table it plugs into, driven by key scripts that may be typed
// in stages, with a look at the screen taken whenever the console has used
// up the keys it was given.
#ifndef PATCONV_CONSOLE_TESTING_RIG_H_
#define PATCONV_CONSOLE_TESTING_RIG_H_

#include <deque>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/testing/memory_device.h"
#include "textio/channels.h"

namespace console {

/// A memory console of the given shape; the default size when none is given.  With
/// no taller buffer, scrolling loses the top row.
inline MemoryDevice::Options Shape(int width, int height, int buffer_height = 0,
                                   int window_top = 0) {
  MemoryDevice::Options options;
  options.width = width;
  options.height = height;
  options.buffer_height = buffer_height;
  options.window_top = window_top;
  return options;
}

/// Rows of text, for comparing with MemoryDevice::WindowRows().
using Rows = std::vector<std::string>;

/// What the user sees at one moment of an edit.
struct Look {
  Rows rows;                   // the window's rows, trailing blanks removed
  std::pair<int, int> cursor;  // absolute column and row, 0-based
  bool cursor_visible = false;
  std::vector<std::pair<int, int>> tones;  // every tone so far
};

/// The device, the channel table and the console of one program run.  The
/// console goes first, as at the end of the program.  When the console
/// waits for a key and none is left, the next step queued by Then() runs;
/// with none queued the wait fails (throws), so a test cannot hang.
struct Rig {
  explicit Rig(MemoryDevice::Options options = {}) : device(options), console(device, channels) {
    device.SetIdleHook([this] { RunNextStep(); });
  }

  /// Prompted input as the converter makes it (the "? " suffix and a line
  /// end), then read field: the first field of the answer.
  std::string Ask(std::string_view prompt) {
    console.PromptedInput(prompt, true, true);
    std::string answer;
    channels.ReadField(&answer);
    return answer;
  }

  /// Prints `prompt`, then reads one line with the console line reader.
  /// The keys of the first stage are waiting when the line starts; each
  /// later stage is typed once the reader has used up the keys before it.
  /// A look is taken after every stage; Enter then ends the line.
  std::string Edit(std::string_view prompt, const std::vector<std::string>& stages) {
    if (!prompt.empty()) console.Print(prompt);
    device.Type(stages.front());
    for (size_t i = 1; i <= stages.size(); ++i) {
      std::string next = i < stages.size() ? stages[i] : "{Enter}";
      Then([this, next] {
        looks_.push_back(Now());
        device.Type(next);
      });
    }
    return console.ReadLine();
  }

  /// Runs `step` the next time the console waits with every key used up,
  /// after the steps queued before it.
  void Then(std::function<void()> step) { steps_.push_back(std::move(step)); }

  /// The screen, cursor and tones as they are now.
  Look Now() const {
    return Look{device.WindowRows(), Cursor(), device.cursor_visible(), device.beeps()};
  }
  /// Where the cursor stands now: absolute column and row, 0-based.
  std::pair<int, int> Cursor() const { return {device.cursor().x, device.cursor().y}; }
  /// The looks taken after each stage of the edits so far.
  const std::vector<Look>& looks() const { return looks_; }

  MemoryDevice device;
  textio::Channels channels;
  Console console;

 private:
  void RunNextStep() {
    if (steps_.empty())
      throw std::runtime_error("the console waits for a key that no script gives");
    std::function<void()> step = std::move(steps_.front());
    steps_.pop_front();
    step();
  }

  std::deque<std::function<void()>> steps_;
  std::vector<Look> looks_;
};

/// The cursor as a 0-based absolute cell.
inline Coord At(int x, int y) { return Coord{x, y}; }

/// Shows a cell as (x, y) in failure messages.
inline void PrintTo(const Coord& at, std::ostream* out) {
  *out << "(" << at.x << ", " << at.y << ")";
}

}  // namespace console

#endif  // PATCONV_CONSOLE_TESTING_RIG_H_
