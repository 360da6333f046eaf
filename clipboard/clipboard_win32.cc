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

// A copy of some bytes in memory the clipboard can take: freed unless it
// was handed to the clipboard.
class Block {
 public:
  Block(const void* data, size_t size) : memory_(::GlobalAlloc(GMEM_MOVEABLE, size)) {
    void* target = memory_ != nullptr ? ::GlobalLock(memory_) : nullptr;
    if (target == nullptr) return;
    std::memcpy(target, data, size);
    ::GlobalUnlock(memory_);
    copied_ = true;
  }
  ~Block() {
    if (memory_ != nullptr) ::GlobalFree(memory_);
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  bool copied() const { return copied_; }
  /// Hands the copy to the open clipboard as `format`; the system owns it
  /// from then on.
  bool HandTo(UINT format) {
    if (::SetClipboardData(format, memory_) == nullptr) return false;
    memory_ = nullptr;
    return true;
  }

 private:
  HGLOBAL memory_;
  bool copied_ = false;
};

// While the clipboard is emptied and filled, an ending console event (Ctrl+C,
// Ctrl+Break, the window closing) waits for the set to finish: it comes on
// a thread of its own, and the process would otherwise end between the
// emptying and the filling, the old text gone and none in its place.  A set
// that has not begun by then does not begin.
SRWLOCK g_set_lock = SRWLOCK_INIT;
bool g_ending = false;  // guarded by g_set_lock

BOOL WINAPI AwaitSet(DWORD /*event*/) {
  ::AcquireSRWLockExclusive(&g_set_lock);
  g_ending = true;
  ::ReleaseSRWLockExclusive(&g_set_lock);
  return FALSE;  // on to the next handler, which ends the process
}

// The handler first in line while it lives.
class EndingHeldOff {
 public:
  EndingHeldOff() : added_(::SetConsoleCtrlHandler(AwaitSet, TRUE) != FALSE) {}
  ~EndingHeldOff() {
    if (added_) ::SetConsoleCtrlHandler(AwaitSet, FALSE);
  }
  EndingHeldOff(const EndingHeldOff&) = delete;
  EndingHeldOff& operator=(const EndingHeldOff&) = delete;

 private:
  bool added_;
};

std::wstring ThroughCp1251(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size() + 1);
  for (char c : text) {
    wide.push_back(static_cast<wchar_t>(textio::Cp1251ToUnicode(static_cast<uint8_t>(c))));
  }
  wide.push_back(L'\0');
  return wide;
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
  // Everything is made before the clipboard is emptied: a failure leaves it
  // as it was.  The text goes in one piece, in one call: never a part of it.
  SetHandedOver(false);
  const std::string ansi = std::string(text) + '\0';
  const std::wstring wide = ThroughCp1251(text);
  Block ansi_block(ansi.data(), ansi.size());
  Block wide_block(wide.data(), wide.size() * sizeof(wchar_t));
  Block locale_block(&kRussianLocale, sizeof kRussianLocale);
  if (!ansi_block.copied() || !wide_block.copied() || !locale_block.copied()) {
    *error = SystemError("cannot allocate its memory");
    return false;
  }
  OwnerWindow owner;
  if (owner.get() == nullptr) {
    *error = SystemError("cannot make the window that owns it");
    return false;
  }
  const EndingHeldOff held_off;
  if (!Open(owner.get(), error)) return false;
  ::AcquireSRWLockExclusive(&g_set_lock);
  bool done = false;
  if (g_ending) {
    *error = "the program is being ended";
  } else if (!::EmptyClipboard()) {
    *error = SystemError("cannot empty it");
  } else if (!ansi_block.HandTo(CF_TEXT) || !wide_block.HandTo(CF_UNICODETEXT)) {
    *error = SystemError("SetClipboardData failed");
  } else {
    // Without it the system would take the user's input language; the text
    // is whole without it, so a failure here changes nothing.
    locale_block.HandTo(CF_LOCALE);
    done = true;
  }
  if (!::CloseClipboard() && done) {
    *error = SystemError("cannot close it");
    done = false;
  }
  SetHandedOver(done);
  ::ReleaseSRWLockExclusive(&g_set_lock);
  return done;
}

}  // namespace

std::unique_ptr<Clipboard> MakeSystemClipboard() { return std::make_unique<WindowsClipboard>(); }

}  // namespace clipboard
