// The system clipboard's text, read and set as bytes.
//
// Library clipboard, beside textio at the bottom: this seam, and one file
// per platform that makes the system's clipboard (clipboard_win32.cc, the
// Windows clipboard; clipboard_posix.cc, the desktop's through the standard
// command-line tools).  The run is tested on a fake of its own.
#ifndef PATCONV_CLIPBOARD_CLIPBOARD_H_
#define PATCONV_CLIPBOARD_CLIPBOARD_H_

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
  /// False when it could not be set, with *error telling why.
  virtual bool Set(std::string_view text, std::string* error) = 0;
};

/// The clipboard of the system the program was built for.  Nothing is
/// touched before the first Read or Set.
std::unique_ptr<Clipboard> MakeSystemClipboard();

}  // namespace clipboard

#endif  // PATCONV_CLIPBOARD_CLIPBOARD_H_
