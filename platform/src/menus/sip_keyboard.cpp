#include "menus/sip_keyboard.h"

#include <algorithm>
#include <array>

#include "ce/winuser.h"

namespace ce::menus::sip {
namespace {

// A row is thirty half key widths across.
constexpr int kHalfWidths = 30;
constexpr int kRowCount = 5;

struct KeyDef {
  KeyKind kind;
  wchar_t plain;
  wchar_t shifted;
  int halfWidths;
};

constexpr KeyDef Char(wchar_t plain, wchar_t shifted) { return KeyDef{KeyKind::kChar, plain, shifted, 2}; }
constexpr KeyDef Letter(wchar_t plain) { return Char(plain, static_cast<wchar_t>(plain - L'a' + L'A')); }
constexpr KeyDef Wide(KeyKind kind, int halfWidths) { return KeyDef{kind, 0, 0, halfWidths}; }

const std::array<std::vector<KeyDef>, kRowCount>& Rows() {
  static const std::array<std::vector<KeyDef>, kRowCount> rows = {
      std::vector<KeyDef>{Char(L'`', L'~'), Char(L'1', L'!'), Char(L'2', L'@'), Char(L'3', L'#'), Char(L'4', L'$'),
                          Char(L'5', L'%'), Char(L'6', L'^'), Char(L'7', L'&'), Char(L'8', L'*'), Char(L'9', L'('),
                          Char(L'0', L')'), Char(L'-', L'_'), Char(L'=', L'+'), Wide(KeyKind::kBackspace, 4)},
      std::vector<KeyDef>{Wide(KeyKind::kTab, 3), Letter(L'q'), Letter(L'w'), Letter(L'e'), Letter(L'r'), Letter(L't'),
                          Letter(L'y'), Letter(L'u'), Letter(L'i'), Letter(L'o'), Letter(L'p'), Char(L'[', L'{'),
                          Char(L']', L'}'), KeyDef{KeyKind::kChar, L'\\', L'|', 3}},
      std::vector<KeyDef>{Wide(KeyKind::kCaps, 3), Letter(L'a'), Letter(L's'), Letter(L'd'), Letter(L'f'), Letter(L'g'),
                          Letter(L'h'), Letter(L'j'), Letter(L'k'), Letter(L'l'), Char(L';', L':'), Char(L'\'', L'"'),
                          Wide(KeyKind::kEnter, 5)},
      std::vector<KeyDef>{Wide(KeyKind::kShift, 4), Letter(L'z'), Letter(L'x'), Letter(L'c'), Letter(L'v'),
                          Letter(L'b'), Letter(L'n'), Letter(L'm'), Char(L',', L'<'), Char(L'.', L'>'),
                          Char(L'/', L'?'), Wide(KeyKind::kShift, 6)},
      std::vector<KeyDef>{Wide(KeyKind::kLeft, 3), Wide(KeyKind::kRight, 3), KeyDef{KeyKind::kChar, L' ', L' ', 18},
                          Wide(KeyKind::kUp, 3), Wide(KeyKind::kDown, 3)},
  };
  return rows;
}

bool IsLetter(wchar_t c) { return c >= L'a' && c <= L'z'; }

// The keys that are no character: what they show and the device key they
// press (0: none, they change what the next keys type).
struct NamedKey {
  KeyKind kind;
  const wchar_t* label;
  int vk;
};
constexpr NamedKey kNamedKeys[] = {
    {KeyKind::kBackspace, L"Bksp", VK_BACK}, {KeyKind::kTab, L"Tab", VK_TAB},  {KeyKind::kEnter, L"Enter", VK_RETURN},
    {KeyKind::kShift, L"Shift", 0},          {KeyKind::kCaps, L"CAP", 0},      {KeyKind::kLeft, L"\u2190", VK_LEFT},
    {KeyKind::kRight, L"\u2192", VK_RIGHT},  {KeyKind::kUp, L"\u2191", VK_UP}, {KeyKind::kDown, L"\u2193", VK_DOWN},
};

const NamedKey* Named(KeyKind kind) {
  for (const NamedKey& named : kNamedKeys) {
    if (named.kind == kind) return &named;
  }
  return nullptr;
}

}  // namespace

std::vector<PanelKey> Layout(int width, int height) {
  std::vector<PanelKey> keys;
  for (int r = 0; r < kRowCount; ++r) {
    const LONG top = r * height / kRowCount;
    const LONG bottom = (r + 1) * height / kRowCount;
    int at = 0;
    for (const KeyDef& def : Rows()[static_cast<std::size_t>(r)]) {
      const LONG left = at * width / kHalfWidths;
      at += def.halfWidths;
      keys.push_back(PanelKey{RECT{left, top, static_cast<LONG>(at * width / kHalfWidths), bottom}, def.kind, def.plain,
                              def.shifted});
    }
  }
  return keys;
}

int LabelHeight(int height) { return std::max(6, height / kRowCount * 5 / 8); }

wchar_t CharacterOf(const PanelKey& key, Modifiers modifiers) {
  if (key.kind != KeyKind::kChar) return 0;
  const bool upper = IsLetter(key.plain) ? modifiers.shift != modifiers.caps : modifiers.shift;
  return upper ? key.shifted : key.plain;
}

std::wstring LabelOf(const PanelKey& key, Modifiers modifiers) {
  if (key.kind == KeyKind::kChar) {
    return key.plain == L' ' ? std::wstring() : std::wstring(1, CharacterOf(key, modifiers));
  }
  const NamedKey* named = Named(key.kind);
  return named ? named->label : L"";
}

int VirtualKeyOf(const PanelKey& key) {
  const NamedKey* named = Named(key.kind);
  return named ? named->vk : 0;
}

Modifiers After(const PanelKey& key, Modifiers modifiers) {
  switch (key.kind) {
    case KeyKind::kShift:
      modifiers.shift = !modifiers.shift;
      break;
    case KeyKind::kCaps:
      modifiers.caps = !modifiers.caps;
      break;
    default:
      modifiers.shift = false;  // Shift holds for one key
      break;
  }
  return modifiers;
}

std::optional<std::vector<PanelKey>> KeysFor(std::wstring_view text, Modifiers start, int width, int height) {
  const std::vector<PanelKey> keys = Layout(width, height);
  auto find = [&](auto&& match) -> const PanelKey* {
    for (const PanelKey& k : keys) {
      if (match(k)) return &k;
    }
    return nullptr;
  };
  const PanelKey* shift = find([](const PanelKey& k) { return k.kind == KeyKind::kShift; });
  std::vector<PanelKey> presses;
  Modifiers now = start;
  for (const wchar_t c : text) {
    const PanelKey* key = nullptr;
    if (c == L'\b' || c == L'\r' || c == L'\t') {
      const KeyKind kind = c == L'\b' ? KeyKind::kBackspace : c == L'\r' ? KeyKind::kEnter : KeyKind::kTab;
      key = find([&](const PanelKey& k) { return k.kind == kind; });
    } else {
      key = find([&](const PanelKey& k) { return k.kind == KeyKind::kChar && (k.plain == c || k.shifted == c); });
      if (!key) return std::nullopt;
      if (CharacterOf(*key, now) != c) {
        presses.push_back(*shift);
        now = After(*shift, now);
      }
    }
    presses.push_back(*key);
    now = After(*key, now);
  }
  return presses;
}

}  // namespace ce::menus::sip
