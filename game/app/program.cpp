// Kestrune: the pool game's program. The entry makes sure one instance
// runs, checks that enough memory is free, creates the full-screen window
// and the application object, shows the maker's splash and runs the message
// loop; the window procedure turns every message into an event for the
// application's dispatch, keeps the sound stream fed, suspends and resumes
// around focus changes and the suspend key, and turns the frame timer into
// key-downs for held keys.
#include <new>
#include <string>

#include "engine/audio/audio_wave_out.h"
#include "ce/aygshell.h"
#include "ce/device.h"
#include "ce/gx.h"
#include "ce/shlobj.h"
#include "ce/windows.h"
#include "ce/winmain.h"
#include "display/display_s16.h"
#include "engine/log.h"
#include "ks_main.h"
#include "program.h"
#include "play/held_keys.h"
#include "play/input_mode.h"
#include "play/view.h"
#include "ui/dlg_man.h"

namespace {

constexpr const wchar_t* kClassName = L"KSN";
constexpr const wchar_t* kTitle = L"Kestrune";
constexpr UINT_PTR kFrameTimer = 1001;
constexpr UINT kFrameMs = 31;
constexpr UINT kResumedFrameMs = 32;
constexpr WPARAM kSuspendKey = 0x5BDD;
constexpr std::size_t kMemoryProbe = 4500000;
constexpr DWORD kFullScreenFlags = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;

HINSTANCE g_instance = nullptr;
HWND g_window = nullptr;
int g_screenWidth = 0, g_screenHeight = 0;
bool g_suspended = false;

}  // namespace

HWND KestruneWindow() { return g_window; }

BOOL InitInstance(HINSTANCE instance, int show) {
  void* probe = ::operator new(kMemoryProbe, std::nothrow);
  if (probe == nullptr) {
    MessageBoxW(nullptr, L"4.5MB of Program Memory Needed", L"Not Enough Memory", 0);
    return FALSE;
  }
  ::operator delete(probe);
  g_instance = instance;
  g_screenWidth = GetSystemMetrics(SM_CXSCREEN);
  g_screenHeight = GetSystemMetrics(SM_CYSCREEN);
  g_window = CreateWindowExW(0, kClassName, kTitle, WS_VISIBLE, 0, 0, g_screenWidth, g_screenHeight, nullptr, nullptr,
                             instance, nullptr);
  if (g_window == nullptr) return FALSE;
  SHFullScreen(g_window, kFullScreenFlags);

  g_app = new ksMain();
  wchar_t documents[MAX_PATH] = {};
  SHGetSpecialFolderPath(nullptr, documents, CSIDL_PERSONAL, TRUE);
  g_app->SetDocumentsFolder(documents);
  // The message log ("message.log" in the documents folder) is written only
  // when the device configuration asks for it (message_log = on).
  if (ce::device::SettingOr("message_log", "") == "on") {
    OpenLog(documents, kTitle, 0);
    EnableTrace();
  }
  HDC dc = GetDC(g_window);
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder = module;
  folder.resize(folder.rfind(L'\\') == std::wstring::npos ? 0 : folder.rfind(L'\\'));
  const int result = g_app->Init(g_window, dc, g_screenWidth & 0xFFFF, g_screenHeight & 0xFFFF, 16, folder.c_str(), 0,
                                 ksMain::kDesignWidth, ksMain::kDesignHeight);
  if (result != 0) {
    // Without a display or its small font nothing could be shown: say so
    // and end in order.
    MessageBoxW(g_window, result == -1 ? L"The display could not be opened." : L"The font Small Fonts6 is missing.",
                kTitle, MB_OK);
    ReleaseDC(g_window, dc);
    return FALSE;
  }
  ShowWindow(g_window, show);
  UpdateWindow(g_window);
  SetTimer(g_window, kFrameTimer, kFrameMs, nullptr);
  return TRUE;
}

ATOM RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(101));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  return RegisterClassW(&wc);
}

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  InputEvent event{};
  ksMain* app = g_app;
  if (app != nullptr) app->FeedSound();
  LRESULT answer = 0;
  switch (message) {
    case WM_KEYDOWN:
      // In a match a held key of the key map gives one key-down a frame tick,
      // from the tick's poll: the host's auto-repeat (the key was down
      // already) would turn and stroke at a rate of its own.
      if (app != nullptr && app->State() == AppState::kPlay &&
          ks::play::IsPolledRepeat(app->Prefs().keys, static_cast<std::uint32_t>(wParam),
                                   static_cast<std::uint32_t>(lParam)))
        return 0;
      event = InputEvent{message, wParam, lParam, GetTickCount()};
      break;
    case WM_KEYUP:
      event = InputEvent{message, wParam, lParam, GetTickCount()};
      if (wParam == kSuspendKey && app != nullptr) {
        KillTimer(window, kFrameTimer);
        g_suspended = true;
        ShowWindow(window, SW_HIDE);
        app->OnSuspendKey();
      }
      break;
    case WM_COMMAND:
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CHAR:
      // A desktop keyboard's character, for the on-screen keyboard.
      event = InputEvent{message, wParam, lParam, GetTickCount()};
      break;
    case WM_TIMER:
      if (app != nullptr && app->Active()) {
        event = InputEvent{message, wParam, lParam, GetTickCount()};
        // A held key gives a key-down every tick; the last in key-map order wins.
        const std::uint8_t held = ks::play::PolledKey(
            app->Prefs().keys, [](std::uint8_t key) { return (GetAsyncKeyState(key) & 0x8000) != 0; });
        if (held != 0) event = InputEvent{WM_KEYDOWN, held, 0, GetTickCount()};
      }
      break;
    case WM_MOUSEMOVE:
      if ((wParam & MK_LBUTTON) != 0) event = InputEvent{message, wParam, lParam, GetTickCount()};
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      event = InputEvent{message, wParam, lParam, 0};
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      ValidateRect(window, nullptr);
      if (app != nullptr) {
        event = InputEvent{message, wParam, lParam, 0};
        app->RedrawPlay();
      }
      break;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_ERASEBKGND:
    case WM_SETTINGCHANGE:
      break;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return 1;
      }
      break;
    case WM_ACTIVATE:
      if (app != nullptr) {
        const bool nowActive = LOWORD(wParam) != 0;
        if (nowActive) {
          ShowWindow(window, SW_SHOW);
          if (g_suspended) {
            SetTimer(window, kFrameTimer, kResumedFrameMs, nullptr);
            g_suspended = false;
            // The game clock does not count the time spent suspended.
            app->SkipSuspendedTime();
          }
          SHFullScreen(window, kFullScreenFlags);
          InvalidateRect(window, nullptr, FALSE);
        }
        app->OnActivate(nowActive);
        if (nowActive) event = InputEvent{WM_PAINT, 0, 0, 0};
      }
      break;
    case WM_SETFOCUS:
      GXResume();
      if (app != nullptr) {
        app->RedrawPlay();
        event = InputEvent{WM_PAINT, 0, 0, 0};
      }
      break;
    case WM_KILLFOCUS:
      GXSuspend();
      break;
    default:
      answer = DefWindowProcW(window, message, wParam, lParam);
      break;
  }
  if (app != nullptr && app->Active()) {
    event.time = app->GetTime();
    app->HandleEvent(event);
    if (app->State() == AppState::kQuit) PostQuitMessage(0);
  }
  return answer;
}

int WINAPI KestruneWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR, int show) {
  if (HWND first = FindWindowW(kClassName, kTitle)) {
    SetForegroundWindow(first);
    return 0;
  }
  if (previous == nullptr && RegisterWindowClass(instance) == 0) return 0;
  if (!InitInstance(instance, show)) {
    if (g_app != nullptr) {
      g_app->Shutdown();
      delete g_app;
      g_app = nullptr;
    }
    return 1;
  }
  g_app->ShowSplash();
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  g_app->Shutdown();
  ksMain* app = g_app;
  g_app = nullptr;
  delete app;
  return 0;
}
