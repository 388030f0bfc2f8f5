// ksMain's rooms, movies and splash: the room a match is played in, the
// table set up for the match, the maker's splash at start-up, the plain
// sound source that carries the mixed effects, and the career movies.
#include "ce/crt.h"

#include "engine/audio/audio_wave_out.h"
#include "engine/audio/sound_source.h"
#include "display/display_s16.h"
#include "engine/log.h"
#include "ks_main.h"
#include "engine/movie/movie_player.h"
#include "play/scene_loader.h"
#include "simulation/table.h"
#include "ui/dlg_man.h"

namespace {
constexpr int kLog = 2;

struct RoomSize {
  ks::Fix16 width, length;
  double nearFactor, farFactor;
};
constexpr RoomSize kRooms[ks::app::kRoomCount] = {{0x100000, 0x200000, 0.2, 5.7}, {0x100000, 0x200000, 0.2, 5.7},
                                                  {0x100000, 0x200000, 0.2, 5.7}, {0x133800, 0x267000, 0.8, 5.6},
                                                  {0x133800, 0x267000, 0.8, 5.6}, {0x133800, 0x267000, 0.8, 5.6}};

constexpr const wchar_t* kMovies[8] = {L"KSIntroM.avi",   L"HawgPenM.avi",    L"PitStopM.avi", L"DeepPocketsM.avi",
                                       L"HardTimesM.avi", L"BeachHouseM.avi", L"WinM.avi",     L"LoseM.avi"};
}  // namespace

void ksMain::LoadRoom(int index) {
  WriteLog(kLog, L"Loading Room %d", index);
  StopMusic();
  if (index < 0 || index >= ks::app::kRoomCount) index = 0;
  const RoomSize& size = kRooms[index];
  nearViewDistance = static_cast<std::int32_t>(size.length * size.nearFactor);
  farViewDistance = static_cast<std::int32_t>(size.length * size.farFactor);
  matchSetup_.room = static_cast<std::uint16_t>(index);
  WriteLog(kLog, L"Init Pool");
  PlaceRoomBalls();
  WriteLog(kLog, L"Init Pool Complete");
  SetupMatch(playMode_ == StartMode::kFresh);
  if (!pendingState_.empty()) {
    // A resumed match: the table takes the saved state, which it checks.
    ks::Pool& p = *pool();
    // The player at the table, his ball in hand and his aim are the held
    // ones: the play control carries the match on from them.
    if (p.ReadState(pendingState_.data(), pendingState_.size())) {
      p.RestoreBallState();
    } else {
      WriteLog(kLog, L"Saved table state refused; the match starts afresh");
      playMode_ = StartMode::kFresh;
    }
    pendingState_.clear();
  }
  scene = std::make_unique<ks::play::PlayScene>(display.get(), pool());
  const ks::play::LoadReport report = scene->LoadRoom(index);
  WriteLog(kLog, L"Got Table, Numbers, Shadow");
  if (report.roomSurfaces < 6 || !report.table || !report.stick || !report.ballTextures)
    WriteLog(kLog, L"Room %d incomplete: surfaces %d, table %d, stick %d, balls %d", index, report.roomSurfaces,
             report.table ? 1 : 0, report.stick ? 1 : 0, report.ballTextures ? 1 : 0);
  WriteLog(kLog, L"Balls Created");
  StartMusic(L"");
  WriteLog(kLog, L"Load Room Complete");
}

void ksMain::UnloadRoom() {
  scene.reset();
  roomReady = false;
}

int ksMain::PlaceRoomBalls() {
  // A fresh table for the match's game type and table size; the devices
  // stay attached.
  ks::Pool* old = pool();
  ks::GameSound* sound = old ? old->sound : nullptr;
  ks::MemberReader* archive = old ? old->archive : nullptr;
  table = std::make_unique<ks::Table>(TableSetupOf(), this);
  ks::Pool& p = *pool();
  p.sound = sound;
  p.archive = archive;
  p.silent = sound ? 0 : 1;
  if (playMode_ == StartMode::kCareerResumed) {
    if (ks::app::CareerRecord* career = CurrentCareer()) {
      const ks::app::MatchSetup held = ks::app::MatchSetup::Read(career->heldSetup.data());
      if (held.Valid()) {
        matchSetup_ = held;
        table = std::make_unique<ks::Table>(TableSetupOf(), this);
        table->pool().sound = sound;
        table->pool().archive = archive;
        table->pool().silent = sound ? 0 : 1;
        pendingState_.assign(career->heldState.begin(), career->heldState.begin() + ks::Pool::kTableStateSize);
      } else {
        WriteLog(kLog, L"Held career game refused; a new game starts");
        playMode_ = StartMode::kFresh;
      }
    }
  }
  return 1;
}

ks::TableSetup ksMain::TableSetupOf() const {
  ks::TableSetup setup;
  const std::int16_t type = ks::app::GameTypeOfMenu(matchSetup_.menuGame);
  setup.game = type != 0 ? static_cast<ks::GameKind>(type) : ks::GameKind::kNineBall;
  setup.size = matchSetup_.room >= 3 ? ks::TableSize::kLarge : ks::TableSize::kSmall;
  switch (static_cast<ks::app::SecondPlayer>(matchSetup_.secondPlayer)) {
    case ks::app::SecondPlayer::kComputer:
    case ks::app::SecondPlayer::kComputerSecond:
      setup.opponent = ks::Opponent::kComputer;
      break;
    case ks::app::SecondPlayer::kHuman:
      setup.opponent = ks::Opponent::kHuman;
      break;
    default:
      setup.opponent = ks::Opponent::kPractice;
      break;
  }
  setup.seed = clock ? clock->Elapsed() ^ 0x5EED : 1;
  setup.matchGoal = static_cast<std::int16_t>(matchSetup_.gameGoal == 0 ? 1 : matchSetup_.gameGoal);
  if (matchSetup_.pointGoal != 0) setup.pointsGoal = static_cast<std::int16_t>(matchSetup_.pointGoal);
  setup.sound = true;
  return setup;
}

int ksMain::ShowSplash() {
  ShowLoading();
  if (input)
    input->m_Wait = [] {
      WaitBlock block;
      ksMain::KeepAlive(&block);
    };
  splashImage = display ? display->GetTexture(L"Orvane.tga", L"UI", L"res.ark", 0, false, false) : nullptr;
  if (display) DrawFullScreenImage(splashImage);
  splashDeadline = GetTime() + kSplashMs;
  state_ = AppState::kSplash;
  if (display) {
    WriteLog(kLog, L"UseGDI=%d", display->m_UseGdi ? 1 : 0);
    WriteLog(kLog, L"UseRAW=%d", display->m_UseRaw ? 1 : 0);
    WriteLog(kLog, L"UseGAPI=%d", display->m_UseGapi ? 1 : 0);
  }
  return 0;
}

void ksMain::StartMusic(const wchar_t*) {
  if (!audio || music) return;
  music = std::make_unique<ssSoundSource>();
  music->Init();
  music->SetVolume(prefs_[ks::app::pref::kEffectsVolume]);
  audio->AttachSource(music.get());
  audio->PlaySource(music.get());
}

void ksMain::StopMusic() {
  if (!music) return;
  if (audio) {
    audio->StopSource(music.get());
    audio->DetachSource(music.get());
  }
  music->Close();
  music.reset();
}

int ksMain::PlayMovie(int number) {
  StopMusic();
  if (movie) {
    movie->Stop();
    movie->Close();
    movie.reset();
  }
  movie = std::make_unique<ssMoviePlayer>();
  movie->Init(display.get(), audio.get(), input.get());
  if (dlgMan) dlgMan->PopAll();
  movie->m_Archive = display ? display->GetArchive() : nullptr;
  const bool known = number >= 0 && number < 8;
  const bool opened = known && movie->Open(kMovies[number], L"Movies", L"movies.ark") == 0;
  if (known) WriteLog(kLog, L"Play %s", kMovies[number]);
  movieNumber = opened ? number : -1;
  if (opened) {
    const int volume = audio ? audio->GetVolume() : 5;
    movie->SetVolume(static_cast<std::uint32_t>(volume < 5 ? 5 : volume));
    state_ = AppState::kStartMovie;
  } else {
    // No movie: straight to the menus, with the effects' source back.
    movie.reset();
    state_ = AppState::kCareerMenus;
    StartMusic(L"");
  }
  return 1;
}
