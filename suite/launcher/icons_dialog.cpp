#include "icons_dialog.h"

#include <string>
#include <vector>

#include "bar_settings.h"
#include "ce/crt.h"
#include "common/ui_helpers.h"
#include "launcher_state.h"
#include "obj_bar.h"
#include "obj_icons.h"
#include "program_list.h"

namespace tessivo {
namespace {

constexpr int kAreaControl = 1042;
constexpr int kProgramList = 1000;
constexpr int kNameText = 1007;
constexpr int kPathText = 1008;

bool SlotSelected() { return State().tappedIndex >= 0 && State().tappedIndex < kIconItemCount; }

}  // namespace

BOOL CIconsDialog::OnInitDialog(HWND hwnd) {
  SetUpToolWindow(hwnd, suite::DialogSetup{162, true, kToolDialogFlags});
  // A new window each opening: its area is subclassed afresh (the dialog
  // object outlives the window, and WM_DESTROY does not reach it).
  m_area = GetDlgItem(hwnd, kAreaControl);
  m_previousProc = nullptr;
  m_areaHasFocus = false;
  // The area shows the bar's icons at the bar's own size: it spans the
  // dialog, whatever the template's dialog units come to at this DPI.
  RECT client;
  RECT area;
  if (m_area != nullptr && GetClientRect(hwnd, &client) && GetWindowRect(m_area, &area)) {
    POINT top = {area.left, area.top};
    ScreenToClient(hwnd, &top);
    SetWindowPos(m_area, nullptr, 0, top.y, client.right, area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  PostMessageW(hwnd, kFinishOpening, 0, 0);
  return TRUE;
}

void CIconsDialog::FinishOpening(HWND hwnd) {
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  LoadTexts();
  // The bar rebuilds the program list and reloads its items.
  if (HWND bar = Bar().Window()) {
    SendMessageW(bar, WM_InitExeLists, 0, 0);
  } else {
    Bar().RebuildProgramList();
  }
  Icons().ResetSelection();
  State().tappedIndex = 0;
  if (m_area != nullptr && m_previousProc == nullptr) {
    m_previousProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(m_area, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&AreaProc)));
  }
  const CProgramList& list = ProgramList();
  SendDlgItemMessageW(hwnd, kProgramList, LB_RESETCONTENT, 0, 0);
  m_entries = 0;
  for (int i = 0; i < list.Count(); ++i) {
    SendDlgItemMessageW(hwnd, kProgramList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list.Entry(i).name.c_str()));
    ++m_entries;
  }
  ShowSlotProgram(hwnd);
  SetFocus(GetDlgItem(hwnd, kProgramList));
  if (m_area != nullptr) InvalidateRect(m_area, nullptr, TRUE);
  SetCursor(previous);
}

void CIconsDialog::ShowSlotProgram(HWND hwnd) {
  if (!SlotSelected()) return;
  const std::wstring& name = BarSettings().Item(State().tappedIndex).Name();
  const LRESULT index = SendDlgItemMessageW(hwnd, kProgramList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                            reinterpret_cast<LPARAM>(name.c_str()));
  SendDlgItemMessageW(hwnd, kProgramList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

BOOL CIconsDialog::ChooseProgram(HWND hwnd, LPCWSTR name) {
  if (!SlotSelected() || name == nullptr) return FALSE;
  CIconItem& slot = BarSettings().Item(State().tappedIndex);
  if (_wcsicmp(slot.Name().c_str(), name) == 0) return FALSE;
  CProgramList& list = ProgramList();
  const int entry = list.FindByName(name);
  if (entry < 0) return FALSE;
  if (list.Entry(entry).name == list.CustomLinkText()) {
    CCustomLinkDialog* link = CCustomLinkDialog::Instance();
    link->Show(hwnd);
    // Whatever the link dialog ended with, the slot takes what it holds.
    slot.Set(link->path, link->parameters, list.CustomLinkText().c_str(), nullptr, 0);
    slot.AdoptIcon(list.FindIcon(link->path, link->parameters));
  } else {
    slot.SetFromEntry(entry);
  }
  if (m_area != nullptr) InvalidateRect(m_area, nullptr, TRUE);
  return TRUE;
}

void CIconsDialog::PaintArea(HWND area) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(area, &ps);
  if (dc == nullptr) return;
  RECT client;
  GetClientRect(area, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Icons().Draw(dc, 0, 0, BarSettings().date != 0, TRUE, 1, TRUE, TRUE);
  if (m_areaHasFocus) {
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left + 1, client.top + 1, client.right, client.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
  }
  EndPaint(area, &ps);
  HWND dialog = GetParent(area);
  WCHAR name[MAX_PATH] = {};
  WCHAR details[2 * MAX_PATH + 4] = {};
  if (SlotSelected()) {
    const CIconItem& item = BarSettings().Item(State().tappedIndex);
    wcsncpy(name, item.Name().c_str(), MAX_PATH - 1);
    std::wstring text = item.Path();
    if (item.HasParameters()) text += L"\r\n" + item.Parameters();
    wcsncpy(details, text.c_str(), 2 * MAX_PATH + 3);
  } else {
    LoadStringW(Module(), 121, name, MAX_PATH);
  }
  SetDlgItemTextW(dialog, kNameText, name);
  SetDlgItemTextW(dialog, kPathText, details);
}

LRESULT CALLBACK CIconsDialog::AreaProc(HWND area, UINT message, WPARAM wParam, LPARAM lParam) {
  CIconsDialog* self = Existing();
  if (self == nullptr) return DefWindowProcW(area, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      self->PaintArea(area);
      return 0;
    case WM_SETFOCUS:
      self->m_areaHasFocus = true;
      InvalidateRect(area, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN: {
      // A tap picks the slot under the pen.
      const int code =
          Icons().ButtonClick(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), FALSE);
      if (code >= 0 && code < kIconItemCount) {
        State().tappedIndex = code;
        self->ShowSlotProgram(GetParent(area));
      }
      SetFocus(area);
      InvalidateRect(area, nullptr, TRUE);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_LEFT || wParam == VK_RIGHT) {
        const BOOL moved = wParam == VK_LEFT ? Icons().SelectPrevColumn() : Icons().SelectNextColumn();
        if (moved) {
          self->ShowSlotProgram(GetParent(area));
          InvalidateRect(area, nullptr, TRUE);
        }
        return 0;
      }
      if (wParam == VK_UP || wParam == VK_DOWN) {
        self->m_areaHasFocus = false;
        SetFocus(GetDlgItem(GetParent(area), kProgramList));
        InvalidateRect(area, nullptr, TRUE);
        return 0;
      }
      break;
    default:
      break;
  }
  return self->m_previousProc != nullptr ? CallWindowProcW(self->m_previousProc, area, message, wParam, lParam)
                                         : DefWindowProcW(area, message, wParam, lParam);
}

bool CIconsDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == kFinishOpening) {
    FinishOpening(hwnd);
    *result = TRUE;
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == kProgramList && HIWORD(wParam) == LBN_SELCHANGE) {
    const LRESULT index = SendDlgItemMessageW(hwnd, kProgramList, LB_GETCURSEL, 0, 0);
    const LRESULT length = SendDlgItemMessageW(hwnd, kProgramList, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (index >= 0 && length >= 0 && length < MAX_PATH) {
      WCHAR name[MAX_PATH] = {};
      SendDlgItemMessageW(hwnd, kProgramList, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(name));
      ChooseProgram(hwnd, name);
    }
    *result = TRUE;
    return true;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    Cancel(hwnd);
    *result = TRUE;
    return true;
  }
  return CDialogWindow::WindowMessage(hwnd, message, wParam, lParam, result);
}

void CIconsDialog::OnOK(HWND hwnd, int id) {
  if (id == IDCANCEL) {
    Cancel(hwnd);
    return;
  }
  CBarSettings& settings = BarSettings();
  LineRules::Finish(settings);
  settings.SaveIcons();
  EndDialog(hwnd, 0);
}

}  // namespace tessivo
