#include "backend/sdl/key_map.h"

#include <charconv>

namespace ce::backend::sdl {
namespace {

struct Named {
  std::string_view name;
  int value;
};

// USB keyboard usage numbers of the keys a configuration may name.
constexpr Named kScancodes[] = {
    {"Return", 40},
    {"Enter", 40},
    {"Escape", 41},
    {"Esc", 41},
    {"Backspace", 42},
    {"Tab", 43},
    {"Space", 44},
    {"Minus", 45},
    {"Equals", 46},
    {"LeftBracket", 47},
    {"RightBracket", 48},
    {"Backslash", 49},
    {"Semicolon", 51},
    {"Apostrophe", 52},
    {"Grave", 53},
    {"Comma", 54},
    {"Period", 55},
    {"Slash", 56},
    {"CapsLock", 57},
    {"F1", 58},
    {"F2", 59},
    {"F3", 60},
    {"F4", 61},
    {"F5", 62},
    {"F6", 63},
    {"F7", 64},
    {"F8", 65},
    {"F9", 66},
    {"F10", 67},
    {"F11", 68},
    {"F12", 69},
    {"PrintScreen", 70},
    {"ScrollLock", 71},
    {"Pause", 72},
    {"Insert", 73},
    {"Home", 74},
    {"PageUp", 75},
    {"Delete", 76},
    {"End", 77},
    {"PageDown", 78},
    {"Right", 79},
    {"Left", 80},
    {"Down", 81},
    {"Up", 82},
    {"NumLock", 83},
    {"KeypadDivide", 84},
    {"KeypadMultiply", 85},
    {"KeypadMinus", 86},
    {"KeypadPlus", 87},
    {"KeypadEnter", 88},
    {"Keypad1", 89},
    {"Keypad2", 90},
    {"Keypad3", 91},
    {"Keypad4", 92},
    {"Keypad5", 93},
    {"Keypad6", 94},
    {"Keypad7", 95},
    {"Keypad8", 96},
    {"Keypad9", 97},
    {"Keypad0", 98},
    {"KeypadPeriod", 99},
    {"Application", 101},
    {"Menu", 101},
    {"LeftCtrl", 224},
    {"LeftShift", 225},
    {"LeftAlt", 226},
    {"LeftGui", 227},
    {"RightCtrl", 228},
    {"RightShift", 229},
    {"RightAlt", 230},
    {"RightGui", 231},
};

// Device key names a configuration may use for a code.
constexpr Named kDeviceKeys[] = {
    {"VK_BACK", 0x08},    {"VK_TAB", 0x09},   {"VK_RETURN", 0x0D},    {"VK_TACTION", 0x0D}, {"VK_SHIFT", 0x10},
    {"VK_CONTROL", 0x11}, {"VK_MENU", 0x12},  {"VK_ESCAPE", 0x1B},    {"VK_TBACK", 0x1B},   {"VK_SPACE", 0x20},
    {"VK_PRIOR", 0x21},   {"VK_NEXT", 0x22},  {"VK_END", 0x23},       {"VK_HOME", 0x24},    {"VK_LEFT", 0x25},
    {"VK_TLEFT", 0x25},   {"VK_UP", 0x26},    {"VK_TUP", 0x26},       {"VK_RIGHT", 0x27},   {"VK_TRIGHT", 0x27},
    {"VK_DOWN", 0x28},    {"VK_TDOWN", 0x28}, {"VK_INSERT", 0x2D},    {"VK_DELETE", 0x2E},  {"VK_LWIN", 0x5B},
    {"VK_THOME", 0x5B},   {"VK_APPS", 0x5D},  {"VK_F1", 0x70},        {"VK_TSOFT1", 0x70},  {"VK_F2", 0x71},
    {"VK_TSOFT2", 0x71},  {"VK_F3", 0x72},    {"VK_TTALK", 0x72},     {"VK_F4", 0x73},      {"VK_TEND", 0x73},
    {"VK_F5", 0x74},      {"VK_F6", 0x75},    {"VK_TVOLUMEUP", 0x75}, {"VK_F7", 0x76},      {"VK_TVOLUMEDOWN", 0x76},
    {"VK_F8", 0x77},      {"VK_TSTAR", 0x77}, {"VK_F9", 0x78},        {"VK_TPOUND", 0x78},  {"VK_F10", 0x79},
    {"VK_F11", 0x7A},     {"VK_F12", 0x7B},
};

// The default map, beyond letters and digits (which give their own codes).
constexpr Named kDefaults[] = {
    {"Up", 0x26},
    {"Down", 0x28},
    {"Left", 0x25},
    {"Right", 0x27},
    {"Return", 0x0D},
    {"KeypadEnter", 0x0D},
    {"F1", 0x70},
    {"F2", 0x71},
    {"Escape", 0x1B},
    {"F3", 0x72},
    {"F4", 0x73},
    {"F5", 0x74},
    {"F6", 0x75},
    {"F7", 0x76},
    {"F8", 0x77},
    {"F9", 0x78},
    {"F10", 0x79},
    {"F12", 0x5B},
    {"Backspace", 0x08},
    {"Tab", 0x09},
    {"Space", 0x20},
    {"LeftShift", 0x10},
    {"RightShift", 0x10},
    {"LeftCtrl", 0x11},
    {"RightCtrl", 0x11},
    {"LeftAlt", 0x12},
    {"RightAlt", 0x12},
    {"PageUp", 0x21},
    {"PageDown", 0x22},
    {"End", 0x23},
    {"Home", 0x24},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"Application", 0x5D},
    {"Semicolon", 0xBA},
    {"Equals", 0xBB},
    {"Comma", 0xBC},
    {"Minus", 0xBD},
    {"Period", 0xBE},
    {"Slash", 0xBF},
    {"Grave", 0xC0},
    {"LeftBracket", 0xDB},
    {"Backslash", 0xDC},
    {"RightBracket", 0xDD},
    {"Apostrophe", 0xDE},
    {"CapsLock", 0x14},
    {"KeypadPlus", 0x6B},
    {"KeypadMinus", 0x6D},
    {"KeypadMultiply", 0x6A},
    {"KeypadDivide", 0x6F},
    {"KeypadPeriod", 0x6E},
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<int> ScancodeFromName(std::string_view name) {
  if (name.size() == 1) {
    const char c = Upper(name[0]);
    if (c >= 'A' && c <= 'Z') return 4 + (c - 'A');
    if (c >= '1' && c <= '9') return 30 + (c - '1');
    if (c == '0') return 39;
  }
  for (const Named& entry : kScancodes) {
    if (SameText(entry.name, name)) return entry.value;
  }
  return std::nullopt;
}

std::optional<WORD> DeviceKeyFromText(std::string_view text) {
  if (text.size() == 1) {
    const char c = Upper(text[0]);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<WORD>(c);
  }
  for (const Named& entry : kDeviceKeys) {
    if (SameText(entry.name, text)) return static_cast<WORD>(entry.value);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (value == 0 || value > 0xFFFF) return std::nullopt;
  return static_cast<WORD>(value);
}

KeyMap KeyMap::Defaults() {
  KeyMap map;
  for (char c = 'A'; c <= 'Z'; ++c) map.Bind(4 + (c - 'A'), static_cast<WORD>(c));
  for (int digit = 1; digit <= 9; ++digit) {
    map.Bind(29 + digit, static_cast<WORD>('0' + digit));  // the row above the letters
    map.Bind(88 + digit, static_cast<WORD>('0' + digit));  // the keypad
  }
  map.Bind(39, '0');
  map.Bind(98, '0');
  for (const Named& entry : kDefaults) {
    if (const auto scancode = ScancodeFromName(entry.name)) map.Bind(*scancode, static_cast<WORD>(entry.value));
  }
  return map;
}

WORD KeyMap::Lookup(int scancode) const {
  if (scancode < 0 || scancode >= kScancodeCount) return 0;
  return codes_[static_cast<std::size_t>(scancode)];
}

void KeyMap::Bind(int scancode, WORD code) {
  if (scancode < 0 || scancode >= kScancodeCount) return;
  codes_[static_cast<std::size_t>(scancode)] = code;
}

std::vector<std::string> KeyMap::Apply(std::string_view text) {
  std::vector<std::string> problems;
  while (!text.empty()) {
    const auto end = text.find(';');
    const std::string_view entry = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (entry.empty()) continue;
    const auto quoted = "keymap entry \"" + std::string(entry) + "\": ";
    const auto eq = entry.find('=');
    if (eq == std::string_view::npos) {
      problems.push_back(quoted + "expected Key=code");
      continue;
    }
    const std::string_view name = Trim(entry.substr(0, eq));
    const std::string_view value = Trim(entry.substr(eq + 1));
    const auto scancode = ScancodeFromName(name);
    if (!scancode) {
      problems.push_back(quoted + "no key is named \"" + std::string(name) + "\"");
      continue;
    }
    if (*scancode == kScancodeF11) {
      problems.push_back(quoted + "F11 toggles full screen and cannot be bound");
      continue;
    }
    if (SameText(value, "none")) {
      Bind(*scancode, 0);
      continue;
    }
    const auto code = DeviceKeyFromText(value);
    if (!code) {
      problems.push_back(quoted + "\"" + std::string(value) +
                         "\" is not a device key code (1 to 0xFFFF or a VK_ name)");
      continue;
    }
    Bind(*scancode, *code);
  }
  return problems;
}

}  // namespace ce::backend::sdl
