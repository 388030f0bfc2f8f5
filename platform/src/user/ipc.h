// What crosses programs: every program that has top-level windows takes a
// slot of the device (a locked file in the runtime folder, freed by the host
// when the program ends, however it ends), publishes its top-level windows
// in a list beside it, and answers on a Unix-domain socket of its own.
// A window handle carries its program's slot in bits 24 to 30, so a handle
// another program gave out names a window of that program.
//
// Over the socket travel posted messages, sent messages (numbers, and the
// bytes of WM_COPYDATA) with their answer, and requests to come forward. A
// program that no longer holds its slot is gone: its files are removed and
// its windows ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ce/winuser.h"

namespace ce::user::ipc {

inline constexpr int kMaxSlots = 127;

inline int SlotOf(HWND hwnd) { return static_cast<int>((reinterpret_cast<std::uintptr_t>(hwnd) >> 24) & 0x7F); }

// This program's slot, taken on first call; 0 when the runtime folder cannot
// be used (windows then stay private to the program).
int AcquireSlot();
// The slot taken so far (0 for none), without taking one.
int CurrentSlot();
// A handle of another program's window (by its slot).
bool IsRemote(HWND hwnd);

struct WindowInfo {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  DWORD threadId = 0;
  DWORD processId = 0;
  RECT rect{};
  std::wstring className;
  std::wstring title;
};

// Writes this program's list of top-level windows again.
void Publish(const std::vector<WindowInfo>& windows);
// The top-level windows of the other live programs, slot by slot.
std::vector<WindowInfo> OtherWindows();
std::optional<WindowInfo> Describe(HWND hwnd);

// Sets ERROR_INVALID_WINDOW_HANDLE when the program is gone, ERROR_TIMEOUT
// when it does not answer in time. A post succeeds once the other program
// has taken the message, however soon it ends after; a send waits for the
// window procedure's answer and fails when the program ends first.
bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
std::optional<LRESULT> Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool BringForward(HWND hwnd);

// The device has one foreground across its programs: the active window of
// the program a person last brought forward (by touching it, or by a
// program's SetForegroundWindow), and its keys go there. Each program notes
// here when a window of its own takes the activation, and a program that
// brought another's window forward notes that window at once, so the keys
// that follow go there even before that program has acted.
void NoteForeground(HWND hwnd);
// This program has no window left to be active: it leaves the foreground,
// and when it stood in front the program behind it is asked to come forward.
void LeaveForeground();
// The window in front when it is another live program's, else null.
HWND ForegroundElsewhere();
// Hands a key (WM_KEYDOWN or WM_KEYUP with its key code) or typed text
// (WM_CHAR) to the program of hwnd, which delivers it as its own input.
// False when that program is gone or does not answer.
bool ForwardInput(HWND hwnd, UINT message, WPARAM key, std::wstring_view text);

}  // namespace ce::user::ipc
