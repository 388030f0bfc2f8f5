// The in-game text: a dark band across the top with the players' names and
// scores, the mode title (or "Thinking" while the computer searches), and a
// framed box in the middle with the verdict of the last shot.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

class ssDisplayS16;
class ssFont;

namespace ks {
class Pool;
}

namespace ks::play {

class Control;
struct BallIcons;

// One text of the band or the box, held in place: the texts are made for
// every frame, and making them must not allocate. A text longer than the
// capacity (a verdict is at most 128 characters) is cut there.
class HudText {
 public:
  static constexpr std::size_t kCapacity = 128;

  HudText& operator=(std::wstring_view text) {
    size_ = 0;
    return *this += text;
  }
  HudText& operator+=(std::wstring_view text) {
    for (wchar_t c : text) push_back(c);
    return *this;
  }
  void push_back(wchar_t c) {
    if (size_ < kCapacity) text_[size_++] = c;
    text_[size_] = 0;
  }
  void clear() { *this = std::wstring_view(); }

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  const wchar_t* c_str() const { return text_; }
  const wchar_t* begin() const { return text_; }
  const wchar_t* end() const { return text_ + size_; }
  std::wstring_view view() const { return {text_, size_}; }
  operator std::wstring_view() const { return view(); }
  std::wstring_view substr(std::size_t from, std::size_t count = std::wstring_view::npos) const {
    return view().substr(from, count);
  }

  friend bool operator==(const HudText& a, const HudText& b) { return a.view() == b.view(); }
  friend bool operator==(const HudText& a, std::wstring_view b) { return a.view() == b; }

 private:
  wchar_t text_[kCapacity + 1] = {};
  std::size_t size_ = 0;
};

struct HudTexts {
  HudText name[2];
  HudText score[2];  // empty in practice
  int atTable = 0;   // the player whose turn it is
  HudText result;    // empty when the last shot has no verdict
  HudText title;     // the mode title, or "Thinking"
  HudText progress;  // "[placements/candidates]" while thinking
  // The ball icon beside the name of the player at the table, -1 for none:
  // in 8-Ball his group (2 solids, 10 stripes, 8 once it is cleared), in the
  // rotation games the ball to play next.
  int icon = -1;
  bool operator==(const HudTexts&) const = default;
};

// The texts for the current state of play. Unknown outcome details and
// modes give no text. Nothing is allocated.
HudTexts MakeHudTexts(const Pool& pool, const Control* control, std::wstring_view player1, std::wstring_view player2);

// Draws them into the back buffer; `small` and `tiny` are the two fonts
// (either may be null: its texts are then left out).
// `icons` (may be null) is the ball icon sheet.
void DrawHud(ssDisplayS16& device, ssFont* small, ssFont* tiny, const HudTexts& texts,
             const BallIcons* icons = nullptr);

// The areas DrawHud covers, in buffer pixels (left, top, right, bottom): the
// band, and the verdict's box when there is one. Their number.
int HudAreas(ssDisplayS16& device, ssFont* small, const HudTexts& texts, std::array<std::int32_t, 4> out[2]);

class CallPocketMode;

// The call-pocket prompt: a box round the chosen pocket and two lines of
// instructions.
void DrawCallPocketPrompt(ssDisplayS16& device, ssFont* font, const CallPocketMode& mode);

}  // namespace ks::play
