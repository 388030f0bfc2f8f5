// ksMain's saves: careers, preferences, players and the quick-play save,
// through the save store; and holding or saving an interrupted match.
#include <algorithm>

#include "engine/log.h"
#include "ks_main.h"
#include "play/control.h"
#include "simulation/table.h"

void ksMain::LoadCareers() {
  m_Careers = m_Saves->LoadCareers();
  std::uint8_t best = 0;
  for (const ks::app::CareerRecord& r : m_Careers.records) best = std::max(best, r.level);
  if (best > m_Prefs[ks::app::pref::kBestLevel]) m_Prefs[ks::app::pref::kBestLevel] = best;
  m_CurrentCareer = 0;
}

void ksMain::SaveCareers() {
  if (m_Saves) m_Saves->SaveCareers(m_Careers);
}

ks::app::CareerRecord* ksMain::AddCareer() {
  if (m_Careers.records.size() >= ks::app::kMaxCareers) return nullptr;
  m_Careers.records.push_back(ks::app::CareerRecord::Fresh());
  return &m_Careers.records.back();
}

void ksMain::DeleteCareer(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= m_Careers.records.size()) return;
  m_Careers.records.erase(m_Careers.records.begin() + index);
  if (static_cast<std::size_t>(m_CurrentCareer) >= m_Careers.records.size()) m_CurrentCareer = 0;
  if (m_Prefs[ks::app::pref::kLastCareer] >= m_Careers.records.size()) m_Prefs[ks::app::pref::kLastCareer] = 0;
}

void ksMain::LoadPrefs() {
  m_Prefs = m_Saves->LoadPrefs(m_GapiKeys);
  m_PrefsVersion = m_Prefs.version;
}

void ksMain::SavePrefs() {
  if (m_Saves) m_Saves->SavePrefs(m_Prefs);
}

void ksMain::DefaultPrefs() { m_Prefs.Defaults(); }

void ksMain::DefaultKeyMap() { m_Prefs.DefaultKeys(m_GapiKeys); }

void ksMain::LoadPlayers() { m_Players = m_Saves->LoadPlayers(); }

void ksMain::SavePlayers() {
  if (m_Saves) m_Saves->SavePlayers(m_Players);
}

std::uint32_t ksMain::ZipToEnd() {
  if (!m_Control) return 0;
  const ks::play::InputEvent key{WM_KEYDOWN, m_Prefs.keys[5], 0, GetTime()};
  std::uint32_t over = m_Control->HandleEvent(key);
  const ks::play::InputEvent up{WM_KEYUP, m_Prefs.keys[5], 0, GetTime()};
  over |= m_Control->HandleEvent(up);
  return over;
}

void ksMain::HoldCareerGame() {
  ks::app::CareerRecord* career = CurrentCareer();
  ks::Pool* p = Pool();
  if (career == nullptr || p == nullptr) return;
  ZipToEnd();
  m_CareerHeld = true;
  career->held = 1;
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags & ~8u);
  p->SaveBallState();
  career->heldState.fill(0);
  p->WriteState(career->heldState.data(), career->heldState.size());
  m_MatchSetup.Write(career->heldSetup.data());
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags | 8u);
  p->OnGameEvent(13);
  SaveCareers();
  m_ReturnScreen = ReturnScreen::kMainMenu;
}

void ksMain::SaveQuickPlay() {
  ks::Pool* p = Pool();
  if (p == nullptr) return;
  ZipToEnd();
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags & ~8u);
  p->SaveBallState();
  ks::app::QuickPlaySave save;
  save.state.assign(ks::app::kQuickPlayStateSize, 0);
  p->WriteState(save.state.data(), save.state.size());
  save.setup = m_MatchSetup;
  const bool written = m_Saves->SaveQuickPlay(save);
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags | 8u);
  p->OnGameEvent(13);
  // The save is marked present only when it was written whole.
  if (written) {
    m_Prefs[ks::app::pref::kQuickPlaySaved] = 1;
    SavePrefs();
  } else {
    WriteLog(2, L"Quick-play save fail");
  }
}

bool ksMain::ResumeQuickPlay() {
  m_Prefs[ks::app::pref::kQuickPlaySaved] = 0;
  const std::optional<ks::app::QuickPlaySave> save = m_Saves->LoadQuickPlay();
  if (!save) return false;
  m_MatchSetup = save->setup;
  m_PendingState = save->state;
  m_MatchStartMode = StartMode::kQuickPlayResumed;
  m_PlayMode = StartMode::kQuickPlayResumed;
  m_State = AppState::kLoading;
  m_ReturnScreen = ReturnScreen::kMainMenu;
  return true;
}

void ksMain::KeepAlive(WaitBlock* block) {
  static WaitBlock defaultBlock;
  static WaitBlock* current = &defaultBlock;
  WaitBlock* previous = current;
  current = block;
  *block = WaitBlock{};
  while (block->done == 0) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The quit message belongs to the main loop: post it again and leave.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  current = previous;
}
