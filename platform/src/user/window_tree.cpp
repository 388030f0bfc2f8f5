// The window tree's queries and the calls that walk the tree.
#include "user/window_tree.h"

#include <algorithm>
#include <vector>

#include "ce/winbase.h"
#include "user/ipc.h"

namespace ce::user {
namespace {

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

bool IsSelfOrDescendantLocked(HWND ancestor, HWND hwnd) {
  auto w = hwnd ? FindLocked(hwnd) : nullptr;
  while (w) {
    if (w->handle == ancestor) return true;
    w = w->parent ? FindLocked(w->parent) : nullptr;
  }
  return false;
}

bool ReallyVisibleLocked(const Window& window) {
  const Window* w = &window;
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->parent) return true;
    const auto parent = FindLocked(w->parent);
    w = parent.get();
  }
  return false;
}

RECT ScreenRectLocked(const Window& window) {
  RECT r = window.rect;
  HWND parent = window.parent;
  while (parent) {
    const auto p = FindLocked(parent);
    if (!p) break;
    r.left += p->rect.left;
    r.right += p->rect.left;
    r.top += p->rect.top + CaptionOf(*p);
    r.bottom += p->rect.top + CaptionOf(*p);
    parent = p->parent;
  }
  return r;
}

HWND TopLevelOfLocked(HWND hwnd) {
  auto window = FindLocked(hwnd);
  while (window && window->parent) {
    auto parent = FindLocked(window->parent);
    if (!parent) break;
    window = parent;
  }
  return window ? window->handle : nullptr;
}

std::vector<HWND>* SiblingsLocked(const Window& window) {
  if (!window.parent) return &S().topLevel;
  const auto parent = FindLocked(window.parent);
  return parent ? &parent->children : nullptr;
}

HWND WindowAtLocked(int x, int y) {
  // Windows that stay in front (never activated: the shell's bars; or
  // topmost: what programs place on them) stay in front of the others for
  // the pen: activation would otherwise move them behind.
  std::vector<HWND> order;
  order.reserve(S().topLevel.size());
  for (const bool front : {true, false}) {
    for (HWND top : S().topLevel) {
      auto w = FindLocked(top);
      if (w && ((w->exStyle & (WS_EX_NOACTIVATE | WS_EX_TOPMOST)) != 0) == front) order.push_back(top);
    }
  }
  for (HWND top : order) {
    auto w = FindLocked(top);
    if (!w || w->destroying || !(w->style & WS_VISIBLE) || !Inside(w->rect, x, y)) continue;
    for (;;) {
      HWND deeper = nullptr;
      for (HWND c : w->children) {
        auto child = FindLocked(c);
        if (!child || !(child->style & WS_VISIBLE) || (child->exStyle & WS_EX_TRANSPARENT)) continue;
        const RECT r = ScreenRectLocked(*child);
        if (Inside(r, x, y)) {
          deeper = c;
          break;
        }
      }
      if (!deeper) return w->handle;
      w = FindLocked(deeper);
    }
  }
  return nullptr;
}

}  // namespace ce::user

using namespace ce::user;

BOOL IsChild(HWND parent, HWND hwnd) {
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  while (w && w->parent) {
    if (w->parent == parent) return TRUE;
    w = FindLocked(w->parent);
  }
  return FALSE;
}

HWND GetParent(HWND hwnd) {
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    if (!info) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return info && (info->style & WS_POPUP) ? info->owner : nullptr;
  }
  auto w = Find(hwnd);
  if (!w) return nullptr;
  if (w->parent) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  auto w = Find(hwnd);
  if (!w) return nullptr;
  std::lock_guard guard(S().lock);
  if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (cmd == GW_OWNER) return w->owner;
  const std::vector<HWND>* siblings = SiblingsLocked(*w);
  if (!siblings || siblings->empty()) return nullptr;
  const auto at = std::find(siblings->begin(), siblings->end(), hwnd);
  switch (cmd) {
    case GW_HWNDFIRST:
      return siblings->front();
    case GW_HWNDLAST:
      return siblings->back();
    case GW_HWNDNEXT:
      return at == siblings->end() || at + 1 == siblings->end() ? nullptr : *(at + 1);
    case GW_HWNDPREV:
      return at == siblings->begin() || at == siblings->end() ? nullptr : *(at - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

BOOL EnumWindows(WNDENUMPROC callback, LPARAM lParam) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SweepEndedThreads();
  std::vector<HWND> list;
  {
    std::lock_guard guard(S().lock);
    for (HWND hwnd : S().topLevel) {
      auto w = FindLocked(hwnd);
      if (w && !w->destroying) list.push_back(hwnd);
    }
  }
  for (const auto& info : ipc::OtherWindows()) list.push_back(info.hwnd);
  for (HWND hwnd : list) {
    if (!callback(hwnd, lParam)) break;
  }
  return TRUE;
}
