// The lines the program writes to standard error, each with the program's
// name in front: "patconv: cannot open ...", "patconv: warning: ...".
#ifndef PATCONV_CONVERTER_MESSAGES_H_
#define PATCONV_CONVERTER_MESSAGES_H_

#include <string>
#include <string_view>

#include "console/device.h"

namespace converter {

/// A line for standard error: the program's name, then `text`.
std::string MessageLine(std::string_view text);

/// Writes the lines through the device, which puts them on standard error
/// (on a console it draws on, below the final screen), and remembers what
/// they said.
class Messages {
 public:
  explicit Messages(console::Device& device) : device_(device) {}

  /// A failure: "patconv: " and `text`.
  void Error(std::string_view text);
  /// "patconv: warning: " and `text`.
  void Warning(std::string_view text);
  /// A line that tells how the run went: "patconv: " and `text`.
  void Info(std::string_view text);

  /// An error or a warning has been written.
  bool alarmed() const { return alarmed_; }

 private:
  console::Device& device_;
  bool alarmed_ = false;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_MESSAGES_H_
