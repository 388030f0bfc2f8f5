// ksMain: the pool game's one application object. It owns every device and
// every long-lived object (the game clock, the table, the display, input,
// audio, the screen stack, the match while one is played, the fonts, the
// preferences, the careers and the player records), is initialised once,
// driven by HandleEvent with every window message and frame tick, and shut
// down in a fixed order.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ce/windows.h"
#include "display/input.h"
#include "engine/image.h"
#include "engine/timer.h"
#include "match_setup.h"
#include "play/hud.h"
#include "saves/opponents.h"
#include "saves/save_store.h"
#include "simulation/services.h"
#include "ui/dlg.h"

class DlgMan;
class Dlg;
class ssAudioWaveOut;
class ssDisplayS16;
class ssFont;
class ssImage;
class ssMoviePlayer;
class ssSoundSource;

namespace ks {
class Table;
struct TableSetup;
class Pool;
namespace play {
class Control;
class PlayScene;
struct KeyMap;
}  // namespace play
}  // namespace ks

// The application states.
enum class AppState : std::int32_t {
  kStart = 0,        // constructed, before the splash
  kQuit = 1,         // the window procedure ends the program after the dispatch
  kPlay = 2,         // events go to the play control
  kMenus = 3,        // events go to the screen stack
  kLoading = 4,      // allocate the game memory, show "Loading...", then kCreateMatch
  kMovie = 5,        // a movie plays
  kMainMenu = 6,     // the main menu is to be shown
  kCreateMatch = 7,  // create the match
  kCareerMenus = 8,  // the main menu and the career map are to be shown
  kStartMovie = 9,   // the movie is to be started
  kSplash = 10,      // the maker's splash, waiting for the copyright screen
  kCopyright = 11,   // the copyright screen, waiting for the menus
};

// How a match starts.
enum class StartMode : std::int32_t { kFresh = 0, kQuickPlayResumed = 2, kCareerResumed = 3 };

// The screen a match's end goes back to.
enum class ReturnScreen : std::int32_t { kMainMenu = 0, kQuickPlay = 1, kCareerMap = 2 };

// A modal wait of KeepAlive: the first word set ends it.
struct WaitBlock {
  std::uint32_t done = 0;
  std::uint32_t words[2] = {};
};

class ksMain final : public ks::PoolHost {
 public:
  static constexpr int kDesignWidth = 220;
  static constexpr int kDesignHeight = 176;
  static constexpr std::uint32_t kSplashMs = 3000;
  static constexpr std::size_t kGameMemorySize = 0x40000;
  static constexpr std::size_t kWorkBlockSize = 100000;

  ksMain();
  ~ksMain() override;
  ksMain(const ksMain&) = delete;
  ksMain& operator=(const ksMain&) = delete;

  // 0, -1 when the display cannot be opened, -2 when the small font is missing.
  int Init(HWND window, HDC dc, int screenWidth, int screenHeight, int bitsPerPixel, const wchar_t* programFolder,
           int displayOption, int designWidth, int designHeight);
  // Stores the design size in an opened display and the scale factors that
  // fonts and pictures are made to: the screen as the person sees it (its
  // sides swapped by an odd turn) over the design size, so a turned screen
  // gets the letters of the same screen held upright.
  static void SetDesignSize(ssDisplay* display, int designWidth, int designHeight);
  // Saves a match on screen, then frees everything in the fixed order. Safe
  // after a failed or partial Init, and only the first call does anything.
  void Shutdown();

  std::uint32_t GetTime() override;

  // The state machine; the event may be changed in place (pen coordinates
  // and direction keys follow the display's rotation).
  void HandleEvent(InputEvent& event);
  void StartMenus();
  void ShowLoading();
  void CreateControl(StartMode mode);
  void EndPlay();
  int ShowCareerResult();

  // Rooms, movies and the splash.
  void LoadRoom(int index);
  void UnloadRoom();
  int PlaceRoomBalls();
  int ShowSplash();
  void StartMusic(const wchar_t* name);
  void StopMusic();
  int PlayMovie(int number);

  // The match set-up.
  void SetupMatch(bool resetScores);
  int GetOpponentSkill(int index) const;
  void ApplySettings();
  void ComputeSpot(int* spotReceived, int* spotGiven, int goal, int firstRating, int secondRating) const;

  // Saves.
  void LoadCareers();
  void SaveCareers();
  ks::app::CareerRecord* AddCareer();  // null when all 16 slots are used
  void DeleteCareer(int index);
  void LoadPrefs();
  void SavePrefs();
  void DefaultPrefs();
  void DefaultKeyMap();
  void LoadPlayers();
  void SavePlayers();
  void HoldCareerGame();
  void SaveQuickPlay();
  // The main menu's resume of the quick-play save: true when a sound save
  // was read (the match then loads from it), false when there is none.
  bool ResumeQuickPlay();

  // The modal wait other subsystems use for long operations.
  static void KeepAlive(WaitBlock* block);

  // The window procedure's side: suspend and resume, the sound stream and
  // redrawing the match.
  void OnActivate(bool active);
  void OnSuspendKey();
  // False while suspended or in the background: no event is dispatched.
  bool Active() const { return m_Active; }
  // The game clock does not count the time spent suspended (on resume
  // after the suspend key).
  void SkipSuspendedTime();
  // Keeps the sound stream fed (on every window message).
  void FeedSound();
  // While a match is on screen, its frame is drawn again in full.
  void RedrawPlay();
  // Draws the match's frame as the frame tick does: only what changed
  // unless `full`, with the in-game texts over it.
  void DrawMatchFrame(bool full);
  // Where the saves go; set before Init.
  void SetDocumentsFolder(const wchar_t* folder) { m_DocumentsFolder = folder; }

  // ---- the screens' commands ----
  // The state machine and the match's course change only through these.
  // The main menu's Quit: the program ends after this event.
  void Quit() { m_State = AppState::kQuit; }
  // Play takes the events again (the in-game menu's choices, the key map's
  // Back).
  void ReturnToPlay() { m_State = AppState::kPlay; }
  // The screen stack takes the events (the in-game menu opened).
  void EnterMenus() { m_State = AppState::kMenus; }
  // A match is loaded from the next tick on, started as `mode` says; its
  // end goes back to `back`.
  void LoadMatch(StartMode mode, ReturnScreen back);
  // The same for a career match: career play on, nothing held. A resumed
  // career match plays on from the table state it was held with.
  void LoadCareerMatch(StartMode mode, ReturnScreen back);
  // Whether the menus are those of career play (the in-game menu holds the
  // career, the match's end settles it).
  bool CareerPlay() const { return m_CareerPlay; }
  void SetCareerPlay(bool on) { m_CareerPlay = on; }
  // A movie started from the main menu's screens ends on the menus alone,
  // not on the career map.
  void MenusAfterMovie() { m_StateAfterMovie = AppState::kMenus; }
  // The main menu screen at the bottom of the stack.
  void SetMainMenu(Dlg* menu) { m_MainMenu = menu; }
  // A match being played takes the keys of the preferences at once.
  void ApplyKeyMapPrefs();
  // The name of the career's player entry (cut to the buffer).
  void SetSpareName(const char* nickname);
  const wchar_t* GameName(int menuGame) const { return m_GameNames[static_cast<std::size_t>(menuGame)]; }
  const wchar_t* DifficultyName(int difficulty) const {
    return m_DifficultyNames[static_cast<std::size_t>(difficulty)];
  }
  // The keypad picture shown over the match (null when hidden).
  Dlg* KeyMapScreen() const { return m_KeyMapScreen.get(); }
  void ShowKeyMapScreen(std::unique_ptr<Dlg> screen) { m_KeyMapScreen = std::move(screen); }
  void HideKeyMapScreen() { m_KeyMapScreen.reset(); }
  // The player's data the screens read and edit: the match being set up,
  // the preferences, the careers (and the one chosen), the player records
  // and the opponent table built from them.
  ks::app::MatchSetup& MatchSetup() { return m_MatchSetup; }
  const ks::app::MatchSetup& MatchSetup() const { return m_MatchSetup; }
  ks::app::Prefs& Prefs() { return m_Prefs; }
  const ks::app::Prefs& Prefs() const { return m_Prefs; }
  ks::app::Careers& Careers() { return m_Careers; }
  const ks::app::Careers& Careers() const { return m_Careers; }
  int CareerIndex() const { return m_CurrentCareer; }
  void SelectCareer(int index) { m_CurrentCareer = index; }
  ks::app::Players& Players() { return m_Players; }
  const ks::app::Players& Players() const { return m_Players; }
  ks::app::OpponentTable& Opponents() { return m_Opponents; }
  const ks::app::OpponentTable& Opponents() const { return m_Opponents; }
  // Where the state machine stands, and the screen the match's end goes
  // back to.
  AppState State() const { return m_State; }
  ReturnScreen ReturnTo() const { return m_ReturnScreen; }

  // ---- the screens' devices ----
  // A screen is built on the display and input, then pushed on the stack;
  // both exist from Init on (ScreensReady).
  bool ScreensReady() const { return m_DlgMan && m_Display; }
  ssDisplayS16* Display() const { return m_Display.get(); }  // null before Init
  ssInput* Input() const { return m_Input.get(); }
  void PushScreen(Dlg* screen);  // only when ScreensReady
  // Every screen off the stack (a match is to load, the map takes over).
  void CloseScreens();
  // A message box over the screens; false when it could not be built.
  bool ShowMessage(const wchar_t* title, const wchar_t* text);
  // The sound's volume (0-10), heard at once; Volume reads the device's
  // (the preference's without a device).
  void SetVolume(int volume);
  int Volume() const;
  // The settings' Music choice: the sound paused or playing.
  void PauseSound(bool paused);

  ks::Pool* Pool();
  ks::app::CareerRecord* CurrentCareer();
  ks::app::SaveStore* Saves() { return m_Saves.get(); }

  // ---- what the tests inspect of a running match ----
  DlgMan* ScreenStack() const { return m_DlgMan.get(); }
  ks::play::Control* PlayControl() const { return m_Control.get(); }  // null outside a match
  ks::play::PlayScene* Scene() const { return m_Scene.get(); }
  // True when the sound device is paused (or there is none).
  bool SoundPaused() const;
  // The aiming distance the next match starts with, and the room's view
  // distances from a table end and from above.
  std::int32_t CameraDistance() const { return m_CameraDistance; }
  std::int32_t NearViewDistance() const { return m_NearViewDistance; }
  std::int32_t FarViewDistance() const { return m_FarViewDistance; }
  int MovieNumber() const { return m_MovieNumber; }  // the movie PlayMovie last opened (0-7), -1 none
  // Frames of matches shown on the screen since start: a frame in which
  // nothing changed is not shown.
  int MatchFramesShown() const { return m_MatchFramesShown; }
  // The message that settles a career match ("You won $..." and the rest).
  const std::wstring& CareerMessage() const { return m_CareerMessage; }
  // The screen tests lay the screens out on displays of other shapes: the
  // display given is used from now on, the one before is handed back.
  std::unique_ptr<ssDisplayS16> ReplaceDisplay(std::unique_ptr<ssDisplayS16> next);

 private:
  class EffectSink;

  // The match's course and the suspend, kept by the application, read by
  // the window procedure and the tests through the accessors above.
  bool m_InPlay = false;
  bool m_Active = true;
  // Set when a career match is put on hold; the match's end then leaves the
  // career as it is.
  bool m_CareerHeld = false;
  std::uint32_t m_SuspendTime = 0;
  std::int32_t m_CameraDistance = 0x1B0000;
  int m_MovieNumber = -1;
  std::wstring m_DocumentsFolder;

  // ---- devices and objects ----
  std::unique_ptr<ssTimer> m_Clock;
  std::unique_ptr<ssDisplayS16> m_Display;
  std::unique_ptr<ssInput> m_Input;
  std::unique_ptr<ssAudioWaveOut> m_Audio;
  std::unique_ptr<DlgMan> m_DlgMan;
  std::unique_ptr<ks::play::PlayScene> m_Scene;
  std::unique_ptr<ks::play::Control> m_Control;
  std::int32_t m_NearViewDistance = 0, m_FarViewDistance = 0;
  std::wstring m_CareerMessage;

  ks::app::MatchSetup m_MatchSetup;
  ks::app::Prefs m_Prefs;
  ks::app::Careers m_Careers;
  int m_CurrentCareer = 0;  // index into m_Careers.records
  ks::app::Players m_Players{};
  ks::app::OpponentTable m_Opponents;
  // The state machine, changed by the commands above and the dispatch.
  AppState m_State = AppState::kStart;
  AppState m_StateAfterMovie = AppState::kCareerMenus;
  StartMode m_MatchStartMode = StartMode::kFresh;
  StartMode m_PlayMode = StartMode::kFresh;
  ReturnScreen m_ReturnScreen = ReturnScreen::kMainMenu;
  bool m_CareerPlay = false;
  Dlg* m_MainMenu = nullptr;
  // The keypad picture shown over the match with the Show KeyMap key.
  std::unique_ptr<Dlg> m_KeyMapScreen;
  // The career player's name in the opponent table (SetSpareName).
  std::array<char, 32> m_SpareName{};
  std::array<const wchar_t*, 7> m_GameNames{L"6-Ball",   L"8-Ball",   L"9-Ball", L"10-Ball",
                                            L"Rotation", L"Straight", L"10-Ball"};
  std::array<const wchar_t*, 4> m_DifficultyNames{L"Easy", L"Medium", L"Hard", L"Good Luck"};

  class ArchiveReader;

  // Kept and changed by the application alone.
  bool m_ResetRack = false;
  bool m_RoomReady = false;
  std::uint32_t m_MenuStartTime = 0;
  std::uint32_t m_MenuFrames = 0;
  std::uint32_t m_SplashDeadline = 0;
  float m_PenScaleX = 1.0f, m_PenScaleY = 1.0f;
  std::wstring m_DeviceName = L"<none>";
  std::uint32_t m_PrefsVersion = ks::app::kPrefsVersion;
  std::array<std::uint8_t, 5> m_GapiKeys{0x26, 0x28, 0x25, 0x27, 13};  // Up, Down, Left, Right, Start
  HWND m_Window = nullptr;
  std::unique_ptr<ks::Table> m_Table;
  std::unique_ptr<ks::play::KeyMap> m_KeyMap;
  std::unique_ptr<ssSoundSource> m_Music;
  std::unique_ptr<ssMoviePlayer> m_Movie;
  ssFont* m_SmallFont = nullptr;
  ssFont* m_MediumFont = nullptr;
  ssImage* m_SplashImage = nullptr;
  ssImage* m_CopyrightImage = nullptr;
  std::vector<std::uint8_t> m_GameMemory;  // 0x40000 bytes while a match is loaded
  std::vector<std::uint8_t> m_WorkBlock;   // 100,000 bytes while a match is loaded
  // Set when the match's end is shown: the final frame stays until this
  // time (or a key or a tap) before the menus return.
  std::optional<std::uint32_t> m_ResultUntil;

  // Events the Control sees: 32-bit parameters.
  std::uint32_t FeedControl(const InputEvent& event);
  // Finishes a running shot at once (the Zip To End key); non-zero when
  // that ended the match.
  std::uint32_t ZipToEnd();
  void RedrawMatch(bool present);
  void FinishMatch();
  // The match has ended: its last frame, then the menus after a moment.
  void ShowMatchOver();
  // The preferences that change how a match is shown ("Room Graphics",
  // "Adversary View"), applied to the match on the table: when it starts
  // and whenever play takes over from the menus (the settings may have
  // changed on the way).
  void ApplyPrefsToTable();
  void TurnPen(InputEvent& event) const;
  void TurnKey(InputEvent& event) const;
  void DrawFullScreenImage(ssImage* image);
  void HoldBacklight();
  void RestoreBacklight();
  void RequestBacklightPower();
  void ReleaseBacklightPower();
  void ReleaseMatchMemory();
  ks::TableSetup TableSetupOf() const;

  std::unique_ptr<ks::app::SaveStore> m_Saves;
  std::unique_ptr<EffectSink> m_Effects;
  std::unique_ptr<ArchiveReader> m_Reader;
  std::vector<std::uint8_t> m_PendingState;  // a saved table state to resume
  std::wstring m_ProgramFolder;
  std::uint32_t m_SavedVolume = 10;
  bool m_Initialised = false;
  bool m_ShutDown = false;
  // Backlight time-outs read at start; absent values are not written back.
  std::optional<std::uint32_t> m_BatteryTimeout, m_AcTimeout;
  bool m_BacklightHeld = false;
  HANDLE m_PowerRequest = nullptr;
  // The in-game texts the last frame showed (the verdict among them) and
  // the pocket the call-pocket prompt named (-1 none); until a match's
  // first frame there are none.
  ks::play::HudTexts m_LastHud;
  int m_LastPocket = -1;
  bool m_HudShown = false;
  bool m_TracksShown = false;  // the last frame showed track lines
  int m_MatchFramesShown = 0;
};

// The one application object of the running program (null before it exists).
extern ksMain* g_app;
