// What the window layer asks of the desktop itself, beside the screen and
// input: its clipboard (text) and the shape of its mouse pointer over the
// window. Each call does nothing (or finds nothing) when the desktop back
// end is not running, so the caller keeps its own state either way.
#pragma once

#include <optional>
#include <string>

namespace ce::backend::sdl {

// True when the desktop back end is running (its clipboard is the host's).
bool HasDesktop();
// The host clipboard's text (UTF-8); nullopt when it holds none.
std::optional<std::string> ClipboardText();
bool SetClipboardText(const std::string& utf8);

// The pointer over the window takes the desktop's cursor for a cursor id
// (an IDC_ value; 0 for the plain arrow). Applied at once on the window
// thread, else at its next look for events.
void ShowCursorShape(int id);
// Applies a shape asked for from another thread (the window thread, on
// each look for events).
void ApplyCursorShape();

}  // namespace ce::backend::sdl
