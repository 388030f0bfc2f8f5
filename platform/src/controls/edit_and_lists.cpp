#include "controls/edit_and_lists.h"

#include "ce/commctrl.h"
#include "ce/winbase.h"

namespace ce::controls {
namespace detail {

void Notify(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (!parent) return;
  const WORD id = static_cast<WORD>(GetWindowLongW(control, GWL_ID));
  SendMessageW(parent, WM_COMMAND, MAKELONG(id, code), reinterpret_cast<LPARAM>(control));
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  const RECT sides[] = {{rect.left, rect.top, rect.right, rect.top + 1},
                        {rect.left, rect.bottom - 1, rect.right, rect.bottom},
                        {rect.left, rect.top, rect.left + 1, rect.bottom},
                        {rect.right - 1, rect.top, rect.right, rect.bottom}};
  for (const RECT& side : sides) FillRect(dc, &side, brush);
  DeleteObject(brush);
}

HFONT SystemFont() { return static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

int LineHeightOf(HDC measure) {
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(measure, &metrics) || metrics.tmHeight <= 0) return 12;
  return metrics.tmHeight;
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

bool KeyIsDown(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace detail

namespace {

void Register(LPCWSTR name, WNDPROC proc, UINT style) {
  WNDCLASSW wc{};
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hCursor = nullptr;
  wc.lpszClassName = name;
  WNDCLASSW existing{};
  if (GetClassInfoW(nullptr, name, &existing)) return;
  RegisterClassW(&wc);
}

}  // namespace

void RegisterEditAndLists() {
  Register(L"EDIT", detail::EditProc, 0);
  Register(L"CAPEDIT", detail::EditProc, 0);
  Register(L"LISTBOX", detail::ListBoxProc, CS_DBLCLKS);
  Register(L"COMBOBOX", detail::ComboBoxProc, 0);
  Register(UPDOWN_CLASSW, detail::UpDownProc, 0);
}

}  // namespace ce::controls
