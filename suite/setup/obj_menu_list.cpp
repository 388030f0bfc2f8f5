#include "obj_menu_list.h"

#include <cstdint>
#include <memory>

#include "ce/crt.h"
#include "ce/wingdi.h"
#include "common/color_scheme.h"
#include "common/iss_utility.h"
#include "common/reg_helper.h"
#include "common/string_helper.h"
#include "common/ui_helpers.h"
#include "add_remove_dialog.h"
#include "dialog_setup.h"
#include "menu_bar_hider.h"

namespace setup {
namespace {

constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Tarnwell\\QVX";
constexpr int kSlotGradLeft = 9;
constexpr int kSlotGradRight = 10;
// Posted from WM_CREATE: the first-use welcome waits until the list is on
// the screen, so the box stands over the list rather than an empty screen.
constexpr UINT kMsgFirstUse = 0x8000 + 1;  // WM_APP + 1

// What each item after the first posts, and to which plug-in.
struct ItemAction {
  UINT message;
  bool launcher;  // "TessivoWnd", else "PelmoraWnd"
};
constexpr ItemAction kActions[kItemCount] = {
    {0, false},
    {WM_LaunchTSOptions, true},
    {WM_LaunchTSIcons, true},
    {WM_LAUNCH_OPTIONS, false},
    {WM_LAUNCH_ALERTS, false},
    {WM_LaunchSweepkit, true},
    {WM_LaunchChimer, true},
    {WM_LaunchJuggler, true},
    {WM_LAUNCH_HELP, false},
};

std::unique_ptr<CObjMenuList> g_instance;

// A one-pixel frame just inside the row.
void FrameRow(HDC dc, const RECT& row, HBRUSH brush) {
  const RECT edges[4] = {{row.left, row.top, row.right, row.top + 1},
                         {row.left, row.bottom - 1, row.right, row.bottom},
                         {row.left, row.top, row.left + 1, row.bottom},
                         {row.right - 1, row.top, row.right, row.bottom}};
  for (const RECT& edge : edges) FillRect(dc, &edge, brush);
}

}  // namespace

int CObjMenuList::RowHeight() { return suite::ScaleByDpi(kRowHeight); }

CObjMenuList* CObjMenuList::GetInstance() {
  if (!g_instance) g_instance.reset(new CObjMenuList());
  return g_instance.get();
}

void CObjMenuList::DeleteInstance() { g_instance.reset(); }

CObjMenuList::~CObjMenuList() {
  if (m_font != nullptr) DeleteObject(m_font);
}

std::wstring CObjMenuList::LoadText(UINT id) const {
  WCHAR text[suite::CStringHelper::kTextCapacity] = {};
  suite::CStringHelper::GetInstance()->LoadResString(text, id, suite::CStringHelper::kTextCapacity);
  return text;
}

BOOL CObjMenuList::InitInstance(HINSTANCE module, int show) {
  m_module = module;
  suite::CStringHelper::GetInstance()->SetInstance(module);
  const std::wstring className = LoadText(IDS_CLASS);
  const std::wstring title = LoadText(IDS_TITLE);
  if (HWND running = FindWindowW(className.c_str(), title.c_str())) {
    // The device's way to bring a window and its pop-ups forward.
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(running) | 1));
    return FALSE;
  }
  WNDCLASSW wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = module;
  wc.hIcon = LoadIconW(module, MAKEINTRESOURCEW(IDI_MAIN));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = className.c_str();
  RegisterClassW(&wc);  // a class left by an earlier window of this process is fine
  // Below the shell's title bar, where its full-screen dialogs open too, so
  // a dialog covers the whole list.
  const int top = GetSystemMetrics(SM_CYSCREEN) - GetSystemMetrics(SM_CYFULLSCREEN);
  HWND window = CreateWindowExW(0, className.c_str(), title.c_str(), WS_VISIBLE, 0, top, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN) - top, nullptr, nullptr, module, nullptr);
  if (window == nullptr) return FALSE;
  ShowWindow(window, show);
  UpdateWindow(window);
  return TRUE;
}

LRESULT CALLBACK CObjMenuList::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return GetInstance()->OnMessage(window, message, wParam, lParam);
}

void CObjMenuList::OnCreate(HWND window) {
  m_window = window;
  m_menuBar = MakeMenuBar(window, m_module, IDM_MAIN_BAR);
  // The Back key comes to the window as a hot key.
  if (m_menuBar != nullptr) SendMessageW(m_menuBar, SHCMBM_OVERRIDEKEY, VK_ESCAPE, kBackKeyOverride);
  InitList();
  m_activate = SHACTIVATEINFO{};
  m_activate.cbSize = sizeof m_activate;
  PostMessageW(window, kMsgFirstUse, 0, 0);
}

void CObjMenuList::InitList() {
  m_selected = 0;
  const std::wstring format = LoadText(IDS_ITEM_FORMAT);
  for (int i = 0; i < kItemCount; ++i) {
    const std::wstring text = LoadText(IDS_FIRST_ITEM + static_cast<UINT>(i));
    WCHAR line[ce::kFormatBound] = {};
    ce::swprintf(line, format.c_str(), i + 1, text.c_str());
    m_items[i] = line;
  }
  if (m_font == nullptr) {
    LOGFONTW font{};
    font.lfHeight = RowHeight();
    font.lfWeight = FW_BOLD;
    lstrcpyW(font.lfFaceName, L"Nina");
    m_font = CreateFontIndirectW(&font);
  }
  LoadColors();
  FindPluginWindows();
}

void CObjMenuList::LoadColors() {
  suite::CColorScheme scheme;
  scheme.LoadCurrent();  // without a scheme the defaults stay
  COLORREF colors[suite::CColorScheme::kColorCount] = {};
  scheme.GetColors(colors);
  m_gradLeft = colors[kSlotGradLeft];
  m_gradRight = colors[kSlotGradRight];
}

void CObjMenuList::FindPluginWindows() {
  m_launcherWindow = FindWindowW(kLauncherWindowClass, nullptr);
  m_metersWindow = FindWindowW(kMetersWindowClass, nullptr);
}

void CObjMenuList::ShowFirstUse() {
  suite::CRegHelper registry;
  DWORD firstUse = 0;
  if (registry.ReadDword(kSetupKey, L"FirstUse", &firstUse)) return;
  registry.WriteDword(kSetupKey, L"FirstUse", 1);
  MessageBoxW(m_window, LoadText(IDS_WELCOME).c_str(), L"", MB_OK | MB_ICONEXCLAMATION);
  // The welcome points at the first item: the Enter that closed it is
  // released over the list and runs the selected item, as on the device.
  m_enterDown = true;
}

void CObjMenuList::RunItem(int index) {
  if (index < 0 || index >= kItemCount) return;
  FindPluginWindows();
  if (index == 0) {
    MenuBarHider hidden(m_menuBar);
    CAddRemoveDialog::GetInstance()->Run(m_window, m_module);
    return;
  }
  const ItemAction& action = kActions[index];
  HWND target = action.launcher ? m_launcherWindow : m_metersWindow;
  // A window that went away since it was found is as missing.
  if (target != nullptr && PostMessageW(target, action.message, reinterpret_cast<WPARAM>(m_window), 0)) {
    return;
  }
  suite::IssUtility::GetInstance()->PlayEventSound(0, TRUE);
  MessageBoxW(m_window, LoadText(action.launcher ? IDS_NO_LAUNCHER : IDS_NO_METERS).c_str(), L"",
              MB_OK | MB_ICONEXCLAMATION);
}

void CObjMenuList::Paint(HDC dc) {
  RECT client{};
  GetClientRect(m_window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  if (memory == nullptr || bitmap == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  HGDIOBJ oldFont = m_font != nullptr ? SelectObject(memory, m_font) : nullptr;
  SetBkMode(memory, TRANSPARENT);
  const COLORREF normalText = GetTextColor(memory);
  // The left edge shows the right-hand colour, as the home screen's own
  // bars do.
  suite::IssUtility::GetInstance()->DrawGradient(memory, 0, 0, width, height, m_gradRight, m_gradLeft);
  HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
  const int rowHeight = RowHeight();
  for (int i = 0; i < kItemCount; ++i) {
    RECT row{0, i * rowHeight, width, (i + 1) * rowHeight};
    RECT text = row;
    text.left += suite::ScaleByDpi(kTextIndent);
    const bool selected = i == m_selected;
    SetTextColor(memory, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : normalText);
    DrawTextW(memory, m_items[i].c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    if (selected && frame != nullptr) FrameRow(memory, row, frame);
  }
  if (frame != nullptr) DeleteObject(frame);
  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  if (oldFont != nullptr) SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

void CObjMenuList::Done() {
  SendMessageW(m_window, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessageW(m_window, WM_CLOSE, 0, 0);
}

void CObjMenuList::Select(int index) { m_selected = (index % kItemCount + kItemCount) % kItemCount; }

INT_PTR CALLBACK CObjMenuList::AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  static HWND bar = nullptr;
  switch (message) {
    case WM_INITDIALOG: {
      bar = SetUpFullScreenDialog(dialog, GetInstance()->m_module, IDM_ABOUT_BAR);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDM_DONE) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (bar != nullptr) {
        DestroyWindow(bar);
        bar = nullptr;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

LRESULT CObjMenuList::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case kMsgFirstUse:
      ShowFirstUse();
      return 0;
    case WM_DESTROY:
      if (m_menuBar != nullptr) {
        DestroyWindow(m_menuBar);
        m_menuBar = nullptr;
      }
      m_window = nullptr;
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      SHHandleWMActivate(window, wParam, lParam, &m_activate, FALSE);
      return 0;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(window, wParam, lParam, &m_activate);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      if (dc != nullptr) Paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_SYSCOLORCHANGE:
      LoadColors();
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) m_enterDown = true;
      return 0;
    case WM_KEYUP:
      if (wParam == VK_RETURN) {
        if (m_enterDown) {
          m_enterDown = false;
          RunItem(m_selected);
        }
      } else if (wParam == VK_UP) {
        Select(m_selected - 1);
      } else if (wParam == VK_DOWN) {
        Select(m_selected + 1);
      }
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_CHAR:
      // A digit picks its item and runs it. Other characters do nothing:
      // Enter already runs the item from its key-up.
      if (wParam >= L'1' && wParam <= L'9') {
        Select(static_cast<int>(wParam - L'1'));
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        RunItem(m_selected);
      }
      return 0;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDM_DONE:
          Done();
          return 0;
        case IDM_ABOUT: {
          MenuBarHider hidden(m_menuBar);
          DialogBoxParamW(m_module, MAKEINTRESOURCEW(IDD_ABOUT), window, AboutProc, 0);
          return 0;
        }
        default:
          return DefWindowProcW(window, message, wParam, lParam);
      }
    case WM_HOTKEY:
      if (HIWORD(lParam) == VK_ESCAPE && (LOWORD(lParam) & kHotKeyUp) != 0) Done();
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace setup
