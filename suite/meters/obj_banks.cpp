#include "obj_banks.h"

#include <algorithm>

#include "common/color_scheme.h"
#include "meter_settings.h"
#include "obj_banks_meters.h"
#include "obj_battery.h"
#include "obj_memory.h"
#include "obj_network.h"

namespace pelmora {
namespace {

// A one-pixel frame inside the rectangle.
void FrameBox(HDC dc, const RECT& r, HBRUSH brush) {
  const RECT sides[4] = {{r.left, r.top, r.right, r.top + 1},
                         {r.left, r.bottom - 1, r.right, r.bottom},
                         {r.left, r.top, r.left + 1, r.bottom},
                         {r.right - 1, r.top, r.right, r.bottom}};
  for (const RECT& side : sides) FillRect(dc, &side, brush);
}

}  // namespace

CObjBanks& Banks() {
  static CObjBanks banks;
  return banks;
}

COLORREF OuterFocusColour(COLORREF a, COLORREF b) {
  COLORREF out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    out |= ((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF)) >> 1) << shift;
  }
  return out;
}

BOOL CObjBanks::Init(HINSTANCE instance, HWND window, HFONT normalFont, HFONT secondFont, BOOL isActive) {
  active = isActive;
  m_instance = instance;
  m_window = window;
  focusUpper = 1;
  focus = 0;
  if (normalFont == nullptr) return 0;
  m_normalFont = normalFont;
  m_secondFont = secondFont;
  Battery().Init(instance, window);
  Clock().Init(instance, window);
  Memory().Init(instance, window);
  Storage().Init(instance, window);
  Network().Init(instance, window);
  LeftIcon().Init(instance, window);
  RightIcons().Init(instance, window);
  first = 0;
  Layout();
  FindLastVisible();
  LayoutRects();
  LoadArrows(instance);
  return 1;
}

void CObjBanks::LoadArrows(HINSTANCE instance) {
  m_strip.Load(instance, L"PM_ScrollStrip.bmp", 209, 219);
  m_arrows.Load(instance, L"PM_ScrollArrows.bmp", 208, 218);
}

void CObjBanks::DrawScrollArrows(HDC dc, int size) {
  const MeterBitmap arrows = m_arrows.Bitmap();
  const MeterBitmap strip = m_strip.Bitmap();
  if (arrows.dc == nullptr || strip.dc == nullptr) return;
  const bool tiny = size == kTiny;
  const int height = std::min(Scale(15), strip.height);
  const int stripFrom = tiny ? std::max(0, strip.height - height) : 0;
  const int stripTop = tiny ? 0 : Scale(8);
  const int arrowTop = tiny ? Scale(4) : Scale(12);
  const int half = arrows.width / 2;
  if (first > 0) {
    CopyTransparent(dc, 0, stripTop, strip.width, height, strip.dc, 0, stripFrom);
    CopyTransparent(dc, 0, arrowTop, half, arrows.height, arrows.dc, 0, 0);
  }
  if (lastVisible < count - 1) {
    const int x = screenWidth - strip.width;
    CopyTransparent(dc, x, stripTop, strip.width, height, strip.dc, 0, stripFrom);
    CopyTransparent(dc, x, arrowTop, half, arrows.height, arrows.dc, half, 0);
  }
}

void CObjBanks::Layout() {
  CObjMeter* list[kMaxBanks] = {};
  int n = 0;
  list[n++] = &LeftIcon();
  const CMeterSettings& settings = CMeterSettings::Get();
  for (int i = 0; i < kBankCount; ++i) {
    switch (settings.BankType(i)) {
      case 1:
      case 6:
      case 7:
        list[n++] = &Battery();
        break;
      case 2:
        list[n++] = &Memory();
        break;
      case 3:
        list[n++] = &Storage();
        break;
      case 4:
        list[n++] = &Clock();
        break;
      case 5:
        list[n++] = &Network();
        break;
      default:
        break;
    }
  }
  list[n++] = &RightIcons();
  for (int i = 0; i < kMaxBanks; ++i) banks[i].meter = list[i];
  if (n != count) {
    focus = 0;
    focusUpper = 1;
    first = 0;
  }
  count = n;
  if (count - 1 < focus) {
    focus = 0;
    first = 0;
  }
}

int CObjBanks::Width(int i) {
  if (i < 0 || i >= kMaxBanks || banks[i].meter == nullptr) return Scale(49);
  return banks[i].meter->GetWidth();
}

void CObjBanks::LayoutRects() {
  const int size = static_cast<int>(CMeterSettings::Get().bs);
  int x = first > 0 ? Scale(7) : 0;
  for (int i = first; i < kMaxBanks && banks[i].meter != nullptr; ++i) {
    CObjMeter* m = banks[i].meter;
    const int w = m->GetWidth();
    const int label = m->GetLabelHeight(size);
    const int main = m->GetMainHeight(size);
    banks[i].whole = {x, 0, x + w, main + label};
    banks[i].upper = {x, 0, x + w, main};
    banks[i].lower = {x, main, x + w, main + label};
    x += w;
  }
}

BOOL CObjBanks::FitsOnScreen(int i) {
  if (i < first) return 0;
  const int arrow = Scale(7);
  int d = first > 0 ? arrow : 0;
  for (int j = first; j < i; ++j) d += Width(j);
  int total = first > 0 ? arrow : 0;
  for (int j = first; j < count; ++j) total += Width(j);
  const int reserve = screenWidth < total ? arrow : 0;
  return screenWidth - reserve >= d + Width(i);
}

void CObjBanks::FindLastVisible() {
  for (int i = first; i < count; ++i) {
    if (FitsOnScreen(i)) lastVisible = i;
  }
}

int CObjBanks::GetHeight() {
  CObjMeter* m = banks[0].meter;
  if (m == nullptr) return 50;
  const int size = static_cast<int>(CMeterSettings::Get().bs);
  return m->GetMainHeight(size) + m->GetLabelHeight(size);
}

BOOL CObjBanks::OnKeyRight() {
  if (!active) return 1;
  CObjMeter* m = banks[focus].meter;
  const bool tiny = CMeterSettings::Get().bs == kTiny;
  if (focusUpper == 0 || tiny || (m != nullptr && m->IsSingleAction())) {
    if (focus >= count - 1) return 0;
    focusUpper = 1;
    FindLastVisible();
    if (focus < lastVisible) {
      ++focus;
    } else {
      ++focus;
      ++first;
      FindLastVisible();
      if (!FitsOnScreen(focus) && first < focus) ++first;
      FindLastVisible();
      LayoutRects();
    }
  } else {
    focusUpper = 0;
  }
  RequestRedraw();
  return 1;
}

BOOL CObjBanks::OnKeyLeft() {
  if (!active) return 1;
  CObjMeter* m = banks[focus].meter;
  if (focusUpper == 1 || (m != nullptr && m->IsSingleAction())) {
    if (focus == 0) return 0;
    if (CMeterSettings::Get().bs != kTiny) focusUpper = 0;
    if (first < focus) {
      --focus;
    } else {
      --first;
      focus = first;
      FindLastVisible();
      LayoutRects();
    }
  } else {
    focusUpper = 1;
  }
  RequestRedraw();
  return 1;
}

void CObjBanks::OnAction() {
  if (active && focus >= 0 && focus < kMaxBanks && banks[focus].meter != nullptr) {
    CObjMeter* m = banks[focus].meter;
    if (focusUpper == 1 || m->IsSingleAction()) {
      m->Action(focus - 1);
    } else {
      m->SecondAction(focus - 1);
    }
  }
  RequestRedraw();
}

void CObjBanks::OnPen(int x, int y, BOOL hold) {
  if (!active) return;
  const int arrow = Scale(7);
  if (first > 0 && x < arrow) {
    --first;
    FindLastVisible();
    focus = std::min(focus, lastVisible);
    LayoutRects();
  } else if (lastVisible < count - 1 && x >= screenWidth - arrow) {
    ++first;
    FindLastVisible();
    focus = std::max(focus, first);
    LayoutRects();
  } else {
    for (int i = first; i <= lastVisible && i < kMaxBanks; ++i) {
      const BankRecord& b = banks[i];
      if (b.meter == nullptr || x < b.whole.left || x >= b.whole.right || y < b.whole.top || y >= b.whole.bottom) {
        continue;
      }
      focus = i;
      focusUpper = CMeterSettings::Get().bs == kTiny || b.meter->IsSingleAction() || y < b.upper.bottom ? 1 : 0;
      if (!hold) {
        OnAction();
        return;
      }
      break;
    }
  }
  RequestRedraw();
}

BOOL CObjBanks::PollMeters() {
  BOOL changed = 0;
  if (Battery().Update()) changed = 1;
  if (Clock().Update()) changed = 1;
  if (Memory().Update()) changed = 1;
  if (Storage().Update()) changed = 1;
  if (Network().Update()) changed = 1;
  return changed;
}

void CObjBanks::Relayout() {
  Layout();
  FindLastVisible();
  LayoutRects();
  if (CMeterSettings::Get().bs == kTiny) focusUpper = 1;
}

void CObjBanks::Draw(HDC dc, const RECT& rect, BOOL selected) {
  const int w = rect.right;
  const int h = rect.bottom - rect.top;
  if (dc == nullptr || w <= 0 || h <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, dc, rect.left, rect.top, SRCCOPY);
  const int size = static_cast<int>(CMeterSettings::Get().bs);
  if (active && selected && banks[focus].meter != nullptr) {
    const BankRecord& b = banks[focus];
    const RECT r = b.meter->IsSingleAction() ? b.whole : focusUpper ? b.upper : b.lower;
    const COLORREF highlight = SchemeColour(suite::CColorScheme::kHomeHighlight);
    HBRUSH outer = CreateSolidBrush(OuterFocusColour(highlight, SchemeColour(suite::CColorScheme::kHomeHighlightText)));
    HBRUSH inner = CreateSolidBrush(highlight);
    FrameBox(memory, r, outer);
    const RECT shrunk = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    FrameBox(memory, shrunk, inner);
    DeleteObject(outer);
    DeleteObject(inner);
  }
  for (int i = first; i < count; ++i) {
    if (banks[i].meter != nullptr && FitsOnScreen(i)) {
      banks[i].meter->Draw(memory, banks[i].whole, m_normalFont, m_secondFont, size, i - 1, selected);
    }
  }
  DrawScrollArrows(memory, size);
  BitBlt(dc, rect.left, rect.top, w, h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

}  // namespace pelmora
