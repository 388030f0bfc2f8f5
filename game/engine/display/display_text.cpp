// Text on the graphics device: measuring, and drawing through the font's
// string drawers in every screen rotation, with shadow and box layout.
#include <algorithm>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/font.h"

void ssDisplay::MeasureText(ssFont* font, const wchar_t* text, int* width, int* height, bool wrap) const {
  const int wrapWidth = width != nullptr ? *width : 0;
  int w = 0, h = 0;
  if (font != nullptr && font->Loaded() && text != nullptr) {
    for (; *text != 0; ++text) {
      const wchar_t c = *text;
      if (c == L' ') {
        w += font->m_SpaceWidth;
      } else if (c == 8) {
        w += 4 * font->m_SpaceWidth;
      } else if (c < 32) {
        w = 0;  // a line break
      } else if (c <= kFontLastDrawnChar) {
        // Characters past the drawn set measure nothing, as they draw nothing.
        w += font->m_Spacing + font->GlyphWidth(c);
      }
      if (wrap && w > wrapWidth) {
        w = 0;
        h += font->Height();
      }
    }
    h += font->Height();
  }
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
}

void ssDisplay::MeasureTextFrac(ssFont* font, const wchar_t* text, int* width, int* height) const {
  int w = 0, h = 0;
  MeasureText(font, text, &w, &h, false);
  if (width != nullptr) *width = m_VWidth > 0 ? static_cast<int>((static_cast<std::int64_t>(w) << 16) / m_VWidth) : 0;
  if (height != nullptr) {
    *height = m_VHeight > 0 ? static_cast<int>((static_cast<std::int64_t>(h) << 16) / m_VHeight) : 0;
  }
}

void ssDisplay::DrawTextAt(ssFont* font, int x, int y, const wchar_t* text, std::uint32_t color,
                           std::uint32_t backColor, bool opaque, const ssRect* deviceClip) const {
  const int w = m_Width, h = m_Height;
  switch (m_Rotate) {
    case 0:
      font->DrawString(x, y, color, backColor, text, opaque, deviceClip, false);
      break;
    case 1:
      font->DrawStringRotated(y, h - 1 - x, color, backColor, text, opaque, deviceClip, false);
      break;
    case 2:
      font->DrawString(w - 1 - x, h - 1 - y, color, backColor, text, opaque, deviceClip, true);
      break;
    case 3:
      font->DrawStringRotated(w - 1 - y, x, color, backColor, text, opaque, deviceClip, true);
      break;
    default:
      break;
  }
}

// The box layout works in logical pixels whatever the rotation: words are
// placed along logical lines and each is drawn through DrawTextAt.
void ssDisplay::DrawTextBox(ssFont* font, int x, int y, const wchar_t* text, int length, std::uint32_t color,
                            std::uint32_t backColor, bool opaque, const ssRect& box, const ssRect* deviceClip,
                            bool centre) const {
  struct Word {
    std::wstring text;
    bool lineEnd;
  };
  std::vector<Word> words;
  std::wstring current;
  for (int i = 0; text[i] != 0 && (length < 0 || i < length); ++i) {
    if (text[i] == L' ' || text[i] == L'\n') {
      words.push_back(Word{current, text[i] == L'\n'});
      current.clear();
    } else {
      current.push_back(text[i]);
    }
  }
  if (!current.empty()) words.push_back(Word{current, false});
  const LONG bound = std::max<LONG>(box.right - 1, 0);
  const int lineStep = font->m_Spacing + font->Height();
  std::vector<int> offsets;
  auto offsetOf = [&](int penX) { return (box.right - box.left - (penX - x)) / 2; };
  // Places the words; with `draw` set draws them at their line's offset.
  auto place = [&](bool draw) {
    int penX = x, penY = y;
    std::size_t line = 0;
    for (std::size_t i = 0; i < words.size();) {
      int ww = 0, wh = 0;
      MeasureText(font, words[i].text.c_str(), &ww, &wh, false);
      if (penY + wh > box.bottom) break;
      if (penX + ww <= bound) {
        if (draw) {
          const int offset = centre && line < offsets.size() ? offsets[line] : 0;
          DrawTextAt(font, offset + penX, penY, words[i].text.c_str(), color, backColor, opaque, deviceClip);
        }
        penX += ww + font->m_SpaceWidth + font->m_Spacing;
        if (words[i].lineEnd) {
          if (!draw) offsets.push_back(offsetOf(penX));
          ++line;
          penX = x;
          penY += lineStep;
        }
        ++i;
        continue;
      }
      if (x + ww >= bound) break;  // the word alone is wider than a line
      if (!draw) offsets.push_back(offsetOf(penX));
      ++line;
      penX = x;
      penY += lineStep;
    }
    if (!draw) offsets.push_back(offsetOf(penX));
  };
  place(false);
  place(true);
}

int ssDisplay::DrawText(ssFont* font, int x, int y, const wchar_t* text, int length, std::uint32_t color,
                        std::uint32_t backColor, std::uint32_t shadowColor, bool opaque, bool shadow, bool skip,
                        int /*reserved*/, const ssRect* clip, bool box, bool centre) {
  if (skip || font == nullptr || text == nullptr || m_Rotate < 0 || m_Rotate > 3) return 0;
  // The high byte names the colour's role for the drawer; drawers read the
  // low 16 bits only.
  color |= 0xDF000000u;
  backColor |= 0xFF000000u;
  shadowColor |= 0xCF000000u;
  const int d = font->Height() / 9;
  ssRect deviceClip{};
  if (clip != nullptr) RectToDevice(deviceClip, *clip);
  const ssRect* useClip = clip != nullptr ? &deviceClip : nullptr;
  const ssRect boxRect = clip != nullptr ? *clip : ssRect{0, 0, m_VWidth, m_VHeight};
  auto drawOnce = [&](int px, int py, std::uint32_t c) {
    if (box) {
      DrawTextBox(font, px, py, text, length, c, backColor, opaque, boxRect, useClip, centre);
    } else {
      DrawTextAt(font, px, py, text, c, backColor, opaque, useClip);
    }
  };
  if (shadow) {
    drawOnce(x + d, y + d, shadowColor);
    if (useClip != nullptr) {
      // The text keeps off the band the shadow alone covers.
      static constexpr int kShift[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
      deviceClip.right += kShift[m_Rotate][0] * d;
      deviceClip.bottom += kShift[m_Rotate][1] * d;
    }
  }
  drawOnce(x, y, color);
  return 0;
}

int ssDisplay::DrawTextFrac(ssFont* font, int fx, int fy, const wchar_t* text, int length, std::uint32_t color,
                            std::uint32_t backColor, std::uint32_t shadowColor, bool opaque, bool shadow, bool skip,
                            int reserved, const ssRect* clip, bool box, bool centre) {
  if (skip) return 0;
  const bool odd = (m_Rotate & 1) != 0;
  const std::int64_t across = odd ? m_Height : m_Width;
  const std::int64_t down = odd ? m_Width : m_Height;
  // Divisions, not shifts, so negative positions round toward zero.
  const int x = static_cast<int>(fx * across / 65536);
  const int y = static_cast<int>(fy * down / 65536);
  return DrawText(font, x, y, text, length, color, backColor, shadowColor, opaque, shadow, skip, reserved, clip, box,
                  centre);
}
