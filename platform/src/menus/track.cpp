// TrackPopupMenuEx: the popup drawn on the screen and the modal loop that
// runs while it is open. The loop takes the thread's messages itself: keys
// and the pen work the popup, everything else is dispatched as usual (a
// WM_PAINT under the popup is followed by the popup drawn again). What the
// popup covers is kept and put back when it closes.
#include <algorithm>
#include <cwctype>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "menus/draw.h"
#include "menus/menus.h"

namespace ce::menus {
namespace {

struct Level {
  HMENU menu = nullptr;
  std::vector<ItemView> items;
  PopupLayout layout;
  POINT origin{};
  int selected = -1;
  int openChild = -1;  // the item whose submenu is the next level
  // What the level covers on the screen, to put back.
  HDC saveDc = nullptr;
  HBITMAP saveBitmap = nullptr;
  HGDIOBJ saveOld = nullptr;

  RECT Rect() const { return RECT{origin.x, origin.y, origin.x + layout.size.cx, origin.y + layout.size.cy}; }
};

struct Tracking {
  DWORD thread = 0;
  HWND owner = nullptr;
  UINT flags = 0;
  std::vector<Level> levels;
  // A choice made from outside the loop (the script): the level, its menu
  // and the item.
  struct Pending {
    std::size_t level = 0;
    HMENU menu = nullptr;
    int item = -1;
  };
  std::optional<Pending> pending;
  bool done = false;
  UINT result = 0;
  bool paintedUnder = false;
};

// The open popup, shared with ChooseOpenEntry and CurrentPopup on other
// threads. The loop's own thread changes `levels` only under the lock.
std::mutex g_lock;
Tracking* g_open = nullptr;
std::optional<UINT> g_last;

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool Selectable(const ItemView& item) { return !item.separator(); }

void Save(Level& level) {
  HDC screen = GetDC(nullptr);
  level.saveDc = CreateCompatibleDC(screen);
  level.saveBitmap = CreateCompatibleBitmap(screen, level.layout.size.cx, level.layout.size.cy);
  if (level.saveDc && level.saveBitmap) {
    level.saveOld = SelectObject(level.saveDc, level.saveBitmap);
    BitBlt(level.saveDc, 0, 0, level.layout.size.cx, level.layout.size.cy, screen, level.origin.x, level.origin.y,
           SRCCOPY);
  }
  ReleaseDC(nullptr, screen);
}

void Restore(Level& level) {
  if (level.saveDc && level.saveBitmap) {
    HDC screen = GetDC(nullptr);
    BitBlt(screen, level.origin.x, level.origin.y, level.layout.size.cx, level.layout.size.cy, level.saveDc, 0, 0,
           SRCCOPY);
    ReleaseDC(nullptr, screen);
    SelectObject(level.saveDc, level.saveOld);
  }
  if (level.saveBitmap) DeleteObject(level.saveBitmap);
  if (level.saveDc) DeleteDC(level.saveDc);
  level.saveDc = nullptr;
  level.saveBitmap = nullptr;
}

void Draw(const Level& level) {
  HDC screen = GetDC(nullptr);
  DrawPopup(screen, level.origin, level.layout, level.items, level.selected);
  ReleaseDC(nullptr, screen);
}

void DrawAll(Tracking& t) {
  for (const Level& level : t.levels) Draw(level);
}

// Keeps a popup of `size` on the screen.
POINT Clamp(POINT p, SIZE size) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  p.x = std::max(0, std::min(p.x, width - size.cx));
  p.y = std::max(0, std::min(p.y, height - size.cy));
  return p;
}

// Opens `menu` as the next level: WM_INITMENUPOPUP first, then its items
// are read, placed and drawn. False when it has no items.
bool OpenLevel(Tracking& t, HMENU menu, LPARAM initParam, int x, int y, bool selectFirst) {
  const bool first = t.levels.empty();
  if (!(t.flags & TPM_NONOTIFY)) SendMessageW(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), initParam);
  auto items = ItemsOf(menu);
  if (!items || items->empty()) return false;
  Level level;
  level.menu = menu;
  level.items = std::move(*items);
  level.layout = LayoutPopup(level.items);
  const SIZE size = level.layout.size;
  POINT at{x, y};
  if (first) {
    if (t.flags & TPM_RIGHTALIGN) {
      at.x -= size.cx;
    } else if (t.flags & TPM_CENTERALIGN) {
      at.x -= size.cx / 2;
    }
    if (t.flags & TPM_BOTTOMALIGN) {
      at.y -= size.cy;
    } else if (t.flags & TPM_VCENTERALIGN) {
      at.y -= size.cy / 2;
    }
  } else {
    // Beside the parent's item: to its right, else to its left; with room
    // on neither side, on the side with more room.
    const Level& parent = t.levels.back();
    const RECT p = parent.Rect();
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int left = p.left - size.cx + 2;
    if (p.right - 2 + size.cx > screenWidth && (left >= 0 || p.left > screenWidth - p.right)) at.x = left;
    // Kept on the screen it may still reach over the parent: then it
    // opens below the parent's item, so that the item stays in sight.
    const POINT kept = Clamp(at, size);
    if (parent.openChild >= 0 && static_cast<std::size_t>(parent.openChild) < parent.layout.items.size() &&
        kept.x < p.right && kept.x + size.cx > p.left) {
      at.y = parent.origin.y + parent.layout.items[static_cast<std::size_t>(parent.openChild)].bottom;
    }
  }
  level.origin = Clamp(at, size);
  if (selectFirst) {
    for (std::size_t i = 0; i < level.items.size(); ++i) {
      if (Selectable(level.items[i])) {
        level.selected = static_cast<int>(i);
        break;
      }
    }
  }
  Save(level);
  Draw(level);
  std::lock_guard guard(g_lock);
  t.levels.push_back(std::move(level));
  return true;
}

void CloseLevelsAbove(Tracking& t, std::size_t keep) {
  while (t.levels.size() > keep) {
    Level last;
    {
      std::lock_guard guard(g_lock);
      last = std::move(t.levels.back());
      t.levels.pop_back();
      if (!t.levels.empty()) t.levels.back().openChild = -1;
    }
    Restore(last);
  }
}

void Finish(Tracking& t, UINT command) {
  t.done = true;
  t.result = command;
}

void Select(Tracking& t, std::size_t levelIndex, int item) {
  Level& level = t.levels[levelIndex];
  if (level.selected == item) return;
  {
    std::lock_guard guard(g_lock);
    level.selected = item;
  }
  Draw(level);
}

// The user chose an item: a command ends the loop, a popup opens.
void Choose(Tracking& t, std::size_t levelIndex, int item, bool byKey) {
  if (levelIndex >= t.levels.size()) return;
  CloseLevelsAbove(t, levelIndex + 1);
  Level& level = t.levels[levelIndex];
  if (item < 0 || static_cast<std::size_t>(item) >= level.items.size()) return;
  const ItemView chosen = level.items[static_cast<std::size_t>(item)];
  if (!chosen.enabled()) return;
  Select(t, levelIndex, item);
  if (!chosen.popup()) {
    Finish(t, chosen.id);
    return;
  }
  const RECT itemRect = level.layout.items[static_cast<std::size_t>(item)];
  const POINT at{level.origin.x + level.layout.size.cx - 2, level.origin.y + itemRect.top - 1};
  {
    std::lock_guard guard(g_lock);
    level.openChild = item;
  }
  if (!OpenLevel(t, chosen.submenu, MAKELONG(static_cast<WORD>(item), 0), at.x, at.y, byKey)) {
    std::lock_guard guard(g_lock);
    t.levels[levelIndex].openChild = -1;
  }
}

void Back(Tracking& t) {
  if (t.levels.size() <= 1) {
    Finish(t, 0);
    return;
  }
  CloseLevelsAbove(t, t.levels.size() - 1);
}

void Move(Tracking& t, int step) {
  Level& level = t.levels.back();
  const int count = static_cast<int>(level.items.size());
  int at = level.selected;
  if (at < 0) at = step > 0 ? -1 : count;
  for (int n = 0; n < count; ++n) {
    at = (at + step + count) % count;
    if (Selectable(level.items[static_cast<std::size_t>(at)])) {
      Select(t, t.levels.size() - 1, at);
      return;
    }
  }
}

void OnKey(Tracking& t, WPARAM key) {
  Level& level = t.levels.back();
  switch (key) {
    case VK_UP:
      Move(t, -1);
      break;
    case VK_DOWN:
      Move(t, 1);
      break;
    case VK_RETURN:
      if (level.selected >= 0) Choose(t, t.levels.size() - 1, level.selected, true);
      break;
    case VK_RIGHT:
      if (level.selected >= 0 && level.items[static_cast<std::size_t>(level.selected)].popup()) {
        Choose(t, t.levels.size() - 1, level.selected, true);
      }
      break;
    case VK_LEFT:
      if (t.levels.size() > 1) Back(t);
      break;
    case VK_ESCAPE:
    case VK_BACK:
      Back(t);
      break;
    case VK_TSOFT1:
    case VK_TSOFT2:
      // The soft keys close the popup they may have opened.
      Finish(t, 0);
      break;
    default:
      break;
  }
}

// The level and item under a screen point, deepest level first.
std::optional<std::pair<std::size_t, int>> HitTest(const Tracking& t, POINT p) {
  for (std::size_t l = t.levels.size(); l-- > 0;) {
    const Level& level = t.levels[l];
    if (!Inside(level.Rect(), p)) continue;
    const POINT local{p.x - level.origin.x, p.y - level.origin.y};
    for (std::size_t i = 0; i < level.layout.items.size(); ++i) {
      if (Inside(level.layout.items[i], local)) return std::make_pair(l, static_cast<int>(i));
    }
    return std::make_pair(l, -1);
  }
  return std::nullopt;
}

void OnPen(Tracking& t, UINT message, POINT p) {
  const auto hit = HitTest(t, p);
  if (!hit) {
    // A touch outside every level closes the popup.
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) Finish(t, 0);
    return;
  }
  const auto [levelIndex, item] = *hit;
  if (item < 0) return;  // the frame
  const ItemView entry = t.levels[levelIndex].items[static_cast<std::size_t>(item)];
  if (entry.popup()) {
    if (t.levels[levelIndex].openChild != item) {
      Choose(t, levelIndex, item, false);
    } else {
      CloseLevelsAbove(t, levelIndex + 2);
      Select(t, levelIndex, item);
    }
    return;
  }
  if (message == WM_LBUTTONUP) {
    Choose(t, levelIndex, item, false);
    return;
  }
  CloseLevelsAbove(t, levelIndex + 1);
  Select(t, levelIndex, Selectable(entry) ? item : -1);
}

bool IsPen(UINT m) { return m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_LBUTTONDBLCLK || m == WM_MOUSEMOVE; }

bool IsKey(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

}  // namespace

UINT Track(HMENU menu, UINT flags, int x, int y, HWND owner, LPARAM initParam, const RECT* exclude, bool byKey) {
  if (exclude && exclude->right > exclude->left && exclude->bottom > exclude->top) {
    ce::kernel::NotImplemented("TrackPopupMenuEx(an excluded rectangle)");
    return 0;
  }
  Tracking t;
  t.thread = GetCurrentThreadId();
  t.owner = owner;
  t.flags = flags;
  {
    std::lock_guard guard(g_lock);
    if (g_open) {
      SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
      return 0;
    }
    g_open = &t;
  }
  bool quit = false;
  int quitCode = 0;
  if (!OpenLevel(t, menu, initParam, x, y, byKey)) Finish(t, 0);
  while (!t.done) {
    {
      std::optional<Tracking::Pending> pending;
      {
        std::lock_guard guard(g_lock);
        pending = t.pending;
        t.pending.reset();
      }
      // Chosen as the user left the popup then; if the user has moved on
      // since, the choice no longer applies.
      if (pending && pending->level < t.levels.size() && t.levels[pending->level].menu == pending->menu) {
        Choose(t, pending->level, pending->item, true);
        continue;
      }
    }
    if (!IsWindow(owner)) {
      Finish(t, 0);
      break;
    }
    MSG msg{};
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = got == 0;
      quitCode = static_cast<int>(msg.wParam);
      Finish(t, 0);
      break;
    }
    if (IsKey(msg.message)) {
      if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) OnKey(t, msg.wParam);
      continue;
    }
    if (IsPen(msg.message)) {
      POINT p{static_cast<SHORT>(LOWORD(msg.lParam)), static_cast<SHORT>(HIWORD(msg.lParam))};
      if (msg.hwnd) ClientToScreen(msg.hwnd, &p);
      OnPen(t, msg.message, p);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (msg.message == WM_PAINT) {
      t.paintedUnder = true;
      DrawAll(t);
    }
  }
  CloseLevelsAbove(t, 0);
  {
    std::lock_guard guard(g_lock);
    g_open = nullptr;
    g_last = t.result;
  }
  // What was painted under the popup while it was open is newer than what
  // it covered: the owner draws again.
  if (t.paintedUnder && IsWindow(owner)) InvalidateRect(owner, nullptr, TRUE);
  if (quit) PostQuitMessage(quitCode);
  if (t.result != 0 && !(flags & TPM_RETURNCMD)) {
    PostMessageW(owner, WM_COMMAND, static_cast<WPARAM>(t.result & 0xFFFF), 0);
  }
  return t.result;
}

std::optional<OpenPopup> CurrentPopup() {
  std::lock_guard guard(g_lock);
  if (!g_open || g_open->levels.empty()) return std::nullopt;
  const Level& level = g_open->levels.back();
  return OpenPopup{level.items, level.selected, level.Rect()};
}

bool ChooseOpenEntry(const std::wstring& caption) {
  auto lower = [](std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
  };
  const std::wstring wanted = lower(caption);
  DWORD thread = 0;
  {
    std::lock_guard guard(g_lock);
    if (!g_open || g_open->levels.empty()) return false;
    const Level& level = g_open->levels.back();
    int found = -1;
    for (std::size_t i = 0; i < level.items.size(); ++i) {
      if (level.items[i].enabled() && lower(PlainCaption(level.items[i].text)) == wanted) {
        found = static_cast<int>(i);
        break;
      }
    }
    if (found < 0) return false;
    g_open->pending = Tracking::Pending{g_open->levels.size() - 1, level.menu, found};
    thread = g_open->thread;
  }
  // Wakes the loop; on its own thread it looks before it waits again.
  if (thread != GetCurrentThreadId()) PostThreadMessageW(thread, WM_NULL, 0, 0);
  return true;
}

std::optional<UINT> LastChosenCommand() {
  std::lock_guard guard(g_lock);
  return g_last;
}

}  // namespace ce::menus

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
  constexpr UINT kKnown = TPM_RIGHTBUTTON | TPM_CENTERALIGN | TPM_RIGHTALIGN | TPM_VCENTERALIGN | TPM_BOTTOMALIGN |
                          TPM_VERTICAL | TPM_NONOTIFY | TPM_RETURNCMD;
  if (flags & ~kKnown) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsMenu(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (params && params->cbSize < sizeof(TPMPARAMS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const UINT command = ce::menus::Track(menu, flags, x, y, owner, 0, params ? &params->rcExclude : nullptr);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(command);
  return command != 0 ? TRUE : FALSE;
}
