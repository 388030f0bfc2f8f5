// ksMain: construction, Init, Shutdown, the clock, the backlight, and the
// window procedure's suspend and resume.
#include "ks_main.h"

#include <cstring>

#include "engine/audio/audio_wave_out.h"
#include "engine/audio/sound_source.h"
#include "ce/gx.h"
#include "ce/pm.h"
#include "display/display_s16.h"
#include "display/font.h"
#include "engine/archive.h"
#include "engine/log.h"
#include "engine/movie/movie_player.h"
#include "play/control.h"
#include "play/scene_loader.h"
#include "simulation/table.h"
#include "ui/dlg_man.h"
#include "ui/message_dlg.h"

ksMain* g_app = nullptr;

namespace {
constexpr int kLog = 2;
constexpr std::uint32_t kPlayBacklightTimeout = 1200000;
constexpr const wchar_t* kBacklightKey = L"ControlPanel\\Backlight";
constexpr const wchar_t* kBacklightEvent = L"BackLightChangeEvent";
}  // namespace

// The table's effects go to the wave-out device.
class ksMain::EffectSink final : public ks::GameSound {
 public:
  explicit EffectSink(ssAudioWaveOut* audio) : m_Audio(audio) {}
  int LoadEffect(const uint8_t* data, uint32_t samples, int channels, int bits, int rate) override {
    return m_Audio->LoadEffect(data, samples, static_cast<std::uint32_t>(channels), static_cast<std::uint32_t>(bits),
                               static_cast<std::uint32_t>(rate), 0);
  }
  int PlayEffect(int effect, uint32_t delay) override { return m_Audio->PlayEffect(effect, static_cast<int>(delay)); }
  void PlaySound(int number) override { m_Audio->PlaySound(number); }

 private:
  ssAudioWaveOut* m_Audio;
};

// The table reads its sounds from "UI\res.ark".
class ksMain::ArchiveReader final : public ks::MemberReader {
 public:
  explicit ArchiveReader(ssDisplayS16* display) : m_Display(display) {}
  bool ReadMember(std::string_view name, std::vector<uint8_t>& out) override {
    ssArchive* archive = m_Display->GetArchive();
    if (archive == nullptr) return false;
    const std::wstring wide(name.begin(), name.end());
    std::unique_ptr<ssFile> file = archive->OpenFile(wide.c_str(), L"UI", L"res.ark", kFileModeRead, 0);
    if (!file) return false;
    out.resize(file->GetSize());
    const std::uint32_t got = out.empty() ? 0 : file->Read(out.data(), static_cast<std::uint32_t>(out.size()));
    out.resize(got);
    return true;
  }

 private:
  ssDisplayS16* m_Display;
};

ksMain::ksMain() : m_KeyMap(std::make_unique<ks::play::KeyMap>()) {}

ksMain::~ksMain() { Shutdown(); }

std::uint32_t ksMain::GetTime() { return m_Clock ? m_Clock->Elapsed() : 0; }

ks::Pool* ksMain::Pool() { return m_Table ? &m_Table->pool() : nullptr; }

ks::app::CareerRecord* ksMain::CurrentCareer() {
  if (m_CurrentCareer < 0 || static_cast<std::size_t>(m_CurrentCareer) >= m_Careers.records.size()) return nullptr;
  return &m_Careers.records[static_cast<std::size_t>(m_CurrentCareer)];
}

void ksMain::SetDesignSize(ssDisplay* display, int designWidth, int designHeight) {
  if (display == nullptr || designWidth <= 0 || designHeight <= 0) return;
  const bool odd = (display->m_Rotate & 1) != 0;
  display->m_DesignWidth = designWidth;
  display->m_DesignHeight = designHeight;
  display->m_XScale = static_cast<float>(odd ? display->m_Height : display->m_Width) / static_cast<float>(designWidth);
  display->m_YScale = static_cast<float>(odd ? display->m_Width : display->m_Height) / static_cast<float>(designHeight);
}

int ksMain::Init(HWND w, HDC, int screenWidth, int screenHeight, int bitsPerPixel, const wchar_t* programFolder,
                 int displayOption, int designWidth, int designHeight) {
  m_Initialised = true;
  HoldBacklight();
  m_Clock = std::make_unique<ssTimer>();
  m_Clock->Start();
  m_Window = w;
  m_Display = std::make_unique<ssDisplayS16>();
  GXOpenInput();
  const GXKeyList keys = GXGetDefaultKeys(GX_NORMALKEYS);
  m_GapiKeys = {static_cast<std::uint8_t>(keys.vkUp), static_cast<std::uint8_t>(keys.vkDown),
                static_cast<std::uint8_t>(keys.vkLeft), static_cast<std::uint8_t>(keys.vkRight),
                static_cast<std::uint8_t>(keys.vkStart)};
  WriteLog(kLog, L"ksMain::Init %d %d", screenWidth, screenHeight);
  m_MatchSetup = ks::app::MatchSetup{};
  m_ProgramFolder = programFolder != nullptr ? programFolder : L"";
  m_Display->m_Folder = m_ProgramFolder;
  m_Saves = std::make_unique<ks::app::SaveStore>(m_DocumentsFolder, m_ProgramFolder);
  m_Table = std::make_unique<ks::Table>(TableSetupOf(), this);
  m_CareerPlay = false;

  WriteLog(kLog, L"Load Prefs");
  LoadPrefs();

  // The display path: 0 lets the device choose, 1-3 force GDI, the raw
  // frame buffer or GAPI.
  std::uint32_t method = m_Prefs.RenderMethod() & 7u;
  if (method == 0) {
    const int chosen = m_Display->DetectMode(w);
    method = chosen == ssDisplayS16::kModeGdi || chosen == ssDisplayS16::kModeRaw || chosen == ssDisplayS16::kModeGapi
                 ? static_cast<std::uint32_t>(chosen)
                 : 0u;
  } else {
    m_Display->ForceOutput(static_cast<int>(method));
  }
  m_Prefs.SetRenderMethod((m_Prefs.RenderMethod() & ~7u) | method);
  const int rotate = (screenWidth > screenHeight ? 1 : 0) + (m_Prefs[ks::app::pref::kOrientation] != 0 ? 2 : 0);

  WriteLog(kLog, L"Open Display");
  m_Display->m_Rotate = rotate;
  if (m_Display->Init(w, screenWidth, screenHeight, bitsPerPixel, displayOption) != 0) return -1;
  SetDesignSize(m_Display.get(), designWidth, designHeight);
  if (m_Display->m_UseGdi) method = 1;
  if (m_Display->m_UseRaw) method = 2;
  if (m_Display->m_UseGapi) method = 3;
  m_Prefs.SetRenderMethod((m_Prefs.RenderMethod() & ~7u) | method);
  m_PenScaleX = static_cast<float>(m_Display->m_Width) / static_cast<float>(screenWidth);
  m_PenScaleY = static_cast<float>(m_Display->m_Height) / static_cast<float>(screenHeight);
  WriteLog(kLog, L"Rotate=%d", m_Display->m_Rotate);
  WriteLog(kLog, L"UseGDI=%d", m_Display->m_UseGdi ? 1 : 0);
  WriteLog(kLog, L"UseRAW=%d", m_Display->m_UseRaw ? 1 : 0);
  WriteLog(kLog, L"UseGAPI=%d", m_Display->m_UseGapi ? 1 : 0);
  WriteLog(kLog, L"%dx%d %dx%d %3.2fx%3.2f", screenWidth, screenHeight, m_Display->m_Width, m_Display->m_Height,
           static_cast<double>(m_Display->m_XScale), static_cast<double>(m_Display->m_YScale));

  // The display's archive reads below the program folder: "UI\res.ark",
  // "Rooms" and "Movies".
  std::array<wchar_t, 1024> oem{};
  if (SystemParametersInfoW(SPI_GETOEMINFO, static_cast<UINT>(oem.size()), oem.data(), 0)) {
    oem.back() = 0;  // a full buffer still ends
    m_DeviceName = oem.data();
  }

  m_Input = std::make_unique<ssInput>();
  m_Input->Init(w);

  WriteLog(kLog, L"Load Fonts");
  m_SmallFont = m_Display->GetFont(L"Small Fonts6", L"UI", L"res.ark");
  m_MediumFont = m_Display->GetFont(L"Small Fonts7", L"UI", L"res.ark");
  if (m_SmallFont == nullptr) return -2;

  WriteLog(kLog, L"Create Audio");
  m_Audio = std::make_unique<ssAudioWaveOut>();
  m_Audio->GetDeviceCaps(reinterpret_cast<std::uintptr_t>(w));
  m_Effects = std::make_unique<EffectSink>(m_Audio.get());
  m_Reader = std::make_unique<ArchiveReader>(m_Display.get());
  m_Table->pool().sound = m_Effects.get();
  m_Table->pool().archive = m_Reader.get();
  m_Table->pool().silent = 0;

  WriteLog(kLog, L"Init Music");
  m_Table->pool().LoadSounds();

  WriteLog(kLog, L"Create Players");
  LoadPlayers();
  ks::app::BuildOpponentTable(m_Opponents, m_Players, m_SpareName.data());

  WriteLog(kLog, L"Load Players");
  LoadCareers();

  m_SavedVolume = static_cast<std::uint32_t>(m_Audio->GetVolume());
  m_Audio->SetVolume(m_Prefs[ks::app::pref::kVolume]);
  m_DlgMan = std::make_unique<DlgMan>();
  WriteLog(kLog, L"Init Complete");
  return 0;
}

void ksMain::Shutdown() {
  if (!m_Initialised || m_ShutDown) return;
  m_ShutDown = true;
  WriteLog(kLog, L"ksMain::Shutdown");
  // A match on screen (also under its in-game menu) is kept.
  if (m_InPlay && m_Control) {
    WriteLog(kLog, L"Saving current game");
    if (m_CareerPlay) {
      HoldCareerGame();
    } else {
      SaveQuickPlay();
    }
    EndPlay();
  }
  if (m_Movie) {
    m_Movie->Stop();
    m_Movie->Close();
    m_Movie.reset();
  }
  if (m_Audio) m_Audio->SetVolume(static_cast<int>(m_SavedVolume));
  StopMusic();
  if (m_Display) {
    if (m_SmallFont) m_Display->ReleaseFont(m_SmallFont);
    if (m_MediumFont) m_Display->ReleaseFont(m_MediumFont);
    if (m_SplashImage) m_Display->ReleaseTexture(m_SplashImage);
    if (m_CopyrightImage) m_Display->ReleaseTexture(m_CopyrightImage);
  }
  m_SmallFont = m_MediumFont = nullptr;
  m_SplashImage = m_CopyrightImage = nullptr;
  WriteLog(kLog, L"After stopping music");
  if (m_Saves) {
    SavePlayers();
    SavePrefs();
  }
  WriteLog(kLog, L"After SavePrefs");
  m_Careers.records.clear();
  ReleaseMatchMemory();
  WriteLog(kLog, L"After FREE Players");
  // The screens hold fonts and pictures of the display: they go before it.
  if (m_DlgMan) {
    m_DlgMan->PopAll();
    m_DlgMan->DeleteDeferred();
  }
  m_KeyMapScreen.reset();
  if (m_Table) {
    m_Table->pool().sound = nullptr;
    m_Table->pool().archive = nullptr;
  }
  m_Audio.reset();
  WriteLog(kLog, L"After Delete m_Audio");
  m_Display.reset();
  WriteLog(kLog, L"After Delete m_Display");
  m_Input.reset();
  WriteLog(kLog, L"After Delete m_Input");
  RestoreBacklight();
  m_Table.reset();
  WriteLog(kLog, L"After Delete Pool");
  m_DlgMan.reset();
  WriteLog(kLog, L"After Delete m_DlgMan");
  GXCloseInput();
  m_Clock.reset();
  WriteLog(kLog, L"ksMain::Shutdown END");
}

void ksMain::ReleaseMatchMemory() {
  m_GameMemory = {};
  m_WorkBlock = {};
}

void ksMain::HoldBacklight() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBacklightKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) ==
      ERROR_SUCCESS) {
    auto read = [key](const wchar_t* name) -> std::optional<std::uint32_t> {
      DWORD type = 0, value = 0, size = sizeof value;
      if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS ||
          type != REG_DWORD || size != sizeof value)
        return std::nullopt;
      return value;
    };
    m_BatteryTimeout = read(L"m_BatteryTimeout");
    m_AcTimeout = read(L"m_ACTimeout");
    const DWORD hold = kPlayBacklightTimeout;
    for (const wchar_t* name : {L"m_BatteryTimeout", L"m_ACTimeout"})
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hold), sizeof hold);
    RegCloseKey(key);
    m_BacklightHeld = true;
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, kBacklightEvent)) {
      EventModify(event, EVENT_SET);
      CloseHandle(event);
    }
  }
  RequestBacklightPower();
}

void ksMain::RestoreBacklight() {
  if (m_BacklightHeld) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kBacklightKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) ==
        ERROR_SUCCESS) {
      // Values that did not exist before are removed rather than invented.
      auto restore = [key](const wchar_t* name, const std::optional<std::uint32_t>& value) {
        if (value) {
          const DWORD v = *value;
          RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        } else {
          RegDeleteValueW(key, name);
        }
      };
      restore(L"m_BatteryTimeout", m_BatteryTimeout);
      restore(L"m_ACTimeout", m_AcTimeout);
      RegCloseKey(key);
    }
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, kBacklightEvent)) {
      EventModify(event, EVENT_SET);
      CloseHandle(event);
    }
    m_BacklightHeld = false;
  }
  ReleaseBacklightPower();
}

void ksMain::RequestBacklightPower() {
  HMODULE library = LoadLibraryW(L"coredll.dll");
  if (library == nullptr) return;
  using Request = HANDLE (*)(PVOID, CEDEVICE_POWER_STATE, ULONG, PVOID, ULONG);
  if (auto request =
          reinterpret_cast<Request>(reinterpret_cast<void (*)()>(GetProcAddressW(library, L"SetPowerRequirement"))))
    m_PowerRequest = request(const_cast<wchar_t*>(L"BKL1:"), D0, 1, nullptr, 0);
  FreeLibrary(library);
}

void ksMain::ReleaseBacklightPower() {
  HMODULE library = LoadLibraryW(L"coredll.dll");
  if (library == nullptr) return;
  using Release = DWORD (*)(HANDLE);
  // The handle the request gave is the one released.
  if (auto release =
          reinterpret_cast<Release>(reinterpret_cast<void (*)()>(GetProcAddressW(library, L"ReleasePowerRequirement"))))
    release(m_PowerRequest);
  m_PowerRequest = nullptr;
  FreeLibrary(library);
}

void ksMain::OnSuspendKey() {
  GXSuspend();
  m_Active = false;
  m_SuspendTime = GetTickCount();
}

void ksMain::OnActivate(bool nowActive) {
  m_Active = nowActive;
  if (!nowActive) {
    GXSuspend();
    if (m_Audio) {
      m_Audio->Stop();
      m_Audio->Pause(true);
    }
    return;
  }
  GXResume();
  if (m_DlgMan) m_DlgMan->InvalidateTop();
  if (m_Audio && m_Audio->Paused()) {
    m_Audio->Start();
    m_Audio->Pause(false);
  }
  if (m_Display) m_Display->m_FullRefresh = true;
  if (m_InPlay) RedrawMatch(true);
}

void ksMain::SkipSuspendedTime() {
  if (m_Clock) m_Clock->SetStartTime(m_Clock->StartTime() + (GetTickCount() - m_SuspendTime));
}

void ksMain::FeedSound() {
  if (m_Audio) m_Audio->FillBlock();
}

void ksMain::RedrawPlay() {
  if (m_InPlay && m_Display) {
    m_Display->m_FullRefresh = true;
    RedrawMatch(true);
  }
}

void ksMain::PushScreen(Dlg* screen) { m_DlgMan->Push(screen, 0); }

void ksMain::CloseScreens() {
  if (m_DlgMan) m_DlgMan->PopAll();
}

bool ksMain::ShowMessage(const wchar_t* title, const wchar_t* text) {
  return ui::ShowMessage(m_DlgMan.get(), m_Display.get(), title, text);
}

void ksMain::SetVolume(int volume) {
  if (m_Audio) m_Audio->SetVolume(volume, nullptr);
}

int ksMain::Volume() const { return m_Audio ? m_Audio->GetVolume() : m_Prefs[ks::app::pref::kVolume]; }

void ksMain::PauseSound(bool paused) {
  if (m_Audio) m_Audio->Pause(paused);
}

bool ksMain::SoundPaused() const { return !m_Audio || m_Audio->Paused(); }

std::unique_ptr<ssDisplayS16> ksMain::ReplaceDisplay(std::unique_ptr<ssDisplayS16> next) {
  m_Display.swap(next);
  return next;
}

void ksMain::LoadMatch(StartMode mode, ReturnScreen back) {
  m_MatchStartMode = mode;
  m_ReturnScreen = back;
  m_State = AppState::kLoading;
}

void ksMain::LoadCareerMatch(StartMode mode, ReturnScreen back) {
  m_CareerPlay = true;
  m_CareerHeld = false;
  if (mode == StartMode::kCareerResumed) m_PlayMode = mode;
  LoadMatch(mode, back);
}

void ksMain::ApplyKeyMapPrefs() {
  if (!m_KeyMap) return;
  for (std::size_t i = 0; i < ks::app::kKeyMapSize; ++i) m_KeyMap->keys[i] = m_Prefs.keys[i];
}

void ksMain::SetSpareName(const char* nickname) {
  m_SpareName.fill(0);
  for (std::size_t i = 0; i + 1 < m_SpareName.size() && nickname[i] != 0; ++i) m_SpareName[i] = nickname[i];
}
