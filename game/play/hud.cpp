#include "play/hud.h"

#include <algorithm>
#include <cstdio>

#include "display/display_s16.h"
#include "play/ball_sprite.h"
#include "play/control.h"
#include "simulation/ai.h"
#include "simulation/pool.h"

namespace ks::play {
namespace {

const wchar_t* const kTitles[18] = {L"Quit",        L"Reconfigure",      L"Aim Mode",   L"Shoot Mode", L"Move View",
                                    L"Move Ball",   L"Aim/Ball in Hand", L"Undo",       L"Replay",     L"New Game",
                                    L"Play",        L"Auto Line-Up",     L"Remote",     L"Computer",   L"English Mode",
                                    L"Move Cuetip", L"Adjust Butt",      L"Adjust Zoom"};
const wchar_t* const kFouls[6] = {L"Low ball not hit first", L"Rail not hit",         L"Illegal Break",
                                  L"Own ball not hit first", L"8-ball not hit first", L"Ball not hit"};

void Format(HudText& out, const wchar_t* format, int a, int b) {
  wchar_t text[64];
  const int n = std::swprintf(text, 64, format, a, b);
  out = std::wstring_view(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The verdict's box, centred, in fractions of the screen, and where its
// text starts; false when there is no verdict (or no font to measure it).
bool ResultBox(ssDisplayS16& d, ssFont* small, const HudTexts& t, ssRect* box, int* x, int* y) {
  if (t.result.empty() || small == nullptr) return false;
  const bool odd = (d.m_Rotate & 1) != 0;
  const std::int64_t across = odd ? d.m_Height : d.m_Width, down = odd ? d.m_Width : d.m_Height;
  int pw = 0, ph = 0;
  d.MeasureText(small, t.result.c_str(), &pw, &ph, false);
  const int w = static_cast<int>((std::int64_t{pw} << 16) / std::max<std::int64_t>(1, across));
  const int h = static_cast<int>((std::int64_t{ph} << 16) / std::max<std::int64_t>(1, down));
  *x = 0x8000 - w / 2;
  *y = 0x8000 - h / 2;
  *box = ssRect{*x - 1000, *y - 1000, *x + w + 1000, *y + h + 1000};
  return true;
}

}  // namespace

HudTexts MakeHudTexts(const Pool& pool, const Control* control, std::wstring_view player1, std::wstring_view player2) {
  HudTexts t;
  const RuleBlock& r = pool.rules;
  const bool practice = pool.OpponentKind == 0;
  t.atTable = r.CurrentPlayer & 1;
  t.name[0] = player1;
  if (!practice) t.name[1] = player2;
  if (!practice) {
    for (int p = 0; p < 2; ++p) {
      if (pool.GameType == 1 || pool.GameType == 4)
        Format(t.score[p], L"%d  -  %d", r.GamesWon[static_cast<std::size_t>(p)], r.Score[static_cast<std::size_t>(p)]);
      else
        Format(t.score[p], L"%d - %d", r.GamesWon[static_cast<std::size_t>(p)], r.MatchGoal);
    }
  }
  if (r.Outcome != 0) {
    const int d = r.OutcomeDetail;
    if (d == 0) {
      t.result = r.Outcome == 4 ? L"Miscall" : L"Scratch";
    } else if (d >= 1 && d <= 6) {
      const bool blank = practice && (d == 1 || d == 4 || d == 6);
      const std::wstring_view who = (d == 4 || d == 6) ? player2 : player1;
      const wchar_t* verb = d == 1 ? L" Wins" : d <= 4 ? L" Loses" : L" Resigns";
      if (blank) {
        t.result = L" ";
      } else {
        t.result = who;
        t.result += verb;
      }
    } else if (d >= 7 && d <= 12) {
      t.result = kFouls[d - 7];
    }
  }
  if (!practice) {
    const auto off = [&](int b) { return pool.ballStates[static_cast<std::size_t>(b)].state == kBallOff; };
    if (pool.GameType == 2 && r.SolidsOwner != 0) {
      const bool solids = r.SolidsOwner == t.atTable + 1;
      bool cleared = true;
      for (int b = solids ? 1 : 9; b <= (solids ? 7 : 15); ++b) cleared = cleared && off(b);
      t.icon = cleared ? 8 : solids ? 2 : 10;
    } else if (pool.GameType >= 3 && pool.GameType <= 6) {
      for (int b = 1; b < kBallCount && t.icon < 0; ++b)
        if (!off(b)) t.icon = b;
    }
  }
  const int mode = control != nullptr ? control->viewMode : 2;
  if (mode == 13) {
    const AiOpponent* ai = control->Computer() != nullptr ? control->Computer()->Opponent() : nullptr;
    if (control->Computer() != nullptr && control->Computer()->Thinking()) {
      t.title = L"Thinking";
      if (ai != nullptr && ai->AiPlacementsLeft >= 1 && ai->AiPlacementsLeft <= 99 && ai->AiCandidatesLeft >= 1 &&
          ai->AiCandidatesLeft <= 99)
        Format(t.progress, L"[%d/%d]", ai->AiPlacementsLeft, ai->AiCandidatesLeft);
    }
  } else if (mode >= 0 && mode < 18) {
    t.title = kTitles[mode];
  }
  return t;
}

void DrawHud(ssDisplayS16& d, ssFont* small, ssFont* tiny, const HudTexts& t, const BallIcons* icons) {
  const std::uint32_t black = d.ColorToPixel(0), white = d.ColorToPixel(0xFFFFFF);
  // Fractions of the screen as the text drawing reads them, so the band,
  // the box and the texts agree on every screen shape.
  const bool odd = (d.m_Rotate & 1) != 0;
  const std::int64_t across = odd ? d.m_Height : d.m_Width, down = odd ? d.m_Width : d.m_Height;
  auto fill = [&](const ssRect& f) {
    const ssRect r{static_cast<LONG>(f.left * across / 65536), static_cast<LONG>(f.top * down / 65536),
                   static_cast<LONG>(f.right * across / 65536), static_cast<LONG>(f.bottom * down / 65536)};
    d.DrawRect(r, 5, white);
  };
  auto shade = [&](const ssRect& f) {
    const ssRect r{static_cast<LONG>(f.left * across / 65536), static_cast<LONG>(f.top * down / 65536),
                   static_cast<LONG>(f.right * across / 65536), static_cast<LONG>(f.bottom * down / 65536)};
    d.DrawRect(r, 5, black);
  };
  auto frame = [&](const ssRect& r) {
    const LONG px = static_cast<LONG>(0x10000 / std::max<std::int64_t>(1, across)),
               py = static_cast<LONG>(0x10000 / std::max<std::int64_t>(1, down));
    fill({r.left, r.top, r.right, r.top + 2 * py});
    fill({r.left, r.top + py, r.left + px, r.bottom - py});
    fill({r.left, r.bottom - 2 * py, r.right, r.bottom});
    fill({r.right - px, r.top + py, r.right, r.bottom - py});
  };
  auto text = [&](ssFont* f, int x, int y, const HudText& s, std::uint32_t colour, std::uint32_t shadow) {
    if (f == nullptr || s.empty()) return;
    d.DrawTextFrac(f, x, y, s.c_str(), static_cast<int>(s.size()), colour, 0, shadow, false, true, false, 0, nullptr,
                   false, false);
  };
  const ssRect band{0, 0, 0x10000, 10000};
  shade(band);
  frame(band);
  // The second row stands at least one line of its font below the first, so
  // that the two names (and the title and the progress count) never overlap
  // whatever the font's size on this screen.
  auto below = [&](ssFont* f, int row, int wanted) {
    if (f == nullptr) return wanted;
    int pw = 0, ph = 0;
    d.MeasureText(f, L"Ay", &pw, &ph, false);
    const int line = static_cast<int>((std::int64_t{ph} << 16) / std::max<std::int64_t>(1, down));
    return std::max(wanted, row + line);
  };
  const int row1 = 0x666, row2 = below(small, row1, (14 << 16) / 240);
  for (int p = 0; p < 2; ++p) {
    const std::uint32_t colour = d.ColorToPixel(p == t.atTable ? 0xDCDC00 : 0xA0A0A0);
    text(small, 0x1333, p == 0 ? row1 : row2, t.name[p], colour, black);
    text(small, 0x7000, p == 0 ? row1 : row2, t.score[p], colour, black);
  }
  ssRect box{};
  int textX = 0, textY = 0;
  if (ResultBox(d, small, t, &box, &textX, &textY)) {
    shade(box);
    frame(box);
    text(small, textX, textY, t.result, d.ColorToPixel(0xFF0000), 0);
  }
  // The icon stands left of the names, on the row of the player at the table.
  if (icons != nullptr && icons->loaded && t.icon >= 0 && t.icon < 16) {
    const int y = t.atTable == 0 ? 2 : std::max(icons->anchor, static_cast<int>(row2 * down / 65536) - 2);
    icons->sprite.Blit(t.icon, 2, y);
  }
  text(tiny, 0xB000, row1, t.title, white, d.ColorToPixel(0x3F3F3F));
  text(tiny, 0xB000, below(tiny, row1, (10 << 16) / 240), t.progress, white, d.ColorToPixel(0x3F3F3F));
}

int HudAreas(ssDisplayS16& d, ssFont* small, const HudTexts& t, std::array<std::int32_t, 4> out[2]) {
  const bool odd = (d.m_Rotate & 1) != 0;
  const std::int64_t across = odd ? d.m_Height : d.m_Width, down = odd ? d.m_Width : d.m_Height;
  auto area = [&](std::int64_t l, std::int64_t tp, std::int64_t r, std::int64_t b) {
    const ssRect logical{static_cast<LONG>(l * across / 65536), static_cast<LONG>(tp * down / 65536),
                         static_cast<LONG>(r * across / 65536), static_cast<LONG>(b * down / 65536)};
    const ssRect buffer = ssDisplay::TurnEdges(logical, d.m_Rotate, d.m_Width, d.m_Height);
    return std::array<std::int32_t, 4>{buffer.left, buffer.top, buffer.right, buffer.bottom};
  };
  int n = 0;
  out[n++] = area(0, 0, 0x10000, 10000);
  ssRect box{};
  int textX = 0, textY = 0;
  if (ResultBox(d, small, t, &box, &textX, &textY)) {
    // A pixel more all round for the text's shadow and the rounding.
    out[n] = area(box.left, box.top, box.right, box.bottom);
    out[n] = {out[n][0] - 1, out[n][1] - 1, out[n][2] + 1, out[n][3] + 1};
    ++n;
  }
  return n;
}

void DrawCallPocketPrompt(ssDisplayS16& d, ssFont* font, const CallPocketMode& mode) {
  const auto& p = mode.points[static_cast<std::size_t>(std::clamp(mode.selected, 0, 5))];
  const int reach = 6;
  const bool odd = (d.m_Rotate & 1) != 0;
  const LONG w = odd ? d.m_Height : d.m_Width, h = odd ? d.m_Width : d.m_Height;
  // Kept on the screen: a point near an edge gets a box cut at the edge.
  const ssRect box{std::clamp<LONG>(p[0] - reach, 0, w - 1), std::clamp<LONG>(p[1] - reach, 0, h - 1),
                   std::clamp<LONG>(p[0] + reach, 0, w - 1), std::clamp<LONG>(p[1] + reach, 0, h - 1)};
  d.DrawRect(box, 0, d.ColorToPixel(0xFFFF00));
  if (font == nullptr) return;
  const std::uint32_t white = d.ColorToPixel(0xFFFFFF);
  const wchar_t* lines[2] = {L"Select pocket for 8-Ball", L"Then Press Aim/Shoot Button"};
  const int xs[2] = {0x5333, 0x4800}, ys[2] = {0x8888, 0x9777};
  for (int i = 0; i < 2; ++i) {
    const std::wstring_view text = lines[i];
    d.DrawTextFrac(font, xs[i], ys[i], text.data(), static_cast<int>(text.size()), white, 0, 0, false, true, false, 0,
                   nullptr, false, false);
  }
}

}  // namespace ks::play
