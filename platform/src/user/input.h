// The window layer's side of the back ends' input: neutral pen, key, text
// and quit events become the device's window messages here, and nowhere
// else. They may arrive on any thread; each message is posted to the queue
// of the thread that owns its window.
#pragma once

#include <string_view>

namespace ce::user {

enum class PenAction { Down, Move, Up };

// Screen coordinates in device pixels. The pen goes to the capture window,
// else to the window under it; a pen-down on another top-level window
// activates that window first.
void DeliverPen(PenAction action, int x, int y);
// A device key (a VK_ code) going down or up, to the focus window, else the
// active one.
void DeliverKey(int virtualKey, bool down);
// Characters typed as such (not as keys): one WM_CHAR each.
void DeliverText(std::wstring_view text);
// The user asks the program to end: WM_CLOSE to its active (else first)
// top-level window, or WM_QUIT to its main thread when it has none.
void DeliverQuit();

// The thread that receives WM_QUIT when a program without windows is asked
// to end (the program entry sets it).
void SetMainThread(unsigned long threadId);

}  // namespace ce::user
