// The system clipboard's text, read and set as bytes.
//
// Library clipboard, beside textio at the bottom: this seam, and one file
// per platform that makes the system's clipboard (clipboard_win32.cc, the
// Windows clipboard; clipboard_posix.cc, the desktop's through the standard
// command-line tools).  The run is tested on a fake of its own.
#ifndef PATCONV_CLIPBOARD_CLIPBOARD_H_
#define PATCONV_CLIPBOARD_CLIPBOARD_H_

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

namespace clipboard {

/// What a read of the clipboard found.
enum class Found {
  kText,     // text, possibly empty
  kNoText,   // nothing at all, or no text (a picture, files ...)
  kFailure,  // the clipboard could not be read
};

/// The clipboard of the user's session.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  /// Reads the clipboard's text into *text as the bytes it holds, line ends
  /// and all.  On kFailure, *error tells why, as a phrase for an error line.
  virtual Found Read(std::string* text, std::string* error) = 0;
  /// Replaces what the clipboard holds by `text`, exactly these bytes.
  /// False when it could not be set, with *error telling why.  A signal or
  /// a console event that ends the process meanwhile never leaves part of
  /// the text there: the clipboard then holds what it held, or all of it.
  virtual bool Set(std::string_view text, std::string* error) = 0;

  /// True once Set has handed the whole text over: from then on the
  /// clipboard gets it whether this process lives on or not; before, the
  /// clipboard is as it was.  False again when the set then failed.  For a
  /// line composed as the process is ended from outside: async-signal-safe.
  bool HandedOver() const { return handed_over_.load(std::memory_order_acquire); }

 protected:
  void SetHandedOver(bool handed_over) {
    handed_over_.store(handed_over, std::memory_order_release);
  }

 private:
  std::atomic<bool> handed_over_{false};
  static_assert(std::atomic<bool>::is_always_lock_free, "read by signal handlers");
};

/// The clipboard of the system the program was built for.  Nothing is
/// touched before the first Read or Set.
std::unique_ptr<Clipboard> MakeSystemClipboard();

}  // namespace clipboard

#endif  // PATCONV_CLIPBOARD_CLIPBOARD_H_
