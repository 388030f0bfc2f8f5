// The in-game text: a dark band across the top with the players' names and
// scores, the mode title (or "Thinking" while the computer searches), and a
// framed box in the middle with the verdict of the last shot.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class ssDisplayS16;
class ssFont;

namespace ks {
class Pool;
}

namespace ks::play {

class Control;
struct BallIcons;

struct HudTexts {
  std::wstring name[2];
  std::wstring score[2];  // empty in practice
  int atTable = 0;        // the player whose turn it is
  std::wstring result;    // empty when the last shot has no verdict
  std::wstring title;     // the mode title, or "Thinking"
  std::wstring progress;  // "[placements/candidates]" while thinking
  // The ball icon beside the name of the player at the table, -1 for none:
  // in 8-Ball his group (2 solids, 10 stripes, 8 once it is cleared), in the
  // rotation games the ball to play next.
  int icon = -1;
};

// The texts for the current state of play. Unknown outcome details and
// modes give no text.
HudTexts MakeHudTexts(const Pool& pool, const Control* control, const std::wstring& player1,
                      const std::wstring& player2);

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
