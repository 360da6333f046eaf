// The Windows clipboard.  Trackers exchange pattern text as CF_TEXT, in the
// ANSI code page: that is what is read, and what is set, byte for byte.
// Beside it go the same text as CF_UNICODETEXT, through the program's one
// Windows-1251 table, and the Russian locale (whose ANSI code page is 1251)
// as CF_LOCALE, so that a program that asks for another text format gets
// the text this program means.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "clipboard/clipboard.h"
#include "textio/cp1251.h"

namespace clipboard {
namespace {

// Another program may hold the clipboard open for a moment (a clipboard
// manager reading what was just copied): opening is tried for this long.
constexpr int kOpenAttempts = 50;
constexpr DWORD kOpenPauseMs = 20;

// The Russian locale, MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT),
// SORT_DEFAULT).
constexpr DWORD kRussianLocale = 0x0419;

// "<what>: <the system's text> (error <n>)" for the last error, as UTF-8.
std::string SystemError(const char* what) {
  const DWORD code = ::GetLastError();
  std::string text = what;
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  if (length > 0 && message != nullptr) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(length), nullptr,
                                           0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
      ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(length), &utf8[0], size, nullptr,
                            nullptr);
    }
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == '.' ||
                             utf8.back() == ' ')) {
      utf8.pop_back();
    }
    if (!utf8.empty()) text += ": " + utf8;
  }
  if (message != nullptr) ::LocalFree(message);
  return text + " (error " + std::to_string(code) + ")";
}

bool Open(HWND owner, std::string* error) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (::OpenClipboard(owner)) return true;
    ::Sleep(kOpenPauseMs);
  }
  *error = "another program holds it open";
  return false;
}

// A message-only window, the clipboard's owner while it is set: a
// clipboard emptied without an owner refuses the data set after.
class OwnerWindow {
 public:
  OwnerWindow()
      : window_(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)) {}
  ~OwnerWindow() {
    if (window_ != nullptr) ::DestroyWindow(window_);
  }
  OwnerWindow(const OwnerWindow&) = delete;
  OwnerWindow& operator=(const OwnerWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// Hands a copy of `size` bytes to the open clipboard as `format`.
bool Put(UINT format, const void* data, size_t size, std::string* error) {
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
  void* target = memory != nullptr ? ::GlobalLock(memory) : nullptr;
  if (target == nullptr) {
    *error = SystemError("cannot allocate its memory");
    if (memory != nullptr) ::GlobalFree(memory);
    return false;
  }
  std::memcpy(target, data, size);
  ::GlobalUnlock(memory);
  if (::SetClipboardData(format, memory) == nullptr) {
    *error = SystemError("SetClipboardData failed");
    ::GlobalFree(memory);
    return false;
  }
  return true;  // the system owns the memory now
}

// The formats of the text, on the open clipboard emptied for `owner`.
bool PutText(std::string_view text, std::string* error) {
  std::string ansi(text);
  ansi.push_back('\0');
  std::wstring wide;
  wide.reserve(text.size() + 1);
  for (char c : text) {
    wide.push_back(static_cast<wchar_t>(textio::Cp1251ToUnicode(static_cast<uint8_t>(c))));
  }
  wide.push_back(L'\0');
  if (!Put(CF_TEXT, ansi.data(), ansi.size(), error) ||
      !Put(CF_UNICODETEXT, wide.data(), wide.size() * sizeof(wchar_t), error)) {
    return false;
  }
  // Without it the system would take the user's input language; the text
  // is whole without it, so a failure here changes nothing.
  std::string ignored;
  Put(CF_LOCALE, &kRussianLocale, sizeof kRussianLocale, &ignored);
  return true;
}

class WindowsClipboard final : public Clipboard {
 public:
  Found Read(std::string* text, std::string* error) override;
  bool Set(std::string_view text, std::string* error) override;
};

Found WindowsClipboard::Read(std::string* text, std::string* error) {
  if (!Open(nullptr, error)) return Found::kFailure;
  Found found = Found::kNoText;
  // Text of another format is turned into CF_TEXT by the system.
  if (::IsClipboardFormatAvailable(CF_TEXT)) {
    HANDLE data = ::GetClipboardData(CF_TEXT);
    const char* bytes = data != nullptr ? static_cast<const char*>(::GlobalLock(data)) : nullptr;
    if (bytes == nullptr) {
      *error = SystemError("cannot take its text");
      found = Found::kFailure;
    } else {
      // The text ends at its NUL, within the memory block.
      const char* end = bytes + ::GlobalSize(data);
      text->assign(bytes, std::find(bytes, end, '\0'));
      ::GlobalUnlock(data);
      found = Found::kText;
    }
  }
  ::CloseClipboard();
  return found;
}

bool WindowsClipboard::Set(std::string_view text, std::string* error) {
  OwnerWindow owner;
  if (owner.get() == nullptr) {
    *error = SystemError("cannot make the window that owns it");
    return false;
  }
  if (!Open(owner.get(), error)) return false;
  bool done = false;
  if (!::EmptyClipboard()) {
    *error = SystemError("cannot empty it");
  } else {
    done = PutText(text, error);
  }
  if (!::CloseClipboard() && done) {
    *error = SystemError("cannot close it");
    done = false;
  }
  return done;
}

}  // namespace

std::unique_ptr<Clipboard> MakeSystemClipboard() { return std::make_unique<WindowsClipboard>(); }

}  // namespace clipboard
