#include "tuneup.h"

#include <iterator>

#include "ce/aygshell.h"
#include "common/reg_helper.h"
#include "tool_host.h"

namespace tessivo {

namespace {

constexpr UINT kMenuBar = 162;
constexpr UINT kStrTitle = 125;
constexpr UINT kStrSoftReset = 126;
constexpr UINT kStrTitleBarFirst = 134;
constexpr UINT kStrTitleBarLast = 137;
constexpr wchar_t kNotificationKey[] = L"ControlPanel\\Notifications\\{A877D663-239C-47a7-9304-0D347F580408}";
constexpr wchar_t kTodayItems[] = L"SOFTWARE\\Microsoft\\Today\\Items";
constexpr int kMaxTodayItems = 50;

HKEY Create(HKEY root, LPCWSTR path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

HKEY Open(HKEY root, LPCWSTR path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

bool WriteDword(HKEY key, LPCWSTR name, DWORD value) {
  return key != nullptr &&
         RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
}

bool ReadDword(HKEY key, LPCWSTR name, DWORD* value) { return key != nullptr && suite::RegReadDword(key, name, value); }

void Close(HKEY& key) {
  if (key != nullptr) RegCloseKey(key);
  key = nullptr;
}

}  // namespace

CTuneupLogic::CTuneupLogic() : CToolLogic(kStrTitle) {
  m_shellUser = Create(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Shell");
  m_gwe = Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\GWE");
  m_barFont = Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\GWE\\Menu\\BarFnt");
  m_popupFont = Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\GWE\\Menu\\PopFnt");
  m_memoryFont = Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\GWE\\OOMFnt");
  m_systemFont = Create(HKEY_LOCAL_MACHINE, L"SYSTEM\\GDI\\SYSFNT");
  m_notification = Open(HKEY_CURRENT_USER, kNotificationKey);
  m_shellMachine = Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shell");
  DWORD options = 0;
  if (ReadDword(m_notification, L"Options", &options)) m_notificationShown = options == 1 ? FALSE : TRUE;
  // The font the system uses now is the one to show selected.
  WCHAR current[32] = {};
  if (m_systemFont != nullptr &&
      suite::RegReadString(m_systemFont, L"Nm", current, sizeof(current) / sizeof(WCHAR) * 2) == ERROR_SUCCESS) {
    lstrcpynW(m_lastFont, current, static_cast<int>(std::size(m_lastFont)));
  }
}

CTuneupLogic::~CTuneupLogic() {
  for (HKEY* key : {&m_shellUser, &m_gwe, &m_barFont, &m_popupFont, &m_memoryFont, &m_systemFont, &m_notification,
                    &m_shellMachine}) {
    Close(*key);
  }
}

void CTuneupLogic::OnPaint(HDC dc, HWND hwnd) { PaintToolHeader(dc, hwnd, m_title); }

void CTuneupLogic::SetClearType(DWORD value) {
  if (WriteDword(m_shellUser, L"Cleartype", value)) m_clearType = value;
}

void CTuneupLogic::SetAnimate(DWORD value) {
  if (WriteDword(m_gwe, L"Animate", value)) m_animate = value;
}

void CTuneupLogic::SetSystemFont(LPCWSTR name) {
  if (name == nullptr || lstrlenW(name) >= static_cast<int>(std::size(m_lastFont))) return;
  bool all = true;
  for (HKEY key : {m_systemFont, m_barFont, m_popupFont, m_memoryFont}) {
    all = key != nullptr && suite::RegWriteString(key, L"Nm", name) == ERROR_SUCCESS && all;
  }
  if (all) lstrcpyW(m_lastFont, name);
}

void CTuneupLogic::SetLowBatteryNotification(BOOL shown) {
  if (WriteDword(m_notification, L"Options", shown ? 9 : 1)) m_notificationShown = shown;
}

void CTuneupLogic::LoadTexts() {
  if (m_notification == nullptr) return;
  suite::RegWriteString(m_notification, L"Default", L"Low Battery Warning");
  SetLowBatteryNotification(m_notificationShown);
}

void CTuneupLogic::SetTitleBarOption(DWORD value) {
  if (WriteDword(m_shellMachine, L"TBOpt", value)) m_titleBarOption = value;
}

void CTuneupLogic::RestoreSystemDefaults() {
  SetClearType(0);
  SetAnimate(0);
  SetSystemFont(L"Tahoma");
  SetLowBatteryNotification(TRUE);
  SetTitleBarOption(1);
  if (m_notification != nullptr) RegDeleteValueW(m_notification, L"Default");
}

void CTuneupLogic::ReorderTodayItems() {
  HKEY items = Open(HKEY_LOCAL_MACHINE, kTodayItems);
  if (items == nullptr) return;
  struct Item {
    HKEY key;
    DWORD order;
    bool taken;
  };
  Item kept[kMaxTodayItems];
  int count = 0;
  for (DWORD index = 0;; ++index) {
    WCHAR name[65];
    DWORD length = static_cast<DWORD>(std::size(name));
    if (RegEnumKeyExW(items, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY item = Open(items, name);
    DWORD order = 0;
    if (item != nullptr && count < kMaxTodayItems && ReadDword(item, L"Order", &order)) {
      kept[count++] = {item, order, false};
    } else {
      Close(item);
    }
  }
  for (int round = 0; round < count; ++round) {
    int smallest = -1;
    for (int i = 0; i < count; ++i) {
      if (!kept[i].taken && (smallest < 0 || kept[i].order < kept[smallest].order)) smallest = i;
    }
    WriteDword(kept[smallest].key, L"Order", static_cast<DWORD>((round + 1) * 10));
    kept[smallest].taken = true;
    Close(kept[smallest].key);
  }
  Close(items);
}

void CTuneupLogic::AddFont(LPCWSTR name) {
  if (m_fontCount >= kTuneupMaxFonts || name == nullptr || name[0] == 0) return;
  if (lstrcmpW(name, L"Bookdings") == 0) return;
  for (int i = 0; i < m_fontCount; ++i) {
    if (lstrcmpW(m_fonts[i], name) == 0) return;
  }
  lstrcpynW(m_fonts[m_fontCount++], name, static_cast<int>(std::size(m_fonts[0])));
}

int CALLBACK CTuneupLogic::OnFontFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM self) {
  reinterpret_cast<CTuneupLogic*>(self)->AddFont(font->lfFaceName);
  return 1;
}

void CTuneupLogic::CollectFonts(HDC dc) {
  m_fontCount = 0;
  EnumFontFamiliesW(dc, nullptr, OnFontFamily, reinterpret_cast<LPARAM>(this));
}

// --- The dialog ---------------------------------------------------------------------------

CTuneupDialog::CTuneupDialog() = default;

BOOL CTuneupDialog::OnInitDialog(HWND hwnd) {
  // The Back key is not asked for: Tuneup's bar only has Done and Cancel.
  m_menuBar = SetUpToolWindow(hwnd, {kMenuBar, false, kToolDialogFlags});
  m_restartNeeded = false;
  LoadTexts();
  DWORD value = 0;
  if (ReadDword(m_shellUser, L"Cleartype", &value)) m_clearType = value;
  if (ReadDword(m_gwe, L"Animate", &value)) m_animate = value;
  CheckDlgButton(hwnd, kIdClearType, m_clearType ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd, kIdAnimate, m_animate ? BST_CHECKED : BST_UNCHECKED);
  if (ReadDword(m_notification, L"Options", &value)) {
    CheckDlgButton(hwnd, kIdRemoveBatteryWarning, value == 1 ? BST_CHECKED : BST_UNCHECKED);
  } else {
    ShowWindow(GetDlgItem(hwnd, kIdRemoveBatteryWarning), SW_HIDE);
  }
  CheckDlgButton(hwnd, kIdJugglerButton, GetToolHost()->Options().CW ? BST_CHECKED : BST_UNCHECKED);

  HWND parent = GetParent(hwnd);
  HDC dc = GetDC(parent);
  CollectFonts(dc);
  ReleaseDC(parent, dc);
  ResetList(hwnd, kIdSystemFont);
  int selected = 0;
  for (int i = 0; i < m_fontCount; ++i) {
    AddListString(hwnd, kIdSystemFont, m_fonts[i]);
    if (lstrcmpiW(m_fonts[i], m_lastFont) == 0) selected = i;
  }
  if (m_fontCount > 0) SetListSelection(hwnd, kIdSystemFont, selected);

  ResetList(hwnd, kIdTitleBarDisplay);
  for (UINT id = kStrTitleBarFirst; id <= kStrTitleBarLast; ++id) {
    WCHAR text[64] = {};
    LoadStringW(GetToolHost()->Module(), id, text, static_cast<int>(std::size(text)));
    AddListString(hwnd, kIdTitleBarDisplay, text);
  }
  m_titleBarOption = 1;
  if (ReadDword(m_shellMachine, L"TBOpt", &value)) m_titleBarOption = value;
  if (m_titleBarOption <= kStrTitleBarLast - kStrTitleBarFirst) {
    SetListSelection(hwnd, kIdTitleBarDisplay, static_cast<int>(m_titleBarOption));
  }
  SetFocus(GetDlgItem(hwnd, kIdClearType));
  return CTuneupLogic::OnInitDialog(hwnd);
}

bool CTuneupDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message != WM_COMMAND) return false;
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  const bool checked = id != 0 && IsDlgButtonChecked(hwnd, id) == BST_CHECKED;
  switch (id) {
    case kCmdCancel:
      // Ends as IDCANCEL does: what was changed stays.
      Cancel(hwnd);
      break;
    case kIdClearType:
      if (code != BN_CLICKED) return false;
      SetClearType(checked ? 1 : 0);
      m_restartNeeded = true;
      break;
    case kIdAnimate:
      if (code != BN_CLICKED) return false;
      SetAnimate(checked ? 1 : 0);
      m_restartNeeded = true;
      break;
    case kIdSystemFont: {
      if (code != CBN_SELCHANGE) return false;
      WCHAR name[32];
      if (GetListText(hwnd, kIdSystemFont, name, static_cast<int>(std::size(name)))) SetSystemFont(name);
      m_restartNeeded = true;
      break;
    }
    case kIdTitleBarDisplay: {
      if (code != CBN_SELCHANGE) return false;
      const int index = GetListSelection(hwnd, kIdTitleBarDisplay);
      if (index >= 0) SetTitleBarOption(static_cast<DWORD>(index));
      m_restartNeeded = true;
      break;
    }
    case kIdRemoveBatteryWarning:
      if (code != BN_CLICKED) return false;
      SetLowBatteryNotification(checked ? FALSE : TRUE);
      break;
    case kIdJugglerButton:
      if (code != BN_CLICKED) return false;
      GetToolHost()->Options().CW = checked ? 1 : 0;
      break;
    default:
      return false;
  }
  (void)lParam;
  *result = TRUE;
  return true;
}

void CTuneupDialog::OnOK(HWND hwnd, int id) {
  if (id == IDCANCEL) {
    Cancel(hwnd);
    return;
  }
  if (IsDlgButtonChecked(hwnd, kIdCleanTodayOrder) == BST_CHECKED) {
    ReorderTodayItems();
    m_restartNeeded = true;
  }
  if (m_restartNeeded) ShowToolMessage(hwnd, kStrTitle, kStrSoftReset, MB_ICONEXCLAMATION);
  GetToolHost()->SaveAll();
  if (m_menuBar != nullptr) DestroyWindow(m_menuBar);
  m_menuBar = nullptr;
  EndDialog(hwnd, id);
}

void CTuneupDialog::Cancel(HWND hwnd) {
  m_menuBar = nullptr;  // goes with the dialog
  EndDialog(hwnd, IDCANCEL);
}

}  // namespace tessivo
