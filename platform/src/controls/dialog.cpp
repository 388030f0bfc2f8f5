// The dialog manager: dialogs made from templates (modal, with a message
// loop of their own, and modeless or child pages), the default dialog
// procedure, keyboard moves between controls, dialog units and the calls
// that reach a dialog's controls by id.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "controls/controls.h"
#include "kernel/not_implemented.h"

namespace ce::controls {
namespace {

// What the manager keeps per dialog beyond the window's own fields.
struct Dialog {
  HFONT font = nullptr;
  bool ownFont = false;
  int baseX = 4;  // average character width of the dialog's font
  int baseY = 8;  // its height
  bool modal = false;
  // EndDialog may come from another thread of the program.
  std::atomic<bool> ended{false};
  std::atomic<INT_PTR> result{0};
  HWND focus = nullptr;  // the control that had the focus when the dialog was left
  WORD defaultId = IDOK;
  // Pictures the template named for its statics: the dialog loaded them, so
  // they go with it.
  std::vector<HICON> icons;
  std::vector<HBITMAP> bitmaps;
};

// WM_CTLCOLORMSGBOX .. WM_CTLCOLORSTATIC.
constexpr UINT kFirstCtlColor = 0x0132;
constexpr UINT kLastCtlColor = 0x0138;

std::mutex g_lock;
std::map<HWND, std::shared_ptr<Dialog>> g_dialogs;

std::shared_ptr<Dialog> Find(HWND hwnd) {
  std::lock_guard guard(g_lock);
  const auto it = g_dialogs.find(hwnd);
  return it == g_dialogs.end() ? nullptr : it->second;
}

// ---- templates ----

// Reads a template within `size` bytes; every read is checked.
class Reader {
 public:
  Reader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
  bool Read(void* out, std::size_t n) {
    if (!ok_ || n > size_ - pos_) return ok_ = false;
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  WORD Word() {
    WORD w = 0;
    Read(&w, sizeof w);
    return w;
  }
  // A string up to its terminator.
  std::wstring String() {
    std::wstring s;
    for (WORD c = Word(); ok_ && c != 0; c = Word()) s.push_back(static_cast<wchar_t>(c));
    return s;
  }
  // Nothing (0x0000), an ordinal (0xFFFF then the number) or a string.
  struct NameOrOrdinal {
    std::wstring name;
    WORD ordinal = 0;
    bool isOrdinal = false;
    bool empty() const { return !isOrdinal && name.empty(); }
  };
  NameOrOrdinal Name() {
    NameOrOrdinal n;
    const WORD first = Word();
    if (!ok_ || first == 0) return n;
    if (first == 0xFFFF) {
      n.isOrdinal = true;
      n.ordinal = Word();
      return n;
    }
    n.name.push_back(static_cast<wchar_t>(first));
    n.name += String();
    return n;
  }
  void AlignDword() {
    const std::size_t aligned = (pos_ + 3) & ~std::size_t{3};
    if (aligned > size_) {
      ok_ = false;
      return;
    }
    pos_ = aligned;
  }
  const BYTE* Here() const { return data_ + pos_; }
  bool ok() const { return ok_; }

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

struct Item {
  DLGITEMTEMPLATE header{};
  std::wstring className;
  Reader::NameOrOrdinal title;
  const BYTE* creationData = nullptr;  // its size word first
};

struct Template {
  DLGTEMPLATE header{};
  Reader::NameOrOrdinal menu;
  Reader::NameOrOrdinal cls;
  std::wstring title;
  WORD pointSize = 0;
  std::wstring face;
  std::vector<Item> items;
};

// The window class of a predefined control's ordinal; empty for an
// ordinal that names none.
std::wstring ClassOfOrdinal(WORD ordinal) {
  switch (ordinal) {
    case 0x0080:
      return kButtonClass;
    case 0x0081:
      return L"EDIT";
    case 0x0082:
      return kStaticClass;
    case 0x0083:
      return L"LISTBOX";
    case 0x0084:
      return L"SCROLLBAR";
    case 0x0085:
      return L"COMBOBOX";
    default:
      return {};
  }
}

bool Parse(const BYTE* data, std::size_t size, Template* out) {
  Reader r(data, size);
  if (!r.Read(&out->header, sizeof out->header)) return false;
  // The extended layout starts with the words 1, 0xFFFF.
  if (out->header.style == 0xFFFF0001u) {
    ce::kernel::NotImplemented("extended dialog templates");
    return false;
  }
  out->menu = r.Name();
  out->cls = r.Name();
  out->title = r.String();
  if (out->header.style & DS_SETFONT) {
    out->pointSize = r.Word();
    out->face = r.String();
  }
  if (!r.ok()) return false;
  out->items.reserve(std::min<std::size_t>(out->header.cdit, size / sizeof(DLGITEMTEMPLATE)));
  for (WORD i = 0; i < out->header.cdit; ++i) {
    Item item;
    r.AlignDword();
    if (!r.Read(&item.header, sizeof item.header)) return false;
    const auto cls = r.Name();
    if (cls.isOrdinal) {
      item.className = ClassOfOrdinal(cls.ordinal);
      if (item.className.empty()) return false;
    } else {
      item.className = cls.name;
    }
    item.title = r.Name();
    item.creationData = r.Here();
    const WORD extra = r.Word();
    if (extra > 0) {
      std::vector<BYTE> skip(extra);
      if (!r.Read(skip.data(), extra)) return false;
    } else {
      item.creationData = nullptr;
    }
    if (!r.ok()) return false;
    out->items.push_back(std::move(item));
  }
  return r.ok();
}

// ---- creation ----

// value * numerator / denominator, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  const long long q = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
  return static_cast<int>(std::clamp<long long>(q, INT_MIN, INT_MAX));
}

void MeasureFont(Dialog& d) {
  HDC hdc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(hdc, d.font);
  TEXTMETRICW tm{};
  SIZE extent{};
  static constexpr wchar_t kSample[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (GetTextMetricsW(hdc, &tm) && GetTextExtentPoint32W(hdc, kSample, 52, &extent)) {
    d.baseX = std::max(1, static_cast<int>((extent.cx / 26 + 1) / 2));
    d.baseY = std::max(1, static_cast<int>(tm.tmHeight));
  }
  SelectObject(hdc, old);
  ReleaseDC(nullptr, hdc);
}

RECT Map(const Dialog& d, int x, int y, int cx, int cy) {
  return RECT{MulDiv(x, d.baseX, 4), MulDiv(y, d.baseY, 8), MulDiv(x + cx, d.baseX, 4), MulDiv(y + cy, d.baseY, 8)};
}

HWND FirstTabStop(HWND dialog) { return GetNextDlgTabItem(dialog, nullptr, FALSE); }

HWND Create(HINSTANCE instance, const BYTE* data, std::size_t size, HWND owner, DLGPROC proc, LPARAM param,
            bool modal) {
  EnsureRegistered();
  Template t;
  if (!data || !Parse(data, size, &t)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!t.menu.empty()) {
    ce::kernel::NotImplemented("menus in dialog templates");
    return nullptr;
  }
  const DWORD style = t.header.style;
  const bool child = (style & WS_CHILD) != 0;
  if (child && !owner) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto d = std::make_shared<Dialog>();
  d->modal = modal;
  if (style & DS_SETFONT) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(t.pointSize, dpi > 0 ? dpi : 96, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::size_t n = std::min<std::size_t>(t.face.size(), LF_FACESIZE - 1);
    std::wmemcpy(lf.lfFaceName, t.face.data(), n);
    d->font = CreateFontIndirectW(&lf);
    d->ownFont = d->font != nullptr;
  }
  if (!d->font) d->font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  MeasureFont(*d);

  RECT r = Map(*d, t.header.x, t.header.y, t.header.cx, t.header.cy);
  // The template sizes the client area; a caption band comes on top of it.
  if (!child && (style & WS_CAPTION) == WS_CAPTION) r.bottom += GetSystemMetrics(SM_CYCAPTION);
  if (!child && (style & DS_CENTER)) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    r.left = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    r.top = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
  } else if (!child && owner && !(style & DS_ABSALIGN)) {
    POINT origin{0, 0};
    ClientToScreen(owner, &origin);
    r = RECT{r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
  }
  std::wstring className = kDialogClass;
  if (t.cls.isOrdinal) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!t.cls.name.empty()) className = t.cls.name;

  // The procedure is in place before the first message.
  HWND hwnd = CreateWindowExW(t.header.dwExtendedStyle, className.c_str(), t.title.c_str(), style & ~WS_VISIBLE, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, owner, nullptr, instance, nullptr);
  if (!hwnd) {
    if (d->ownFont) DeleteObject(d->font);
    return nullptr;
  }
  {
    std::lock_guard guard(g_lock);
    g_dialogs[hwnd] = d;
  }
  SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  if (style & DS_SETFONT) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(d->font), FALSE);

  for (const Item& item : t.items) {
    const DLGITEMTEMPLATE& h = item.header;
    const RECT cr = Map(*d, h.x, h.y, h.cx, h.cy);
    std::wstring title;
    const bool isStatic = ce::EqualsNoCase(item.className, kStaticClass);
    const DWORD staticType = h.style & SS_TYPEMASK;
    if (item.title.isOrdinal && !(isStatic && (staticType == SS_ICON || staticType == SS_BITMAP))) {
      ce::kernel::NotImplemented("control titles naming a resource ordinal (other than a static's picture)");
    } else {
      title = item.title.name;
    }
    HWND control = CreateWindowExW(h.dwExtendedStyle, item.className.c_str(), title.c_str(), h.style | WS_CHILD,
                                   cr.left, cr.top, cr.right - cr.left, cr.bottom - cr.top, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<UINT_PTR>(h.id)), instance,
                                   const_cast<BYTE*>(item.creationData));
    if (!IsWindow(hwnd)) return nullptr;  // destroyed by a control's creation
    if (!control) {
      if (style & DS_NOFAILCREATE) continue;
      DestroyWindow(hwnd);
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(d->font), FALSE);
    if (item.title.isOrdinal && isStatic) {
      // The static's picture is the module's icon or bitmap of that number;
      // a missing one leaves the control empty.
      const LPCWSTR name = MAKEINTRESOURCEW(item.title.ordinal);
      const HINSTANCE module = instance ? instance : GetModuleHandleW(nullptr);
      if (staticType == SS_ICON) {
        if (HICON icon = LoadIconW(module, name)) {
          d->icons.push_back(icon);
          SendMessageW(control, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
        }
      } else if (HBITMAP bitmap = LoadBitmapW(module, name)) {
        d->bitmaps.push_back(bitmap);
        SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
      }
    }
    if ((h.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && ce::EqualsNoCase(item.className, kButtonClass)) {
      d->defaultId = h.id;
    }
  }

  HWND first = FirstTabStop(hwnd);
  const LRESULT setFocus = SendMessageW(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(hwnd)) return nullptr;
  // The first tab stop takes the focus when WM_INITDIALOG says so; a dialog
  // that is not shown yet gives it when it is first activated.
  if (setFocus && first) {
    d->focus = first;
    if (!child && (modal || (style & WS_VISIBLE))) SetFocus(first);
  }
  if ((style & WS_VISIBLE) && !d->ended) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    if (IsWindow(hwnd)) UpdateWindow(hwnd);
  }
  return IsWindow(hwnd) ? hwnd : nullptr;
}

// The top-level window a modal dialog disables: the owner's own top level.
HWND TopLevelOf(HWND hwnd) {
  while (hwnd && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = GetParent(hwnd);
  return hwnd;
}

INT_PTR RunModal(HINSTANCE instance, const BYTE* data, std::size_t size, HWND owner, DLGPROC proc, LPARAM param) {
  if (owner && !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  owner = TopLevelOf(owner);
  const bool disableOwner = owner && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  HWND hwnd = Create(instance, data, size, owner, proc, param, true);
  auto d = Find(hwnd);
  INT_PTR result = -1;
  if (hwnd && d) {
    if (!d->ended) {
      ShowWindow(hwnd, SW_SHOWNORMAL);
      if (IsWindow(hwnd)) UpdateWindow(hwnd);
    }
    MSG msg{};
    while (!d->ended && IsWindow(hwnd)) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // for the program's own loop
        break;
      }
      if (got == -1) break;
      if (!IsDialogMessageW(hwnd, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    result = d->ended ? d->result.load() : 0;
  }
  // The owner comes back before the dialog goes, so it takes the activation.
  if (disableOwner) EnableWindow(owner, TRUE);
  if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
  if (disableOwner && IsWindowVisible(owner)) SetActiveWindow(owner);
  return result;
}

// Templates by module and name.
struct TemplateKey {
  HINSTANCE module;
  std::wstring name;  // "#<id>" for an ordinal
  bool operator<(const TemplateKey& o) const { return module != o.module ? module < o.module : name < o.name; }
};
std::map<TemplateKey, std::vector<BYTE>>& Templates() {
  static std::map<TemplateKey, std::vector<BYTE>> templates;
  return templates;
}
TemplateKey KeyOf(HINSTANCE module, LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return {module, L"#" + std::to_wstring(LOWORD(reinterpret_cast<ULONG_PTR>(name)))};
  std::wstring upper = name;
  for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  return {module, upper};
}

// Keyboard moves. A child page made by CreateDialog*ParamW inside a dialog
// is not a stop of its own: its controls take their place among the
// dialog's, in order.
bool IsPage(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) && Find(hwnd) != nullptr; }

// A control can take the focus when it and its pages up to the dialog are
// visible and enabled, by their own styles: a dialog's controls are looked
// at before the dialog is shown.
bool CanTakeFocus(HWND dialog, HWND hwnd) {
  for (; hwnd && hwnd != dialog; hwnd = GetParent(hwnd)) {
    const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if (!(style & WS_VISIBLE) || (style & WS_DISABLED)) return false;
  }
  return hwnd == dialog;
}

void AddControls(HWND parent, std::vector<HWND>& list, int depth) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (depth < 8 && IsPage(c)) {
      AddControls(c, list, depth + 1);
    } else {
      list.push_back(c);
    }
  }
}

std::vector<HWND> Controls(HWND dialog) {
  std::vector<HWND> list;
  AddControls(dialog, list, 0);
  return list;
}

// The control of the dialog that holds `hwnd` (itself or an ancestor).
HWND ControlOf(HWND dialog, HWND hwnd) {
  const auto list = Controls(dialog);
  while (hwnd && hwnd != dialog && std::find(list.begin(), list.end(), hwnd) == list.end()) hwnd = GetParent(hwnd);
  return hwnd == dialog ? nullptr : hwnd;
}

void FocusControl(HWND dialog, HWND control) {
  if (!control) return;
  if (auto d = Find(dialog)) d->focus = control;
  SetFocus(control);
}

void PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button && !IsWindowEnabled(button)) return;
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace

void AddDialogTemplate(HINSTANCE module, LPCWSTR name, std::vector<BYTE> bytes) {
  std::lock_guard guard(g_lock);
  Templates()[KeyOf(module, name)] = std::move(bytes);
}

std::optional<std::vector<BYTE>> FindDialogTemplate(HINSTANCE module, LPCWSTR name) {
  if (!name) return std::nullopt;
  {
    std::lock_guard guard(g_lock);
    const auto it = Templates().find(KeyOf(module, name));
    if (it != Templates().end()) return it->second;
  }
  // The module's own RT_DIALOG resource, read within its size.
  HRSRC found = FindResourceW(module, name, RT_DIALOG);
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
  if (!bytes) return std::nullopt;
  return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
}

namespace {

// A dialog's own font and record go with its window, whatever its
// procedure answers to WM_DESTROY.
void Forget(HWND dialog) {
  std::shared_ptr<Dialog> d;
  {
    std::lock_guard guard(g_lock);
    const auto it = g_dialogs.find(dialog);
    if (it == g_dialogs.end()) return;
    d = it->second;
    g_dialogs.erase(it);
  }
  if (d->ownFont) {
    DeleteObject(d->font);
    d->ownFont = false;
  }
  for (HICON icon : d->icons) DestroyIcon(icon);
  for (HBITMAP bitmap : d->bitmaps) DeleteObject(bitmap);
  d->icons.clear();
  d->bitmaps.clear();
}

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hwnd, DWLP_DLGPROC));
  if (proc) {
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
    const INT_PTR handled = proc(hwnd, message, wParam, lParam);
    if (message == WM_DESTROY) Forget(hwnd);
    if (!IsWindow(hwnd) || message == WM_INITDIALOG) return handled;
    if (handled) {
      // These answer with the procedure's own result; the others through
      // DWLP_MSGRESULT.
      const bool direct = message == WM_INITDIALOG || (message >= kFirstCtlColor && message <= kLastCtlColor);
      return direct ? handled : GetWindowLongPtrW(hwnd, DWLP_MSGRESULT);
    }
  }
  if (message == WM_INITDIALOG) return TRUE;
  return DefDlgProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterDialogClass() {
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = DialogWindowProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kDialogClass;
  RegisterClassW(&wc);
}

}  // namespace ce::controls

using namespace ce::controls;

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto d = Find(dialog);
  switch (message) {
    case WM_CLOSE:
      PressButton(dialog, IDCANCEL);
      return 0;
    case WM_ACTIVATE:
      if (!d) break;
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(dialog, focus)) d->focus = focus;
      } else {
        HWND focus = GetFocus();
        if (!focus || !IsChild(dialog, focus)) {
          HWND target = d->focus && IsWindow(d->focus) && IsChild(dialog, d->focus) ? d->focus : FirstTabStop(dialog);
          if (target) SetFocus(target);
        }
      }
      return 0;
    case WM_SETFOCUS:
      if (d) {
        HWND target = d->focus && IsWindow(d->focus) && IsChild(dialog, d->focus) ? d->focus : FirstTabStop(dialog);
        if (target) SetFocus(target);
      }
      return 0;
    case WM_GETFONT:
      return d ? reinterpret_cast<LRESULT>(d->font) : 0;
    case WM_SETFONT:
      return 0;
    case DM_GETDEFID:
      return d ? MAKELONG(d->defaultId, DC_HASDEFID) : 0;
    case DM_SETDEFID:
      if (d) d->defaultId = static_cast<WORD>(wParam);
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                           : GetNextDlgTabItem(dialog, ControlOf(dialog, GetFocus()), wParam ? TRUE : FALSE);
      if (target && IsChild(dialog, target)) FocusControl(dialog, target);
      return 0;
    }
    case WM_DESTROY:
      Forget(dialog);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(dialog, message, wParam, lParam);
}

// ---- public calls ----

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC dialogProc,
                                LPARAM initParam) {
  // A template in memory carries no size: it is read as far as it says.
  return RunModal(instance, reinterpret_cast<const BYTE*>(dialogTemplate), SIZE_MAX, owner, dialogProc, initParam);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
  const auto bytes = FindDialogTemplate(instance, templateName);
  if (!bytes) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  return RunModal(instance, bytes->data(), bytes->size(), owner, dialogProc, initParam);
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC dialogProc,
                                LPARAM initParam) {
  return Create(instance, reinterpret_cast<const BYTE*>(dialogTemplate), SIZE_MAX, owner, dialogProc, initParam, false);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM initParam) {
  const auto bytes = FindDialogTemplate(instance, templateName);
  if (!bytes) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return Create(instance, bytes->data(), bytes->size(), owner, dialogProc, initParam, false);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  auto d = Find(dialog);
  if (!d) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  d->result = result;
  d->ended = true;
  ShowWindow(dialog, SW_HIDE);
  PostMessageW(dialog, WM_NULL, 0, 0);  // wakes the modal loop
  return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!dialog || !msg || !msg->hwnd) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    // Keys typed ahead were addressed to the control focused when they
    // came; they move on from the control focused now.
    HWND target = GetFocus();
    if (!target || !IsChild(dialog, target)) target = msg->hwnd;
    const LRESULT code = SendMessageW(target, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    const bool wantsAll = (code & DLGC_WANTMESSAGE) != 0;
    HWND current = ControlOf(dialog, target);
    switch (msg->wParam) {
      case VK_TAB:
        if (wantsAll || (code & DLGC_WANTTAB)) break;
        FocusControl(dialog, GetNextDlgTabItem(dialog, current, (GetKeyState(VK_SHIFT) & 0x8000) ? TRUE : FALSE));
        return TRUE;
      case VK_LEFT:
      case VK_UP:
      case VK_RIGHT:
      case VK_DOWN: {
        if (wantsAll || (code & DLGC_WANTARROWS)) break;
        const BOOL back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
        HWND next = GetNextDlgGroupItem(dialog, current, back);
        if (next && next != current) {
          FocusControl(dialog, next);
          // Moving onto an automatic radio button chooses it.
          if ((SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) &&
              (GetWindowLongW(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
            SendMessageW(next, BM_CLICK, 0, 0);
          }
        }
        return TRUE;
      }
      case VK_RETURN: {
        if (wantsAll) break;
        int id = IDOK;
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
          SendMessageW(target, BM_CLICK, 0, 0);
          return TRUE;
        }
        const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
        if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
        PressButton(dialog, id);
        return TRUE;
      }
      case VK_ESCAPE:
        if (wantsAll) break;
        PressButton(dialog, IDCANCEL);
        return TRUE;
      default:
        break;
    }
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  auto d = Find(dialog);
  if (!d || !rect) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = RECT{MulDiv(rect->left, d->baseX, 4), MulDiv(rect->top, d->baseY, 8), MulDiv(rect->right, d->baseX, 4),
               MulDiv(rect->bottom, d->baseY, 8)};
  return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  const auto list = Controls(dialog);
  if (list.empty()) return nullptr;
  const auto n = static_cast<std::ptrdiff_t>(list.size());
  auto at = std::find(list.begin(), list.end(), control);
  std::ptrdiff_t start = at == list.end() ? (previous ? 0 : n - 1) : at - list.begin();
  for (std::ptrdiff_t step = 1; step <= n; ++step) {
    const std::ptrdiff_t i = ((start + (previous ? -step : step)) % n + n) % n;
    HWND c = list[static_cast<std::size_t>(i)];
    if ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && CanTakeFocus(dialog, c)) return c;
  }
  return at == list.end() ? nullptr : control;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  // A group is made of siblings: the control's own page or dialog.
  if (!control || !IsChild(dialog, control)) return nullptr;
  std::vector<HWND> list;
  for (HWND c = GetWindow(GetParent(control), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) list.push_back(c);
  auto at = std::find(list.begin(), list.end(), control);
  if (at == list.end()) return nullptr;
  // The group: from the control with WS_GROUP at or before it, to the next.
  std::size_t first = static_cast<std::size_t>(at - list.begin());
  while (first > 0 && !(GetWindowLongW(list[first], GWL_STYLE) & WS_GROUP)) --first;
  std::size_t last = static_cast<std::size_t>(at - list.begin());
  while (last + 1 < list.size() && !(GetWindowLongW(list[last + 1], GWL_STYLE) & WS_GROUP)) ++last;
  const auto n = static_cast<std::ptrdiff_t>(last - first + 1);
  const std::ptrdiff_t pos = (at - list.begin()) - static_cast<std::ptrdiff_t>(first);
  for (std::ptrdiff_t step = 1; step < n; ++step) {
    const std::ptrdiff_t i = ((pos + (previous ? -step : step)) % n + n) % n;
    HWND c = list[first + static_cast<std::size_t>(i)];
    if (CanTakeFocus(dialog, c)) return c;
  }
  return control;
}

HWND GetDlgItem(HWND dialog, int id) {
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(c) == id) return c;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND control) { return static_cast<int>(GetWindowLongPtrW(control, GWL_ID)); }

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount) {
  if (!text || maxCount <= 0) return 0;
  text[0] = L'\0';
  HWND control = GetDlgItem(dialog, id);
  if (!control) return 0;
  const int n = GetWindowTextW(control, text, maxCount);
  text[maxCount - 1] = L'\0';
  return static_cast<UINT>(std::clamp(n, 0, maxCount - 1));
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  wchar_t text[64];
  if (!GetDlgItemTextW(dialog, id, text, 64)) return 0;
  const wchar_t* p = text;
  while (*p == L' ' || *p == L'\t') ++p;
  bool negative = false;
  if (isSigned && (*p == L'-' || *p == L'+')) negative = *p++ == L'-';
  if (*p < L'0' || *p > L'9') return 0;
  unsigned long long value = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    value = value * 10 + static_cast<unsigned>(*p - L'0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  if (*p) return 0;
  UINT result = 0;
  if (isSigned) {
    const long long v = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    if (v < INT_MIN || v > INT_MAX) return 0;
    result = static_cast<UINT>(static_cast<int>(v));
  } else {
    result = static_cast<UINT>(value);
  }
  if (translated) *translated = TRUE;
  return result;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  const std::wstring text = isSigned ? std::to_wstring(static_cast<int>(value)) : std::to_wstring(value);
  return SetDlgItemTextW(dialog, id, text.c_str());
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND button = GetDlgItem(dialog, id);
  if (!button) return FALSE;
  SendMessageW(button, BM_SETCHECK, check, 0);
  return TRUE;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  bool found = false;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(c);
    if (id < first || id > last) continue;
    SendMessageW(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    found |= id == check;
  }
  if (!found) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return found ? TRUE : FALSE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button ? static_cast<UINT>(SendMessageW(button, BM_GETCHECK, 0, 0)) : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageW(control, message, wParam, lParam) : 0;
}
