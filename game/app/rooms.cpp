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
  m_NearViewDistance = static_cast<std::int32_t>(size.length * size.nearFactor);
  m_FarViewDistance = static_cast<std::int32_t>(size.length * size.farFactor);
  m_MatchSetup.room = static_cast<std::uint16_t>(index);
  WriteLog(kLog, L"Init Pool");
  PlaceRoomBalls();
  WriteLog(kLog, L"Init Pool Complete");
  SetupMatch(m_PlayMode == StartMode::kFresh);
  if (!m_PendingState.empty()) {
    // A resumed match: the table takes the saved state, which it checks.
    ks::Pool& p = *Pool();
    // The player at the table, his ball in hand and his aim are the held
    // ones: the play control carries the match on from them.
    if (p.ReadState(m_PendingState.data(), m_PendingState.size())) {
      p.RestoreBallState();
    } else {
      WriteLog(kLog, L"Saved table state refused; the match starts afresh");
      m_PlayMode = StartMode::kFresh;
    }
    m_PendingState.clear();
  }
  m_Scene = std::make_unique<ks::play::PlayScene>(m_Display.get(), Pool());
  const ks::play::LoadReport report = m_Scene->LoadRoom(index);
  WriteLog(kLog, L"Got Table, Numbers, Shadow");
  if (report.roomSurfaces < 6 || !report.table || !report.stick || !report.ballTextures)
    WriteLog(kLog, L"Room %d incomplete: surfaces %d, table %d, stick %d, balls %d", index, report.roomSurfaces,
             report.table ? 1 : 0, report.stick ? 1 : 0, report.ballTextures ? 1 : 0);
  WriteLog(kLog, L"Balls Created");
  StartMusic(L"");
  WriteLog(kLog, L"Load Room Complete");
}

void ksMain::UnloadRoom() {
  m_Scene.reset();
  m_RoomReady = false;
}

int ksMain::PlaceRoomBalls() {
  // A fresh table for the match's game type and table size; the devices
  // stay attached.
  ks::Pool* old = Pool();
  ks::GameSound* sound = old ? old->sound : nullptr;
  ks::MemberReader* archive = old ? old->archive : nullptr;
  m_Table = std::make_unique<ks::Table>(TableSetupOf(), this);
  ks::Pool& p = *Pool();
  p.sound = sound;
  p.archive = archive;
  p.silent = sound ? 0 : 1;
  if (m_PlayMode == StartMode::kCareerResumed) {
    if (ks::app::CareerRecord* career = CurrentCareer()) {
      const ks::app::MatchSetup held = ks::app::MatchSetup::Read(career->heldSetup.data());
      if (held.Valid()) {
        m_MatchSetup = held;
        m_Table = std::make_unique<ks::Table>(TableSetupOf(), this);
        m_Table->pool().sound = sound;
        m_Table->pool().archive = archive;
        m_Table->pool().silent = sound ? 0 : 1;
        m_PendingState.assign(career->heldState.begin(), career->heldState.begin() + ks::Pool::kTableStateSize);
      } else {
        WriteLog(kLog, L"Held career game refused; a new game starts");
        m_PlayMode = StartMode::kFresh;
      }
    }
  }
  return 1;
}

ks::TableSetup ksMain::TableSetupOf() const {
  ks::TableSetup setup;
  const std::int16_t type = ks::app::GameTypeOfMenu(m_MatchSetup.menuGame);
  setup.game = type != 0 ? static_cast<ks::GameKind>(type) : ks::GameKind::kNineBall;
  setup.size = m_MatchSetup.room >= 3 ? ks::TableSize::kLarge : ks::TableSize::kSmall;
  switch (static_cast<ks::app::SecondPlayer>(m_MatchSetup.secondPlayer)) {
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
  setup.seed = m_Clock ? m_Clock->Elapsed() ^ 0x5EED : 1;
  setup.matchGoal = static_cast<std::int16_t>(m_MatchSetup.gameGoal == 0 ? 1 : m_MatchSetup.gameGoal);
  if (m_MatchSetup.pointGoal != 0) setup.pointsGoal = static_cast<std::int16_t>(m_MatchSetup.pointGoal);
  setup.sound = true;
  return setup;
}

int ksMain::ShowSplash() {
  ShowLoading();
  if (m_Input)
    m_Input->m_Wait = [] {
      WaitBlock block;
      ksMain::KeepAlive(&block);
    };
  m_SplashImage = m_Display ? m_Display->GetTexture(L"Orvane.tga", L"UI", L"res.ark", 0, true, false) : nullptr;
  if (m_Display) DrawFullScreenImage(m_SplashImage);
  m_SplashDeadline = GetTime() + kSplashMs;
  m_State = AppState::kSplash;
  if (m_Display) {
    WriteLog(kLog, L"UseGDI=%d", m_Display->m_UseGdi ? 1 : 0);
    WriteLog(kLog, L"UseRAW=%d", m_Display->m_UseRaw ? 1 : 0);
    WriteLog(kLog, L"UseGAPI=%d", m_Display->m_UseGapi ? 1 : 0);
  }
  return 0;
}

void ksMain::StartMusic(const wchar_t*) {
  if (!m_Audio || m_Music) return;
  m_Music = std::make_unique<ssSoundSource>();
  m_Music->Init();
  m_Music->SetVolume(m_Prefs[ks::app::pref::kEffectsVolume]);
  m_Audio->AttachSource(m_Music.get());
  m_Audio->PlaySource(m_Music.get());
}

void ksMain::StopMusic() {
  if (!m_Music) return;
  if (m_Audio) {
    m_Audio->StopSource(m_Music.get());
    m_Audio->DetachSource(m_Music.get());
  }
  m_Music->Close();
  m_Music.reset();
}

int ksMain::PlayMovie(int number) {
  StopMusic();
  if (m_Movie) {
    m_Movie->Stop();
    m_Movie->Close();
    m_Movie.reset();
  }
  m_Movie = std::make_unique<ssMoviePlayer>();
  m_Movie->Init(m_Display.get(), m_Audio.get(), m_Input.get());
  if (m_DlgMan) m_DlgMan->PopAll();
  m_Movie->m_Archive = m_Display ? m_Display->GetArchive() : nullptr;
  const bool known = number >= 0 && number < 8;
  const bool opened = known && m_Movie->Open(kMovies[number], L"Movies", L"movies.ark") == 0;
  if (known) WriteLog(kLog, L"Play %s", kMovies[number]);
  m_MovieNumber = opened ? number : -1;
  if (opened) {
    const int volume = m_Audio ? m_Audio->GetVolume() : 5;
    m_Movie->SetVolume(static_cast<std::uint32_t>(volume < 5 ? 5 : volume));
    m_State = AppState::kStartMovie;
  } else {
    // No movie: straight to the menus, with the effects' source back.
    m_Movie.reset();
    m_State = AppState::kCareerMenus;
    StartMusic(L"");
  }
  return 1;
}
