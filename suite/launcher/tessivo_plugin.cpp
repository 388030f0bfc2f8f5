// The launcher bar plug-in's frame: what PluginHello does for each host
// call, the hidden window "TessivoWnd" that receives the bar's timers and
// the other suite programs' messages, the exported Launch entry points and
// DllMain. Drawing and launching belong to the bar (CObjBar).
#include "bar_settings.h"
#include "ce/windows.h"
#include "common/module_state.h"
#include "common/plugin_events.h"
#include "common/plugin_server.h"
#include "common/ui_helpers.h"
#include "launcher_state.h"
#include "obj_bar.h"
#include "obj_icons.h"
#include "tool_hooks.h"

namespace suite {

const PluginIdentity kPluginIdentity = {
    {0x9053E85C, 0x7F84, 0x4dbe, {0xA3, 0xB7, 0xC2, 0x0F, 0xFE, 0x6B, 0xA9, 0x0D}},
    L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}",
    L"Tessivo",
    L"Tessivo.dll",
};

}  // namespace suite

namespace tessivo {
namespace {

constexpr const wchar_t* kWindowClass = L"TessivoWnd";

struct PluginState {
  bool windowCreated = false;
  HDC hostDc = nullptr;
  RECT paintRect = {};
  BOOL selected = 0;
  // The 4 bytes the host's stream keeps for the plug-in. Kept apart from
  // the handle Initialize gave, which a stale stream must not replace.
  DWORD persisted = 0;
};

PluginState g_plugin;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      g_plugin.windowCreated = false;
      Bar().HandleMessage(window, message, wParam, lParam);
      return 0;
    case WM_CREATE:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_USER:
    case WM_InitExeLists:
    case WM_LaunchTSOptions:
    case WM_LaunchTSIcons:
    case WM_LaunchSweepkit:
    case WM_LaunchChimer:
    case WM_LaunchJuggler:
      Bar().HandleMessage(window, message, wParam, lParam);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void InitializeWindow() {
  InstallToolHost();
  if (HWND existing = FindWindowW(kWindowClass, L"")) {
    // Another bar of this host already runs the timers.
    suite::SetPluginWindow(existing);
    return;
  }
  HINSTANCE instance = suite::ModuleInstance();
  suite::RegisterPluginWindowClass(instance, kWindowClass, WindowProc);
  HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  suite::SetPluginWindow(window);
  if (window != nullptr) PostMessageW(window, WM_COMMAND, kStartUpCommand, 0);
  Bar().Start(window);
}

void PaintRow(const PluginPaintData& paint) {
  if (paint.selected) suite::TintRect(paint.hdc, &paint.rect, State().colors[COLOR_HOMEHIGHLIGHT], 100);
  g_plugin.hostDc = paint.hdc;
  g_plugin.paintRect = paint.rect;
  g_plugin.selected = paint.selected;
  Bar().Paint(paint.hdc, paint.rect.left, paint.rect.top, paint.rect.right, paint.rect.bottom, paint.selected,
              suite::PluginWindow());
  HPEN pen = CreatePen(PS_SOLID, 1, State().colors[COLOR_HOMERULE]);
  HGDIOBJ previous = SelectObject(paint.hdc, pen);
  const POINT rule[2] = {{0, paint.rect.bottom - 1}, {paint.rect.right, paint.rect.bottom - 1}};
  Polyline(paint.hdc, rule, 2);
  SelectObject(paint.hdc, previous);
  DeleteObject(pen);
}

// The host's events: the keys and the action key go to the bar.
class BarEvents final : public suite::CRowEventHandler<CObjBar> {
 public:
  BarEvents() : CRowEventHandler(Bar()) {}

 protected:
  void OnPen(POINT point, bool hold) override { m_row.OnPen(point.x, point.y, hold); }
  void OnPaint(const PluginPaintData& paint) override { PaintRow(paint); }
  void OnSchemeChange() override {
    // Its colours first, then the brushes made of them.
    ReloadColors();
    m_row.OnSysColorChange();
    Icons().Reset();
  }
  void OnTick() override { m_row.OnTimer(); }
};

}  // namespace

void RequestRedraw() { suite::RedrawScreen(); }

}  // namespace tessivo

namespace suite {

using namespace tessivo;

HRESULT PluginHello::GetHeight(int* height) {
  if (height == nullptr) return E_POINTER;
  if (!g_plugin.windowCreated) {
    g_plugin.windowCreated = true;
    InitializeWindow();
  }
  *height = Bar().GetHeight() + 2;
  return S_OK;
}

HRESULT PluginHello::GetSelectability(BOOL* selectable) {
  if (selectable == nullptr) return E_POINTER;
  *selectable = Bar().GetSelectability();
  return S_OK;
}

HRESULT PluginHello::HandleEvent(PluginEvent* event) { return BarEvents().Dispatch(*event); }

HRESULT PluginHello::IsDirty() { return S_OK; }

HRESULT PluginHello::Load(IStream* stream) {
  ReloadColors();
  if (stream != nullptr) {
    DWORD value = 0;
    ULONG read = 0;
    if (SUCCEEDED(stream->Read(&value, sizeof value, &read)) && read == sizeof value) g_plugin.persisted = value;
  }
  return S_OK;
}

HRESULT PluginHello::Save(IStream* stream, BOOL /*clearDirty*/) {
  if (stream != nullptr) stream->Write(&g_plugin.persisted, sizeof g_plugin.persisted, nullptr);
  return S_OK;
}

}  // namespace suite

SUITE_EXPORT BOOL DllMain(HANDLE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) suite::SetModuleInstance(reinterpret_cast<HINSTANCE>(module));
  if (reason == DLL_PROCESS_DETACH) {
    tessivo::EndChimer();
    suite::ForgetModuleInstance();
  }
  return TRUE;
}

namespace {
BOOL PostLaunch(UINT message) {
  if (!tessivo::g_plugin.windowCreated) return 0;
  PostMessageW(suite::PluginWindow(), message, 0, 0);
  return 1;
}
}  // namespace

SUITE_EXPORT BOOL LaunchTSOptions() { return PostLaunch(tessivo::WM_LaunchTSOptions); }
SUITE_EXPORT BOOL LaunchTSIcons() { return PostLaunch(tessivo::WM_LaunchTSIcons); }
SUITE_EXPORT BOOL LaunchSweepkit() { return PostLaunch(tessivo::WM_LaunchSweepkit); }
SUITE_EXPORT BOOL LaunchChimer() { return PostLaunch(tessivo::WM_LaunchChimer); }
