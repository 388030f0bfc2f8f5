// ksMain's saves: careers, preferences, players and the quick-play save,
// through the save store; and holding or saving an interrupted match.
#include <algorithm>

#include "engine/log.h"
#include "ks_main.h"
#include "play/control.h"
#include "simulation/table.h"

void ksMain::LoadCareers() {
  careers = saves_->LoadCareers();
  std::uint8_t best = 0;
  for (const ks::app::CareerRecord& r : careers.records) best = std::max(best, r.level);
  if (best > prefs[ks::app::pref::kBestLevel]) prefs[ks::app::pref::kBestLevel] = best;
  currentCareer = 0;
}

void ksMain::SaveCareers() {
  if (saves_) saves_->SaveCareers(careers);
}

ks::app::CareerRecord* ksMain::AddCareer() {
  if (careers.records.size() >= ks::app::kMaxCareers) return nullptr;
  careers.records.push_back(ks::app::CareerRecord::Fresh());
  return &careers.records.back();
}

void ksMain::DeleteCareer(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= careers.records.size()) return;
  careers.records.erase(careers.records.begin() + index);
  if (static_cast<std::size_t>(currentCareer) >= careers.records.size()) currentCareer = 0;
  if (prefs[ks::app::pref::kLastCareer] >= careers.records.size()) prefs[ks::app::pref::kLastCareer] = 0;
}

void ksMain::LoadPrefs() {
  prefs = saves_->LoadPrefs(gapiKeys);
  prefsVersion = prefs.version;
}

void ksMain::SavePrefs() {
  if (saves_) saves_->SavePrefs(prefs);
}

void ksMain::DefaultPrefs() { prefs.Defaults(); }

void ksMain::DefaultKeyMap() { prefs.DefaultKeys(gapiKeys); }

void ksMain::LoadPlayers() { players = saves_->LoadPlayers(); }

void ksMain::SavePlayers() {
  if (saves_) saves_->SavePlayers(players);
}

std::uint32_t ksMain::ZipToEnd() {
  if (!control) return 0;
  const ks::play::InputEvent key{WM_KEYDOWN, prefs.keys[5], 0, GetTime()};
  std::uint32_t over = control->HandleEvent(key);
  const ks::play::InputEvent up{WM_KEYUP, prefs.keys[5], 0, GetTime()};
  over |= control->HandleEvent(up);
  return over;
}

void ksMain::HoldCareerGame() {
  ks::app::CareerRecord* career = CurrentCareer();
  ks::Pool* p = pool();
  if (career == nullptr || p == nullptr) return;
  ZipToEnd();
  careerHeld = true;
  career->held = 1;
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags & ~8u);
  p->SaveBallState();
  career->heldState.fill(0);
  p->WriteState(career->heldState.data(), career->heldState.size());
  matchSetup.Write(career->heldSetup.data());
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags | 8u);
  p->OnGameEvent(13);
  SaveCareers();
  returnScreen_ = ReturnScreen::kMainMenu;
}

void ksMain::SaveQuickPlay() {
  ks::Pool* p = pool();
  if (p == nullptr) return;
  ZipToEnd();
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags & ~8u);
  p->SaveBallState();
  ks::app::QuickPlaySave save;
  save.state.assign(ks::app::kQuickPlayStateSize, 0);
  p->WriteState(save.state.data(), save.state.size());
  save.setup = matchSetup;
  const bool written = saves_->SaveQuickPlay(save);
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags | 8u);
  p->OnGameEvent(13);
  // The save is marked present only when it was written whole.
  if (written) {
    prefs[ks::app::pref::kQuickPlaySaved] = 1;
    SavePrefs();
  } else {
    WriteLog(2, L"Quick-play save fail");
  }
}

bool ksMain::ResumeQuickPlay() {
  prefs[ks::app::pref::kQuickPlaySaved] = 0;
  const std::optional<ks::app::QuickPlaySave> save = saves_->LoadQuickPlay();
  if (!save) return false;
  matchSetup = save->setup;
  pendingState_ = save->state;
  matchStartMode_ = StartMode::kQuickPlayResumed;
  playMode_ = StartMode::kQuickPlayResumed;
  state_ = AppState::kLoading;
  returnScreen_ = ReturnScreen::kMainMenu;
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
