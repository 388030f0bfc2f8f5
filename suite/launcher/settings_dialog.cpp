#include "settings_dialog.h"

#include <string>

#include "bar_settings.h"

namespace tessivo {
namespace {

constexpr int kStaticList = 1006;
constexpr int kScrollingList = 1009;
constexpr int kWidthList = 1010;
constexpr int kDateBox = 1005;
constexpr int kAnimateBox = 1019;
constexpr int kPathEdit = 1025;
constexpr int kParametersEdit = 1027;

void SelectNumber(HWND dialog, int id, DWORD value) {
  const std::wstring text = std::to_wstring(value);
  CToolLogic::SetListSelection(dialog, id, CToolLogic::FindListString(dialog, id, text.c_str()));
}

// The chosen number of a list, or -1.
long ChosenNumber(HWND dialog, int id) {
  WCHAR text[16] = {};
  if (!CToolLogic::GetListText(dialog, id, text, 16)) return -1;
  return std::wcstol(text, nullptr, 10);
}

}  // namespace

void LineRules::ChooseStatic(CBarSettings& settings, DWORD lines) {
  if (lines > kMaxLines) return;
  settings.numLines = lines;
  if (settings.numLines + settings.ns > kMaxLines) settings.numLines = kMaxLines - settings.ns;
}

void LineRules::ChooseScrolling(CBarSettings& settings, DWORD lines) {
  if (lines > kMaxLines) return;
  settings.ns = lines;
  if (settings.numLines + settings.ns > kMaxLines) settings.ns = kMaxLines - settings.numLines;
  WidthRule(settings);
}

void LineRules::ChooseWidth(CBarSettings& settings, DWORD lines) {
  if (lines < 1 || lines > kMaxShownLines) return;
  const DWORD old = settings.sw;
  settings.sw = lines;
  WidthRule(settings);
  if (settings.sw != lines) settings.sw = old;
}

void LineRules::WidthRule(CBarSettings& settings) {
  if (settings.sw == settings.ns) {
    settings.sw = 1;
  } else if (settings.sw >= settings.ns && settings.ns >= 2) {
    settings.sw = settings.ns - 1;
  }
}

void LineRules::Finish(CBarSettings& settings) {
  if (settings.numLines == 0 && settings.ns == 0) settings.numLines = 1;
  if (settings.ns == 0) settings.sw = 0;
}

BOOL CSettingsDialog::OnInitDialog(HWND hwnd) {
  SetUpToolWindow(hwnd, suite::DialogSetup{162, true, kToolDialogFlags});
  const CBarSettings& settings = BarSettings();
  m_numLines = settings.numLines;
  m_ns = settings.ns;
  m_sw = settings.sw;
  m_date = settings.date;
  m_restored = false;
  ResetList(hwnd, kStaticList);
  for (const wchar_t* text : {L"0", L"1", L"2", L"3"}) AddListString(hwnd, kStaticList, text);
  ResetList(hwnd, kScrollingList);
  for (const wchar_t* text : {L"0", L"2"}) AddListString(hwnd, kScrollingList, text);
  ResetList(hwnd, kWidthList);
  for (const wchar_t* text : {L"1", L"2", L"3", L"4", L"5"}) AddListString(hwnd, kWidthList, text);
  ShowLines(hwnd);
  CheckDlgButton(hwnd, kDateBox, settings.date ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(hwnd, kAnimateBox, settings.an ? BST_CHECKED : BST_UNCHECKED);
  SetFocus(GetDlgItem(hwnd, kDateBox));
  return CSettingsLogic::OnInitDialog(hwnd);
}

void CSettingsDialog::ShowLines(HWND hwnd) {
  CBarSettings& settings = BarSettings();
  LineRules::WidthRule(settings);
  SelectNumber(hwnd, kStaticList, settings.numLines);
  SelectNumber(hwnd, kScrollingList, settings.ns);
  SelectNumber(hwnd, kWidthList, settings.sw);
}

bool CSettingsDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_COMMAND) {
    CBarSettings& settings = BarSettings();
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    bool changed = true;
    if (id == kStaticList && code == CBN_SELCHANGE) {
      const long n = ChosenNumber(hwnd, id);
      if (n >= 0) LineRules::ChooseStatic(settings, static_cast<DWORD>(n));
    } else if (id == kScrollingList && code == CBN_SELCHANGE) {
      const long n = ChosenNumber(hwnd, id);
      if (n >= 0) LineRules::ChooseScrolling(settings, static_cast<DWORD>(n));
    } else if (id == kWidthList && code == CBN_SELCHANGE) {
      const long n = ChosenNumber(hwnd, id);
      if (n >= 0) LineRules::ChooseWidth(settings, static_cast<DWORD>(n));
    } else if (id == kDateBox && code == BN_CLICKED) {
      settings.date = IsDlgButtonChecked(hwnd, kDateBox) == BST_CHECKED;
    } else if (id == kAnimateBox && code == BN_CLICKED) {
      settings.an = IsDlgButtonChecked(hwnd, kAnimateBox) == BST_CHECKED;
    } else {
      changed = false;
    }
    if (changed) {
      ShowLines(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      *result = TRUE;
      return true;
    }
    if (id == IDCANCEL) {
      Cancel(hwnd);
      *result = TRUE;
      return true;
    }
  }
  return CDialogWindow::WindowMessage(hwnd, message, wParam, lParam, result);
}

void CSettingsDialog::OnOK(HWND hwnd, int id) {
  if (id == IDCANCEL) {
    Cancel(hwnd);
    return;
  }
  CBarSettings& settings = BarSettings();
  LineRules::Finish(settings);
  settings.SaveIcons();
  EndDialog(hwnd, 0);
}

void CSettingsDialog::Cancel(HWND hwnd) {
  CBarSettings& settings = BarSettings();
  settings.numLines = m_numLines;
  settings.ns = m_ns;
  settings.sw = m_sw;
  settings.date = m_date;
  m_restored = true;
  EndDialog(hwnd, 0);
}

BOOL CCustomLinkDialog::OnInitDialog(HWND hwnd) {
  // Done button and full screen; the input panel stays as it is.
  SetUpToolWindow(hwnd, suite::DialogSetup{162, true, 5});
  SetDlgItemTextW(hwnd, kPathEdit, path);
  SetDlgItemTextW(hwnd, kParametersEdit, parameters);
  SetFocus(GetDlgItem(hwnd, kPathEdit));
  return TRUE;
}

void CCustomLinkDialog::OnOK(HWND hwnd, int id) {
  if (id == IDOK || id == kCmdDone) {
    GetDlgItemTextW(hwnd, kPathEdit, path, MAX_PATH);
    GetDlgItemTextW(hwnd, kParametersEdit, parameters, MAX_PATH);
  }
  EndDialog(hwnd, id);
}

bool CCustomLinkDialog::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(hwnd, IDCANCEL);
    *result = TRUE;
    return true;
  }
  return CDialogWindow::WindowMessage(hwnd, message, wParam, lParam, result);
}

}  // namespace tessivo
