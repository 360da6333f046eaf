#include "textio/windows_names.h"

#include <cctype>
#include <string>

namespace textio {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view upper) {
  if (text.size() < upper.size()) return false;
  for (size_t i = 0; i < upper.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) return false;
  }
  return true;
}

bool EqualsNoCase(std::string_view text, std::string_view upper) {
  return text.size() == upper.size() && StartsWithNoCase(text, upper);
}

bool IsDrive(std::string_view text) {
  return text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':';
}

// After `\\?\` or `\??\`: a path that Windows opens as a file, on a drive
// ("C:\dir\x") or a share ("UNC\server\share\x").  Anything else there is a
// device: a volume, a disk, GLOBALROOT.
bool IsFilePathAfterPrefix(std::string_view rest) {
  if (IsDrive(rest)) return rest.size() > 3 && rest[2] == '\\';
  return StartsWithNoCase(rest, "UNC\\") && rest.size() > 4;
}

// The component that names what is opened: the last one, once "." and ".."
// are resolved as Windows resolves them.
std::string_view LastComponent(std::string_view path) {
  if (IsDrive(path)) path.remove_prefix(2);  // "C:CON" is CON
  int skip = 0;
  for (;;) {
    const size_t cut = path.rfind('\\');
    const std::string_view component = cut == std::string_view::npos ? path : path.substr(cut + 1);
    if (component == "..") {
      ++skip;
    } else if (component != ".") {
      if (skip == 0) return component;
      --skip;
    }
    if (cut == std::string_view::npos) return {};
    path = path.substr(0, cut);
  }
}

// Windows reads a device name up to an extension or a colon, and without
// the blanks before them.
bool IsReservedComponent(std::string_view component) {
  std::string_view base = component.substr(0, component.find_first_of(".:"));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (EqualsNoCase(base, device)) return true;
  }
  if (!StartsWithNoCase(base, "COM") && !StartsWithNoCase(base, "LPT")) return false;
  const std::string_view number = base.substr(3);
  if (number.size() == 1 && number[0] >= '1' && number[0] <= '9') return true;
  // Superscript 1, 2, 3: Windows takes COM¹ for a port too.
  for (std::string_view superscript :
       {"\xB9", "\xB2", "\xB3", "\xC2\xB9", "\xC2\xB2", "\xC2\xB3"}) {
    if (number == superscript) return true;
  }
  return false;
}

// "COM" or "LPT", zero or more digits, a colon, anything.
bool IsPortName(std::string_view name) {
  if (!StartsWithNoCase(name, "COM") && !StartsWithNoCase(name, "LPT")) return false;
  size_t i = 3;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
  return i < name.size() && name[i] == ':';
}

}  // namespace

bool IsReservedDeviceName(std::string_view name) {
  if (name.size() <= 3) return false;
  return IsPortName(name) || EqualsNoCase(name, "PRN:") || EqualsNoCase(name, "CONS:") ||
         EqualsNoCase(name, "SCRN:") || EqualsNoCase(name, "PIPE:");
}

bool IsWindowsDeviceName(std::string_view name) {
  std::string path(name);
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  const std::string_view view = path;
  if (view == "\\\\." || view == "\\\\?" || view.rfind("\\\\.\\", 0) == 0) return true;
  if (view.rfind("\\\\?\\", 0) == 0 || view.rfind("\\??\\", 0) == 0) {
    // No device name is looked for in such a path: Windows takes it as it is.
    return !IsFilePathAfterPrefix(view.substr(4));
  }
  return IsReservedComponent(LastComponent(view));
}

std::wstring LongPathForm(std::wstring_view full_path) {
  const std::wstring path(full_path);
  const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
                     ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  if (drive) return L"\\\\?\\" + path;
  const bool device = path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0;
  const bool share = path.size() > 2 && path.compare(0, 2, L"\\\\") == 0 && !device;
  if (share) return L"\\\\?\\UNC\\" + path.substr(2);
  return path;
}

}  // namespace textio
