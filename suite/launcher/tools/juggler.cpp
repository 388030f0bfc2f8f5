#include "juggler.h"

#include <iterator>

#include "ce/aygshell.h"
#include "ce/crt.h"
#include "ce/shellapi.h"
#include "common/iss_utility.h"
#include "common/string_helper.h"
#include "common/ui_helpers.h"
#include "tool_host.h"

namespace tessivo {

namespace {

constexpr UINT kMenuBar = 166;
constexpr UINT kStrRow = 40043;
constexpr int kRowHeight = 18;

// Window titles that are not programs the user switches between.
constexpr const wchar_t* kSkippedTitles[] = {L"Tray", L"Tessivo", L"MS_SIPBUTTON", L"Phone"};

struct OwnIcon {
  const wchar_t* title;
  int resource;
};
// The organiser's three windows get the bar's own pictures.
constexpr OwnIcon kOrganiserIcons[] = {{L"Tasks", 31}, {L"Contacts", 30}, {L"Calendar", 28}};

BOOL CALLBACK Consider(HWND window, LPARAM context) {
  return reinterpret_cast<CJugglerLogic*>(context)->ConsiderWindow(window) ? TRUE : FALSE;
}

bool SameText(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

}  // namespace

CJugglerLogic::CJugglerLogic() : CToolLogic(0) {
  LOGFONTW font{};
  font.lfHeight = -suite::ScaleByDpi(18);
  font.lfWeight = FW_BOLD;
  lstrcpyW(font.lfFaceName, L"Nina");
  m_font = CreateFontIndirectW(&font);
}

CJugglerLogic::~CJugglerLogic() {
  ClearEntries();
  if (m_font != nullptr) DeleteObject(m_font);
}

void CJugglerLogic::ClearEntries() {
  for (int i = 0; i < m_count; ++i) {
    if (m_entries[i].icon != nullptr) DestroyIcon(m_entries[i].icon);
    m_entries[i] = JugglerEntry{};
  }
  m_count = 0;
}

void CJugglerLogic::Collect() {
  ClearEntries();
  EnumWindows(Consider, reinterpret_cast<LPARAM>(this));
  for (int i = 0; i < m_count; ++i) {
    for (int j = 0; j < i; ++j) {
      if (lstrcmpW(m_entries[i].title, m_entries[j].title) == 0) {
        m_entries[i].firstOfTitle = false;
        break;
      }
    }
  }
  // The list may have shrunk under the selection.
  if (SelectedEntry() >= m_count) {
    m_page = 0;
    m_selection = 0;
  }
}

bool CJugglerLogic::ConsiderWindow(HWND window) {
  if (m_count >= kJugglerMaxEntries) return false;
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
  if (!(style & WS_VISIBLE) || (style & WS_CHILD) || (style & WS_POPUP) || (exStyle & WS_EX_TOOLWINDOW)) return true;
  if (GetParent(window) != nullptr) return true;

  WCHAR title[256] = {};
  GetWindowTextW(window, title, static_cast<int>(std::size(title)));
  WCHAR module[MAX_PATH] = {};
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId)) {
    GetModuleFileNameW(reinterpret_cast<HMODULE>(process), module, MAX_PATH);
    CloseHandle(process);
  }
  if (title[0] == 0 && SameText(module, L"\\Windows\\calc.exe")) lstrcpyW(title, L"Calculator");
  if (title[0] == 0) return true;
  for (const wchar_t* skipped : kSkippedTitles) {
    if (lstrcmpW(title, skipped) == 0) return true;
  }
  ToolHost* host = GetToolHost();
  if (lstrcmpW(title, L"ActiveSync") == 0 && (host == nullptr || host->Options().CWA == 0)) return true;

  JugglerEntry& entry = m_entries[m_count++];
  entry.window = window;
  lstrcpynW(entry.title, title, static_cast<int>(std::size(entry.title)));
  entry.firstOfTitle = true;
  SHFILEINFOW info{};
  if (module[0] != 0 && SHGetFileInfoW(module, 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON)) {
    entry.icon = info.hIcon;
  }
  if (SameText(module, L"\\Windows\\poutlook.exe") && host != nullptr) {
    for (const OwnIcon& own : kOrganiserIcons) {
      if (lstrcmpW(title, own.title) != 0) continue;
      const int size = suite::ScaleByDpi(16);
      auto icon = static_cast<HICON>(
          LoadImageW(host->Module(), MAKEINTRESOURCEW(own.resource), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
      if (icon != nullptr) {
        if (entry.icon != nullptr) DestroyIcon(entry.icon);
        entry.icon = icon;
      }
    }
  }
  return m_count < kJugglerMaxEntries;
}

int CJugglerLogic::RowsOnPage() const {
  const int left = m_count - m_page * kJugglerRowsPerPage;
  if (left <= 0) return 0;
  return left > kJugglerRowsPerPage ? kJugglerRowsPerPage + 1 : left;
}

void CJugglerLogic::NextPage() {
  if (RowsOnPage() > kJugglerRowsPerPage) ++m_page;
  m_selection = 0;
}

void CJugglerLogic::SwitchTo(int entry) {
  if (entry < 0 || entry >= m_count) return;
  SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(m_entries[entry].window) | 1));
}

void CJugglerLogic::CloseWindow(HWND window) {
  WCHAR className[128] = {};
  GetClassNameW(window, className, static_cast<int>(std::size(className)));
  // The desktop (here the home screen's window, whose class is the
  // platform's desktop class) and the file explorer are never closed.
  const bool desktop = lstrcmpW(className, L"DesktopExplorerWindow") == 0 || lstrcmpW(className, L"Explore") == 0 ||
                       lstrcmpW(className, DESKTOP_WINDOW_CLASS) == 0;
  HWND dialog = CJugglerDialog::Existing() != nullptr ? CJugglerDialog::Existing()->Window() : nullptr;
  HWND parent = dialog != nullptr ? GetParent(dialog) : nullptr;
  ToolHost* host = GetToolHost();
  const int barWidth = host != nullptr ? host->BarWidth() : 0;
  const LPARAM tap = MAKELPARAM(barWidth - suite::ScaleByDpi(20), 0);
  if (!desktop) {
    SetForegroundWindow(window);
    Sleep(50);
  }
  if (parent != nullptr) {
    SendMessageW(parent, WM_LBUTTONDOWN, MK_LBUTTON, tap);
    SendMessageW(parent, WM_LBUTTONUP, 0, tap);
  }
  if (desktop) return;
  Sleep(50);
  SendMessageW(window, WM_CLOSE, 0, 0);
  if (IsWindow(window)) SendMessageW(window, WM_COMMAND, IDOK, 0);
}

void CJugglerLogic::CloseApp(int entry) {
  if (entry < 0 || entry >= m_count) return;
  const HWND window = m_entries[entry].window;
  WCHAR title[128];
  lstrcpyW(title, m_entries[entry].title);
  Collect();
  bool listed = false;
  for (int i = 0; i < m_count; ++i) listed = listed || m_entries[i].window == window;
  if (!listed) {
    CloseWindow(window);
    return;
  }
  // Collect the windows first: closing changes the list.
  HWND targets[kJugglerMaxEntries];
  int n = 0;
  for (int i = 0; i < m_count; ++i) {
    if (lstrcmpW(m_entries[i].title, title) == 0) targets[n++] = m_entries[i].window;
  }
  for (int i = 0; i < n; ++i) CloseWindow(targets[i]);
}

void CJugglerLogic::OnPaint(HDC dc, HWND hwnd) {
  RECT client;
  GetClientRect(hwnd, &client);
  const int width = client.right;
  const int height = client.bottom;
  if (width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP surface = CreateCompatibleBitmap(dc, width, height);
  if (memory == nullptr || surface == nullptr) {
    if (surface != nullptr) DeleteObject(surface);
    if (memory != nullptr) DeleteDC(memory);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(memory, surface);
  COLORREF left = RGB(0, 0, 0);
  COLORREF right = RGB(0, 0, 0);
  if (GetToolHost() != nullptr) GetToolHost()->GradientColours(&left, &right);
  suite::IssUtility::GetInstance()->DrawGradient(memory, 0, 0, width, height, left, right);
  // The rows stand under the bar's header with the dialog's caption.
  PaintCaptionHeader(memory, hwnd);
  const int top = ToolHeaderHeight();
  // The rows' text in black or white, whichever stands out more from the
  // gradient's middle: black rows on a dark gradient could not be read.
  const int shade = (GetRValue(left) + GetRValue(right)) * 299 + (GetGValue(left) + GetGValue(right)) * 587 +
                    (GetBValue(left) + GetBValue(right)) * 114;
  const COLORREF text = shade < 2 * 128 * 1000 ? RGB(255, 255, 255) : RGB(0, 0, 0);
  SetBkMode(memory, TRANSPARENT);
  HGDIOBJ oldFont = m_font != nullptr ? SelectObject(memory, m_font) : nullptr;
  WCHAR format[32] = {};
  if (GetToolHost() == nullptr ||
      LoadStringW(GetToolHost()->Module(), kStrRow, format, static_cast<int>(std::size(format))) <= 0) {
    lstrcpyW(format, L"%d  %s");
  }
  // The current page's rows (later pages too, not only the first).
  const int rowHeight = suite::ScaleByDpi(kRowHeight);
  const int rows = RowsOnPage();
  const int iconSize = suite::ScaleByDpi(16);
  for (int row = 0; row < rows; ++row) {
    RECT band = {0, top + row * rowHeight, width, top + (row + 1) * rowHeight};
    const bool selected = row == m_selection;
    if (selected) {
      HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
      FillRect(memory, &band, brush);
      DeleteObject(brush);
    }
    SetTextColor(memory, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
    const bool more = row == kJugglerRowsPerPage;
    const JugglerEntry* entry = more ? nullptr : &m_entries[m_page * kJugglerRowsPerPage + row];
    WCHAR line[200] = {};
    suite::CStringHelper::GetInstance()->Format(line, format, row + 1, more ? L"More..." : entry->title);
    RECT textRect = {suite::ScaleByDpi(4), band.top, width - iconSize - suite::ScaleByDpi(4), band.bottom};
    DrawTextW(memory, line, -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (entry != nullptr && entry->icon != nullptr) {
      DrawIconEx(memory, width - suite::ScaleByDpi(18), band.top + 1, entry->icon, iconSize, iconSize, 0, nullptr,
                 DI_NORMAL);
    }
  }
  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  if (oldFont != nullptr) SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(surface);
  DeleteDC(memory);
}

// --- The dialog ---------------------------------------------------------------------------

CJugglerDialog::CJugglerDialog() = default;

INT_PTR CJugglerDialog::Show(HWND parent) {
  m_swallowEnter = true;
  return CDialogWindow::Show(parent);
}

BOOL CJugglerDialog::OnInitDialog(HWND hwnd) {
  SetUpToolWindow(hwnd, {kMenuBar, true, kToolDialogFlags});
  m_selection = 0;
  m_page = 0;
  Collect();
  return CJugglerLogic::OnInitDialog(hwnd);
}

bool CJugglerDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  *result = TRUE;
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) m_activatedAt = GetTickCount();
      Collect();
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    case WM_KILLFOCUS:
      m_selection = 0;
      m_page = 0;
      return true;
    case WM_CHAR: {
      m_swallowEnter = false;
      const auto ch = static_cast<wchar_t>(wParam);
      if (ch >= L'1' && ch <= L'9') {
        const int row = ch - L'1';
        if (row < RowsOnPage()) {
          if (row == kJugglerRowsPerPage) {
            NextPage();
          } else {
            m_selection = row;
            SwitchTo(SelectedEntry());
          }
        }
      } else {
        m_selection = 0;
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    }
    case WM_KEYUP: {
      const int rows = RowsOnPage();
      if (wParam == VK_RETURN) {
        if (m_swallowEnter) {
          m_swallowEnter = false;
        } else if (m_selection == kJugglerRowsPerPage) {
          NextPage();
        } else {
          SwitchTo(SelectedEntry());
        }
      } else if (wParam == VK_UP && rows > 0) {
        m_selection = (m_selection + rows - 1) % rows;
      } else if (wParam == VK_DOWN && rows > 0) {
        m_selection = (m_selection + 1) % rows;
      } else {
        return false;
      }
      InvalidateRect(hwnd, nullptr, FALSE);
      return true;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kCmdCloseApp) {
        if (m_selection < kJugglerRowsPerPage) CloseApp(SelectedEntry());
        InvalidateRect(hwnd, nullptr, FALSE);
        return true;
      }
      if (LOWORD(wParam) == kCmdSwitchTo) {
        if (m_selection < kJugglerRowsPerPage) SwitchTo(SelectedEntry());
        return true;
      }
      return false;
    case WM_HOTKEY:
      if (!suite::IsBackKeyUp(message, lParam)) return false;
      if (m_page > 0) {
        --m_page;
        m_selection = 0;
        InvalidateRect(hwnd, nullptr, FALSE);
      } else {
        EndDialog(hwnd, 0);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace tessivo
