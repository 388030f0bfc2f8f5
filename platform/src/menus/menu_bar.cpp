// The shell's menu bar: a window along the bottom of the screen, owned by
// the top-level window it serves, with its buttons (the soft keys), the
// tool-bar and SHCMBM_ messages (the buttons' images too), and the routing
// of the soft keys to it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "menus/draw.h"
#include "menus/menus.h"
#include "user/input.h"

namespace ce::menus {
namespace {

constexpr wchar_t kBarClass[] = L"ShellMenuBar";

struct Button {
  int id = 0;
  std::wstring text;
  BYTE state = TBSTATE_ENABLED;
  BYTE style = BTNS_BUTTON;
  int image = I_IMAGENONE;
  DWORD_PTR data = 0;
  HMENU popup = nullptr;
};

// Images added together (TB_ADDBITMAP), side by side: the colours, black
// where the picture is transparent (magenta in the source), and a mask set
// there.
struct ImageStrip {
  HBITMAP color = nullptr;
  HBITMAP mask = nullptr;
  int count = 0;
  SIZE size{};  // of one image
  ImageStrip() = default;
  ImageStrip(const ImageStrip&) = delete;
  ImageStrip& operator=(const ImageStrip&) = delete;
  ~ImageStrip() {
    if (color) DeleteObject(color);
    if (mask) DeleteObject(mask);
  }
};

constexpr COLORREF kImageKey = RGB(255, 0, 255);
constexpr int kMaxImageSide = 256;

struct Bar {
  HWND hwnd = nullptr;
  HWND parent = nullptr;
  HMENU menu = nullptr;  // the menu the buttons came from, owned by the bar
  COLORREF face = kBarFace;
  std::vector<Button> buttons;
  std::map<int, WORD> overrides;  // key -> SHMBOF_ flags in force
  int pressed = -1;               // the button the pen went down on
  std::vector<std::shared_ptr<ImageStrip>> strips;
  SIZE imageSize{};  // TB_SETBITMAPSIZE's, for the next strip; 0: from the bitmap
};

std::mutex g_lock;
std::map<HWND, std::shared_ptr<Bar>> g_byBar;
std::map<HWND, HWND> g_barOfParent;

std::shared_ptr<Bar> BarFor(HWND bar) {
  std::lock_guard guard(g_lock);
  auto it = g_byBar.find(bar);
  return it == g_byBar.end() ? nullptr : it->second;
}

BarButtonView View(const Button& b) { return BarButtonView{b.id, b.text, b.state, b.style, b.popup, b.image}; }

int ImageCountLocked(const Bar& bar) {
  int count = 0;
  for (const auto& strip : bar.strips) count += strip->count;
  return count;
}

// The image of that index, or none; the strip stays alive through `keep`.
BarImage ImageLocked(const Bar& bar, int index, std::vector<std::shared_ptr<ImageStrip>>& keep) {
  if (index < 0) return BarImage{};
  for (const auto& strip : bar.strips) {
    if (index < strip->count) {
      keep.push_back(strip);
      return BarImage{strip->color, strip->mask, index * strip->size.cx, strip->size};
    }
    index -= strip->count;
  }
  return BarImage{};
}

// A strip of `count` images of `size` (0: shared out of the bitmap) from a
// bitmap, copied so the bar does not depend on the caller's bitmap.
std::shared_ptr<ImageStrip> MakeStrip(HBITMAP source, int count, SIZE size) {
  BITMAP bm{};
  if (count <= 0 || count > kMaxImageSide || GetObjectW(source, sizeof bm, &bm) != sizeof bm) return nullptr;
  const int sourceHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  if (size.cx <= 0 || size.cy <= 0) size = SIZE{bm.bmWidth / count, sourceHeight};
  if (size.cx <= 0 || size.cy <= 0 || size.cx > kMaxImageSide || size.cy > kMaxImageSide ||
      static_cast<long>(size.cx) * count > bm.bmWidth || size.cy > sourceHeight) {
    return nullptr;
  }
  const int width = size.cx * count;
  const int height = size.cy;
  auto strip = std::make_shared<ImageStrip>();
  strip->count = count;
  strip->size = size;
  BITMAPINFO colorInfo{};
  colorInfo.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* colorBits = nullptr;
  strip->color = CreateDIBSection(nullptr, &colorInfo, DIB_RGB_COLORS, &colorBits, nullptr, 0);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } maskInfo{{sizeof(BITMAPINFOHEADER), width, -height, 1, 1, BI_RGB, 0, 0, 0, 2, 0},
             {{0, 0, 0, 0}, {255, 255, 255, 0}}};
  void* maskBits = nullptr;
  strip->mask =
      CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&maskInfo), DIB_RGB_COLORS, &maskBits, nullptr, 0);
  if (!strip->color || !strip->mask || !colorBits || !maskBits) return nullptr;
  // The source's pixels in 32 bits, whatever its depth.
  HDC from = CreateCompatibleDC(nullptr);
  HDC to = CreateCompatibleDC(nullptr);
  bool copied = false;
  if (from && to) {
    HGDIOBJ oldFrom = SelectObject(from, source);
    HGDIOBJ oldTo = SelectObject(to, strip->color);
    copied = oldFrom && oldTo && BitBlt(to, 0, 0, width, height, from, 0, 0, SRCCOPY);
    if (oldFrom) SelectObject(from, oldFrom);
    if (oldTo) SelectObject(to, oldTo);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  if (!copied) return nullptr;
  auto* pixels = static_cast<std::uint32_t*>(colorBits);
  auto* mask = static_cast<std::uint8_t*>(maskBits);
  const std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
  std::memset(mask, 0, maskStride * static_cast<std::size_t>(height));
  const std::uint32_t key = 0x00FF00FFu;  // magenta as B, G, R, A
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t& p =
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      if ((p & 0x00FFFFFFu) == key) {
        p = 0;
        mask[static_cast<std::size_t>(y) * maskStride + static_cast<std::size_t>(x) / 8] |=
            static_cast<std::uint8_t>(0x80u >> (x % 8));
      } else {
        p &= 0x00FFFFFFu;
      }
    }
  }
  return strip;
}

// TB_ADDBITMAP: the index of the first image added, or -1.
LRESULT AddImages(HWND hwnd, Bar& bar, int count, const TBADDBITMAP* add) {
  if (!add || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (add->hInst == HINST_COMMCTRL) {
    ce::kernel::NotImplemented("the system's own tool-bar images");
    return -1;
  }
  HBITMAP source = nullptr;
  bool owned = false;
  if (add->hInst) {
    if (add->nID > 0xFFFF) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    source = LoadBitmapW(add->hInst, MAKEINTRESOURCEW(static_cast<WORD>(add->nID)));
    owned = true;
  } else {
    source = reinterpret_cast<HBITMAP>(add->nID);
  }
  if (!source) return -1;
  SIZE size{};
  {
    std::lock_guard guard(g_lock);
    size = bar.imageSize;
  }
  auto strip = MakeStrip(source, count, size);
  if (owned) DeleteObject(source);
  if (!strip) {
    SetLastError(ERROR_INVALID_DATA);
    return -1;
  }
  LRESULT first = 0;
  {
    std::lock_guard guard(g_lock);
    first = ImageCountLocked(bar);
    bar.strips.push_back(std::move(strip));
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  return first;
}

std::vector<BarButtonView> ViewsLocked(const Bar& bar) {
  std::vector<BarButtonView> views;
  for (const Button& b : bar.buttons) views.push_back(View(b));
  return views;
}

int IndexOfLocked(const Bar& bar, int id) {
  for (std::size_t i = 0; i < bar.buttons.size(); ++i) {
    if (bar.buttons[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

SIZE BarSize(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Presses a button as the user does: a popup drops above it (its first
// entry selected when a key pressed it), a command goes to the parent.
void Press(HWND hwnd, int index, bool byKey) {
  auto bar = BarFor(hwnd);
  if (!bar) return;
  Button button;
  RECT rect{};
  int visibleIndex = 0;
  int visibleCount = 0;
  HWND parent = nullptr;
  {
    std::lock_guard guard(g_lock);
    if (index < 0 || static_cast<std::size_t>(index) >= bar->buttons.size()) return;
    button = bar->buttons[static_cast<std::size_t>(index)];
    rect = LayoutBar(ViewsLocked(*bar), BarSize(hwnd))[static_cast<std::size_t>(index)];
    for (std::size_t i = 0; i < bar->buttons.size(); ++i) {
      if (bar->buttons[i].state & TBSTATE_HIDDEN) continue;
      if (static_cast<int>(i) < index) ++visibleIndex;
      ++visibleCount;
    }
    parent = bar->parent;
  }
  if ((button.state & (TBSTATE_HIDDEN | TBSTATE_INDETERMINATE)) || !(button.state & TBSTATE_ENABLED)) return;
  if (button.popup && IsMenu(button.popup)) {
    POINT corner{rect.left, 0};
    UINT flags = TPM_LEFTALIGN | TPM_BOTTOMALIGN;
    if (visibleIndex == visibleCount - 1 && visibleCount > 1) {
      corner.x = rect.right;
      flags = TPM_RIGHTALIGN | TPM_BOTTOMALIGN;
    }
    ClientToScreen(hwnd, &corner);
    Track(button.popup, flags, corner.x, corner.y, parent, MAKELONG(static_cast<WORD>(button.id), 0), nullptr, byKey);
    return;
  }
  SendMessageW(parent, WM_COMMAND, static_cast<WPARAM>(static_cast<WORD>(button.id)), reinterpret_cast<LPARAM>(hwnd));
}

// The index of the n-th visible button, or -1.
int VisibleButton(const Bar& bar, int n) {
  for (std::size_t i = 0; i < bar.buttons.size(); ++i) {
    if (bar.buttons[i].state & TBSTATE_HIDDEN) continue;
    if (n-- == 0) return static_cast<int>(i);
  }
  return -1;
}

void OnKey(HWND hwnd, WPARAM key, bool down) {
  auto bar = BarFor(hwnd);
  if (!bar) return;
  WORD override = 0;
  int index = -1;
  HWND parent = nullptr;
  {
    std::lock_guard guard(g_lock);
    const auto it = bar->overrides.find(static_cast<int>(key));
    if (it != bar->overrides.end()) override = it->second;
    if (key == VK_TSOFT1) index = VisibleButton(*bar, 0);
    if (key == VK_TSOFT2) index = VisibleButton(*bar, 1);
    parent = bar->parent;
  }
  if (override & SHMBOF_NOTIFY) {
    const WORD modifiers = down ? 0 : static_cast<WORD>(MOD_KEYUP);
    SendMessageW(parent, WM_HOTKEY, 0, MAKELONG(modifiers, static_cast<WORD>(key)));
    return;
  }
  if (override & SHMBOF_NODEFAULT) return;
  if (down && index >= 0) Press(hwnd, index, true);
}

// Text from a TBBUTTON's iString: a pointer to the text, or nothing.
bool ButtonText(INT_PTR iString, std::wstring* out) {
  out->clear();
  if (iString == -1 || iString == 0) return true;
  if (iString > 0 && iString <= 0xFFFF) {
    ce::kernel::NotImplemented("tool-bar buttons with text from a string list");
    return false;
  }
  *out = reinterpret_cast<LPCWSTR>(iString);
  return true;
}

bool FromTbButton(const TBBUTTON& tb, Button* out) {
  Button b;
  if (!ButtonText(tb.iString, &b.text)) return false;
  b.id = tb.idCommand;
  b.state = tb.fsState;
  b.style = tb.fsStyle;
  b.image = tb.iBitmap;
  b.data = tb.dwData;
  if ((tb.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN)) && tb.dwData) {
    const HMENU popup = reinterpret_cast<HMENU>(tb.dwData);
    if (IsMenu(popup)) b.popup = popup;
  }
  *out = std::move(b);
  return true;
}

void Repaint(HWND hwnd) { InvalidateRect(hwnd, nullptr, FALSE); }

LRESULT ToolBarMessage(HWND hwnd, Bar& bar, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_lock guard(g_lock);
  const int byId = IndexOfLocked(bar, static_cast<int>(wParam));
  auto setBit = [&](BYTE bit) -> LRESULT {
    if (byId < 0) return FALSE;
    BYTE& state = bar.buttons[static_cast<std::size_t>(byId)].state;
    state = LOWORD(lParam) ? static_cast<BYTE>(state | bit) : static_cast<BYTE>(state & ~bit);
    guard.unlock();
    Repaint(hwnd);
    return TRUE;
  };
  auto isBit = [&](BYTE bit) -> LRESULT {
    if (byId < 0) return -1;
    return (bar.buttons[static_cast<std::size_t>(byId)].state & bit) ? TRUE : FALSE;
  };
  switch (message) {
    case TB_BUTTONSTRUCTSIZE:
      return 0;
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(bar.buttons.size());
    case TB_COMMANDTOINDEX:
      return byId;
    case TB_ENABLEBUTTON:
      return setBit(TBSTATE_ENABLED);
    case TB_CHECKBUTTON:
      return setBit(TBSTATE_CHECKED);
    case TB_PRESSBUTTON:
      return setBit(TBSTATE_PRESSED);
    case TB_HIDEBUTTON:
      return setBit(TBSTATE_HIDDEN);
    case TB_INDETERMINATE:
      return setBit(TBSTATE_INDETERMINATE);
    case TB_ISBUTTONENABLED:
      return isBit(TBSTATE_ENABLED);
    case TB_ISBUTTONCHECKED:
      return isBit(TBSTATE_CHECKED);
    case TB_ISBUTTONPRESSED:
      return isBit(TBSTATE_PRESSED);
    case TB_ISBUTTONHIDDEN:
      return isBit(TBSTATE_HIDDEN);
    case TB_ISBUTTONINDETERMINATE:
      return isBit(TBSTATE_INDETERMINATE);
    case TB_GETSTATE:
      return byId < 0 ? -1 : bar.buttons[static_cast<std::size_t>(byId)].state;
    case TB_SETSTATE:
      if (byId < 0) return FALSE;
      bar.buttons[static_cast<std::size_t>(byId)].state = static_cast<BYTE>(LOWORD(lParam));
      guard.unlock();
      Repaint(hwnd);
      return TRUE;
    case TB_INSERTBUTTONW:
    case TB_ADDBUTTONSW: {
      const auto* tb = reinterpret_cast<const TBBUTTON*>(lParam);
      const std::size_t count = message == TB_ADDBUTTONSW ? wParam : 1;
      if (!tb || count > 0xFFFF) return FALSE;
      std::vector<Button> added;
      for (std::size_t i = 0; i < count; ++i) {
        Button b;
        if (!FromTbButton(tb[i], &b)) return FALSE;
        added.push_back(std::move(b));
      }
      std::size_t at = bar.buttons.size();
      if (message == TB_INSERTBUTTONW && wParam < bar.buttons.size()) at = wParam;
      bar.buttons.insert(bar.buttons.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
      guard.unlock();
      Repaint(hwnd);
      return TRUE;
    }
    case TB_DELETEBUTTON:
      if (wParam >= bar.buttons.size()) return FALSE;
      bar.buttons.erase(bar.buttons.begin() + static_cast<std::ptrdiff_t>(wParam));
      guard.unlock();
      Repaint(hwnd);
      return TRUE;
    case TB_GETBUTTON: {
      auto* tb = reinterpret_cast<TBBUTTON*>(lParam);
      if (!tb || wParam >= bar.buttons.size()) return FALSE;
      const Button& b = bar.buttons[wParam];
      *tb = TBBUTTON{};
      tb->iBitmap = b.image;
      tb->idCommand = b.id;
      tb->fsState = b.state;
      tb->fsStyle = b.style;
      tb->dwData = b.data;
      tb->iString = b.text.empty() ? -1 : reinterpret_cast<INT_PTR>(b.text.c_str());
      return TRUE;
    }
    case TB_GETBUTTONTEXTW: {
      if (byId < 0) return -1;
      const std::wstring& text = bar.buttons[static_cast<std::size_t>(byId)].text;
      if (auto* out = reinterpret_cast<LPWSTR>(lParam)) {
        text.copy(out, text.size());
        out[text.size()] = L'\0';
      }
      return static_cast<LRESULT>(text.size());
    }
    case TB_GETBUTTONINFOW:
    case TB_SETBUTTONINFOW: {
      auto* info = reinterpret_cast<TBBUTTONINFOW*>(lParam);
      if (!info || info->cbSize < sizeof(TBBUTTONINFOW)) return -1;
      int index = byId;
      if (info->dwMask & TBIF_BYINDEX) index = wParam < bar.buttons.size() ? static_cast<int>(wParam) : -1;
      if (index < 0) return message == TB_GETBUTTONINFOW ? -1 : FALSE;
      Button& b = bar.buttons[static_cast<std::size_t>(index)];
      const DWORD mask = info->dwMask;
      if (message == TB_GETBUTTONINFOW) {
        if (mask & TBIF_COMMAND) info->idCommand = b.id;
        if (mask & TBIF_IMAGE) info->iImage = b.image;
        if (mask & TBIF_STATE) info->fsState = b.state;
        if (mask & TBIF_STYLE) info->fsStyle = b.style;
        if (mask & TBIF_LPARAM) info->lParam = b.data;
        if ((mask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
          const std::size_t n = std::min<std::size_t>(b.text.size(), static_cast<std::size_t>(info->cchText - 1));
          b.text.copy(info->pszText, n);
          info->pszText[n] = L'\0';
        }
        return index;
      }
      if (mask & TBIF_COMMAND) b.id = info->idCommand;
      if (mask & TBIF_IMAGE) b.image = info->iImage;
      if (mask & TBIF_STATE) b.state = info->fsState;
      if (mask & TBIF_STYLE) b.style = info->fsStyle;
      if (mask & TBIF_LPARAM) b.data = info->lParam;
      if (mask & TBIF_TEXT) b.text = info->pszText ? info->pszText : L"";
      guard.unlock();
      Repaint(hwnd);
      return TRUE;
    }
    case TB_ADDBITMAP:
      guard.unlock();
      return AddImages(hwnd, bar, static_cast<int>(wParam), reinterpret_cast<const TBADDBITMAP*>(lParam));
    case TB_SETBITMAPSIZE: {
      const int cx = LOWORD(lParam);
      const int cy = HIWORD(lParam);
      if (cx > kMaxImageSide || cy > kMaxImageSide) return FALSE;
      bar.imageSize = SIZE{cx, cy};
      return TRUE;
    }
    case SHCMBM_GETSUBMENU: {
      const int index = IndexOfLocked(bar, static_cast<int>(lParam));
      return index < 0 ? 0 : reinterpret_cast<LRESULT>(bar.buttons[static_cast<std::size_t>(index)].popup);
    }
    case SHCMBM_GETMENU:
      return reinterpret_cast<LRESULT>(bar.menu);
    case SHCMBM_OVERRIDEKEY: {
      const WORD mask = LOWORD(lParam);
      const WORD value = HIWORD(lParam);
      WORD& flags = bar.overrides[static_cast<int>(wParam)];
      flags = static_cast<WORD>((flags & ~mask) | (value & mask));
      return TRUE;
    }
    case SHCMBM_SETSUBMENU: {
      const HMENU popup = reinterpret_cast<HMENU>(lParam);
      if (byId < 0 || (popup && !IsMenu(popup))) return 0;
      Button& b = bar.buttons[static_cast<std::size_t>(byId)];
      const HMENU old = b.popup;
      b.popup = popup;
      if (popup) b.style = static_cast<BYTE>(b.style | BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN);
      b.data = reinterpret_cast<DWORD_PTR>(popup);
      guard.unlock();
      Repaint(hwnd);
      return reinterpret_cast<LRESULT>(old);
    }
    default:
      return -1;
  }
}

bool IsBarMessage(UINT m) {
  return (m >= TB_ENABLEBUTTON && m <= TB_GETBUTTONTEXTW) || (m >= SHCMBM_SETSUBMENU && m <= SHCMBM_OVERRIDEKEY);
}

LRESULT CALLBACK BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsBarMessage(message)) {
    auto bar = BarFor(hwnd);
    return bar ? ToolBarMessage(hwnd, *bar, message, wParam, lParam) : 0;
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (auto bar = BarFor(hwnd)) {
        std::vector<BarButtonView> views;
        std::vector<BarImage> images;
        std::vector<std::shared_ptr<ImageStrip>> keep;
        COLORREF face = kBarFace;
        {
          std::lock_guard guard(g_lock);
          views = ViewsLocked(*bar);
          for (const Button& b : bar->buttons) images.push_back(ImageLocked(*bar, b.image, keep));
          face = bar->face;
        }
        DrawBar(dc, BarSize(hwnd), views, images, face);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
      auto bar = BarFor(hwnd);
      if (!bar) return 0;
      const POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      int hit = -1;
      {
        std::lock_guard guard(g_lock);
        const auto rects = LayoutBar(ViewsLocked(*bar), BarSize(hwnd));
        for (std::size_t i = 0; i < rects.size(); ++i) {
          const RECT& r = rects[i];
          if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) hit = static_cast<int>(i);
        }
        if (message == WM_LBUTTONDOWN) {
          bar->pressed = hit;
          return 0;
        }
        if (hit != bar->pressed) hit = -1;
        bar->pressed = -1;
      }
      if (hit >= 0) Press(hwnd, hit, false);
      return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
      OnKey(hwnd, wParam, message == WM_KEYDOWN);
      return 0;
    case WM_DESTROY: {
      std::shared_ptr<Bar> bar;
      {
        std::lock_guard guard(g_lock);
        auto it = g_byBar.find(hwnd);
        if (it != g_byBar.end()) {
          bar = it->second;
          g_byBar.erase(it);
          auto p = g_barOfParent.find(bar->parent);
          if (p != g_barOfParent.end() && p->second == hwnd) g_barOfParent.erase(p);
        }
      }
      if (bar && bar->menu) DestroyMenu(bar->menu);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// The soft keys, and keys a bar overrides, go to the bar of the window
// they were meant for (or of the nearest window above it that has one).
HWND RouteKey(HWND target, int key) {
  std::lock_guard guard(g_lock);
  if (g_barOfParent.empty()) return nullptr;
  for (HWND w = target; w;) {
    const auto it = g_barOfParent.find(w);
    if (it != g_barOfParent.end()) {
      const auto bar = g_byBar.find(it->second);
      if (bar == g_byBar.end()) return nullptr;
      const bool soft = key == VK_TSOFT1 || key == VK_TSOFT2;
      const bool overridden = bar->second->overrides.count(key) && bar->second->overrides.at(key) != 0;
      if ((soft && IsWindowVisible(it->second)) || overridden) return it->second;
      return nullptr;
    }
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
    w = GetParent(w);
  }
  return nullptr;
}

bool RegisterBarClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BarProc;
    wc.lpszClassName = kBarClass;
    wc.style = CS_GLOBALCLASS;
    return RegisterClassW(&wc) != 0;
  }();
  return registered;
}

}  // namespace

int BarHeight() { return GetSystemMetrics(SM_CYMENU); }

HWND CreateBarFromMenu(HWND parent, HMENU menu, DWORD flags, COLORREF face) {
  if (!RegisterBarClass()) return nullptr;
  if (!IsWindow(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::vector<Button> buttons;
  if (menu) {
    auto items = ItemsOf(menu);
    if (!items) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return nullptr;
    }
    for (const ItemView& item : *items) {
      if (item.separator()) continue;
      Button b;
      b.id = static_cast<int>(item.id);
      b.text = item.text;
      b.state = item.enabled() ? TBSTATE_ENABLED : 0;
      if (item.checked()) b.state |= TBSTATE_CHECKED;
      b.popup = item.submenu;
      b.style = item.submenu ? static_cast<BYTE>(BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN) : BTNS_BUTTON;
      buttons.push_back(std::move(b));
    }
  }
  if (HWND old = SHFindMenuBar(parent)) DestroyWindow(old);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HWND hwnd = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, kBarClass, L"", WS_POPUP, 0, height - BarHeight(),
                              width, BarHeight(), parent, nullptr, nullptr, nullptr);
  if (!hwnd) return nullptr;
  auto bar = std::make_shared<Bar>();
  bar->hwnd = hwnd;
  bar->parent = parent;
  bar->menu = menu;
  bar->face = face;
  bar->buttons = std::move(buttons);
  {
    std::lock_guard guard(g_lock);
    g_byBar[hwnd] = bar;
    g_barOfParent[parent] = hwnd;
  }
  ce::user::SetKeyRedirect(&RouteKey);
  if (!(flags & SHCMBF_HIDDEN)) ShowWindow(hwnd, SW_SHOWNA);
  return hwnd;
}

std::optional<std::vector<BarButtonView>> BarButtons(HWND hwnd) {
  auto bar = BarFor(hwnd);
  if (!bar) return std::nullopt;
  std::lock_guard guard(g_lock);
  return ViewsLocked(*bar);
}

}  // namespace ce::menus

using namespace ce::menus;

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (!info || info->cbSize < sizeof(SHMENUBARINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  constexpr DWORD kKnown = SHCMBF_EMPTYBAR | SHCMBF_HIDDEN | SHCMBF_HIDESIPBUTTON | SHCMBF_COLORBK | SHCMBF_HMENU;
  if (info->dwFlags & ~kKnown) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->nBmpId < 0 || info->nBmpId > 0xFFFF || info->cBmpImages < 0 || (info->nBmpId && !info->cBmpImages)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsWindow(info->hwndParent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  HMENU menu = nullptr;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    // The buttons are the top-level items of the menu resource of that id
    // (SHCMBF_HMENU or not: bars are described by menus only).
    menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(info->nToolBarId));
    if (!menu) return FALSE;
  }
  const COLORREF face = (info->dwFlags & SHCMBF_COLORBK) ? info->clrBk : kBarFace;
  HWND bar = CreateBarFromMenu(info->hwndParent, menu, info->dwFlags, face);
  if (!bar) {
    if (menu) DestroyMenu(menu);
    return FALSE;
  }
  if (info->nBmpId) {
    const TBADDBITMAP images{info->hInstRes, static_cast<UINT_PTR>(info->nBmpId)};
    if (SendMessageW(bar, TB_ADDBITMAP, static_cast<WPARAM>(info->cBmpImages), reinterpret_cast<LPARAM>(&images)) < 0) {
      const DWORD error = GetLastError();
      DestroyWindow(bar);
      SetLastError(error);
      return FALSE;
    }
  }
  info->hwndMB = bar;
  return TRUE;
}

int CommandBar_AddBitmap(HWND hwndCB, HINSTANCE hInst, UINT_PTR idBitmap, int iNumImages, int iImageWidth,
                         int iImageHeight) {
  if (!BarFor(hwndCB)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  if (iImageWidth < 0 || iImageHeight < 0 || iImageWidth > 0xFFFF || iImageHeight > 0xFFFF ||
      !SendMessageW(hwndCB, TB_SETBITMAPSIZE, 0, MAKELONG(iImageWidth, iImageHeight))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  const TBADDBITMAP images{hInst, idBitmap};
  return static_cast<int>(
      SendMessageW(hwndCB, TB_ADDBITMAP, static_cast<WPARAM>(iNumImages), reinterpret_cast<LPARAM>(&images)));
}

HWND SHFindMenuBar(HWND hwnd) {
  std::lock_guard guard(g_lock);
  const auto it = g_barOfParent.find(hwnd);
  return it == g_barOfParent.end() ? nullptr : it->second;
}
