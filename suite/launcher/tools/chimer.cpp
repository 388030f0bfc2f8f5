#include "chimer.h"

#include <iterator>

#include "common/ui_helpers.h"
#include "reminder_player.h"

namespace tessivo {

namespace {

constexpr UINT kMenuBar = 162;
constexpr UINT kStrNormal = 139;
constexpr UINT kStrQuietThenLouder = 142;

// Every "\Windows\*.wav" by its name without the part from the last ".",
// in the order the search gives them; then the current name selected.
void FillSounds(HWND dialog, int id, LPCWSTR current) {
  CToolLogic::ResetList(dialog, id);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(L"\\Windows\\*.wav", &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      WCHAR name[MAX_PATH];
      lstrcpynW(name, found.cFileName, MAX_PATH);
      if (WCHAR* dot = wcsrchr(name, L'.')) *dot = 0;
      if (name[0] != 0) CToolLogic::AddListString(dialog, id, name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  const int index = CToolLogic::FindListString(dialog, id, current);
  if (index >= 0) CToolLogic::SetListSelection(dialog, id, index);
}

void StoreSound(HWND dialog, int id, LPWSTR setting) {
  WCHAR name[MAX_PATH];
  if (CToolLogic::GetListText(dialog, id, name, MAX_PATH)) lstrcpyW(setting, name);
}

void StoreNumber(HWND dialog, int id, ULONG highest, DWORD* setting) {
  ULONG value = 0;
  if (suite::GetComboNumberInRange(dialog, id, 0, highest, 1, &value)) *setting = value;
}

}  // namespace

CChimerLogic::CChimerLogic() : CToolLogic(164) {}

void CChimerLogic::OnPaint(HDC dc, HWND hwnd) { PaintToolHeader(dc, hwnd, m_title); }

void CChimerLogic::ShowSettings(HWND hwnd) {
  const ToolOptions& options = GetToolHost()->Options();
  CheckDlgButton(hwnd, kIdChimerEnable, options.NT ? BST_CHECKED : BST_UNCHECKED);
  FillSounds(hwnd, kIdCalendarSound, options.NWC);
  FillSounds(hwnd, kIdTaskSound, options.NWT);
  FillSounds(hwnd, kIdAlarmSound, options.NWL);
  // The volume list holds the four choices in order, so its index is NV.
  ResetList(hwnd, kIdVolume);
  for (UINT id = kStrNormal; id <= kStrQuietThenLouder; ++id) {
    WCHAR text[64] = {};
    LoadStringW(GetToolHost()->Module(), id, text, static_cast<int>(std::size(text)));
    AddListString(hwnd, kIdVolume, text);
  }
  if (options.NV <= 3) SetListSelection(hwnd, kIdVolume, static_cast<int>(options.NV));
  CheckDlgButton(hwnd, kIdPlayWhenMuted, options.NM ? BST_CHECKED : BST_UNCHECKED);
  suite::FillComboWithNumbers(GetDlgItem(hwnd, kIdPlaySeconds), 0, 59, 1, -1);
  suite::SelectComboNumber(GetDlgItem(hwnd, kIdPlaySeconds), options.NT1);
  suite::FillComboWithNumbers(GetDlgItem(hwnd, kIdRepeatMinutes), 0, 30, 1, -1);
  suite::SelectComboNumber(GetDlgItem(hwnd, kIdRepeatMinutes), options.NT2);
  suite::FillComboWithNumbers(GetDlgItem(hwnd, kIdStopMinutes), 0, 120, 1, -1);
  suite::SelectComboNumber(GetDlgItem(hwnd, kIdStopMinutes), options.NT3);
}

void CChimerLogic::StoreSettings(HWND hwnd) {
  ToolOptions& options = GetToolHost()->Options();
  options.NT = IsDlgButtonChecked(hwnd, kIdChimerEnable) == BST_CHECKED ? 1 : 0;
  StoreSound(hwnd, kIdCalendarSound, options.NWC);
  StoreSound(hwnd, kIdTaskSound, options.NWT);
  StoreSound(hwnd, kIdAlarmSound, options.NWL);
  const int volume = GetListSelection(hwnd, kIdVolume);
  if (volume >= 0 && volume <= 3) options.NV = static_cast<DWORD>(volume);
  options.NM = IsDlgButtonChecked(hwnd, kIdPlayWhenMuted) == BST_CHECKED ? 1 : 0;
  StoreNumber(hwnd, kIdPlaySeconds, 59, &options.NT1);
  StoreNumber(hwnd, kIdRepeatMinutes, 30, &options.NT2);
  StoreNumber(hwnd, kIdStopMinutes, 120, &options.NT3);
}

CChimerDialog::CChimerDialog() = default;

BOOL CChimerDialog::OnInitDialog(HWND hwnd) {
  SetUpToolWindow(hwnd, {kMenuBar, true, kToolDialogFlags});
  m_copy = GetToolHost()->Options();
  ShowSettings(hwnd);
  SetFocus(GetDlgItem(hwnd, kIdChimerEnable));
  return CChimerLogic::OnInitDialog(hwnd);
}

void CChimerDialog::OnOK(HWND hwnd, int id) {
  if (id == IDCANCEL) {
    Cancel(hwnd);
    return;
  }
  ToolHost* host = GetToolHost();
  const DWORD wasOn = host->Options().NT;
  StoreSettings(hwnd);
  host->SaveOptions();
  const DWORD on = host->Options().NT;
  if (on != wasOn) {
    if (CReminderPlayer* player = host->ReminderPlayer()) {
      player->SetPlatformReminderSound(on ? FALSE : TRUE);
      if (on)
        player->ArmMinuteTimer(host->BarWindow());
      else
        player->StopAll();
    }
  }
  EndDialog(hwnd, id);
}

void CChimerDialog::Cancel(HWND hwnd) {
  ToolOptions& options = GetToolHost()->Options();
  options.NT = m_copy.NT;
  options.NM = m_copy.NM;
  lstrcpyW(options.NWC, m_copy.NWC);
  lstrcpyW(options.NWT, m_copy.NWT);
  lstrcpyW(options.NWL, m_copy.NWL);
  options.NV = m_copy.NV;
  options.NT1 = m_copy.NT1;
  options.NT2 = m_copy.NT2;
  options.NT3 = m_copy.NT3;
  GetToolHost()->SaveOptions();
  EndDialog(hwnd, 0);
}

}  // namespace tessivo
