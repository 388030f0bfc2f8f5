// The program Kestrune: its entry, the start-up of its window and
// application object, and the window procedure. The host entry (main.cpp)
// hands the entry to the platform; tests drive the parts directly.
#pragma once

#include "ce/windows.h"

// The entry: one instance, the window and the application object, the
// splash, the message loop, the shutdown. 0, or 1 when the start failed.
int WINAPI KestruneWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);
// The window class "KSN"; the registration's result.
ATOM RegisterWindowClass(HINSTANCE instance);
// The memory probe, the window, the application object and the frame
// timer; FALSE when any of them cannot be made.
BOOL InitInstance(HINSTANCE instance, int show);
LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The game's window (null before InitInstance).
HWND KestruneWindow();
