// The module-wide state of a suite module (each plug-in and program carries
// its own copy of the common library): its module handle, the count of live
// plug-in objects and server locks, and the host's environment as last seen
// by the plug-in object. Plain globals on the UI thread, no locking.
#pragma once

#include "ce/windows.h"

class IHomePluginEnvironment;

namespace suite {

// The module handle: null (the running program) until DllMain's first
// process attach sets it.
HINSTANCE ModuleInstance();
// Keeps the first non-null handle it is given.
void SetModuleInstance(HINSTANCE module);
// Forgets the handle at process detach: a library the platform keeps
// mapped comes back from its next load under a new handle.
void ForgetModuleInstance();

// Live PluginHello objects plus outstanding server locks.
LONG ObjectCount();
void AddObject();
void RemoveObject();

// A copy of the plug-in object's environment pointer, refreshed at the start
// of every OnEvent; not reference-counted.
IHomePluginEnvironment* HostEnvironment();
void SetHostEnvironment(IHomePluginEnvironment* environment);

// The handle the host gave the plug-in in Initialize.
DWORD PluginHandle();
void SetPluginHandle(DWORD handle);

// The plug-in's own window, made by the plug-in on its first GetHeight;
// the class factory's destructor takes it down.
HWND PluginWindow();
void SetPluginWindow(HWND window);

}  // namespace suite
