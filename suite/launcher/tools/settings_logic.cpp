#include "settings_logic.h"

#include "common/iss_utility.h"
#include "tool_host.h"

namespace tessivo {

namespace {
constexpr UINT kStrSettingsTitle = 119;
constexpr int kTitleCapacity = 41;  // 40 characters and the terminator
}  // namespace

CSettingsLogic::CSettingsLogic() : CToolLogic(0), m_utility(suite::IssUtility::GetInstance()) {}

void CSettingsLogic::LoadTexts() {
  m_title[0] = 0;
  if (GetToolHost() != nullptr) LoadStringW(GetToolHost()->Module(), kStrSettingsTitle, m_title, kTitleCapacity);
}

BOOL CSettingsLogic::OnInitDialog(HWND hwnd) {
  LoadTexts();
  return CToolLogic::OnInitDialog(hwnd);
}

}  // namespace tessivo
