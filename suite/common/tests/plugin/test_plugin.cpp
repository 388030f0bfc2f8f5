// A plug-in built on the common library the way the suite's plug-ins are:
// it fills in PluginHello's own operations, draws its area in the home
// colour scheme (tinted when selected), follows colour-scheme changes, asks
// for a redraw on each timer tick, and keeps four bytes in its stream. What
// it was asked is written to a log the contract tests read.
#include <string>

#include "common/color_scheme.h"
#include "common/module_state.h"
#include "common/plugin_server.h"
#include "common/ui_helpers.h"

namespace suite {

const PluginIdentity kPluginIdentity = {
    {0x5E1A7C30, 0x2B8D, 0x4C11, {0x9E, 0x0F, 0x6A, 0x7B, 0x8C, 0x9D, 0x0E, 0x1F}},
    L"{5E1A7C30-2B8D-4c11-9E0F-6A7B8C9D0E1F}",
    L"SuiteTestPlug",
    L"SuiteTestPlug.dll",
};

namespace {

constexpr const wchar_t* kWindowClass = L"SuiteTestPlugWnd";
COLORREF g_colors[CColorScheme::kColorCount];
bool g_colorsRead = false;
DWORD g_persisted = 0;
bool g_dirty = false;
std::wstring g_log;

LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

void ReadColors() {
  CColorScheme scheme;
  scheme.LoadCurrent();
  scheme.GetColors(g_colors);
  g_colorsRead = true;
}

}  // namespace

HRESULT PluginHello::GetHeight(int* height) {
  if (height == nullptr) return E_POINTER;
  if (PluginWindow() == nullptr) {
    RegisterPluginWindowClass(ModuleInstance(), kWindowClass, PluginWindowProc);
    SetPluginWindow(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, nullptr, nullptr, ModuleInstance(), nullptr));
  }
  *height = ScaleByDpi(40);
  return S_OK;
}

HRESULT PluginHello::GetSelectability(BOOL* selectable) {
  if (selectable == nullptr) return E_POINTER;
  *selectable = TRUE;
  return S_OK;
}

HRESULT PluginHello::HandleEvent(PluginEvent* event) {
  switch (event->kind) {
    case PE_KEYDOWN:
      g_log += L"key " + std::to_wstring(event->keyDown.key) + L";";
      ++g_persisted;
      g_dirty = true;
      return S_OK;
    case PE_ACTION:
      g_log += L"action;";
      return S_OK;
    case PE_PAINT: {
      const PluginPaintData& paint = event->paint;
      g_log += L"paint " + std::to_wstring(paint.selected) + L";";
      if (!g_colorsRead) ReadColors();
      HBRUSH brush = CreateSolidBrush(g_colors[0]);
      FillRect(paint.hdc, &paint.rect, brush);
      DeleteObject(brush);
      if (paint.selected) TintRect(paint.hdc, &paint.rect, g_colors[23], 128);
      return S_OK;
    }
    case PE_SYSCOLORCHANGE:
      g_log += L"colors;";
      ReadColors();
      return S_OK;
    case PE_TIMER:
      g_log += L"timer;";
      RedrawScreen();
      return S_OK;
    case PE_DATACHANGE:
      g_log += L"data;";
      return S_OK;
    default:
      return E_INVALIDARG;
  }
}

HRESULT PluginHello::IsDirty() { return g_dirty ? S_OK : S_FALSE; }

HRESULT PluginHello::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  DWORD value = 0;
  ULONG read = 0;
  // A short or failed read keeps what was there.
  if (FAILED(stream->Read(&value, sizeof value, &read)) || read != sizeof value) return E_FAIL;
  g_persisted = value;
  g_dirty = false;
  return S_OK;
}

HRESULT PluginHello::Save(IStream* stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  ULONG written = 0;
  if (FAILED(stream->Write(&g_persisted, sizeof g_persisted, &written)) || written != sizeof g_persisted) {
    return E_FAIL;
  }
  if (clearDirty) g_dirty = false;
  return S_OK;
}

}  // namespace suite

SUITE_EXPORT BOOL DllMain(HANDLE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) suite::SetModuleInstance(reinterpret_cast<HINSTANCE>(module));
  return TRUE;
}

// For the tests: what the plug-in was asked, and its redraw request.
SUITE_EXPORT const wchar_t* SuiteTestPlugLog() { return suite::g_log.c_str(); }
SUITE_EXPORT void SuiteTestPlugRedraw() { suite::RedrawScreen(); }
SUITE_EXPORT HINSTANCE SuiteTestPlugModule() { return suite::ModuleInstance(); }
