// Test helpers over the headless back end: input as a user gives it, the
// message pump, the virtual clock and what the screen shows.
#pragma once

#include <optional>
#include <string>

#include "ce/winuser.h"

namespace ce::test {

// Input at the back end's boundary, in screen pixels; it becomes window
// messages in the queues of the windows' threads.
void PenDown(int x, int y);
void PenMove(int x, int y);
void PenUp(int x, int y);
void Tap(int x, int y);
void KeyDown(int virtualKey);
void KeyUp(int virtualKey);
void TypeText(const std::wstring& text);
void AskToQuit();

// Translates and dispatches the calling thread's messages (sent ones,
// posted ones, paint and due timers) until none is left. Returns how many
// were dispatched; *quit is set when WM_QUIT came (it is then consumed).
int PumpUntilIdle(bool* quit = nullptr);
// Runs the calling thread's message loop for ms milliseconds of the clock
// (virtual: no real waiting), handling each message as it becomes due.
// Stops early at WM_QUIT (returns false).
bool RunFor(DWORD ms);

// The colour the screen shows at a pixel.
COLORREF ScreenPixel(int x, int y);

struct MessageBoxSeen {
  std::wstring caption;
  std::wstring text;
  UINT type = 0;
  int answer = 0;
};
std::optional<MessageBoxSeen> LastMessageBox();
int CurrentCursorId();
DWORD FullScreenState(HWND hwnd);

}  // namespace ce::test
