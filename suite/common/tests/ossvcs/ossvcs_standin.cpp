// The device's sound-event service as the tests see it: the two exports
// the suite looks up by name, recording what they were asked.
#include <string>

#include "ce/winbase.h"

namespace {
std::wstring g_played;
}

extern "C" {

__attribute__((visibility("default"))) BOOL PlayEventSoundScript(LPCWSTR eventName, LPCWSTR script, DWORD value) {
  g_played += std::wstring(eventName) + L"|" + script + L"|" + std::to_wstring(value) + L";";
  return TRUE;
}
__attribute__((visibility("default"))) BOOL StopEventSounds() { return TRUE; }
__attribute__((visibility("default"))) const wchar_t* StandInPlayed() { return g_played.c_str(); }
}
