#include "tool_logic.h"

#include <iterator>

#include "tool_host.h"

namespace tessivo {

namespace {

ToolHost* g_host = nullptr;

// Timers the dialogs' WM_DESTROY clears (the reminder player's ids).
constexpr UINT_PTR kDialogTimers[] = {103, 2000, 3000};

}  // namespace

void SetToolHost(ToolHost* host) { g_host = host; }
ToolHost* GetToolHost() { return g_host; }

CToolLogic::CToolLogic(UINT titleId) : m_titleId(titleId) {}

CToolLogic::~CToolLogic() = default;

void CToolLogic::StampOpenTime() {
  if (m_titleId != 0) {
    m_title[0] = 0;
    if (g_host != nullptr) LoadStringW(g_host->Module(), m_titleId, m_title, static_cast<int>(std::size(m_title)));
  }
  CDialogBase::StampOpenTime();
}

bool CToolLogic::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_COMMAND && LOWORD(wParam) == kCmdCancel) {
    Cancel(hwnd);
    *result = TRUE;
    return true;
  }
  return CDialogBase::WindowMessage(hwnd, message, wParam, lParam, result);
}

void CToolLogic::OnDestroy(HWND hwnd) {
  for (UINT_PTR id : kDialogTimers) KillTimer(hwnd, id);
}

bool CToolLogic::IsDoneCommand(int id) const { return id == kCmdDone; }

INT_PTR CToolLogic::RunTemplate(UINT templateId, HWND parent, DLGPROC procedure) {
  if (g_host == nullptr) return -1;
  // The parent may come from another program's message: only a live window
  // is taken.
  if (parent == nullptr || !IsWindow(parent)) parent = g_host->BarWindow();
  return suite::RunDialogTemplate(g_host->Module(), templateId, parent, procedure);
}

HWND SetUpToolWindow(HWND hwnd, const suite::DialogSetup& setup) {
  HWND bar = suite::SetUpDialog(hwnd, g_host != nullptr ? g_host->Module() : nullptr, setup);
  SetForegroundWindow(hwnd);
  return bar;
}

int CToolLogic::AddListString(HWND dialog, int id, LPCWSTR text) {
  return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

void CToolLogic::SetListSelection(HWND dialog, int id, int index) {
  SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int CToolLogic::GetListSelection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

int CToolLogic::FindListString(HWND dialog, int id, LPCWSTR text) {
  return static_cast<int>(
      SendDlgItemMessageW(dialog, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
}

void CToolLogic::ResetList(HWND dialog, int id) { SendDlgItemMessageW(dialog, id, CB_RESETCONTENT, 0, 0); }

BOOL CToolLogic::GetListText(HWND dialog, int id, LPWSTR buffer, int capacity) {
  const int index = GetListSelection(dialog, id);
  if (index < 0 || capacity <= 0) return FALSE;
  const auto length = static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0));
  if (length < 0 || length >= capacity) return FALSE;
  SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
  buffer[length] = 0;
  return TRUE;
}

int ShowToolMessage(HWND owner, UINT captionId, UINT textId, UINT type) {
  if (g_host == nullptr) return 0;
  WCHAR caption[64] = {};
  WCHAR text[MAX_PATH] = {};
  if (LoadStringW(g_host->Module(), captionId, caption, static_cast<int>(std::size(caption))) <= 0 ||
      LoadStringW(g_host->Module(), textId, text, static_cast<int>(std::size(text))) <= 0) {
    return 0;
  }
  return MessageBoxW(owner, text, caption, type);
}

int ToolHeaderHeight() {
  if (g_host == nullptr) return 0;
  const HeaderLook look = g_host->Header();
  BITMAP info{};
  if (look.bitmap == nullptr || GetObjectW(look.bitmap, sizeof(info), &info) == 0) return 0;
  return info.bmHeight;
}

void PaintToolHeader(HDC dc, HWND hwnd, LPCWSTR title) {
  if (g_host == nullptr) return;
  const HeaderLook look = g_host->Header();
  RECT client;
  GetClientRect(hwnd, &client);
  BITMAP info{};
  int height = 0;
  if (look.bitmap != nullptr && GetObjectW(look.bitmap, sizeof(info), &info) != 0 && info.bmWidth > 0) {
    height = info.bmHeight;
    HDC source = CreateCompatibleDC(dc);
    if (source != nullptr) {
      HGDIOBJ old = SelectObject(source, look.bitmap);
      StretchBlt(dc, 0, 0, client.right, height, source, 0, 0, info.bmWidth, height, SRCCOPY);
      SelectObject(source, old);
      DeleteDC(source);
    }
  }
  if (title == nullptr || title[0] == 0 || height == 0) return;
  RECT band = {0, 0, client.right, height};
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, look.titleColour);
  HGDIOBJ oldFont = look.font != nullptr ? SelectObject(dc, look.font) : nullptr;
  DrawTextW(dc, title, -1, &band, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (oldFont != nullptr) SelectObject(dc, oldFont);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}

void PaintCaptionHeader(HDC dc, HWND hwnd) {
  WCHAR caption[64] = {};
  GetWindowTextW(hwnd, caption, static_cast<int>(std::size(caption)));
  PaintToolHeader(dc, hwnd, caption);
}

}  // namespace tessivo
