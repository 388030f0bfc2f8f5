// The input panel's keyboard, as the device's panel has it: five rows over
// fifteen key widths, the digits and symbols row, the three letter rows
// with Tab, CAP (caps lock), Enter and both Shift keys, and a row with the
// space bar between the caret keys. Shift holds for the next key; CAP stays
// until pressed again. The layout scales with the panel, so the keys keep
// their shares of it at any screen size.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/windef.h"

namespace ce::menus::sip {

enum class KeyKind { kChar, kBackspace, kTab, kEnter, kShift, kCaps, kLeft, kRight, kUp, kDown };

struct PanelKey {
  RECT rect{};  // in panel coordinates
  KeyKind kind = KeyKind::kChar;
  wchar_t plain = 0;    // kChar: the character typed without Shift
  wchar_t shifted = 0;  // kChar: the character typed with Shift
};

// The keys of a panel `width` by `height` pixels, row by row.
std::vector<PanelKey> Layout(int width, int height);
// The pixel height of the labels' characters on a panel `height` pixels
// high: five eighths of a row, so a single character fills its key and the
// names of the wide keys fit theirs.
int LabelHeight(int height);

// The shift and caps-lock state of the panel.
struct Modifiers {
  bool shift = false;
  bool caps = false;
};

// The character a key types in that state (letters follow Shift and CAP,
// other characters Shift only); 0 for the keys that type none.
wchar_t CharacterOf(const PanelKey& key, Modifiers modifiers);
// What the key shows.
std::wstring LabelOf(const PanelKey& key, Modifiers modifiers);
// The key's device key code for the keys that are keys (backspace, tab,
// enter, the caret keys); 0 for the others.
int VirtualKeyOf(const PanelKey& key);

// The state after pressing a key.
Modifiers After(const PanelKey& key, Modifiers modifiers);

// The keys to press, in order, to type `text` from the state `start` (Shift
// pressed first where a character needs it); nothing when a character is not
// on the panel. "\b" and "\r" stand for Backspace and Enter.
std::optional<std::vector<PanelKey>> KeysFor(std::wstring_view text, Modifiers start, int width, int height);

}  // namespace ce::menus::sip
