// The drawing of popups and bars, captions in the system font.
#include "menus/draw.h"

#include <algorithm>

#include "ce/aygshell.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "gdi/screen.h"

namespace ce::menus {
namespace {

void Fill(HDC dc, const RECT& r, COLORREF colour) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void Frame(HDC dc, const RECT& r, COLORREF colour) {
  Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, colour);
  Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
  Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
  Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
}

// The captions' font: the system font.
HGDIOBJ CaptionFont() { return GetStockObject(SYSTEM_FONT); }

// The caption of an item or button, one line centred (or left-aligned)
// vertically in `area`; '&' underlines the next character.
void DrawCaption(HDC dc, const RECT& area, const std::wstring& caption, COLORREF colour, UINT align) {
  const std::wstring text = caption.substr(0, caption.find(L'\t'));  // an accelerator's name is not shown
  if (text.empty()) return;
  HGDIOBJ oldFont = SelectObject(dc, CaptionFont());
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  RECT r = area;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, align | DT_SINGLELINE | DT_VCENTER);
  SelectObject(dc, oldFont);
}

// How wide a caption is drawn, '&' marks left out.
int CaptionWidth(HDC dc, const std::wstring& text) {
  const std::wstring plain = PlainCaption(text);
  if (plain.empty()) return 0;
  HGDIOBJ oldFont = SelectObject(dc, CaptionFont());
  SIZE size{};
  GetTextExtentPoint32W(dc, plain.c_str(), static_cast<int>(plain.size()), &size);
  SelectObject(dc, oldFont);
  return size.cx;
}

}  // namespace

int Scaled(int length96) {
  const int dpi = ce::gdi::Screen::Current()->dpi();
  return (length96 * dpi + 48) / 96;
}

PopupLayout LayoutPopup(const std::vector<ItemView>& items) {
  PopupLayout layout;
  const int border = 1;
  const int itemHeight = Scaled(20);
  const int separatorHeight = Scaled(7);
  const int margin = Scaled(18);  // the check mark's column, and as much on the right
  int width = Scaled(96);
  HDC screen = GetDC(nullptr);
  for (const ItemView& item : items) width = std::max(width, CaptionWidth(screen, item.text) + 2 * margin);
  ReleaseDC(nullptr, screen);
  width = std::min(width, GetSystemMetrics(SM_CXSCREEN) - 2 * border);
  int y = border;
  for (const ItemView& item : items) {
    const int h = item.separator() ? separatorHeight : itemHeight;
    layout.items.push_back(RECT{border, y, border + width, y + h});
    y += h;
  }
  layout.size = SIZE{width + 2 * border, y + border};
  return layout;
}

void DrawPopup(HDC dc, POINT origin, const PopupLayout& layout, const std::vector<ItemView>& items, int selected) {
  const RECT whole{origin.x, origin.y, origin.x + layout.size.cx, origin.y + layout.size.cy};
  Fill(dc, whole, kPopupFace);
  Frame(dc, whole, kPopupFrame);
  const int mark = Scaled(6);
  for (std::size_t i = 0; i < items.size() && i < layout.items.size(); ++i) {
    const ItemView& item = items[i];
    const RECT at = layout.items[i];
    const RECT r{at.left + origin.x, at.top + origin.y, at.right + origin.x, at.bottom + origin.y};
    if (item.separator()) {
      const int mid = (r.top + r.bottom) / 2;
      Fill(dc, RECT{r.left + 2, mid, r.right - 2, mid + 1}, kSeparator);
      continue;
    }
    const bool isSelected = static_cast<int>(i) == selected;
    if (isSelected) Fill(dc, r, kPopupSelected);
    const COLORREF ink = !item.enabled() ? kPopupGrayed : isSelected ? kPopupFace : kPopupFrame;
    const int midY = (r.top + r.bottom) / 2;
    if (item.checked()) {
      const int x = r.left + Scaled(6);
      Fill(dc, RECT{x, midY - mark / 2, x + mark, midY - mark / 2 + mark}, ink);
    }
    if (item.popup()) {
      // An arrow of three shrinking columns at the right end, each column one
      // pixel at 96 DPI and as many more as the screen is denser.
      const int x = r.right - Scaled(10), s = std::max(1, Scaled(1));
      for (int k = 0; k < 3; ++k)
        Fill(dc, RECT{x + k * s, midY - (3 - k) * s, x + (k + 1) * s, midY + (4 - k) * s}, ink);
    }
    DrawCaption(dc, RECT{r.left + Scaled(18), r.top, r.right - Scaled(18), r.bottom}, item.text, ink, DT_LEFT);
  }
}

std::vector<RECT> LayoutBar(const std::vector<BarButtonView>& buttons, SIZE bar) {
  std::vector<RECT> rects(buttons.size(), RECT{0, 0, 0, 0});
  int visible = 0;
  for (const BarButtonView& b : buttons) visible += (b.state & TBSTATE_HIDDEN) ? 0 : 1;
  if (visible == 0) return rects;
  const int gap = Scaled(2);
  int slot = 0;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (buttons[i].state & TBSTATE_HIDDEN) continue;
    const int left = bar.cx * slot / visible;
    const int right = bar.cx * (slot + 1) / visible;
    rects[i] = RECT{left + gap, gap, right - gap, bar.cy - gap};
    ++slot;
  }
  return rects;
}

void DrawBar(HDC dc, SIZE bar, const std::vector<BarButtonView>& buttons, const std::vector<BarImage>& images,
             COLORREF face) {
  Fill(dc, RECT{0, 0, bar.cx, bar.cy}, face);
  const std::vector<RECT> rects = LayoutBar(buttons, bar);
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const BarButtonView& b = buttons[i];
    if (b.state & TBSTATE_HIDDEN) continue;
    const bool enabled = (b.state & TBSTATE_ENABLED) && !(b.state & TBSTATE_INDETERMINATE);
    RECT r = rects[i];
    Fill(dc, r, enabled ? kBarButton : kBarButtonDisabled);
    if (i < images.size() && images[i].color) {
      // The image alone is centred; beside a caption it goes first.
      const BarImage& image = images[i];
      const bool captioned = !PlainCaption(b.text).empty();
      const int y = (r.top + r.bottom - image.size.cy) / 2;
      const int x = captioned ? r.left + Scaled(4) : (r.left + r.right - image.size.cx) / 2;
      if (HDC memory = CreateCompatibleDC(dc)) {
        HGDIOBJ old = SelectObject(memory, image.mask);
        BitBlt(dc, x, y, image.size.cx, image.size.cy, memory, image.x, 0, SRCAND);
        SelectObject(memory, image.color);
        BitBlt(dc, x, y, image.size.cx, image.size.cy, memory, image.x, 0, SRCPAINT);
        SelectObject(memory, old);
        DeleteDC(memory);
      }
      if (captioned) r.left = x + image.size.cx;
    }
    DrawCaption(dc, r, b.text, enabled ? kPopupFace : kPopupGrayed, DT_CENTER);
  }
}

}  // namespace ce::menus
