// Window classes and windows: creation and destruction with their messages,
// parents, owners and z-order as they change (the tree's queries are in
// window_tree.cpp), geometry, visibility, the fields of Get/SetWindowLong,
// texts and names, and finding windows of every program.
#include <algorithm>
#include <cstring>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "gdi/screen.h"
#include "kernel/not_implemented.h"
#include "user/hooks.h"
#include "user/input.h"
#include "user/ipc.h"
#include "user/state.h"
#include "user/window_tree.h"

using namespace ce::user;

namespace {

constexpr std::uint32_t kSerialLimit = 1u << 22;

std::shared_ptr<WindowClass> FindClassLocked(LPCWSTR name) {
  for (const auto& cls : S().classes) {
    if (IS_INTRESOURCE(name) ? cls->atom == LOWORD(reinterpret_cast<ULONG_PTR>(name))
                             : ce::EqualsNoCase(cls->name, name)) {
      return cls;
    }
  }
  return nullptr;
}

// A new handle: the program's slot, then a serial not in use, two low bits clear.
HWND NewHandleLocked(int slot) {
  State& s = S();
  for (std::uint32_t tries = 0; tries < kSerialLimit; ++tries) {
    const std::uint32_t serial = s.nextSerial;
    s.nextSerial = s.nextSerial + 1 >= kSerialLimit ? 1 : s.nextSerial + 1;
    const std::uintptr_t value = (static_cast<std::uintptr_t>(slot) << 24) | (static_cast<std::uintptr_t>(serial) << 2);
    if (!s.windows.count(value)) return ToHwnd(value);
  }
  return nullptr;
}

void RemoveFrom(std::vector<HWND>& list, HWND hwnd) {
  list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
}

// Marks what a window covered as needing paint once it is gone or moved:
// its parent, or the other top-level windows under it.
void ExposeLocked(const Window& window) {
  const RECT area = ScreenRectLocked(window);
  if (window.parent) {
    if (auto parent = FindLocked(window.parent)) {
      RECT origin = ScreenRectLocked(*parent);
      origin.top += CaptionOf(*parent);
      const RECT local{area.left - origin.left, area.top - origin.top, area.right - origin.left,
                       area.bottom - origin.top};
      InvalidateLocked(*parent, &local, true);
    }
    return;
  }
  for (HWND other : S().topLevel) {
    auto w = FindLocked(other);
    if (!w || w.get() == &window || !(w->style & WS_VISIBLE)) continue;
    const RECT r = w->rect;
    if (r.left >= area.right || area.left >= r.right || r.top >= area.bottom || area.top >= r.bottom) continue;
    const RECT local{area.left - r.left, area.top - r.top, area.right - r.left, area.bottom - r.top};
    InvalidateLocked(*w, &local, true);
  }
}

int ClampSize(int value) { return std::clamp(value, 0, 1 << 15); }

bool SameThread(const Window& window) { return window.threadId == GetCurrentThreadId(); }

void WakeOwnerOf(HWND hwnd) {
  DWORD threadId = 0;
  {
    std::lock_guard guard(S().lock);
    if (auto w = FindLocked(hwnd)) threadId = w->threadId;
  }
  if (threadId) WakeThread(threadId);
}

// Shows or hides without activation changes; the previous visibility.
bool SetVisible(HWND hwnd, bool visible) {
  State& s = S();
  bool was = false;
  {
    std::lock_guard guard(s.lock);
    auto w = FindLocked(hwnd);
    if (!w) return false;
    was = (w->style & WS_VISIBLE) != 0;
    if (was == visible) return was;
    if (visible) {
      w->style |= WS_VISIBLE;
      InvalidateLocked(*w, nullptr, true);
      // Children that were waiting to be seen paint too.
      std::vector<HWND> pending(w->children.begin(), w->children.end());
      while (!pending.empty()) {
        auto child = FindLocked(pending.back());
        pending.pop_back();
        if (!child || !(child->style & WS_VISIBLE)) continue;
        InvalidateLocked(*child, nullptr, true);
        pending.insert(pending.end(), child->children.begin(), child->children.end());
      }
    } else {
      w->style &= ~WS_VISIBLE;
      w->hasUpdate = false;
      ExposeLocked(*w);
    }
  }
  SendMessageW(hwnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
  return was;
}

// The next visible top-level window of the program to take the activation.
HWND NextToActivateLocked(HWND leaving) {
  auto w = FindLocked(leaving);
  if (w && w->owner && !ipc::IsRemote(w->owner)) {
    auto owner = FindLocked(w->owner);
    if (owner && (owner->style & WS_VISIBLE) && !owner->destroying && !(owner->style & WS_DISABLED)) {
      return owner->handle;
    }
  }
  for (HWND other : S().topLevel) {
    auto o = FindLocked(other);
    if (o && o->handle != leaving && (o->style & WS_VISIBLE) && !o->destroying && !(o->style & WS_DISABLED) &&
        !NeverActivatedLocked(*o)) {
      return o->handle;
    }
  }
  return nullptr;
}

void ActivateNextIfActive(HWND hwnd) {
  HWND next = nullptr;
  {
    std::lock_guard guard(S().lock);
    if (S().active != hwnd) return;
    next = NextToActivateLocked(hwnd);
  }
  ActivateWindow(next);
}

ipc::WindowInfo InfoLocked(const Window& w) {
  ipc::WindowInfo info;
  info.hwnd = w.handle;
  info.owner = w.owner;
  info.style = w.style;
  info.exStyle = w.exStyle;
  info.threadId = w.threadId;
  info.processId = GetCurrentProcessId();
  info.className = w.cls->name;
  info.title = w.text;
  info.rect = w.rect;
  return info;
}

bool Matches(const std::wstring& cls, const std::wstring& title, LPCWSTR className, LPCWSTR windowName) {
  if (className && !IS_INTRESOURCE(className) && !ce::EqualsNoCase(cls, className)) return false;
  if (windowName && !ce::EqualsNoCase(title, windowName)) return false;
  return true;
}

}  // namespace

namespace ce::user {

void PublishWindows() {
  std::vector<ipc::WindowInfo> list;
  {
    std::lock_guard guard(S().lock);
    for (HWND hwnd : S().topLevel) {
      auto w = FindLocked(hwnd);
      if (w && !w->destroying) list.push_back(InfoLocked(*w));
    }
  }
  if (ipc::CurrentSlot() != 0) ipc::Publish(list);
}

void SweepEndedThreads() {
  std::vector<DWORD> owners;
  {
    std::lock_guard guard(S().lock);
    for (const auto& [threadId, state] : S().threads) owners.push_back(threadId);
    for (const auto& [value, w] : S().windows) owners.push_back(w->threadId);
  }
  std::sort(owners.begin(), owners.end());
  owners.erase(std::unique(owners.begin(), owners.end()), owners.end());
  std::vector<DWORD> ended;
  {
    auto lock = ce::kernel::LockScheduler();
    for (DWORD id : owners) {
      const auto record = ce::kernel::FindThreadLocked(id);
      if (!record || record->ended) ended.push_back(id);
    }
  }
  if (ended.empty()) return;
  const auto gone = [&](DWORD id) { return std::find(ended.begin(), ended.end(), id) != ended.end(); };
  bool topLevelGone = false;
  {
    std::lock_guard guard(S().lock);
    State& s = S();
    for (auto it = s.windows.begin(); it != s.windows.end();) {
      Window& w = *it->second;
      if (!gone(w.threadId)) {
        ++it;
        continue;
      }
      if (auto* siblings = SiblingsLocked(w)) RemoveFrom(*siblings, w.handle);
      topLevelGone |= w.parent == nullptr;
      --w.cls->windows;
      if (s.active == w.handle) s.active = nullptr;
      if (s.focus == w.handle) s.focus = nullptr;
      if (s.capture == w.handle) s.capture = nullptr;
      it = s.windows.erase(it);
    }
    for (DWORD id : ended) s.threads.erase(id);
  }
  for (DWORD id : ended) ForgetInputThread(id);
  if (topLevelGone) PublishWindows();
}

}  // namespace ce::user

// ---- classes ----

ATOM RegisterClassW(const WNDCLASSW* wndClass) {
  if (!wndClass || !wndClass->lpszClassName || IS_INTRESOURCE(wndClass->lpszClassName) || !wndClass->lpszClassName[0] ||
      wndClass->cbWndExtra < 0 || wndClass->cbWndExtra > 1024 || wndClass->cbClsExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  State& s = S();
  std::lock_guard guard(s.lock);
  if (FindClassLocked(wndClass->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  if (s.nextAtom == 0xFFFF) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->atom = s.nextAtom++;
  cls->name = wndClass->lpszClassName;
  cls->style = wndClass->style;
  cls->proc = wndClass->lpfnWndProc;
  cls->wndExtra = wndClass->cbWndExtra;
  cls->instance = wndClass->hInstance;
  cls->icon = wndClass->hIcon;
  cls->cursor = wndClass->hCursor;
  cls->background = wndClass->hbrBackground;
  s.classes.push_back(cls);
  return cls->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  State& s = S();
  std::lock_guard guard(s.lock);
  auto cls = className ? FindClassLocked(className) : nullptr;
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (cls->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  s.classes.erase(std::remove(s.classes.begin(), s.classes.end(), cls), s.classes.end());
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, LPWNDCLASSW wndClass) {
  if (!wndClass || !className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  State& s = S();
  std::lock_guard guard(s.lock);
  auto cls = FindClassLocked(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *wndClass = WNDCLASSW{cls->style,  cls->proc,       0,       cls->wndExtra,    cls->instance, cls->icon,
                        cls->cursor, cls->background, nullptr, cls->name.c_str()};
  return TRUE;
}

// ---- creation and destruction ----

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  if (!className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const bool child = (style & WS_CHILD) != 0;
  if (child && !parent) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  RegisterStandardClasses();
  SweepEndedThreads();
  const int slot = ipc::AcquireSlot();
  EnsureSources();
  if (!child) {
    EnsureInputThread();
    ShellBeforeTopLevel();
  }
  // Read before the user lock, which is never held while other locks are taken.
  const DWORD threadId = GetCurrentThreadId();
  const auto screen = ce::gdi::Screen::Current();
  const int screenWidth = screen->width();
  const int screenHeight = screen->height();
  const int captionMetric = GetSystemMetrics(SM_CYCAPTION);
  State& s = S();
  HWND hwnd = nullptr;
  std::shared_ptr<Window> w;
  {
    std::lock_guard guard(s.lock);
    auto cls = FindClassLocked(className);
    if (!cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    std::shared_ptr<Window> parentWindow;
    if (parent) {
      parentWindow = FindLocked(parent);
      if (child && !parentWindow) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
      if (!parentWindow && !ipc::IsRemote(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
    }
    hwnd = NewHandleLocked(slot);
    if (!hwnd) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    w = std::make_shared<Window>();
    w->handle = hwnd;
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->text = windowName ? windowName : L"";
    w->instance = instance;
    w->threadId = threadId;
    w->extra.assign(static_cast<std::size_t>(cls->wndExtra), 0);
    if (child) {
      w->parent = parent;
      w->id = reinterpret_cast<LONG_PTR>(menu);
    } else if (parent) {
      w->owner = parentWindow ? TopLevelOfLocked(parent) : parent;
    }
    int cx = width;
    int cy = height;
    if (!child) {
      if (x == CW_USEDEFAULT) x = y = 0;
      if (width == CW_USEDEFAULT) {
        cx = screenWidth - x;
        cy = screenHeight - y;
      }
    } else {
      if (x == CW_USEDEFAULT) x = y = 0;
      if (width == CW_USEDEFAULT) cx = cy = 0;
    }
    x = std::clamp(x, -(1 << 15), 1 << 15);
    y = std::clamp(y, -(1 << 15), 1 << 15);
    w->captionMetric = captionMetric;
    w->rect = RECT{x, y, x + ClampSize(cx), y + ClampSize(cy)};
    ++cls->windows;
    s.windows[Value(hwnd)] = w;
    if (child) {
      // A new child goes behind its siblings, so GW_CHILD / GW_HWNDNEXT walk
      // the children in the order they were made (a dialog's template
      // order); a new top-level window comes to the front.
      parentWindow->children.push_back(hwnd);
    } else {
      s.topLevel.insert(s.topLevel.begin(), hwnd);
    }
  }
  CREATESTRUCTW create{param,
                       instance,
                       menu,
                       parent,
                       static_cast<int>(w->rect.bottom - w->rect.top),
                       static_cast<int>(w->rect.right - w->rect.left),
                       static_cast<int>(w->rect.top),
                       static_cast<int>(w->rect.left),
                       static_cast<LONG>(style),
                       windowName,
                       IS_INTRESOURCE(className) ? nullptr : className,
                       exStyle};
  if (CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;  // destroyed from its own WM_CREATE
  const RECT r = w->rect;
  CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELONG(r.right - r.left, r.bottom - r.top));
  CallProc(hwnd, WM_MOVE, 0, MAKELONG(r.left, r.top));
  if (!child) PublishWindows();
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  if (!SameThread(*w)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  State& s = S();
  std::vector<HWND> owned;
  {
    std::lock_guard guard(s.lock);
    if (w->destroying) return TRUE;
    w->destroying = true;
    if (!w->parent) {
      for (const auto& [value, other] : s.windows) {
        if (other->owner == hwnd && !other->destroying) owned.push_back(other->handle);
      }
    }
  }
  // Owned windows go first, as on the device.
  for (HWND o : owned) DestroyWindow(o);
  {
    std::lock_guard guard(s.lock);
    if (w->style & WS_VISIBLE) {
      w->style &= ~WS_VISIBLE;
      ExposeLocked(*w);
    }
  }
  ActivateNextIfActive(hwnd);
  ForgetFocusAndCaptureOf(hwnd);
  CallProc(hwnd, WM_DESTROY, 0, 0);
  // Then the children, each told after its parent.
  std::vector<HWND> children;
  {
    std::lock_guard guard(s.lock);
    children = w->children;
  }
  for (HWND c : children) {
    DestroyWindow(c);
  }
  KillTimersOf(hwnd);
  bool topLevel = false;
  {
    std::lock_guard guard(s.lock);
    if (auto* siblings = SiblingsLocked(*w)) RemoveFrom(*siblings, hwnd);
    topLevel = w->parent == nullptr;
    --w->cls->windows;
    s.windows.erase(Value(hwnd));
  }
  if (topLevel) PublishWindows();
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (!hwnd) return FALSE;
  SweepEndedThreads();
  {
    std::lock_guard guard(S().lock);
    if (FindLocked(hwnd)) return TRUE;
  }
  return ipc::IsRemote(hwnd) && ipc::Describe(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    return info && (info->style & WS_VISIBLE) ? TRUE : FALSE;
  }
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  return w && ReallyVisibleLocked(*w) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    return info && !(info->style & WS_DISABLED) ? TRUE : FALSE;
  }
  std::lock_guard guard(S().lock);
  auto w = FindLocked(hwnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  bool wasDisabled = false;
  {
    std::lock_guard guard(S().lock);
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
    if (enable) {
      w->style &= ~WS_DISABLED;
    } else {
      w->style |= WS_DISABLED;
    }
  }
  if (!enable) {
    bool hadFocus = false;
    {
      std::lock_guard guard(S().lock);
      hadFocus = S().focus == hwnd;
    }
    if (hadFocus) SetFocus(nullptr);
  }
  SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  PublishWindows();
  return wasDisabled ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  bool was = false;
  switch (cmdShow) {
    case SW_HIDE:
    case SW_MINIMIZE:
      was = SetVisible(hwnd, false);
      if (!w->parent) ActivateNextIfActive(hwnd);
      {
        bool focusInside = false;
        {
          std::lock_guard guard(S().lock);
          focusInside = IsSelfOrDescendantLocked(hwnd, S().focus);
        }
        if (focusInside && w->parent) SetFocus(nullptr);
      }
      break;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_SHOWMAXIMIZED:
    case SW_RESTORE:
      was = SetVisible(hwnd, true);
      if (!w->parent) {
        ActivateWindow(hwnd);
        // A window that comes up active (a dialog among them, also one a
        // program opens at another's request) brings the program's screen
        // to the front of the desktop, as the device shows it at once.
        if (!was && GetActiveWindow() == hwnd) ce::gdi::Screen::Current()->display().Raise();
      }
      break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      was = SetVisible(hwnd, true);
      break;
    default:
      ce::kernel::NotImplemented("ShowWindow(command)");
      return FALSE;
  }
  if (!w->parent) PublishWindows();
  WakeOwnerOf(hwnd);
  return was ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  bool needs = false;
  {
    std::lock_guard guard(S().lock);
    needs = w->hasUpdate && ReallyVisibleLocked(*w);
  }
  if (needs) SendMessageW(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

// ---- geometry ----

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  bool moved = false;
  bool sized = false;
  RECT r{};
  {
    std::lock_guard guard(S().lock);
    r = w->rect;
    const bool redraw = !(flags & SWP_NOREDRAW);
    if (!(flags & SWP_NOMOVE)) {
      x = std::clamp(x, -(1 << 15), 1 << 15);
      y = std::clamp(y, -(1 << 15), 1 << 15);
      moved = x != r.left || y != r.top;
      r = RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    }
    if (!(flags & SWP_NOSIZE)) {
      sized = ClampSize(cx) != r.right - r.left || ClampSize(cy) != r.bottom - r.top;
      r.right = r.left + ClampSize(cx);
      r.bottom = r.top + ClampSize(cy);
    }
    if ((moved || sized) && (w->style & WS_VISIBLE) && redraw) ExposeLocked(*w);
    w->rect = r;
    if ((moved || sized) && redraw) InvalidateLocked(*w, nullptr, true);
    if (!(flags & SWP_NOZORDER)) {
      if (auto* siblings = SiblingsLocked(*w)) {
        RemoveFrom(*siblings, hwnd);
        auto at = siblings->begin();
        if (insertAfter == HWND_BOTTOM) {
          at = siblings->end();
        } else if (insertAfter != HWND_TOP && insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST) {
          const auto after = std::find(siblings->begin(), siblings->end(), insertAfter);
          if (after != siblings->end()) at = after + 1;
        }
        siblings->insert(at, hwnd);
      }
    }
  }
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (!(flags & SWP_NOACTIVATE) && !w->parent && !(flags & SWP_HIDEWINDOW)) {
    bool visible = false;
    {
      std::lock_guard guard(S().lock);
      visible = (w->style & WS_VISIBLE) != 0;
    }
    if (visible) ActivateWindow(hwnd);
  }
  if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELONG(r.left, r.top));
  if (sized) SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELONG(r.right - r.left, r.bottom - r.top));
  if (!w->parent) PublishWindows();
  WakeOwnerOf(hwnd);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    if (!info) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    *rect = info->rect;
    return TRUE;
  }
  auto w = Find(hwnd);
  if (!w) return FALSE;
  std::lock_guard guard(S().lock);
  *rect = ScreenRectLocked(*w);
  return TRUE;
}

namespace {

// The client area in screen coordinates: the window less its caption band.
bool ClientOnScreen(HWND hwnd, RECT* out) {
  if (!GetWindowRect(hwnd, out)) return false;
  if (ipc::IsRemote(hwnd)) return true;
  auto w = Find(hwnd);
  if (!w) return false;
  std::lock_guard guard(S().lock);
  out->top = std::min(out->bottom, static_cast<LONG>(out->top + CaptionOf(*w)));
  return true;
}

}  // namespace

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  RECT r{};
  if (!ClientOnScreen(hwnd, &r)) return FALSE;
  *rect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  RECT r{};
  if (!point || !ClientOnScreen(hwnd, &r)) return FALSE;
  point->x += r.left;
  point->y += r.top;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  RECT r{};
  if (!point || !ClientOnScreen(hwnd, &r)) return FALSE;
  point->x -= r.left;
  point->y -= r.top;
  return TRUE;
}

// ---- fields ----

namespace {

bool ExtraRange(const Window& w, int index, std::size_t size) {
  return index >= 0 && static_cast<std::size_t>(index) + size <= w.extra.size();
}

// Reads or writes a field; false with ERROR_INVALID_INDEX for an unknown one.
bool Field(HWND hwnd, int index, std::size_t width, const LONG_PTR* newValue, LONG_PTR* oldValue) {
  auto w = Find(hwnd);
  if (!w) return false;
  bool styleChanged = false;
  {
    std::lock_guard guard(S().lock);
    switch (index) {
      case GWL_WNDPROC:
        *oldValue = reinterpret_cast<LONG_PTR>(w->proc);
        if (newValue) w->proc = reinterpret_cast<WNDPROC>(*newValue);
        break;
      case GWL_ID:
        *oldValue = w->id;
        if (newValue) w->id = *newValue;
        break;
      case GWL_STYLE:
        *oldValue = static_cast<LONG>(w->style);
        if (newValue) {
          w->style = static_cast<DWORD>(*newValue);
          styleChanged = true;
        }
        break;
      case GWL_EXSTYLE:
        *oldValue = static_cast<LONG>(w->exStyle);
        if (newValue) {
          w->exStyle = static_cast<DWORD>(*newValue);
          styleChanged = true;
        }
        break;
      case GWL_USERDATA:
        *oldValue = w->userData;
        if (newValue) w->userData = *newValue;
        break;
      default: {
        if (!ExtraRange(*w, index, width)) {
          SetLastError(ERROR_INVALID_INDEX);
          return false;
        }
        BYTE* at = w->extra.data() + index;
        if (width == sizeof(LONG)) {
          LONG old = 0;
          std::memcpy(&old, at, sizeof old);
          *oldValue = old;
          if (newValue) {
            const auto v = static_cast<LONG>(*newValue);
            std::memcpy(at, &v, sizeof v);
          }
        } else {
          std::memcpy(oldValue, at, sizeof(LONG_PTR));
          if (newValue) std::memcpy(at, newValue, sizeof(LONG_PTR));
        }
      }
    }
  }
  if (styleChanged && !w->parent) PublishWindows();
  return true;
}

// Another program's window answers for its styles only.
bool RemoteField(HWND hwnd, int index, LONG_PTR* value) {
  const auto info = ipc::Describe(hwnd);
  if (!info) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (index != GWL_STYLE && index != GWL_EXSTYLE) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  *value = static_cast<LONG>(index == GWL_STYLE ? info->style : info->exStyle);
  return true;
}

}  // namespace

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  LONG_PTR value = 0;
  if (ipc::IsRemote(hwnd)) return RemoteField(hwnd, index, &value) ? value : 0;
  return Field(hwnd, index, sizeof(LONG_PTR), nullptr, &value) ? value : 0;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  LONG_PTR old = 0;
  SetLastError(ERROR_SUCCESS);
  return Field(hwnd, index, sizeof(LONG_PTR), &value, &old) ? old : 0;
}

LONG GetWindowLongW(HWND hwnd, int index) {
  if (index == GWL_WNDPROC) {  // a procedure does not fit in 32 bits here
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR value = 0;
  if (ipc::IsRemote(hwnd)) return RemoteField(hwnd, index, &value) ? static_cast<LONG>(value) : 0;
  return Field(hwnd, index, sizeof(LONG), nullptr, &value) ? static_cast<LONG>(value) : 0;
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  if (index == GWL_WNDPROC) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR old = 0;
  const LONG_PTR wide = value;
  SetLastError(ERROR_SUCCESS);
  return Field(hwnd, index, sizeof(LONG), &wide, &old) ? static_cast<LONG>(old) : 0;
}

// ---- texts and names ----

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!Find(hwnd)) return FALSE;
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount) {
  if (!text || maxCount <= 0) return 0;
  text[0] = L'\0';
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    if (!info) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    const std::size_t n = std::min<std::size_t>(info->title.size(), static_cast<std::size_t>(maxCount) - 1);
    std::wmemcpy(text, info->title.data(), n);
    text[n] = L'\0';
    return static_cast<int>(n);
  }
  if (!Find(hwnd)) return 0;
  return static_cast<int>(
      SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND hwnd) {
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    return info ? static_cast<int>(info->title.size()) : 0;
  }
  if (!Find(hwnd)) return 0;
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

int GetClassNameW(HWND hwnd, LPWSTR className, int maxCount) {
  if (!className || maxCount <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring name;
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    if (!info) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    name = info->className;
  } else {
    auto w = Find(hwnd);
    if (!w) return 0;
    name = w->cls->name;
  }
  const std::size_t n = std::min<std::size_t>(name.size(), static_cast<std::size_t>(maxCount) - 1);
  std::wmemcpy(className, name.data(), n);
  className[n] = L'\0';
  return static_cast<int>(n);
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  if (ipc::IsRemote(hwnd)) {
    const auto info = ipc::Describe(hwnd);
    if (!info) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (processId) *processId = info->processId;
    return info->threadId;
  }
  auto w = Find(hwnd);
  if (!w) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return w->threadId;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  SweepEndedThreads();
  {
    std::lock_guard guard(S().lock);
    std::shared_ptr<WindowClass> byAtom;
    if (className && IS_INTRESOURCE(className)) {
      byAtom = FindClassLocked(className);
      if (!byAtom) return nullptr;
    }
    for (HWND hwnd : S().topLevel) {
      auto w = FindLocked(hwnd);
      if (!w || w->destroying) continue;
      if (byAtom && w->cls != byAtom) continue;
      if (Matches(w->cls->name, w->text, className, windowName)) return hwnd;
    }
    if (byAtom) return nullptr;
  }
  for (const auto& info : ipc::OtherWindows()) {
    if (Matches(info.className, info.title, className, windowName)) return info.hwnd;
  }
  return nullptr;
}

HWND GetDesktopWindow() { return FindWindowW(DESKTOP_WINDOW_CLASS, nullptr); }
