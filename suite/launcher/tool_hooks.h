// The bar's way into the tools and dialogs it opens: the options, icons
// and custom-link dialogs, the icon details pop-up and the four tools. Each
// takes the window the dialog belongs to.
#pragma once

#include "ce/windows.h"

namespace tessivo {

// Makes the bar the tool dialogs' host; before any dialog opens.
void InstallToolHost();

void ShowOptionsDialog(HWND parent);
void ShowIconsDialog(HWND parent);
void ShowSweepkit(HWND parent, LPCWSTR itemText);
void ShowTuneup(HWND parent);
void ShowChimer(HWND parent);
void RunJuggler(HWND parent);
// Start-up work of the tools: Tuneup re-applies its low-battery setting,
// Sweepkit loads its texts.
void StartTuneup();
void StartSweepkit();
// The hourly clean without asking.
void HourlyClean();
// Chimer: start-up, the minute check (timer 103), and its per-alarm timers.
void StartChimer(HWND window);
void ChimerMinuteCheck(HWND window);
void ChimerPlay(HWND window, int alarm);
void ChimerStop(HWND window, int alarm);
// The bar window is going: the reminder player ends with it.
void EndChimer();
// The pop-up with the held icon's name, path and parameters; `y` is the
// icon's top.
void ShowIconDetails(HWND parent, int y);

}  // namespace tessivo
