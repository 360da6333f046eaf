#include "converter/messages.h"

namespace converter {
namespace {

constexpr std::string_view kPrefix = "patconv: ";
constexpr std::string_view kWarning = "warning: ";

}  // namespace

std::string MessageLine(std::string_view text) {
  std::string line(kPrefix);
  line += text;
  return line;
}

void Messages::Error(std::string_view text) {
  alarmed_ = true;
  device_.WriteErrorLine(MessageLine(text));
}

void Messages::Warning(std::string_view text) {
  alarmed_ = true;
  device_.WriteErrorLine(MessageLine(std::string(kWarning) + std::string(text)));
}

void Messages::Info(std::string_view text) { device_.WriteErrorLine(MessageLine(text)); }

}  // namespace converter
