// The one place that carries out a Job (job.h) on a device: an answer of
// its own for --help, --version and a refusal; for a conversion, the source
// and the target it names, handed to Convert (conversion.h).
#ifndef PATCONV_CONVERTER_DISPATCH_H_
#define PATCONV_CONVERTER_DISPATCH_H_

#include <string_view>

#include "clipboard/clipboard.h"
#include "console/device.h"
#include "converter/job.h"

namespace converter {

/// The last line of a run whose window closes with the program.
inline constexpr std::string_view kCloseNotice = "Press any key to close this window.";

/// Carries out `job` on `device`: the usage text, the version, a refusal,
/// the conversion with its questions answered by the names given, or the
/// conversion of the clipboard on `board`.  Lines for standard error go to
/// the device.  When the window would close with the program, it then waits
/// for a key; after a clipboard run only when an error or a warning was
/// shown, so that a clean one is copy, key, paste.  Returns the exit status.
int Dispatch(console::Device& device, clipboard::Clipboard& board, const Job& job);

}  // namespace converter

#endif  // PATCONV_CONVERTER_DISPATCH_H_
