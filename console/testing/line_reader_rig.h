// The line editing tests' console: the in-memory console with the program's
// channel table, driven by key scripts typed in stages, with a look at the
// screen taken whenever the line reader has used up the keys it was given.
#ifndef PATCONV_CONSOLE_TESTING_LINE_READER_RIG_H_
#define PATCONV_CONSOLE_TESTING_LINE_READER_RIG_H_

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/testing/memory_device.h"
#include "textio/channels.h"

namespace console {

/// What the user sees at one moment of an edit.
struct Look {
  std::vector<std::string> rows;  // the window's rows, trailing blanks removed
  std::pair<int, int> cursor;     // absolute column and row, 0-based
  bool cursor_visible = false;
  std::vector<std::pair<int, int>> tones;  // every tone so far
};

/// A window of `width` columns and `height` rows in a buffer no taller, so
/// that scrolling loses the top row.
inline MemoryDevice::Options Window(int width, int height) {
  MemoryDevice::Options options;
  options.width = width;
  options.height = height;
  return options;
}

/// One console in memory, set up and cleared as the converter leaves it
/// before its first prompt, with the cursor at row 1, column 1.
class Editor {
 public:
  explicit Editor(MemoryDevice::Options options = MemoryDevice::Options())
      : device_(options), console_(device_, channels_) {
    device_.SetIdleHook([this] { RunNextStep(); });
    console_.ClearScreen();
  }

  /// Prints `prompt`, then reads one line with the console line reader.
  /// The keys of the first stage are waiting when the line starts; each
  /// later stage is typed once the reader has used up the keys before it.
  /// A look is taken after every stage; Enter then ends the line.
  std::string Edit(std::string_view prompt, const std::vector<std::string>& stages) {
    if (!prompt.empty()) console_.Print(prompt);
    device_.Type(stages.front());
    for (size_t i = 1; i <= stages.size(); ++i) {
      std::string next = i < stages.size() ? stages[i] : "{Enter}";
      Then([this, next] {
        looks_.push_back(Now());
        device_.Type(next);
      });
    }
    return console_.ReadLine();
  }

  /// Prompted input as the converter asks it (the "? " suffix and a line
  /// end), answered by keys already typed; returns the first field of the
  /// answer line as read field gives it.
  std::string Answer(std::string_view prompt) {
    console_.PromptedInput(prompt, true, true);
    std::string field;
    channels_.ReadField(&field);
    return field;
  }

  /// Runs `step` the next time the reader waits with every key used up,
  /// after the steps queued before it.
  void Then(std::function<void()> step) { steps_.push_back(std::move(step)); }

  /// The screen, cursor and tones as they are now.
  Look Now() const {
    return Look{device_.WindowRows(), {device_.cursor().x, device_.cursor().y},
                device_.cursor_visible(), device_.beeps()};
  }
  /// Where the cursor stands now: absolute column and row, 0-based.
  std::pair<int, int> Cursor() const { return {device_.cursor().x, device_.cursor().y}; }
  /// The looks taken after each stage of the edits so far.
  const std::vector<Look>& looks() const { return looks_; }

  MemoryDevice& device() { return device_; }
  Console& console() { return console_; }
  textio::Channels& channels() { return channels_; }

 private:
  void RunNextStep() {
    if (steps_.empty()) throw std::runtime_error("the line reader waits for keys no script gives");
    std::function<void()> step = std::move(steps_.front());
    steps_.pop_front();
    step();
  }

  MemoryDevice device_;
  textio::Channels channels_;
  Console console_;
  std::deque<std::function<void()>> steps_;
  std::vector<Look> looks_;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_TESTING_LINE_READER_RIG_H_
