#include "console/testing/key_names.h"

#include "console/key_map.h"

namespace console {
namespace {

struct KeyName {
  std::string_view name;
  uint16_t virtual_key;
};

constexpr KeyName kKeyNames[] = {
    {"Backspace", 0x08}, {"Tab", 0x09},        {"Enter", 0x0D},   {"Esc", 0x1B},
    {"Space", 0x20},     {"Num0", 0x60},       {"Num1", 0x61},    {"Num2", 0x62},
    {"Num3", 0x63},      {"Num4", 0x64},       {"Num5", 0x65},    {"Num6", 0x66},
    {"Num7", 0x67},      {"Num8", 0x68},       {"Num9", 0x69},    {"Multiply", 0x6A},
    {"Add", 0x6B},       {"Subtract", 0x6D},   {"Decimal", 0x6E}, {"Divide", 0x6F},
    {"Shift", 0x10},     {"Ctrl", 0x11},       {"Alt", 0x12},     {"Clear", 0x0C},
    {"Pause", 0x13},     {"CapsLock", 0x14},   {"PgUp", 0x21},    {"PgDn", 0x22},
    {"End", 0x23},       {"Home", 0x24},       {"Left", 0x25},    {"Up", 0x26},
    {"Right", 0x27},     {"Down", 0x28},       {"Insert", 0x2D},  {"Delete", 0x2E},
    {"F1", 0x70},        {"F2", 0x71},         {"F3", 0x72},      {"F4", 0x73},
    {"F5", 0x74},        {"F6", 0x75},         {"F7", 0x76},      {"F8", 0x77},
    {"F9", 0x78},        {"F10", 0x79},        {"F11", 0x7A},     {"F12", 0x7B},
    {"NumLock", 0x90},   {"ScrollLock", 0x91}, {"LShift", 0xA0},  {"RShift", 0xA1},
    {"LCtrl", 0xA2},     {"RCtrl", 0xA3},      {"LAlt", 0xA4},    {"RAlt", 0xA5},
};

}  // namespace

bool NamedKeyPress(std::string_view name, uint32_t state, KeyEvent* key) {
  for (const KeyName& named : kKeyNames) {
    if (named.name == name) {
      *key = KeyPress(named.virtual_key, state);
      return true;
    }
  }
  return false;
}

}  // namespace console
