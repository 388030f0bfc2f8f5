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
  explicit EffectSink(ssAudioWaveOut* audio) : audio_(audio) {}
  int LoadEffect(const uint8_t* data, uint32_t samples, int channels, int bits, int rate) override {
    return audio_->LoadEffect(data, samples, static_cast<std::uint32_t>(channels), static_cast<std::uint32_t>(bits),
                              static_cast<std::uint32_t>(rate), 0);
  }
  int PlayEffect(int effect, uint32_t delay) override { return audio_->PlayEffect(effect, static_cast<int>(delay)); }
  void PlaySound(int number) override { audio_->PlaySound(number); }

 private:
  ssAudioWaveOut* audio_;
};

// The table reads its sounds from "UI\res.ark".
class ksMain::ArchiveReader final : public ks::MemberReader {
 public:
  explicit ArchiveReader(ssDisplayS16* display) : display_(display) {}
  bool ReadMember(std::string_view name, std::vector<uint8_t>& out) override {
    ssArchive* archive = display_->GetArchive();
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
  ssDisplayS16* display_;
};

ksMain::ksMain() : keyMap(std::make_unique<ks::play::KeyMap>()) {}

ksMain::~ksMain() { Shutdown(); }

std::uint32_t ksMain::GetTime() { return clock ? clock->Elapsed() : 0; }

ks::Pool* ksMain::pool() { return table ? &table->pool() : nullptr; }

ks::app::CareerRecord* ksMain::CurrentCareer() {
  if (currentCareer_ < 0 || static_cast<std::size_t>(currentCareer_) >= careers_.records.size()) return nullptr;
  return &careers_.records[static_cast<std::size_t>(currentCareer_)];
}

int ksMain::Init(HWND w, HDC, int screenWidth, int screenHeight, int bitsPerPixel, const wchar_t* programFolder,
                 int displayOption, int designWidth, int designHeight) {
  initialised_ = true;
  HoldBacklight();
  clock = std::make_unique<ssTimer>();
  clock->Start();
  window = w;
  display = std::make_unique<ssDisplayS16>();
  GXOpenInput();
  const GXKeyList keys = GXGetDefaultKeys(GX_NORMALKEYS);
  gapiKeys = {static_cast<std::uint8_t>(keys.vkUp), static_cast<std::uint8_t>(keys.vkDown),
              static_cast<std::uint8_t>(keys.vkLeft), static_cast<std::uint8_t>(keys.vkRight),
              static_cast<std::uint8_t>(keys.vkStart)};
  WriteLog(kLog, L"ksMain::Init %d %d", screenWidth, screenHeight);
  matchSetup_ = ks::app::MatchSetup{};
  programFolder_ = programFolder != nullptr ? programFolder : L"";
  display->m_Folder = programFolder_;
  saves_ = std::make_unique<ks::app::SaveStore>(documentsFolder, programFolder_);
  table = std::make_unique<ks::Table>(TableSetupOf(), this);
  careerPlay_ = false;

  WriteLog(kLog, L"Load Prefs");
  LoadPrefs();

  // The display path: 0 lets the device choose, 1-3 force GDI, the raw
  // frame buffer or GAPI.
  std::uint32_t method = prefs_.RenderMethod() & 7u;
  if (method == 0) {
    const int chosen = display->DetectMode(w);
    method = chosen == ssDisplayS16::kModeGdi || chosen == ssDisplayS16::kModeRaw || chosen == ssDisplayS16::kModeGapi
                 ? static_cast<std::uint32_t>(chosen)
                 : 0u;
  } else {
    display->ForceOutput(static_cast<int>(method));
  }
  prefs_.SetRenderMethod((prefs_.RenderMethod() & ~7u) | method);
  const int rotate = (screenWidth > screenHeight ? 1 : 0) + (prefs_[ks::app::pref::kOrientation] != 0 ? 2 : 0);

  WriteLog(kLog, L"Open Display");
  display->m_Rotate = rotate;
  if (display->Init(w, screenWidth, screenHeight, bitsPerPixel, displayOption) != 0) return -1;
  display->m_DesignWidth = designWidth;
  display->m_DesignHeight = designHeight;
  display->m_XScale = static_cast<float>(display->m_Width) / static_cast<float>(designWidth);
  display->m_YScale = static_cast<float>(display->m_Height) / static_cast<float>(designHeight);
  if (display->m_UseGdi) method = 1;
  if (display->m_UseRaw) method = 2;
  if (display->m_UseGapi) method = 3;
  prefs_.SetRenderMethod((prefs_.RenderMethod() & ~7u) | method);
  penScaleX = static_cast<float>(display->m_Width) / static_cast<float>(screenWidth);
  penScaleY = static_cast<float>(display->m_Height) / static_cast<float>(screenHeight);
  WriteLog(kLog, L"Rotate=%d", display->m_Rotate);
  WriteLog(kLog, L"UseGDI=%d", display->m_UseGdi ? 1 : 0);
  WriteLog(kLog, L"UseRAW=%d", display->m_UseRaw ? 1 : 0);
  WriteLog(kLog, L"UseGAPI=%d", display->m_UseGapi ? 1 : 0);
  WriteLog(kLog, L"%dx%d %dx%d %3.2fx%3.2f", screenWidth, screenHeight, display->m_Width, display->m_Height,
           static_cast<double>(display->m_XScale), static_cast<double>(display->m_YScale));

  // The display's archive reads below the program folder: "UI\res.ark",
  // "Rooms" and "Movies".
  std::array<wchar_t, 1024> oem{};
  if (SystemParametersInfoW(SPI_GETOEMINFO, static_cast<UINT>(oem.size()), oem.data(), 0)) {
    oem.back() = 0;  // a full buffer still ends
    deviceName = oem.data();
  }

  input = std::make_unique<ssInput>();
  input->Init(w);

  WriteLog(kLog, L"Load Fonts");
  smallFont = display->GetFont(L"Small Fonts6", L"UI", L"res.ark");
  mediumFont = display->GetFont(L"Small Fonts7", L"UI", L"res.ark");
  if (smallFont == nullptr) return -2;

  WriteLog(kLog, L"Create Audio");
  audio = std::make_unique<ssAudioWaveOut>();
  audio->GetDeviceCaps(reinterpret_cast<std::uintptr_t>(w));
  effects_ = std::make_unique<EffectSink>(audio.get());
  reader_ = std::make_unique<ArchiveReader>(display.get());
  table->pool().sound = effects_.get();
  table->pool().archive = reader_.get();
  table->pool().silent = 0;

  WriteLog(kLog, L"Init Music");
  table->pool().LoadSounds();

  WriteLog(kLog, L"Create Players");
  LoadPlayers();
  ks::app::BuildOpponentTable(opponents_, players_, spareName_.data());

  WriteLog(kLog, L"Load Players");
  LoadCareers();

  savedVolume_ = static_cast<std::uint32_t>(audio->GetVolume());
  audio->SetVolume(prefs_[ks::app::pref::kVolume]);
  dlgMan = std::make_unique<DlgMan>();
  WriteLog(kLog, L"Init Complete");
  return 0;
}

void ksMain::Shutdown() {
  if (!initialised_ || shutDown_) return;
  shutDown_ = true;
  WriteLog(kLog, L"ksMain::Shutdown");
  // A match on screen (also under its in-game menu) is kept.
  if (inPlay && control) {
    WriteLog(kLog, L"Saving current game");
    if (careerPlay_) {
      HoldCareerGame();
    } else {
      SaveQuickPlay();
    }
    EndPlay();
  }
  if (movie) {
    movie->Stop();
    movie->Close();
    movie.reset();
  }
  if (audio) audio->SetVolume(static_cast<int>(savedVolume_));
  StopMusic();
  if (display) {
    if (smallFont) display->ReleaseFont(smallFont);
    if (mediumFont) display->ReleaseFont(mediumFont);
    if (splashImage) display->ReleaseTexture(splashImage);
    if (copyrightImage) display->ReleaseTexture(copyrightImage);
  }
  smallFont = mediumFont = nullptr;
  splashImage = copyrightImage = nullptr;
  WriteLog(kLog, L"After stopping music");
  if (saves_) {
    SavePlayers();
    SavePrefs();
  }
  WriteLog(kLog, L"After SavePrefs");
  careers_.records.clear();
  ReleaseMatchMemory();
  WriteLog(kLog, L"After FREE Players");
  // The screens hold fonts and pictures of the display: they go before it.
  if (dlgMan) {
    dlgMan->PopAll();
    dlgMan->DeleteDeferred();
  }
  keyMapScreen_.reset();
  if (table) {
    table->pool().sound = nullptr;
    table->pool().archive = nullptr;
  }
  audio.reset();
  WriteLog(kLog, L"After Delete m_Audio");
  display.reset();
  WriteLog(kLog, L"After Delete m_Display");
  input.reset();
  WriteLog(kLog, L"After Delete m_Input");
  RestoreBacklight();
  table.reset();
  WriteLog(kLog, L"After Delete Pool");
  dlgMan.reset();
  WriteLog(kLog, L"After Delete m_DlgMan");
  GXCloseInput();
  clock.reset();
  WriteLog(kLog, L"ksMain::Shutdown END");
}

void ksMain::ReleaseMatchMemory() {
  gameMemory = {};
  workBlock = {};
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
    batteryTimeout_ = read(L"m_BatteryTimeout");
    acTimeout_ = read(L"m_ACTimeout");
    const DWORD hold = kPlayBacklightTimeout;
    for (const wchar_t* name : {L"m_BatteryTimeout", L"m_ACTimeout"})
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&hold), sizeof hold);
    RegCloseKey(key);
    backlightHeld_ = true;
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, kBacklightEvent)) {
      EventModify(event, EVENT_SET);
      CloseHandle(event);
    }
  }
  RequestBacklightPower();
}

void ksMain::RestoreBacklight() {
  if (backlightHeld_) {
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
      restore(L"m_BatteryTimeout", batteryTimeout_);
      restore(L"m_ACTimeout", acTimeout_);
      RegCloseKey(key);
    }
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, kBacklightEvent)) {
      EventModify(event, EVENT_SET);
      CloseHandle(event);
    }
    backlightHeld_ = false;
  }
  ReleaseBacklightPower();
}

void ksMain::RequestBacklightPower() {
  HMODULE library = LoadLibraryW(L"coredll.dll");
  if (library == nullptr) return;
  using Request = HANDLE (*)(PVOID, CEDEVICE_POWER_STATE, ULONG, PVOID, ULONG);
  if (auto request =
          reinterpret_cast<Request>(reinterpret_cast<void (*)()>(GetProcAddressW(library, L"SetPowerRequirement"))))
    powerRequest_ = request(const_cast<wchar_t*>(L"BKL1:"), D0, 1, nullptr, 0);
  FreeLibrary(library);
}

void ksMain::ReleaseBacklightPower() {
  HMODULE library = LoadLibraryW(L"coredll.dll");
  if (library == nullptr) return;
  using Release = DWORD (*)(HANDLE);
  // The handle the request gave is the one released.
  if (auto release =
          reinterpret_cast<Release>(reinterpret_cast<void (*)()>(GetProcAddressW(library, L"ReleasePowerRequirement"))))
    release(powerRequest_);
  powerRequest_ = nullptr;
  FreeLibrary(library);
}

void ksMain::OnSuspendKey() {
  GXSuspend();
  active = false;
  suspendTime = GetTickCount();
}

void ksMain::OnActivate(bool nowActive) {
  active = nowActive;
  if (!nowActive) {
    GXSuspend();
    if (audio) {
      audio->Stop();
      audio->Pause(true);
    }
    return;
  }
  GXResume();
  if (dlgMan) dlgMan->InvalidateTop();
  if (audio && audio->Paused()) {
    audio->Start();
    audio->Pause(false);
  }
  if (display) display->m_FullRefresh = true;
  if (inPlay) RedrawMatch(true);
}

void ksMain::SkipSuspendedTime() {
  if (clock) clock->SetStartTime(clock->StartTime() + (GetTickCount() - suspendTime));
}

void ksMain::FeedSound() {
  if (audio) audio->FillBlock();
}

void ksMain::RedrawPlay() {
  if (inPlay && display) {
    display->m_FullRefresh = true;
    RedrawMatch(true);
  }
}

void ksMain::PushScreen(Dlg* screen) { dlgMan->Push(screen, 0); }

void ksMain::CloseScreens() {
  if (dlgMan) dlgMan->PopAll();
}

bool ksMain::ShowMessage(const wchar_t* title, const wchar_t* text) {
  return ui::ShowMessage(dlgMan.get(), display.get(), title, text);
}

void ksMain::SetVolume(int volume) {
  if (audio) audio->SetVolume(volume, nullptr);
}

int ksMain::Volume() const { return audio ? audio->GetVolume() : prefs_[ks::app::pref::kVolume]; }

void ksMain::PauseSound(bool paused) {
  if (audio) audio->Pause(paused);
}

bool ksMain::SoundPaused() const { return !audio || audio->Paused(); }

std::unique_ptr<ssDisplayS16> ksMain::ReplaceDisplay(std::unique_ptr<ssDisplayS16> next) {
  display.swap(next);
  return next;
}

void ksMain::LoadMatch(StartMode mode, ReturnScreen back) {
  matchStartMode_ = mode;
  returnScreen_ = back;
  state_ = AppState::kLoading;
}

void ksMain::LoadCareerMatch(StartMode mode, ReturnScreen back) {
  careerPlay_ = true;
  careerHeld = false;
  if (mode == StartMode::kCareerResumed) playMode_ = mode;
  LoadMatch(mode, back);
}

void ksMain::ApplyKeyMapPrefs() {
  if (!keyMap) return;
  for (std::size_t i = 0; i < ks::app::kKeyMapSize; ++i) keyMap->keys[i] = prefs_.keys[i];
}

void ksMain::SetSpareName(const char* nickname) {
  spareName_.fill(0);
  for (std::size_t i = 0; i + 1 < spareName_.size() && nickname[i] != 0; ++i) spareName_[i] = nickname[i];
}
