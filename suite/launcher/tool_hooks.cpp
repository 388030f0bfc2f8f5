// The bar's tools and dialogs as the plug-in library opens them.
#include "tool_hooks.h"

namespace tessivo {

void ShowOptionsDialog(HWND) {}
void ShowIconsDialog(HWND) {}
void ShowSweepkit(HWND, LPCWSTR) {}
void ShowTuneup(HWND) {}
void ShowChimer(HWND) {}
void RunJuggler(HWND) {}
void StartTuneup() {}
void StartSweepkit() {}
void CleanSilently() {}
void StartChimer(HWND) {}
void ChimerMinuteCheck(HWND) {}
void ChimerPlay(HWND, int) {}
void ChimerStop(HWND, int) {}
void ShowIconDetails(HWND, int) {}

}  // namespace tessivo
