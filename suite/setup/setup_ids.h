// The setup program's resource numbers, its commands and the window
// messages it exchanges with the home screen and the two plug-ins.
#pragma once

#include "ce/windows.h"

namespace setup {

// Strings.
inline constexpr UINT IDS_TITLE = 1;              // "Quorvist": the window title
inline constexpr UINT IDS_CLASS = 3;              // "QVXOPTIONS": the window class
inline constexpr UINT IDS_FIRST_ITEM = 8;         // 8 to 16: the item texts
inline constexpr UINT IDS_NO_LAUNCHER = 40010;    // the launcher bar's window is missing
inline constexpr UINT IDS_ITEM_FORMAT = 40016;    // "%d   %s"
inline constexpr UINT IDS_LAYOUT_FAILED = 40017;  // the layout could not be changed
inline constexpr UINT IDS_NO_METERS = 40021;      // the meters' window is missing
inline constexpr UINT IDS_LAYOUT_DONE = 40022;    // the home screen took the new layout
inline constexpr UINT IDS_SETTING = 40024;        // "Setting Home Screen"
inline constexpr UINT IDS_WELCOME = 40026;

// Resources.
inline constexpr UINT IDA_MAIN = 3;
inline constexpr UINT IDI_MAIN = 106;
inline constexpr UINT IDM_MAIN_BAR = 102;
inline constexpr UINT IDD_ABOUT = 103;
inline constexpr UINT IDM_ABOUT_BAR = 104;
inline constexpr UINT IDD_ADD_REMOVE = 107;
inline constexpr UINT IDM_ADD_REMOVE_BAR = 110;
inline constexpr UINT IDD_PROGRESS = 111;
inline constexpr UINT IDM_PROGRESS_BAR = 112;

// Controls.
inline constexpr int IDC_LAUNCHER = 1003;  // radio "Tessivo"
inline constexpr int IDC_METERS = 1004;    // radio "Pelmora"
inline constexpr int IDC_BOTH = 1005;      // radio "Both" (dialog 107)
inline constexpr int IDC_PROGRESS = 1005;  // the progress text (dialog 111)

// Commands.
inline constexpr UINT IDM_ABOUT = 40003;
inline constexpr UINT IDM_DONE = 40004;
inline constexpr UINT IDM_ADD = 40014;
inline constexpr UINT IDM_REMOVE = 40016;

// The item count of the list.
inline constexpr int kItemCount = 9;

// Messages the plug-ins' hidden windows answer by opening a dialog.
inline constexpr UINT WM_LAUNCH_OPTIONS = 1324;
inline constexpr UINT WM_LAUNCH_HELP = 1325;
inline constexpr UINT WM_LAUNCH_ALERTS = 1326;
inline constexpr UINT WM_LaunchTSOptions = 1424;
inline constexpr UINT WM_LaunchTSIcons = 1425;
inline constexpr UINT WM_LaunchSweepkit = 1426;
inline constexpr UINT WM_LaunchChimer = 1427;
inline constexpr UINT WM_LaunchJuggler = 1428;

inline constexpr wchar_t kLauncherWindowClass[] = L"TessivoWnd";
inline constexpr wchar_t kMetersWindowClass[] = L"PelmoraWnd";

// The Back key handed to the window as a hot key by the menu bar.
inline constexpr LPARAM kBackKeyOverride = 0x30003;
inline constexpr WPARAM kHotKeyUp = 0x1000;

// The shell's dialog set-up: done button, full screen, input panel down.
inline constexpr DWORD kFullScreenDialog = 13;

}  // namespace setup
