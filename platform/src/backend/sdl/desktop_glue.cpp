// The desktop's clipboard and mouse pointer, through SDL.
#include "backend/sdl/desktop_glue.h"

#include <SDL.h>

#include <atomic>
#include <mutex>

#include "backend/sdl/sdl_session.h"

namespace ce::backend::sdl {
namespace {

std::atomic<int> g_wantedCursor{0};
int g_shownCursor = -1;  // window thread only
SDL_Cursor* g_cursors[SDL_NUM_SYSTEM_CURSORS] = {};

SDL_SystemCursor SystemCursorFor(int id) {
  switch (id) {
    case 32513:
      return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514:
      return SDL_SYSTEM_CURSOR_WAIT;
    case 32515:
      return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case 32642:
      return SDL_SYSTEM_CURSOR_SIZENWSE;
    case 32643:
      return SDL_SYSTEM_CURSOR_SIZENESW;
    case 32644:
      return SDL_SYSTEM_CURSOR_SIZEWE;
    case 32645:
      return SDL_SYSTEM_CURSOR_SIZENS;
    case 32646:
      return SDL_SYSTEM_CURSOR_SIZEALL;
    case 32648:
      return SDL_SYSTEM_CURSOR_NO;
    case 32649:
      return SDL_SYSTEM_CURSOR_HAND;
    case 32650:
      return SDL_SYSTEM_CURSOR_WAITARROW;
    default:  // the arrow, the up arrow, help, none
      return SDL_SYSTEM_CURSOR_ARROW;
  }
}

}  // namespace

bool HasDesktop() { return Session::Running() != nullptr; }

std::optional<std::string> ClipboardText() {
  if (!HasDesktop() || !SDL_HasClipboardText()) return std::nullopt;
  char* text = SDL_GetClipboardText();
  if (!text) return std::nullopt;
  std::string result = text;
  SDL_free(text);
  return result;
}

bool SetClipboardText(const std::string& utf8) { return HasDesktop() && SDL_SetClipboardText(utf8.c_str()) == 0; }

void ShowCursorShape(int id) {
  g_wantedCursor.store(id);
  const auto session = Session::Running();
  if (session && session->IsEventThread()) ApplyCursorShape();
}

void ApplyCursorShape() {
  const SDL_SystemCursor shape = SystemCursorFor(g_wantedCursor.load());
  if (g_shownCursor == shape) return;
  if (!g_cursors[shape]) g_cursors[shape] = SDL_CreateSystemCursor(shape);
  if (!g_cursors[shape]) return;
  SDL_SetCursor(g_cursors[shape]);
  g_shownCursor = shape;
}

}  // namespace ce::backend::sdl
