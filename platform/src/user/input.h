// The window layer's side of the back ends' input: neutral pen, key, text
// and quit events become the device's window messages here, and nowhere
// else. They may arrive on any thread; each message is posted to the queue
// of the thread that owns its window.
#pragma once

#include <string_view>

#include "backend/input.h"

namespace ce::user {

enum class PenAction { Down, Move, Up };

// Screen coordinates in device pixels. The pen goes to the capture window,
// else to the window under it; a pen-down on another top-level window
// activates that window first.
void DeliverPen(PenAction action, int x, int y);
// A device key (a VK_ code) going down or up, to the focus window, else the
// active one.
void DeliverKey(int virtualKey, bool down);
// Lets another part of the platform take keys it owns (the shell bar's
// soft keys) from the window they would go to: the redirect gets that
// window and the key, and names the window to give the key instead, or
// null. It runs on the thread that delivers input, with no lock held.
using KeyRedirect = HWND (*)(HWND target, int virtualKey);
void SetKeyRedirect(KeyRedirect redirect);
// Characters typed as such (not as keys): one WM_CHAR each.
void DeliverText(std::wstring_view text);
// Keys and text go to another program while its window is in front of the
// device (user/ipc.h); these deliver them in this program whatever is in
// front, as that program does with what it is handed.
void DeliverKeyHere(int virtualKey, bool down);
void DeliverTextHere(std::wstring_view text);
// The user asks the program to end: WM_CLOSE to its active (else first)
// top-level window, or WM_QUIT to its main thread when it has none.
// While a modal loop runs on the input thread (a message loop inside a
// window procedure), the loops are first unwound with WM_QUIT, each passing
// it on; back in the outermost loop the quit is taken back and the close is
// asked for then.
void DeliverQuit();
// The close DeliverQuit asks for.
void AskToClose();
// Whether modal loops are unwinding after a request to end (a message box
// opened meanwhile goes at once, as if cancelled).
bool Unwinding();

// The back end's input is taken on one thread, the input thread: the
// program's main thread (set by the program entry), else the first thread
// that makes a top-level window. It also receives WM_QUIT when a program
// without windows is asked to end.
void SetInputThread(DWORD threadId);
// Makes the calling thread the input thread unless there is one.
void EnsureInputThread();
// Whether the calling thread is the input thread.
bool IsInputThread();
// Gives up the input thread when it has ended.
void ForgetInputThread(DWORD threadId);
// On the input thread (the queue's retrieval hook calls it): turns the back
// end's pending events into window messages. Elsewhere it does nothing.
void PollInput();
// Makes the input thread look at its queue, and so at the input, again. On
// the host's clock it also looks every few milliseconds by itself.
void WakeInputThread();

// One neutral event as window messages.
void DeliverEvent(const backend::InputEvent& event);
// Gives an event to the back end's input queue as a user would (the
// headless queue; other back ends take no events from the program side, so
// it is delivered at once), and wakes the input thread.
void FeedInput(const backend::InputEvent& event);

// The input method's side: the text last delivered to a window is its
// input context's result string (imm.cpp).
void NoteCommittedText(HWND hwnd, std::wstring_view text);

}  // namespace ce::user
