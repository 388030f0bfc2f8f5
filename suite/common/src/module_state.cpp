#include "common/module_state.h"

namespace suite {
namespace {

HINSTANCE g_module = nullptr;
LONG g_objects = 0;
IHomePluginEnvironment* g_environment = nullptr;
DWORD g_plugin = 0;
HWND g_window = nullptr;

}  // namespace

HINSTANCE ModuleInstance() { return g_module; }
void SetModuleInstance(HINSTANCE module) {
  if (g_module == nullptr) g_module = module;
}
void ForgetModuleInstance() { g_module = nullptr; }

LONG ObjectCount() { return g_objects; }
void AddObject() { ++g_objects; }
void RemoveObject() { --g_objects; }

IHomePluginEnvironment* HostEnvironment() { return g_environment; }
void SetHostEnvironment(IHomePluginEnvironment* environment) { g_environment = environment; }

DWORD PluginHandle() { return g_plugin; }
void SetPluginHandle(DWORD handle) { g_plugin = handle; }

HWND PluginWindow() { return g_window; }
void SetPluginWindow(HWND window) { g_window = window; }

}  // namespace suite
