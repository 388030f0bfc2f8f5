// Update rectangles, WM_PAINT's BeginPaint and EndPaint, and the DCs of the
// screen and of windows. A window's DC is a screen DC whose origin is the
// window's client origin and which draws only inside the window (a hidden
// window draws nowhere, nor under the shell's bar); a paint DC draws only
// inside the update rectangle.
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"
#include "gdi/screen.h"
#include "user/ipc.h"
#include "user/state.h"
#include "user/window_tree.h"

using namespace ce::user;

namespace {

// Client origin and drawable area of a window in screen coordinates, taken
// under the user lock; the DC is made after it is released (the GDI lock is
// never held together with it).
struct Placement {
  POINT origin{};
  RECT area{};
  std::vector<RECT> excluded;  // screen rectangles the DC leaves out
};

std::optional<Placement> PlacementOf(HWND hwnd, const RECT* clientPart) {
  Placement p;
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    if (!info) return std::nullopt;
    p.origin = POINT{info->rect.left, info->rect.top};
    p.area = (info->style & WS_VISIBLE) ? info->rect : RECT{0, 0, 0, 0};
    return p;
  }
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  if (!w) return std::nullopt;
  RECT screen = ScreenRectLocked(*w);
  screen.top = std::min(screen.bottom, static_cast<LONG>(screen.top + CaptionOf(*w)));  // the client area
  p.origin = POINT{screen.left, screen.top};
  p.area = ReallyVisibleLocked(*w) ? screen : RECT{0, 0, 0, 0};
  // A window that stays in front (WS_EX_NOACTIVATE: the shell's menu bar)
  // lying across the bottom of the area is left out of it, so the bar is
  // not painted over. Windows that stay in front themselves (a bar, a modal
  // form's bar over its owner's, what is placed on a bar) are clipped by the
  // order below instead.
  const HWND top = TopLevelOfLocked(hwnd);
  const auto topWindow = FindLocked(top);
  const bool topStaysInFront = topWindow && (topWindow->exStyle & (WS_EX_NOACTIVATE | WS_EX_TOPMOST)) != 0;
  for (HWND other : S().topLevel) {
    auto o = other == top || topStaysInFront ? nullptr : FindLocked(other);
    if (!o || !(o->exStyle & WS_EX_NOACTIVATE) || !ReallyVisibleLocked(*o)) continue;
    const RECT& r = o->rect;
    if (r.left <= p.area.left && r.right >= p.area.right && r.top < p.area.bottom && r.bottom >= p.area.bottom) {
      p.area.bottom = std::max(p.area.top, r.top);
    }
  }
  if (clientPart) {
    const RECT part{screen.left + clientPart->left, screen.top + clientPart->top, screen.left + clientPart->right,
                    screen.top + clientPart->bottom};
    p.area = ce::gdi::Intersect(p.area, part);
  }
  if (ce::gdi::IsEmpty(p.area)) p.area = RECT{0, 0, 0, 0};
  // Top-level windows in front of this one (a dialog over its owner, a popup
  // menu) are not painted over. Windows that stay in front (the shell's bars,
  // popups: WS_EX_NOACTIVATE or WS_EX_TOPMOST) are in front of every other
  // window whatever the order; among themselves the order decides.
  const auto& order = S().topLevel;
  if (!ce::gdi::IsEmpty(p.area) && std::find(order.begin(), order.end(), top) != order.end()) {
    const auto staysInFront = [](const Window& x) { return (x.exStyle & (WS_EX_NOACTIVATE | WS_EX_TOPMOST)) != 0; };
    auto self = FindLocked(top);
    const bool selfInFront = self && staysInFront(*self);
    bool ahead = true;  // walking the windows in front of this one
    for (HWND other : order) {
      if (other == top) {
        ahead = false;
        continue;
      }
      auto o = FindLocked(other);
      if (!o || !ReallyVisibleLocked(*o)) continue;
      const bool covers = staysInFront(*o) ? (ahead || !selfInFront) : (ahead && !selfInFront);
      if (!covers) continue;
      const RECT r = ce::gdi::Intersect(o->rect, p.area);
      if (!ce::gdi::IsEmpty(r)) p.excluded.push_back(r);
    }
  }
  // A window with WS_CLIPCHILDREN does not paint over its visible children.
  if ((w->style & WS_CLIPCHILDREN) && !ce::gdi::IsEmpty(p.area)) {
    for (HWND child : w->children) {
      auto c = FindLocked(child);
      if (!c || !(c->style & WS_VISIBLE)) continue;
      const RECT r = ce::gdi::Intersect(ScreenRectLocked(*c), p.area);
      if (!ce::gdi::IsEmpty(r)) p.excluded.push_back(r);
    }
  }
  return p;
}

// The caption band of a window with WS_CAPTION: its title on the caption
// colour, drawn as the window paints.
void DrawCaptionBand(HWND hwnd) {
  RECT band{};
  std::wstring title;
  {
    std::lock_guard guard(S().lock);
    auto w = FindLocked(hwnd);
    if (!w || !CaptionOf(*w) || !ReallyVisibleLocked(*w)) return;
    band = ScreenRectLocked(*w);
    band.bottom = std::min(band.bottom, static_cast<LONG>(band.top + CaptionOf(*w)));
    title = w->text;
  }
  HDC dc = nullptr;
  {
    std::lock_guard guard(ce::gdi::GdiLock());
    auto screen = ce::gdi::Screen::Current();
    const RECT all{0, 0, screen->width(), screen->height()};
    const RECT owned = ce::gdi::Intersect(band, all);
    if (ce::gdi::IsEmpty(owned)) return;
    dc = ce::gdi::CreateScreenDc(std::move(screen), POINT{band.left, band.top}, owned);
  }
  if (!dc) return;
  RECT local{0, 0, band.right - band.left, band.bottom - band.top};
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_ACTIVECAPTION));
  FillRect(dc, &local, face);
  DeleteObject(face);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
  local.left += 4;
  local.right -= 4;
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &local,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, oldFont);
  ReleaseDC(nullptr, dc);
}

HDC MakeDc(const Placement& p) {
  std::lock_guard guard(ce::gdi::GdiLock());
  auto screen = ce::gdi::Screen::Current();
  const RECT all{0, 0, screen->width(), screen->height()};
  RECT owned = ce::gdi::Intersect(p.area, all);
  if (ce::gdi::IsEmpty(owned)) owned = RECT{0, 0, 0, 0};
  HDC hdc = ce::gdi::CreateScreenDc(std::move(screen), p.origin, owned);
  if (!p.excluded.empty()) {
    if (auto dc = ce::gdi::LookupDc(hdc)) dc->excluded = p.excluded;
  }
  return hdc;
}

}  // namespace

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    std::lock_guard guard(ce::gdi::GdiLock());
    return ce::gdi::CreateScreenDc(ce::gdi::Screen::Current(), POINT{0, 0}, std::nullopt);
  }
  const auto placement = PlacementOf(hwnd, nullptr);
  if (!placement) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return MakeDc(*placement);
}

int ReleaseDC(HWND, HDC hdc) {
  std::lock_guard guard(ce::gdi::GdiLock());
  auto dc = ce::gdi::LookupDc(hdc);
  if (!dc || dc->type != ce::gdi::DcType::Screen) return 0;
  ce::gdi::RemoveObject(hdc);
  return 1;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  std::vector<DWORD> owners;
  {
    std::lock_guard guard(S().lock);
    if (!hwnd) {
      // Every window of the program.
      for (HWND top : S().topLevel) {
        auto w = FindLocked(top);
        if (!w || !ReallyVisibleLocked(*w)) continue;
        InvalidateLocked(*w, nullptr, erase != FALSE, &owners);
        owners.push_back(w->threadId);
      }
    } else {
      auto w = FindLocked(hwnd);
      if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
      }
      if (ReallyVisibleLocked(*w)) {
        InvalidateLocked(*w, rect, erase != FALSE, &owners);
        owners.push_back(w->threadId);
      }
    }
  }
  for (DWORD owner : owners) WakeThread(owner);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  std::lock_guard guard(S().lock);
  if (!hwnd) return TRUE;
  auto w = FindLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!w->hasUpdate) return TRUE;
  if (!rect) {
    w->hasUpdate = false;
    w->erase = false;
    return TRUE;
  }
  const RECT u = w->update;
  const RECT& r = *rect;
  if (r.left <= u.left && r.top <= u.top && r.right >= u.right && r.bottom >= u.bottom) {
    w->hasUpdate = false;
    w->erase = false;
  } else if (r.left <= u.left && r.right >= u.right) {
    // A full-width band off the top or the bottom leaves a smaller rectangle.
    if (r.top <= u.top && r.bottom > u.top) w->update.top = r.bottom;
    if (r.bottom >= u.bottom && r.top < u.bottom) w->update.bottom = r.top;
  } else if (r.top <= u.top && r.bottom >= u.bottom) {
    if (r.left <= u.left && r.right > u.left) w->update.left = r.right;
    if (r.right >= u.right && r.left < u.right) w->update.right = r.left;
  }
  if (w->hasUpdate && ce::gdi::IsEmpty(w->update)) w->hasUpdate = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (rect) *rect = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
  return w->hasUpdate ? TRUE : FALSE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DrawCaptionBand(hwnd);
  RECT update{0, 0, 0, 0};
  bool erase = false;
  {
    std::lock_guard guard(S().lock);
    auto w = FindLocked(hwnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (w->hasUpdate) update = w->update;
    erase = w->erase;
    w->hasUpdate = false;
    w->erase = false;
  }
  const auto placement = PlacementOf(hwnd, &update);
  if (!placement) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HDC dc = MakeDc(*placement);
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  paint->rcPaint = update;
  paint->fErase = TRUE;
  if (erase && dc) paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  ReleaseDC(hwnd, paint->hdc);
  return TRUE;
}
