#include "obj_bar.h"

#include <algorithm>
#include <cwchar>

#include "bar_settings.h"
#include "ce/crt.h"
#include "ce/shellapi.h"
#include "common/launch.h"
#include "common/module_state.h"
#include "common/reg_helper.h"
#include "common/string_helper.h"
#include "common/ui_helpers.h"
#include "launcher_state.h"
#include "obj_icons.h"
#include "program_list.h"
#include "tool_hooks.h"

namespace tessivo {
namespace {

constexpr DWORD kHourMs = 3600000;
constexpr DWORD kIconRetryWaitMs = 30001;

std::wstring LoadText(UINT id) {
  WCHAR buffer[kTextCapacity] = {};
  if (LoadStringW(Module(), id, buffer, 41) <= 0) return {};
  return buffer;
}

HFONT MakeFont(int height, int width, int weight, BYTE quality) {
  LOGFONTW font = {};
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfWeight = weight;
  font.lfQuality = quality;
  std::wcscpy(font.lfFaceName, L"Tahoma");
  return CreateFontIndirectW(&font);
}

// The news reader's pages: string id and the code its window takes.
struct DiaristPage {
  UINT stringId;
  WPARAM code;
};
constexpr DiaristPage kDiaristPages[] = {
    {143, 1000}, {144, 1001}, {145, 2000}, {146, 2001}, {147, 2002}, {148, 2003}, {149, 2004}, {150, 2005}, {151, 2006},
    {152, 2007}, {153, 2008}, {154, 2009}, {155, 2010}, {156, 2011}, {157, 2012}, {158, 3000}, {159, 3001}, {160, 4000},
};

bool SameProgram(const CIconItem& item, const ProgramEntry& entry) {
  if (item.Path() != entry.path) return false;
  return item.Parameters() == entry.parameters;  // both without, or equal
}

}  // namespace

const wchar_t* const kDefaultItemNames[kDefaultNameCount] = {
    L"Contacts",
    L"Calendar",
    L"Call History",
    L"- Juggler -",
    L"Solitaire",
    L"Internet Explorer",
    L"WMPlayer",
    L"- Power Off -",
    L"Settings",
    L"MSN Messenger",
    L"Tasks",
    L"Calculator",
    L"ActiveSync",
    L"Quorvist",
    L"Microsoft Reader",
    L"Settings - Bluetooth",
    L"Dominoes",
    L"Checkers",
    L"- Soft Reset -",
    L"- Close Programs -",
    L"- Close Programs -",
    L"- Glimmer -",
    L"Diarist: World News",
    L"Diarist: Local News",
    L"Diarist: Business News",
    L"Diarist: Sports News",
    L"Diarist: Tech News",
    L"Diarist: PDA News",
    L"Diarist: Links",
};

CObjBar::~CObjBar() { FreeResources(); }

BOOL CObjBar::Start(HWND window) {
  m_window = window;
  CreateResources();
  LoadImages(window);
  Icons().ClearSelection();
  return 1;
}

int CObjBar::CreateResources() {
  suite::CStringHelper::GetInstance()->SetInstance(Module());
  FreeResources();
  LauncherState& state = State();
  state.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\GDI\\SYSFNT", 0, KEY_ALL_ACCESS, &m_systemFontKey) != ERROR_SUCCESS) {
    m_systemFontKey = nullptr;
  }
  state.normalFont = MakeFont(S(13), 0, 400, 0);
  state.boldFont = MakeFont(S(13), 0, 700, 0);
  state.largeFont = MakeFont(S(24), S(8), 700, 5);
  suite::SetChildFontSource(state.normalFont);
  m_background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  m_sweepkitItem = LoadText(122);
  m_tuneupItem = LoadText(123);
  m_chimerItem = LoadText(163);
  m_jugglerItem = LoadText(40044);
  m_powerOffItem = LoadText(131);
  m_softResetItem = LoadText(132);
  state.dialogTitleRect = {S(15), S(15), S(215), S(40)};
  return 0;
}

void CObjBar::FreeResources() {
  LauncherState& state = State();
  for (HFONT* font : {&state.normalFont, &state.boldFont, &state.largeFont}) {
    if (*font != nullptr) DeleteObject(*font);
    *font = nullptr;
  }
  if (m_systemFontKey != nullptr) RegCloseKey(m_systemFontKey);
  m_systemFontKey = nullptr;
  m_background = nullptr;  // a stock object
  if (m_scrollDc != nullptr) {
    SelectObject(m_scrollDc, m_scrollPrevious);
    DeleteDC(m_scrollDc);
  }
  if (m_scrollBitmap != nullptr) DeleteObject(m_scrollBitmap);
  if (m_backDc != nullptr) {
    SelectObject(m_backDc, m_backPrevious);
    DeleteDC(m_backDc);
  }
  if (m_backBitmap != nullptr) DeleteObject(m_backBitmap);
  m_scrollDc = m_backDc = nullptr;
  m_scrollBitmap = m_backBitmap = nullptr;
  m_scrollPrevious = m_backPrevious = nullptr;
}

void CObjBar::LoadImages(HWND window) {
  HDC dc = GetDC(window);
  const UINT id = suite::ScreenDpiX() >= 130 ? 159 : 158;
  // Kept out of any DC: the tool dialogs select it into their own to copy
  // it, and a bitmap can be selected into one DC at a time.
  suite::CImageDecoder decoder;
  if (decoder.DecodeResource(dc, id, L"GIF", Module())) {
    if (State().header != nullptr) DeleteObject(State().header);
    State().header = decoder.TakeBitmap();
  }
  CreateBackBuffer(dc);
  ReleaseDC(window, dc);
  StartSweepkit();
}

void CObjBar::CreateBackBuffer(HDC dc) {
  if (m_backDc != nullptr) return;
  m_backDc = CreateCompatibleDC(dc);
  m_backBitmap = CreateCompatibleBitmap(dc, State().screenWidth - S(30), 10 * S(18) + S(1));
  if (m_backDc != nullptr && m_backBitmap != nullptr) m_backPrevious = SelectObject(m_backDc, m_backBitmap);
}

void CObjBar::CreateScrollBuffer(HDC dc) {
  if (m_scrollDc != nullptr) {
    SelectObject(m_scrollDc, m_scrollPrevious);
    DeleteDC(m_scrollDc);
  }
  if (m_scrollBitmap != nullptr) DeleteObject(m_scrollBitmap);
  const CBarSettings& settings = BarSettings();
  const int width = State().screenWidth - S(30);
  const int height = S(18) * static_cast<int>(settings.numLines + settings.sw) + S(1);
  m_scrollDc = CreateCompatibleDC(dc);
  m_scrollBitmap = CreateCompatibleBitmap(dc, width, height);
  m_scrollPrevious = nullptr;
  if (m_scrollDc != nullptr && m_scrollBitmap != nullptr) {
    m_scrollPrevious = SelectObject(m_scrollDc, m_scrollBitmap);
    BitBlt(m_scrollDc, 0, 0, width, height, nullptr, 0, 0, WHITENESS);
  }
}

void CObjBar::LoadScrollBitmaps() {
  const bool large = suite::ScreenDpiX() >= 130;
  HDC screen = GetDC(nullptr);
  State().scrollDown.LoadBitmap(screen, Module(), large ? 154 : 604, L"\\Windows\\ScrollDown.bmp", 0);
  State().scrollUp.LoadBitmap(screen, Module(), large ? 155 : 605, L"\\Windows\\ScrollUp.bmp", 0);
  ReleaseDC(nullptr, screen);
}

void CObjBar::LoadBar(HWND window) {
  LoadScrollBitmaps();
  ProgramList().Prepare();
  CBarSettings& settings = BarSettings();
  if (!settings.Load()) {
    settings.SetDefaultLayout();
    BuildDefaultItems(window);
  }
  if (settings.options.AC && window != nullptr) SetTimer(window, kTimerHourlyClean, kHourMs, nullptr);
}

void CObjBar::RebuildProgramList() {
  ProgramList().Prepare();
  ProgramList().Rebuild();
}

int CObjBar::GetHeight() const {
  const CBarSettings& settings = BarSettings();
  return S(18) * static_cast<int>(settings.sw + settings.numLines) + S(1);
}

BOOL CObjBar::Paint(HDC dc, int left, int top, int /*right*/, int /*bottom*/, BOOL selected, HWND /*window*/) {
  m_selected = selected;
  if (m_scrollDc == nullptr) CreateScrollBuffer(dc);
  Icons().Draw(dc, left, top, BarSettings().date != 0, selected, State().firstLine, FALSE, TRUE);
  return 1;
}

void CObjBar::Scroll(BOOL forward) {
  const int total = static_cast<int>(BarSettings().ns);
  const int shown = static_cast<int>(BarSettings().sw);
  if (total <= 1 || m_scrollDc == nullptr || m_backDc == nullptr) return;
  int& first = State().firstLine;
  if (forward) {
    first += shown;
    if (first > total) first = 1;
  } else if (first - 1 < shown) {
    first = std::max(1, total - shown + 1);
  } else {
    first -= shown;
  }
  m_lastScrollTick = GetTickCount();
  RequestRedraw();
}

BOOL CObjBar::OnKeyLeft() {
  if (Icons().SelectPrevColumn()) RequestRedraw();
  return 1;
}

BOOL CObjBar::OnKeyRight() {
  if (Icons().SelectNextColumn()) RequestRedraw();
  return 1;
}

BOOL CObjBar::OnKeyUp() {
  if (Icons().SelectPrevRow()) RequestRedraw();
  return 1;
}

BOOL CObjBar::OnKeyDown() {
  if (Icons().SelectNextRow()) RequestRedraw();
  return 1;
}

BOOL CObjBar::OnAction() {
  POINT point;
  if (Icons().GetSelectedPoint(&point)) AppLaunch(point.x, point.y);
  return 1;
}

BOOL CObjBar::OnPen(int x, int y, BOOL hold) {
  const int top = Icons().Top();
  const int code = Icons().ButtonClick(x, HeightChange(y - top) + top, FALSE);
  if (code == kCodeNothing) return 1;
  if (code >= 0) {
    // An empty slot, or one that shows no icon, takes nothing.
    const std::wstring& name = BarSettings().Item(code).Name();
    if (name.empty() || name == ProgramList().NoIconText()) return 1;
  }
  State().tappedIndex = code;
  RequestRedraw();
  if (!hold) {
    AppLaunch(x, y);
  } else if (code >= 0) {
    // The details open below the held icon's line.
    const int line = std::max(0, (y - top - S(1)) / S(18));
    ShowIconDetails(m_window, top + S(2) + line * S(18));
  }
  return 1;
}

BOOL CObjBar::OnSysColorChange() {
  Icons().CreateBrushes();
  return 1;
}

int CObjBar::HeightChange(int y) const {
  const CBarSettings& settings = BarSettings();
  const int row = (y - S(1)) / S(18);
  if (row >= static_cast<int>(settings.numLines) && settings.sw != 0) {
    y += (S(2) + S(16)) * (State().firstLine - 1);
  }
  return y;
}

void CObjBar::AppLaunch(int x, int y) {
  const int top = Icons().Top();
  y = HeightChange(y - top) + top;
  const int code = Icons().ButtonClick(x, y, FALSE);
  if (code == kCodeDown) {
    Scroll(TRUE);
    return;
  }
  if (code == kCodeUp) {
    Scroll(FALSE);
    return;
  }
  if (code == kCodeDate) {
    suite::StartProgram(m_window, L"\\Windows\\settings.exe", L"clock.cpl.xml");
    return;
  }
  if (code < 0 || code >= kIconItemCount) return;
  const CIconItem& item = BarSettings().Item(code);
  if (RunSpecialItem(item.Name().c_str())) return;
  const std::wstring& path = item.Path();
  if (path.empty()) return;
  if (path.size() >= 3 && _wcsicmp(path.c_str() + path.size() - 3, L"lnk") == 0) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"OPEN";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOW;
    info.hInstApp = Module();
    if (suite::OpenWithShell(m_window, &info) && info.hProcess != nullptr) CloseHandle(info.hProcess);
  } else if (path == L"Diarist") {
    OpenDiaristPage(item);
    if (m_window != nullptr) InvalidateRect(m_window, nullptr, TRUE);
  } else if (item.Name().compare(0, 8, L"Folder: ") == 0) {
    suite::StartProgram(m_window, BarSettings().explore, path.c_str());
  } else {
    suite::StartProgram(m_window, path.c_str(), item.Parameters().c_str());
  }
}

BOOL CObjBar::RunSpecialItem(LPCWSTR text) {
  if (text == nullptr || *text == L'\0') return 0;
  const std::wstring name = text;
  if (name == m_sweepkitItem) {
    ShowSweepkit(m_window, text);
  } else if (name == m_tuneupItem) {
    ShowTuneup(m_window);
  } else if (name == m_chimerItem) {
    ShowChimer(m_window);
  } else if (name == m_jugglerItem) {
    RunJuggler(m_window);
  } else if (name == m_powerOffItem) {
    suite::PowerOffDevice();
  } else if (name == m_softResetItem) {
    // The warning is all the bar does: it has no way to reset the device.
    suite::ShowMessageFromStrings(m_window, 100, 133, MB_OKCANCEL);
  } else {
    return 0;
  }
  return 1;
}

void CObjBar::OpenDiaristPage(const CIconItem& item) {
  HWND target = nullptr;
  for (HWND window = GetWindow(m_window, GW_HWNDFIRST); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
    WCHAR className[128] = {};
    GetClassNameW(window, className, 128);
    if (item.Path() == className) {
      target = window;
      break;
    }
  }
  if (target == nullptr) return;
  WPARAM code = kDiaristPages[0].code;
  if (item.HasParameters()) {
    for (const DiaristPage& page : kDiaristPages) {
      if (LoadText(page.stringId) == item.Parameters()) {
        code = page.code;
        break;
      }
    }
  }
  PostMessageW(target, WM_USER, code, 0);
}

int CObjBar::NextUnusedEntry(int slot, int skip) {
  const CProgramList& list = ProgramList();
  const CBarSettings& settings = BarSettings();
  for (int entry = 0; entry < list.Count(); ++entry) {
    if (entry == skip) continue;
    bool used = false;
    for (int i = 0; i < slot && !used; ++i) used = SameProgram(settings.Item(i), list.Entry(entry));
    if (!used) return entry;
  }
  const int picked = m_matchCursor;
  if (++m_matchCursor >= list.Count()) m_matchCursor = 0;
  return picked;
}

int CObjBar::PickItem(int slot) {
  const int entry = NextUnusedEntry(slot);
  const CProgramList& list = ProgramList();
  if (entry >= 0 && entry < list.Count() && list.Entry(entry).name == list.CustomLinkText()) {
    return NextUnusedEntry(slot, entry);
  }
  return entry;
}

void CObjBar::BuildDefaultItems(HWND /*window*/) {
  CProgramList& list = ProgramList();
  if (list.Count() == 0) return;
  CBarSettings& settings = BarSettings();
  m_matchCursor = 0;
  for (int slot = 0; slot < kDefaultNameCount; ++slot) {
    CIconItem& item = settings.Item(slot);
    const int found = list.FindByName(kDefaultItemNames[slot]);
    if (found >= 0) item.SetFromEntry(found);
    if (!item.HasPath()) item.SetFromEntry(PickItem(slot));
  }
  for (int slot = kDefaultNameCount; slot < kIconItemCount; ++slot) {
    if (slot == 112) Sleep(0);
    settings.Item(slot).SetFromEntry(PickItem(slot));
  }
}

HWND CObjBar::DialogParent(HWND window, WPARAM wParam) const {
  // Another program's handle is used only while it names a live window.
  HWND parent = reinterpret_cast<HWND>(wParam);
  if (parent != nullptr && IsWindow(parent)) return parent;
  return window;
}

void CObjBar::OnStartUp(HWND window) {
  CBarSettings& settings = BarSettings();
  settings.SaveWindowHandle(window);
  StartTuneup();
  SetTimer(window, kTimerIconRetry, 6000, nullptr);
  DWORD lines = 0;
  suite::CRegHelper registry;
  if (!registry.ReadDword(L"SOFTWARE\\Tarnwell\\Tessivo", L"NumLines", &lines)) RebuildProgramList();
  LoadBar(window);
  Icons().Reset();
  // The reminder player is made now, so that turning Chimer on later
  // finds it; it arms its timers only while Chimer is on.
  StartChimer(window);
  // The host painted the bar before its icons existed.
  RequestRedraw();
}

void CObjBar::OnTimerMessage(HWND window, UINT_PTR id) {
  if (id == kTimerIconRetry) {
    // Storage cards come up late after a device start: wait 30 s first.
    if (GetTickCount() < kIconRetryWaitMs && m_retryIcons) return;
    if (m_retryIcons) m_retryIcons = BarSettings().RetryMissingIcons();
    if (!m_retryIcons) KillTimer(window, kTimerIconRetry);
  } else if (id == kTimerHourlyClean) {
    HourlyClean();
  } else if (id == kTimerChimerMinute) {
    ChimerMinuteCheck(window);
  } else if (id >= 2000 && id <= 2999) {
    ChimerPlay(window, static_cast<int>(id - 2000));
  } else if (id >= 3000 && id <= 3999) {
    ChimerStop(window, static_cast<int>(id - 3000));
  }
}

LRESULT CObjBar::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_InitExeLists:
      RebuildProgramList();
      LoadBar(window);
      RequestRedraw();
      break;
    case WM_LaunchTSOptions:
      ShowOptionsDialog(DialogParent(window, wParam));
      BarSettings().SaveIcons();
      break;
    case WM_LaunchTSIcons:
      ShowIconsDialog(DialogParent(window, wParam));
      break;
    case WM_LaunchSweepkit:
      ShowSweepkit(DialogParent(window, wParam), m_sweepkitItem.c_str());
      break;
    case WM_LaunchChimer:
      ShowChimer(DialogParent(window, wParam));
      break;
    case WM_LaunchJuggler:
      RunJuggler(DialogParent(window, wParam));
      break;
    case WM_DESTROY:
      m_window = nullptr;
      EndChimer();
      KillTimer(window, kTimerHourlyClean);
      KillTimer(window, kTimerIconRetry);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kStartUpCommand) OnStartUp(window);
      break;
    case WM_TIMER:
      OnTimerMessage(window, wParam);
      break;
    case WM_USER:
      if (wParam == kRunSpecialItem && lParam >= 0 && lParam <= 6) {
        const std::wstring* texts[] = {nullptr,         &m_tuneupItem,    &m_chimerItem, &m_sweepkitItem,
                                       &m_powerOffItem, &m_softResetItem, &m_jugglerItem};
        // 0 stands for "- Close Programs -", which the bar has no action for.
        WCHAR text[kTextCapacity] = {};
        const std::wstring* source = texts[lParam];
        const std::wstring closePrograms = L"- Close Programs -";
        if (source == nullptr) source = &closePrograms;
        std::wcsncpy(text, source->c_str(), kTextCapacity - 1);
        if (text[0] != L'\0') RunSpecialItem(text);
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

CObjBar& Bar() {
  static CObjBar bar;
  return bar;
}

}  // namespace tessivo
