#include "screen_fit.h"

#include <sstream>
#include <string>

#include "display/display.h"
#include "display/font.h"
#include "ui/button.h"
#include "ui/keyboard.h"
#include "ui/wnd.h"

namespace fit {

namespace {

std::vector<ui::DrawnText> g_drawn;
std::vector<std::wstring> g_texts;  // the texts of g_drawn, kept beyond the paint

void Collect(const ui::DrawnText& text) {
  g_texts.emplace_back(text.text);
  g_drawn.push_back(text);
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
  return out;
}

std::string Describe(const Wnd* w) {
  std::ostringstream out;
  const RECT& r = w->ScreenRect();
  out << "widget " << w->Id() << " \"" << Narrow(w->Caption()) << "\" (" << r.left << ", " << r.top << ", " << r.right
      << ", " << r.bottom << ")";
  return out.str();
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Rect(const RECT& r) {
  std::ostringstream out;
  out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
  return out.str();
}

// The box a widget's children must stay in: its own rectangle, and for an
// open keyboard the pad below it as well.
RECT ChildBox(const Wnd* w) {
  RECT box = w->ScreenRect();
  if (const auto* keyboard = dynamic_cast<const Keyboard*>(w); keyboard != nullptr && keyboard->IsOpen())
    box = ui::Union(box, keyboard->KeyPad());
  return box;
}

// How far in from its edges a widget's frame reaches; texts keep clear of it.
int FrameWidth(const Wnd* w) {
  const int u = w->BorderUnit();
  const std::uint32_t style = w->Style();
  if (const auto* button = dynamic_cast<const Button*>(w); button != nullptr && button->IsPushButton()) {
    if ((style & Button::kFlat) == 0) return u;
    return (w->Flags() & Button::kFlagInsetFill) != 0 ? u / 2 : 0;
  }
  if ((style & ui::kStyleTitle) == ui::kStyleTitle) return u;
  if ((style & ui::kStyleInset) != 0) return u / 2;
  if ((style & (ui::kStyleBevel | ui::kStyleBevel18)) != 0) return u;
  return 0;
}

// Checks the visible widgets below parent and gathers those with a frame.
void CheckWidgets(Wnd* parent, const RECT& screen, std::vector<std::string>& out, std::vector<const Wnd*>& framed) {
  const RECT box = ChildBox(parent);
  for (int i = 0; i < parent->ChildCount(); ++i) {
    Wnd* c = parent->Child(i);
    if (c == nullptr || !c->IsVisible()) continue;
    if (!Inside(c->ScreenRect(), screen)) out.push_back(Describe(c) + " leaves the screen");
    if (!Inside(c->ScreenRect(), box)) out.push_back(Describe(c) + " leaves " + Describe(parent));
    if (FrameWidth(c) > 0) framed.push_back(c);
    CheckWidgets(c, screen, out, framed);
  }
}

// The pixels a single line of text inks (as the font draws it); an empty
// rectangle at (x, y) when it inks none. A shadow is a shade below and to
// the right of the letters, which may lose its last row to the box.
RECT InkRect(const ssFont* font, const wchar_t* text, int x, int y) {
  const ssFontHeader& h = font->Header();
  RECT ink{x, y, x, y};
  bool any = false;
  int penX = x;
  for (const wchar_t* c = text; *c != 0; ++c) {
    if (*c < kFontFirstChar || *c > kFontLastDrawnChar) continue;
    if (*c == L' ') {
      penX += font->m_SpaceWidth;
      continue;
    }
    const ssFontGlyph& g = h.glyphs[*c - kFontFirstChar];
    for (int row = 0; row < h.height; ++row) {
      for (int col = 0; col < g.width; ++col) {
        if ((font->Strip()[static_cast<std::size_t>(row) * h.stripWidth + g.column + col] >> 3) == 0) continue;
        const RECT dot{penX + col, y + row, penX + col + 1, y + row + 1};
        ink = any ? ui::Union(ink, dot) : dot;
        any = true;
      }
    }
    penX += g.width;
  }
  return ink;
}

// Lays a wrapped text out in its box as the display does; false when a
// word is left out (no room below, or wider than a line). `used` gathers
// the ink of the words placed, each line moved by its centring offset.
bool WrapFits(const ssDisplay* d, const ui::DrawnText& t, RECT* used) {
  struct Word {
    std::wstring text;
    bool lineEnd;
  };
  std::vector<Word> words;
  std::wstring current;
  for (const wchar_t* c = t.text; *c != 0; ++c) {
    if (*c == L' ' || *c == L'\n') {
      words.push_back(Word{current, *c == L'\n'});
      current.clear();
    } else {
      current.push_back(*c);
    }
  }
  if (!current.empty()) words.push_back(Word{current, false});
  const int bound = std::max<int>(t.box.right - 1, 0);
  const int lineStep = t.font->m_Spacing + t.font->Height();
  struct Placed {
    std::size_t word;
    int x, y, line;
  };
  std::vector<Placed> placed;
  std::vector<int> lineEnds;  // pen x at the end of each line
  int penX = t.x, penY = t.y, line = 0;
  for (std::size_t i = 0; i < words.size();) {
    int ww = 0, wh = 0;
    d->MeasureText(t.font, words[i].text.c_str(), &ww, &wh, false);
    if (penY + wh > t.box.bottom) return false;
    if (penX + ww <= bound) {
      placed.push_back(Placed{i, penX, penY, line});
      penX += ww + t.font->m_SpaceWidth + t.font->m_Spacing;
      if (words[i].lineEnd) {
        lineEnds.push_back(penX);
        ++line;
        penX = t.x;
        penY += lineStep;
      }
      ++i;
      continue;
    }
    if (t.x + ww >= bound) return false;
    lineEnds.push_back(penX);
    ++line;
    penX = t.x;
    penY += lineStep;
  }
  lineEnds.push_back(penX);
  bool any = false;
  *used = RECT{t.x, t.y, t.x, t.y};
  for (const Placed& p : placed) {
    const int offset =
        t.centre ? (t.box.right - t.box.left - (lineEnds[static_cast<std::size_t>(p.line)] - t.x)) / 2 : 0;
    const RECT ink = InkRect(t.font, words[p.word].text.c_str(), p.x + offset, p.y);
    if (ui::IsEmpty(ink)) continue;
    *used = any ? ui::Union(*used, ink) : ink;
    any = true;
  }
  return true;
}

// Columns of one row (texts of one widget on one line) keep at least a
// space between them.
void CheckColumns(std::vector<std::string>& out) {
  for (std::size_t i = 0; i < g_drawn.size(); ++i) {
    const ui::DrawnText& a = g_drawn[i];
    if (a.owner == nullptr || a.font == nullptr || a.wrap) continue;
    for (std::size_t j = i + 1; j < g_drawn.size(); ++j) {
      const ui::DrawnText& b = g_drawn[j];
      if (b.owner != a.owner || b.y != a.y || b.wrap || b.x <= a.x) continue;
      const RECT left = InkRect(a.font, a.text, a.x, a.y), right = InkRect(b.font, b.text, b.x, b.y);
      if (ui::IsEmpty(left) || ui::IsEmpty(right)) continue;
      if (right.left - left.right < a.font->m_SpaceWidth)
        out.push_back("text \"" + Narrow(b.text) + "\" of " + Describe(b.owner) + " runs into \"" + Narrow(a.text) +
                      "\" before it");
    }
  }
}

void CheckTexts(const ssDisplay* d, const RECT& screen, const std::vector<const Wnd*>& framed,
                std::vector<std::string>& out) {
  CheckColumns(out);
  for (const ui::DrawnText& t : g_drawn) {
    if (t.owner == nullptr || t.font == nullptr || t.text == nullptr || t.text[0] == 0) continue;
    const std::string what = "text \"" + Narrow(t.text) + "\" of " + Describe(t.owner);
    RECT used;
    if (t.wrap) {
      if (!WrapFits(d, t, &used)) {
        out.push_back(what + " does not fit its box " + Rect(t.box));
        continue;
      }
    } else {
      used = InkRect(t.font, t.text, t.x, t.y);
      if (ui::IsEmpty(used)) continue;
      if (!Inside(used, t.box)) {
        out.push_back(what + " at " + Rect(used) + " is cut by its box " + Rect(t.box));
        continue;
      }
    }
    if (!Inside(used, screen)) {
      out.push_back(what + " at " + Rect(used) + " leaves the screen");
      continue;
    }
    // Clear of every frame it meets: its own widget's and any other's.
    if (const int frame = FrameWidth(t.owner); frame > 0 && !Inside(used, ui::Inflate(t.owner->ScreenRect(), -frame))) {
      out.push_back(what + " at " + Rect(used) + " runs into its frame");
      continue;
    }
    for (const Wnd* w : framed) {
      RECT meet;
      if (w == t.owner || !ui::Intersect(meet, used, w->ScreenRect())) continue;
      if (!Inside(used, ui::Inflate(w->ScreenRect(), -FrameWidth(w)))) {
        out.push_back(what + " at " + Rect(used) + " runs into the frame of " + Describe(w));
        break;
      }
    }
  }
}

}  // namespace

std::vector<std::string> Problems(Wnd* screen) {
  std::vector<std::string> out;
  ssDisplay* d = screen->Device();
  const RECT whole{0, 0, ui::ScreenWidth(d), ui::ScreenHeight(d)};
  if (!Inside(screen->ScreenRect(), whole)) out.push_back(Describe(screen) + " leaves the screen");
  std::vector<const Wnd*> framed;
  CheckWidgets(screen, whole, out, framed);
  g_drawn.clear();
  g_texts.clear();
  ui::SetTextProbe(Collect);
  d->BeginDraw();
  screen->Invalidate(0);
  const RECT all = screen->ScreenRect();
  screen->Paint(all);
  d->EndDraw();
  ui::SetTextProbe(nullptr);
  // The probe's texts may be temporaries of the painters: point at the
  // copies instead.
  for (std::size_t i = 0; i < g_drawn.size(); ++i) g_drawn[i].text = g_texts[i].c_str();
  CheckTexts(d, whole, framed, out);
  g_drawn.clear();
  g_texts.clear();
  return out;
}

}  // namespace fit
