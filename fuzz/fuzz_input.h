// Shared helpers of the fuzz targets: taking structured choices out of the
// fuzzer's bytes, and stopping with a message when a property fails.
#ifndef PATCONV_FUZZ_FUZZ_INPUT_H_
#define PATCONV_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

/// Reads the fuzzer's bytes front to back; past the end every read gives 0
/// or an empty run, so a target never runs out of choices.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return offset_ >= size_; }
  size_t left() const { return empty() ? 0 : size_ - offset_; }

  /// The next byte, 0 at the end.
  uint8_t Byte() { return empty() ? 0 : data_[offset_++]; }
  /// A value in [low, high], from one byte (or two when the range is wider).
  int Range(int low, int high) {
    const unsigned span = static_cast<unsigned>(high - low) + 1;
    unsigned value = Byte();
    if (span > 256) value = value << 8 | Byte();
    return low + static_cast<int>(value % span);
  }
  /// Up to `count` bytes, fewer at the end.
  std::string_view Bytes(size_t count) {
    if (count > left()) count = left();
    std::string_view run(reinterpret_cast<const char*>(data_ + offset_), count);
    offset_ += count;
    return run;
  }
  /// Everything that is left.
  std::string_view Rest() { return Bytes(left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

/// Prints what failed and aborts, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "property failed: %s\n", what.c_str());
  std::abort();
}

/// Checks a property; `what` says which one.
inline void Check(bool holds, const char* what) {
  if (!holds) Fail(what);
}

/// Bytes shown as C string escapes, for failure messages.
inline std::string Escaped(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string shown;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      shown += c;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    }
  }
  return shown;
}

}  // namespace fuzz

#endif  // PATCONV_FUZZ_FUZZ_INPUT_H_
