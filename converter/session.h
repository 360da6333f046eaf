// What every piece of a conversion works on: the device, the channel table
// and the console on them, and the messages of the run.
#ifndef PATCONV_CONVERTER_SESSION_H_
#define PATCONV_CONVERTER_SESSION_H_

#include <string_view>

#include "console/console.h"
#include "console/device.h"
#include "converter/messages.h"
#include "textio/channels.h"

namespace converter {

/// The channels of the source text and of the converted text.
inline constexpr int kInputChannel = 1;
inline constexpr int kOutputChannel = 2;

/// The print flags of an item inside a line and of the one that ends it.
inline constexpr int kPrintItem = textio::kFlagLast;                         // 0x10
inline constexpr int kPrintLine = textio::kFlagLast | textio::kFlagLineEnd;  // 0x11

/// The console and the channels of one conversion on a device.  At its end
/// every channel is closed, then what the console holds is written.
struct Session {
  Session(console::Device& device_in, Messages& messages_in)
      : device(device_in), console(device_in, channels), messages(messages_in) {}
  ~Session() {
    channels.CloseAll();
    console.FlushOutput();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// A failure: what the screen got so far comes first, then the error line.
  void Fail(std::string_view text) {
    console.FlushOutput();
    messages.Error(text);
    failed = true;
  }

  console::Device& device;
  textio::Channels channels;
  console::Console console;
  Messages& messages;
  /// False when the converted text goes to standard output: the console is
  /// then never set up, and every print to it does nothing.
  bool on_screen = true;
  /// A failure has been reported: the exit status is 1.
  bool failed = false;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_SESSION_H_
