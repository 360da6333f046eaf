#include "console/testing/memory_device.h"

#include <algorithm>
#include <stdexcept>

#include "console/testing/key_names.h"

namespace console {
namespace {

InputEvent KeyRecord(const KeyEvent& key) {
  InputEvent event;
  event.type = InputEvent::Type::kKey;
  event.key = key;
  return event;
}

bool TakePrefix(std::string_view* text, std::string_view prefix) {
  if (text->substr(0, prefix.size()) != prefix) return false;
  text->remove_prefix(prefix.size());
  return true;
}

}  // namespace

MemoryDevice::MemoryDevice(Options options)
    : width_(options.width),
      height_(std::max(options.buffer_height, options.window_top + options.height)),
      max_window_width_(options.max_window_width > 0 ? options.max_window_width : options.width),
      cells_(static_cast<size_t>(width_ * height_), Cell{' ', options.attribute}),
      window_{0, options.window_top, std::min(options.width, max_window_width_) - 1,
              options.window_top + options.height - 1},
      cursor_{0, options.window_top},
      attribute_(options.attribute),
      stdin_console_(options.stdin_console),
      stdout_console_(options.stdout_console) {}

bool MemoryDevice::GetInputMode(uint32_t* mode) {
  if (!stdin_console_) return false;
  *mode = input_mode_;
  return true;
}

bool MemoryDevice::SetInputMode(uint32_t mode) {
  if (!stdin_console_) return false;
  input_mode_ = mode;
  return true;
}

bool MemoryDevice::NextInputEvent(InputEvent* event) {
  if (!stdin_console_ || events_.empty()) return false;
  *event = events_.front();
  events_.pop_front();
  return true;
}

long MemoryDevice::ReadStdin(char* data, size_t size) {
  size_t n = std::min(size, stdin_.size() - stdin_offset_);
  stdin_.copy(data, n, stdin_offset_);
  stdin_offset_ += n;
  return static_cast<long>(n);
}

bool MemoryDevice::GetBufferInfo(BufferInfo* info) {
  if (!stdout_console_ || fail_buffer_info) return false;
  info->size = {width_, height_};
  info->cursor = cursor_;
  info->attribute = attribute_;
  info->window = window_;
  return true;
}

void MemoryDevice::NoteReach(Coord at, int length) {
  const long first = static_cast<long>(at.y) * width_ + at.x;
  if (!Inside(at.x, at.y) || length < 0 || first + length > static_cast<long>(cells_.size())) {
    ++out_of_buffer_calls_;
  }
}

bool MemoryDevice::FillCharacter(char character, int length, Coord at) {
  NoteReach(at, length);
  if (!stdout_console_ || !Inside(at.x, at.y)) return false;
  size_t start = static_cast<size_t>(at.y * width_ + at.x);
  size_t end = std::min(cells_.size(), start + static_cast<size_t>(std::max(length, 0)));
  for (size_t i = start; i < end; ++i) cells_[i].character = character;
  return true;
}

bool MemoryDevice::FillAttribute(uint16_t attribute, int length, Coord at) {
  NoteReach(at, length);
  if (!stdout_console_ || !Inside(at.x, at.y)) return false;
  size_t start = static_cast<size_t>(at.y * width_ + at.x);
  size_t end = std::min(cells_.size(), start + static_cast<size_t>(std::max(length, 0)));
  for (size_t i = start; i < end; ++i) cells_[i].attribute = attribute;
  return true;
}

bool MemoryDevice::WriteCells(const char* characters, int length, uint16_t attribute, Coord at) {
  ++cell_write_calls_;
  if (!Inside(at.x, at.y) || length <= 0 || at.x + length > width_) ++out_of_buffer_calls_;
  if (cell_write_calls_ == fail_cell_write_number) return false;
  if (!stdout_console_ || fail_cell_writes || !Inside(at.x, at.y) || length <= 0) return false;
  ++cell_writes_;
  int count = std::min(length, width_ - at.x);
  for (int i = 0; i < count; ++i) At(at.x + i, at.y) = Cell{characters[i], attribute};
  return true;
}

bool MemoryDevice::ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute) {
  const int moved_right = destination.x + source.right - source.left;
  const int moved_bottom = destination.y + source.bottom - source.top;
  if (!Inside(source.left, source.top) || !Inside(source.right, source.bottom) ||
      !Inside(destination.x, destination.y) || !Inside(moved_right, moved_bottom)) {
    ++out_of_buffer_calls_;
  }
  if (!stdout_console_) return false;
  Rect clipped{std::max(source.left, 0), std::max(source.top, 0),
               std::min(source.right, width_ - 1), std::min(source.bottom, height_ - 1)};
  if (clipped.left > clipped.right || clipped.top > clipped.bottom) return false;
  const std::vector<Cell> before = cells_;
  const int dx = destination.x - source.left;
  const int dy = destination.y - source.top;
  // Cells of the source that the moved block does not cover get the fill.
  for (int y = clipped.top; y <= clipped.bottom; ++y) {
    for (int x = clipped.left; x <= clipped.right; ++x) {
      bool covered = x - dx >= clipped.left && x - dx <= clipped.right && y - dy >= clipped.top &&
                     y - dy <= clipped.bottom;
      if (!covered) At(x, y) = Cell{fill, attribute};
    }
  }
  for (int y = clipped.top; y <= clipped.bottom; ++y) {
    for (int x = clipped.left; x <= clipped.right; ++x) {
      if (Inside(x + dx, y + dy)) At(x + dx, y + dy) = before[static_cast<size_t>(y * width_ + x)];
    }
  }
  return true;
}

bool MemoryDevice::FeedLines(int last_row, int count) {
  const bool fits = last_row == height_ - 1 && count > 0 && count <= height_;
  if (!fits) ++out_of_buffer_calls_;
  if (!host_history || fail_buffer_info || !fits) return false;
  for (int y = 0; y < count; ++y) history_.push_back(Row(y));
  cells_.erase(cells_.begin(), cells_.begin() + count * width_);
  cells_.resize(cells_.size() + static_cast<size_t>(count * width_), Cell{' ', 0});  // host colours
  cursor_ = {0, height_ - 1};
  return true;
}

bool MemoryDevice::SetWindow(Rect window) {
  if (!stdout_console_) return false;
  if (window.left < 0 || window.top < 0 || window.right >= width_ || window.bottom >= height_ ||
      window.left > window.right || window.top > window.bottom ||
      window.right - window.left + 1 > max_window_width_) {
    return false;
  }
  window_ = window;
  return true;
}

bool MemoryDevice::SetCursorPosition(Coord at) {
  NoteReach(at, 1);
  if (!stdout_console_ || !Inside(at.x, at.y)) return false;
  cursor_ = at;
  return true;
}

bool MemoryDevice::GetCursorVisible(bool* visible) {
  if (!stdout_console_) return false;
  *visible = cursor_visible_;
  return true;
}

bool MemoryDevice::SetCursorVisible(bool visible) {
  if (!stdout_console_) return false;
  cursor_visible_ = visible;
  return true;
}

long MemoryDevice::WriteStdout(const char* data, size_t size) {
  ++stdout_writes_;
  if (fail_stdout) return -1;
  if (stdout_chunk > 0) size = std::min(size, stdout_chunk);
  stdout_.append(data, size);
  return static_cast<long>(size);
}

bool MemoryDevice::AddControlHandler(ControlHandler handler, void* context) {
  handler_ = handler;
  handler_context_ = context;
  return true;
}

void MemoryDevice::RemoveControlHandler() {
  handler_ = nullptr;
  handler_context_ = nullptr;
}

bool MemoryDevice::SendControlEvent(uint32_t event) {
  return handler_ != nullptr && handler_(event, handler_context_);
}

void MemoryDevice::Beep(int frequency, int milliseconds) {
  beeps_.emplace_back(frequency, milliseconds);
  if (beep_hook_) beep_hook_();
}

void MemoryDevice::Sleep(int milliseconds) {
  ++sleeps_;
  sleep_lengths_.push_back(milliseconds);
  if (!events_.empty()) return;
  if (!idle_hook_) throw std::runtime_error("the console waits for a key that no script gives");
  idle_hook_();
}

const KeyMap& MemoryDevice::key_map() const { return UsKeyMap(); }

void MemoryDevice::Type(std::string_view script) {
  while (!script.empty()) {
    if (script[0] == '{') {
      size_t close = script.find('}', 1);
      if (close == std::string_view::npos) throw std::invalid_argument("unclosed key name");
      TypeKey(script.substr(1, close - 1));
      script.remove_prefix(close + 1);
    } else {
      TypeKey(script.substr(0, 1));
      script.remove_prefix(1);
    }
  }
}

void MemoryDevice::TypeKey(std::string_view name) {
  if (TakePrefix(&name, "AltNum:")) {
    const uint32_t alt = kLeftAltPressed | kNumLockOn;
    events_.push_back(KeyRecord(KeyPress(kVkMenu, alt)));
    for (char digit : name) {
      auto vk = static_cast<uint16_t>(kVkNumpad0 + (digit - '0'));
      KeyEvent key = KeyPress(vk, alt);
      key.character = 0;  // Alt held: the digit types nothing
      events_.push_back(KeyRecord(key));
      events_.push_back(KeyRecord(KeyUp(key)));
    }
    events_.push_back(KeyRecord(KeyUp(KeyPress(kVkMenu, kNumLockOn))));
    return;
  }
  if (name == "NotCp1251") {  // the key of a German layout's a-umlaut
    KeyEvent key = KeyDown(0xDE, 0x28, 0, 0);
    key.outside_cp1251 = true;
    events_.push_back(KeyRecord(key));
    events_.push_back(KeyRecord(KeyUp(key)));
    return;
  }
  uint32_t state = 0;
  if (name.size() > 1) {
    for (bool more = true; more;) {
      more = false;
      if (TakePrefix(&name, "Ctrl+")) state |= kLeftCtrlPressed, more = true;
      if (TakePrefix(&name, "Alt+")) state |= kLeftAltPressed, more = true;
      if (TakePrefix(&name, "Shift+")) state |= kShiftPressed, more = true;
    }
  }
  KeyEvent key;
  if (!NamedKeyPress(name, state, &key)) {
    if (name.size() != 1) throw std::invalid_argument("unknown key name");
    const auto character = static_cast<uint8_t>(name[0]);
    uint16_t vk = 0, scan = 0;
    int16_t vk_shift = UsKeyMap().CharToVirtualKey(character);
    if (vk_shift != -1) {
      vk = static_cast<uint16_t>(vk_shift & 0xFF);
      scan = static_cast<uint16_t>(UsKeyMap().VirtualKeyToScan(vk));
      if ((vk_shift & 0x100) != 0) state |= kShiftPressed;
    }
    key = KeyDown(vk, scan, character, state);
  }
  // What the console delivers with Ctrl held.
  if ((state & kLeftCtrlPressed) != 0) {
    uint8_t& character = key.character;
    if (key.virtual_key == kVkBack)
      character = 0x7F;
    else if (key.virtual_key == kVkReturn)
      character = 10;
    else if (character >= 0x40 && character < 0x80 && character != 0x7F)
      character &= 0x1F;
  }
  events_.push_back(KeyRecord(key));
  events_.push_back(KeyRecord(KeyUp(key)));
}

std::string MemoryDevice::Row(int y) const {
  if (y < 0 || y >= height_) return {};
  std::string row;
  for (int x = 0; x < width_; ++x) row.push_back(At(x, y).character);
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

std::vector<std::string> MemoryDevice::WindowRows() const {
  std::vector<std::string> rows;
  for (int y = window_.top; y <= window_.bottom; ++y) rows.push_back(Row(y));
  return rows;
}

char MemoryDevice::CharacterAt(int x, int y) const { return Inside(x, y) ? At(x, y).character : 0; }

uint16_t MemoryDevice::AttributeAt(int x, int y) const {
  return Inside(x, y) ? At(x, y).attribute : 0;
}

void MemoryDevice::PutRow(int y, std::string_view text) {
  for (int x = 0; x < width_ && x < static_cast<int>(text.size()); ++x) {
    At(x, y).character = text[static_cast<size_t>(x)];
  }
}

}  // namespace console
