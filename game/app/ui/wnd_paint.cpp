// Wnd painting: background, frames (raised and sunken bevels, the inset
// frame, the title band), arrow glyphs, images and captions, all clipped
// to the part of the screen being repainted.
#include <algorithm>

#include "display/font.h"
#include "engine/image.h"
#include "ui/wnd.h"

namespace ui {

POINT ImageSize(const ssDisplay* device, const ssImage* image) {
  if (image == nullptr) return POINT{0, 0};
  // Pictures are stored turned for the screen; their logical size swaps
  // with an odd turn.
  const bool odd = device != nullptr && (device->m_Rotate & 1) != 0;
  return odd ? POINT{image->Height(), image->Width()} : POINT{image->Width(), image->Height()};
}

}  // namespace ui

void Wnd::Fill(const RECT& rect, const RECT& clip, int mode, std::uint32_t pixel) {
  RECT part;
  if (m_Device == nullptr || !ui::Intersect(part, rect, clip)) return;
  if ((mode & 2) != 0) {
    // The raw fill writes two pixels a word.
    pixel = (pixel & 0xFFFFu) | (pixel & 0xFFFFu) << 16;
  }
  m_Device->DrawRect(part, mode, pixel);
}

namespace {

// The eight bands of a bevel, in drawing order, with the colour index each
// takes: top outer, top inner, left outer, left inner, bottom inner,
// bottom outer, right inner, right outer.
void Bands(const RECT& r, int u, RECT out[8]) {
  const int h = u / 2;
  out[0] = RECT{r.left, r.top, r.right, r.top + h};
  out[1] = RECT{r.left + h, r.top + h, r.right - h, r.top + u};
  out[2] = RECT{r.left, r.top, r.left + h, r.bottom};
  out[3] = RECT{r.left + h, r.top + h, r.left + u, r.bottom - h};
  out[4] = RECT{r.left + h, r.bottom - u, r.right - h, r.bottom - h};
  out[5] = RECT{r.left, r.bottom - h, r.right, r.bottom};
  out[6] = RECT{r.right - u, r.top + h, r.right - h, r.bottom - h};
  out[7] = RECT{r.right - h, r.top, r.right, r.bottom};
}

}  // namespace

void Wnd::DrawRaisedBevel(const RECT& r, const RECT& clip) {
  RECT bands[8];
  Bands(r, static_cast<int>(m_BorderUnit), bands);
  static constexpr Bevel kColours[8] = {kOuterLight, kInnerLight, kOuterLight, kInnerLight,
                                        kInnerDark,  kOuterDark,  kInnerDark,  kOuterDark};
  for (int i = 0; i < 8; ++i) Fill(bands[i], clip, 1, m_Bevel[kColours[i]]);
}

void Wnd::DrawSunkenBevel(const RECT& r, const RECT& clip) {
  RECT bands[8];
  Bands(r, static_cast<int>(m_BorderUnit), bands);
  static constexpr Bevel kColours[8] = {kOuterDark,  kInnerDark,  kOuterDark,  kInnerDark,
                                        kInnerLight, kOuterLight, kInnerLight, kOuterLight};
  for (int i = 0; i < 8; ++i) Fill(bands[i], clip, 1, m_Bevel[kColours[i]]);
}

void Wnd::DrawInsetFrame(const RECT& r, const RECT& clip) {
  const int h = static_cast<int>(m_BorderUnit) / 2;
  // The side bands leave out the corners the top and bottom bands cover, so
  // no pixel is blended twice.
  Fill(RECT{r.left, r.top, r.right, r.top + h}, clip, 5, m_Bevel[kOuterLight]);
  Fill(RECT{r.left, r.bottom - h, r.right, r.bottom}, clip, 5, m_Bevel[kOuterLight]);
  Fill(RECT{r.left, r.top + h, r.left + h, r.bottom - h}, clip, 5, m_Bevel[kOuterLight]);
  Fill(RECT{r.right - h, r.top + h, r.right, r.bottom - h}, clip, 5, m_Bevel[kOuterLight]);
}

void Wnd::DrawTitleBand(const RECT& clip) {
  const int u = static_cast<int>(m_BorderUnit);
  const RECT& r = m_ScreenRect;
  RECT band{r.left + u, r.top + u, r.right - u, r.top + u + FontHeight() + 2 * u};
  if (!ui::Intersect(band, band, r)) return;
  Fill(band, clip, 1, m_ColourB);
  DrawCaption(m_Caption, m_TextX, m_TextY, m_ColourA, m_ColourB, m_ColourC, false, false, band, clip);
}

void Wnd::DrawFrame(const RECT& clip) {
  if ((m_Style & ui::kStyleTitle) == ui::kStyleTitle) {
    DrawRaisedBevel(m_ScreenRect, clip);
    DrawTitleBand(clip);
  } else if ((m_Style & ui::kStyleInset) != 0) {
    DrawInsetFrame(m_ScreenRect, clip);
  } else if ((m_Style & (ui::kStyleBevel | ui::kStyleBevel18)) != 0) {
    DrawRaisedBevel(m_ScreenRect, clip);
  }
}

void Wnd::DrawArrow(int arrow, const RECT& r, const RECT& clip, std::uint32_t pixel) {
  if (m_Device == nullptr || arrow < 1 || arrow > 4) return;
  const int w = r.right - r.left, hh = r.bottom - r.top;
  int x[3], y[3];
  switch (arrow) {
    case 1:  // up
      x[0] = r.left + w / 2, y[0] = r.top + hh / 3;
      x[1] = r.left + w / 2 + (w / 2) / 2, y[1] = r.top + 2 * (hh / 3);
      x[2] = r.left + w / 2 - (w / 2) / 2, y[2] = y[1];
      break;
    case 3:  // down
      x[0] = r.left + w / 2, y[0] = r.top + 2 * (hh / 3);
      x[1] = r.left + w / 2 - (w / 2) / 2, y[1] = r.top + hh / 3;
      x[2] = r.left + w / 2 + (w / 2) / 2, y[2] = y[1];
      break;
    case 2:  // right
      x[0] = r.left + 2 * (w / 3), y[0] = r.top + hh / 2;
      x[1] = r.left + w / 3, y[1] = r.top + hh / 2 + (hh / 2) / 2;
      x[2] = x[1], y[2] = r.top + hh / 2 - (hh / 2) / 2;
      break;
    default:  // left
      x[0] = r.left + w / 3, y[0] = r.top + hh / 2;
      x[1] = r.left + 2 * (w / 3), y[1] = r.top + hh / 2 - (hh / 2) / 2;
      x[2] = x[1], y[2] = r.top + hh / 2 + (hh / 2) / 2;
      break;
  }
  RECT c;
  if (!ui::Intersect(c, clip, m_ScreenRect)) return;
  m_Device->PushClipRect(c);
  ui::FillTriangle(m_Device, x, y, pixel);
  m_Device->PopClipRect();
}

namespace ui {

void FillTriangle(ssDisplay* device, const int x[3], const int y[3], std::uint32_t pixel) {
  // The device fills triangles whose corners run clockwise on the screen.
  const long cross = static_cast<long>(x[1] - x[0]) * (y[2] - y[0]) - static_cast<long>(y[1] - y[0]) * (x[2] - x[0]);
  if (cross >= 0) {
    device->FillTriangle(x[0], y[0], x[1], y[1], x[2], y[2], pixel);
  } else {
    device->FillTriangle(x[0], y[0], x[2], y[2], x[1], y[1], pixel);
  }
}

}  // namespace ui

void Wnd::DrawImageAt(ssImage* image, int x, int y, const RECT& clip, int flag) {
  if (m_Device == nullptr || image == nullptr) return;
  const POINT size = ui::ImageSize(m_Device, image);
  RECT dest;
  if (!ui::Intersect(dest, RECT{x, y, x + size.x, y + size.y}, clip)) return;
  // Source and destination keep the same size, so nothing is stretched.
  const RECT source = ui::Offset(dest, -x, -y);
  m_Device->PushClipRect(dest);
  m_Device->DrawImage(image, &dest, &source, flag);
  m_Device->PopClipRect();
}

void Wnd::DrawCaption(const wchar_t* text, int x, int y, std::uint32_t colour, std::uint32_t back, std::uint32_t shadow,
                      bool opaque, bool withShadow, const RECT& box, const RECT& clip, bool wrap, bool centre) {
  if (m_Device == nullptr || m_Font == nullptr || text == nullptr || text[0] == 0) return;
  RECT c;
  if (!ui::Intersect(c, box, clip)) return;
  ui::ProbeText(ui::DrawnText{this, m_Font, text, x, y, box, wrap, withShadow, wrap && centre});
  // A wrapped text lays itself out in the whole box; a single line is
  // clipped to the part being repainted so that text outside it is not
  // drawn over itself again.
  m_Device->PushClipRect(c);
  m_Device->DrawText(m_Font, x, y, text, -1, colour, back, shadow, opaque, withShadow, false, 0, wrap ? &box : &c, wrap,
                     centre);
  m_Device->PopClipRect();
}

RECT Wnd::ClientScreenRect() {
  return RECT{m_ScreenRect.left + m_BorderX, m_ScreenRect.top + m_BorderY, m_ScreenRect.right - m_BorderX,
              m_ScreenRect.bottom - m_BorderY};
}

void Wnd::PaintChildren(const RECT& dirty) {
  for (auto& child : m_Children) child->Paint(dirty);
}

void Wnd::ResetDirty() {
  m_DirtyRect = RECT{m_ScreenRect.right, m_ScreenRect.bottom, m_ScreenRect.left, m_ScreenRect.top};
}

int Wnd::Paint(const RECT& dirty) {
  if (ui::IsEmpty(dirty) || !IsVisible()) return 1;
  RECT clip;
  if (ui::Intersect(clip, m_ScreenRect, dirty)) {
    if (m_Kind != ui::kKindPicture) {
      if ((m_Flags & ui::kFlagTransparent) == 0) {
        if (m_Image != nullptr) {
          DrawImageAt(m_Image, m_ScreenRect.left, m_ScreenRect.top, clip, 1);
        } else {
          Fill(clip, clip, 1, m_Bevel[kFace]);
        }
      } else if ((m_Flags & ui::kFlagTranslucent) != 0) {
        Fill(ClientScreenRect(), dirty, 5, m_ColourB);
      }
    }
    DrawFrame(clip);
    PaintChildren(dirty);
  }
  ResetDirty();
  return 1;
}
