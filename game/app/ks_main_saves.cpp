// ksMain's saves: careers, preferences, players and the quick-play save,
// through the save store; and holding or saving an interrupted match.
#include <algorithm>

#include "engine/log.h"
#include "ks_main.h"
#include "play/control.h"
#include "simulation/table.h"

void ksMain::LoadCareers() {
  careers_ = saves_->LoadCareers();
  std::uint8_t best = 0;
  for (const ks::app::CareerRecord& r : careers_.records) best = std::max(best, r.level);
  if (best > prefs_[ks::app::pref::kBestLevel]) prefs_[ks::app::pref::kBestLevel] = best;
  currentCareer_ = 0;
}

void ksMain::SaveCareers() {
  if (saves_) saves_->SaveCareers(careers_);
}

ks::app::CareerRecord* ksMain::AddCareer() {
  if (careers_.records.size() >= ks::app::kMaxCareers) return nullptr;
  careers_.records.push_back(ks::app::CareerRecord::Fresh());
  return &careers_.records.back();
}

void ksMain::DeleteCareer(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= careers_.records.size()) return;
  careers_.records.erase(careers_.records.begin() + index);
  if (static_cast<std::size_t>(currentCareer_) >= careers_.records.size()) currentCareer_ = 0;
  if (prefs_[ks::app::pref::kLastCareer] >= careers_.records.size()) prefs_[ks::app::pref::kLastCareer] = 0;
}

void ksMain::LoadPrefs() {
  prefs_ = saves_->LoadPrefs(gapiKeys);
  prefsVersion = prefs_.version;
}

void ksMain::SavePrefs() {
  if (saves_) saves_->SavePrefs(prefs_);
}

void ksMain::DefaultPrefs() { prefs_.Defaults(); }

void ksMain::DefaultKeyMap() { prefs_.DefaultKeys(gapiKeys); }

void ksMain::LoadPlayers() { players_ = saves_->LoadPlayers(); }

void ksMain::SavePlayers() {
  if (saves_) saves_->SavePlayers(players_);
}

std::uint32_t ksMain::ZipToEnd() {
  if (!control) return 0;
  const ks::play::InputEvent key{WM_KEYDOWN, prefs_.keys[5], 0, GetTime()};
  std::uint32_t over = control->HandleEvent(key);
  const ks::play::InputEvent up{WM_KEYUP, prefs_.keys[5], 0, GetTime()};
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
  matchSetup_.Write(career->heldSetup.data());
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
  save.setup = matchSetup_;
  const bool written = saves_->SaveQuickPlay(save);
  p->rules.TurnFlags = static_cast<std::uint8_t>(p->rules.TurnFlags | 8u);
  p->OnGameEvent(13);
  // The save is marked present only when it was written whole.
  if (written) {
    prefs_[ks::app::pref::kQuickPlaySaved] = 1;
    SavePrefs();
  } else {
    WriteLog(2, L"Quick-play save fail");
  }
}

bool ksMain::ResumeQuickPlay() {
  prefs_[ks::app::pref::kQuickPlaySaved] = 0;
  const std::optional<ks::app::QuickPlaySave> save = saves_->LoadQuickPlay();
  if (!save) return false;
  matchSetup_ = save->setup;
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
