// File names that reach a device instead of a file: the program's own
// reserved forms, refused on every platform, and what Windows takes for a
// device.  Portable, so that the rules are tested everywhere; only the
// Windows build acts on the second (OsFile::NamesDevice).
#ifndef PATCONV_TEXTIO_WINDOWS_NAMES_H_
#define PATCONV_TEXTIO_WINDOWS_NAMES_H_

#include <string>
#include <string_view>

namespace textio {

/// True for the names that would name a device or a command pipe instead of
/// a file (COM...:, LPT...:, PRN:, CONS:, SCRN:, PIPE:, any letter case).
bool IsReservedDeviceName(std::string_view name);

/// True when Windows would open a device, not a file, for `name` (either
/// slash separating):
///   - names in the device namespace: those that begin `\\.\` or `\\.`
///     alone, and those that begin `\\?\` or `\??\` but do not go on with
///     a drive and a path (`X:\...`) or a share (`UNC\...`), such as
///     `\\?\GLOBALROOT\...`, `\\?\C:` (a volume) or `\\?\PhysicalDrive0`;
///   - reserved device names as the last component of the path, in any
///     letter case, with or without an extension, a colon and anything
///     after it, or trailing blanks and dots: CON, PRN, AUX, NUL, COM1 to
///     COM9 and LPT1 to LPT9 (also with a superscript 1, 2 or 3, in UTF-8 or
///     as one byte), CONIN$, CONOUT$.  A trailing "." component and ".."
///     components count as Windows resolves them, and a drive ("C:CON")
///     does not hide the name.
bool IsWindowsDeviceName(std::string_view name);

/// The form of a full path (as GetFullPathNameW makes it, backslashes
/// only) that the system's file calls take beyond MAX_PATH - 1 characters
/// even where the long-path policy is off: `\\?\` before a path on a
/// drive, `\\?\UNC\` in place of the `\\` of a share.  A path already in
/// the device namespace (`\\?\`, `\\.\`, `\??\`) or that is neither
/// stays as it is.
std::wstring LongPathForm(std::wstring_view full_path);

}  // namespace textio

#endif  // PATCONV_TEXTIO_WINDOWS_NAMES_H_
