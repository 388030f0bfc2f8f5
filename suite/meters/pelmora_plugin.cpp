// The meters plug-in's frame: what PluginHello does for each host call, the
// hidden window that owns the refresh timers, the worker thread that polls
// the meters, and the exported Launch entry points.
#include <atomic>

#include "ce/windows.h"
#include "common/color_scheme.h"
#include "common/module_state.h"
#include "common/plugin_events.h"
#include "common/plugin_server.h"
#include "common/ui_helpers.h"
#include "alert_sounds.h"
#include "meter_dialog.h"
#include "drainlog_window.h"
#include "meter_settings.h"
#include "options_dialog.h"
#include "title_bar_meters.h"
#include "obj_banks.h"
#include "obj_banks_meters.h"
#include "obj_battery.h"
#include "obj_network.h"
#include "obj_meter.h"

namespace suite {

const PluginIdentity kPluginIdentity = {
    {0xF3BE7FFF, 0x7812, 0x4002, {0xB5, 0x84, 0x3C, 0x09, 0x50, 0xC6, 0xBE, 0xA3}},
    L"{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}",
    L"Pelmora",
    L"Pelmora.dll",
};

}  // namespace suite

namespace pelmora {
namespace {

constexpr const wchar_t* kWindowClass = L"PelmoraWnd";
constexpr UINT_PTR kTimerOnce = 101;
constexpr UINT_PTR IDT_CLOCK = 102;
constexpr UINT WM_LAUNCH_OPTIONS = 1324;
constexpr UINT WM_LAUNCH_HELP = 1325;
constexpr UINT WM_LAUNCH_ALERTS = 1326;
constexpr int COLOR_HOMEHIGHLIGHT = suite::CColorScheme::kHomeHighlight;
constexpr int COLOR_HOMERULE = suite::CColorScheme::kHomeRule;

struct MeterState {
  COLORREF colors[suite::CColorScheme::kColorCount] = {};
  bool windowCreated = false;
  HFONT boldFont = nullptr;
  HFONT normalFont = nullptr;
  HANDLE worker = nullptr;
  HANDLE refreshEvent = nullptr;
  std::atomic<bool> stopWorker{false};
  std::atomic<bool> paintedByWorker{false};
  int m_iCntTimer = 0;
  int m_iUpdateTimer = 1000;
  BOOL selected = 0;
  RECT paintRect = {};  // where the host last had the row painted
  HDC windowDc = nullptr;
  bool vendorUtilities = false;
};

MeterState g_state;

void ReloadColors() {
  suite::CColorScheme scheme;
  scheme.LoadCurrent();
  scheme.GetColors(g_state.colors);
  SetSchemeColours(g_state.colors);
}

DWORD WINAPI WorkerThread(LPVOID) {
  for (;;) {
    WaitForSingleObject(g_state.refreshEvent, INFINITE);
    if (g_state.stopWorker.load()) break;
    if (Banks().PollMeters() && DialogsOpen() == 0) {
      g_state.paintedByWorker = true;
      RequestRedraw();
    }
  }
  return 0;
}

void StopWorker() {
  if (g_state.worker == nullptr) return;
  // Ask the worker to end and wake it; it ends after its current poll.
  g_state.stopWorker = true;
  SetEvent(g_state.refreshEvent);
  if (WaitForSingleObject(g_state.worker, 5000) != WAIT_OBJECT_0) TerminateThread(g_state.worker, 0);
  CloseHandle(g_state.worker);
  g_state.worker = nullptr;
  CloseHandle(g_state.refreshEvent);
  g_state.refreshEvent = nullptr;
}

void OnMessage(HWND window, UINT message, WPARAM wParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == 1000) {
        if (g_state.windowDc == nullptr) g_state.windowDc = GetDC(window);
        g_state.m_iCntTimer = 0;
        g_state.m_iUpdateTimer = 1000;
        SetTimer(window, kTimerOnce, 6000, nullptr);
        SetTimer(window, IDT_CLOCK, 1000, nullptr);
      }
      break;
    case WM_TIMER:
      if (wParam == kTimerOnce) {
        KillTimer(window, kTimerOnce);
      } else if (wParam == IDT_CLOCK) {
        ++g_state.m_iCntTimer;
        if (g_state.m_iUpdateTimer == 1000 && g_state.m_iCntTimer > 39) {
          // After 40 quiet seconds poll every five minutes to save power.
          g_state.m_iCntTimer = 0;
          g_state.m_iUpdateTimer = 300000;
          SetTimer(window, IDT_CLOCK, 300000, nullptr);
        } else if (g_state.refreshEvent != nullptr) {
          PulseEvent(g_state.refreshEvent);
        }
      }
      break;
    case WM_LAUNCH_HELP:
      RightIcons().SecondAction(0);
      break;
    case WM_LAUNCH_OPTIONS:
    case WM_LAUNCH_ALERTS: {
      // The parent comes from another program: only a live window will do.
      HWND parent = reinterpret_cast<HWND>(wParam);
      if (parent == nullptr || !IsWindow(parent)) parent = window;
      if (message == WM_LAUNCH_OPTIONS) {
        COptionsDialog::Get().Show(parent, 0);
      } else {
        CDrainlogWindow::Get().Show(parent);
      }
      break;
    }
    case WM_DESTROY:
      CTitleBarMeters::Get().HideBattery();
      CTitleBarMeters::Get().HideMemory();
      KillTimer(window, IDT_CLOCK);
      KillTimer(window, kTimerOnce);
      // The worker was started with the window and polls for it: a plug-in
      // taken off the home screen leaves no thread behind.
      StopWorker();
      if (g_state.windowDc != nullptr) {
        ReleaseDC(window, g_state.windowDc);
        g_state.windowDc = nullptr;
      }
      break;
    default:
      break;
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_USER:
      return 0;
    case WM_LAUNCH_OPTIONS:
    case WM_LAUNCH_ALERTS:
    case WM_LAUNCH_HELP:
      OnMessage(window, message, wParam);
      return 0;
    case WM_DESTROY:
      OnMessage(window, message, wParam);
      g_state.windowCreated = false;
      return 0;
    case WM_COMMAND:
    case WM_TIMER:
      OnMessage(window, message, wParam);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void CreateMeterWindow() {
  if (HWND existing = FindWindowW(kWindowClass, L"")) {
    suite::SetPluginWindow(existing);
    return;
  }
  HINSTANCE instance = suite::ModuleInstance();
  suite::RegisterPluginWindowClass(instance, kWindowClass, WindowProc);
  HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  suite::SetPluginWindow(window);
  // The fonts are made once and kept for the life of the module: a window
  // made again after the home screen reloaded reuses them.
  const int height = (13 * Dpi() + 48) / 96;
  if (g_state.boldFont == nullptr) {
    g_state.boldFont = CreateFontW(height, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
  }
  if (g_state.normalFont == nullptr) {
    g_state.normalFont = CreateFontW(height, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
  }
  CMeterSettings& settings = CMeterSettings::Get();
  settings.LoadSCI();
  Banks().screenWidth = GetSystemMetrics(SM_CXSCREEN);
  Banks().Init(instance, window, g_state.normalFont, nullptr, 1);
  Bars().Load(instance);
  g_state.stopWorker = false;
  g_state.refreshEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  g_state.worker = CreateThread(nullptr, 0, WorkerThread, nullptr, 0, nullptr);
  if (g_state.worker != nullptr) SetThreadPriority(g_state.worker, 4);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  CTitleBarMeters::DefaultPositions(screenWidth, settings);
  settings.LoadPositions();
  HDC screen = GetDC(nullptr);
  CTitleBarMeters::Get().LoadPictures(screen);
  ReleaseDC(nullptr, screen);
  CTitleBarMeters::Get().ApplySettings();
  InstallAlertSounds(instance);
  InstallHelpDocument(instance);
  Battery().SetVendorUtilities(g_state.vendorUtilities);
  Battery().CheckExternal(0);
  PostMessageW(window, WM_COMMAND, 1000, 0);
}

void PaintRow(const PluginPaintData& paint) {
  if (g_state.paintedByWorker.exchange(false)) {
    // The worker's own redraw keeps the current period.
  } else {
    if (g_state.m_iUpdateTimer != 1000) {
      g_state.m_iUpdateTimer = 1000;
      if (HWND window = suite::PluginWindow()) SetTimer(window, IDT_CLOCK, 1000, nullptr);
    }
    g_state.m_iCntTimer = 0;
  }
  if (paint.selected) suite::TintRect(paint.hdc, &paint.rect, g_state.colors[COLOR_HOMEHIGHLIGHT], 100);
  g_state.selected = paint.selected;
  g_state.paintRect = paint.rect;
  const RECT rule = {0, paint.rect.bottom - 1, paint.rect.right, paint.rect.bottom};
  HBRUSH brush = CreateSolidBrush(g_state.colors[COLOR_HOMERULE]);
  FillRect(paint.hdc, &rule, brush);
  DeleteObject(brush);
  Banks().Draw(paint.hdc, paint.rect, paint.selected);
}

// The host's events: the keys and the action key go to the bank row.
class BankEvents final : public suite::CRowEventHandler<CObjBanks> {
 public:
  BankEvents() : CRowEventHandler(Banks()) {}

 protected:
  // In the row as last painted.
  void OnPen(POINT point, bool hold) override {
    m_row.OnPen(point.x - g_state.paintRect.left, point.y - g_state.paintRect.top, hold);
  }
  void OnPaint(const PluginPaintData& paint) override { PaintRow(paint); }
  void OnSchemeChange() override {
    ReloadColors();
    m_row.Relayout();
  }
};

}  // namespace

void RequestRedraw() { suite::RedrawScreen(); }

}  // namespace pelmora

namespace suite {

using namespace pelmora;

HRESULT PluginHello::GetHeight(int* height) {
  if (height == nullptr) return E_POINTER;
  if (!g_state.windowCreated) {
    g_state.windowCreated = true;
    CreateMeterWindow();
  }
  *height = Banks().GetHeight() + 1;
  return S_OK;
}

HRESULT PluginHello::GetSelectability(BOOL* selectable) {
  if (selectable == nullptr) return E_POINTER;
  *selectable = TRUE;
  return S_OK;
}

HRESULT PluginHello::HandleEvent(PluginEvent* event) { return BankEvents().Dispatch(*event); }

HRESULT PluginHello::IsDirty() { return S_OK; }
HRESULT PluginHello::Load(IStream*) { return S_OK; }
HRESULT PluginHello::Save(IStream*, BOOL) { return S_OK; }

}  // namespace suite

SUITE_EXPORT BOOL DllMain(HANDLE module, DWORD reason, LPVOID /*reserved*/) {
  using namespace pelmora;
  if (reason == DLL_PROCESS_ATTACH) {
    suite::SetModuleInstance(reinterpret_cast<HINSTANCE>(module));
    CoInitializeEx(nullptr, 0);
    HANDLE probe =
        CreateFileW(L"\\windows\\mycpl.cpl", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      g_state.vendorUtilities = true;
      CloseHandle(probe);
    }
    if (HMODULE utilities = LoadLibraryW(L"IPAQUtil.dll")) {
      g_state.vendorUtilities = true;
      FreeLibrary(utilities);
    }
    ReloadColors();
    CMeterSettings& settings = CMeterSettings::Get();
    settings.Open(Network().IsConnected(), g_state.vendorUtilities);
    settings.Load();
    settings.LoadElapsed();
  } else if (reason == DLL_PROCESS_DETACH) {
    StopWorker();
    CTitleBarMeters::Get().Release();
    CMeterSettings::Get().Close();
    CoUninitialize();
    // The library may stay mapped and be loaded again under a new handle.
    suite::ForgetModuleInstance();
  }
  return TRUE;
}

namespace {
BOOL PostLaunch(UINT message) {
  if (!pelmora::g_state.windowCreated) return 0;
  PostMessageW(suite::PluginWindow(), message, 0, 0);
  return 1;
}
}  // namespace

SUITE_EXPORT BOOL LaunchQVOptions() { return PostLaunch(pelmora::WM_LAUNCH_OPTIONS); }
SUITE_EXPORT BOOL LaunchQVAlerts() { return PostLaunch(pelmora::WM_LAUNCH_ALERTS); }
SUITE_EXPORT BOOL LaunchQVHelp() { return PostLaunch(pelmora::WM_LAUNCH_HELP); }
// For the tests: the refresh counters.
SUITE_EXPORT int PelmoraUpdatePeriod() { return pelmora::g_state.m_iUpdateTimer; }
SUITE_EXPORT int PelmoraTickCount() { return pelmora::g_state.m_iCntTimer; }
