// The desktop library, opened on first use (kernel/library_on_demand.h):
// the platform library does not link it, so a program on the headless back
// end (every tool, every test) never loads it nor what it pulls in (the
// display server's client libraries, the sound server's client). Below is
// each function of it the desktop back end calls.
//
// Without the library the calls fail as the library's own calls fail
// (SDL_InitSubSystem gives -1, SDL_GetError says why), so the back end
// reports that there is no desktop.
#include <SDL.h>

#include "kernel/library_on_demand.h"

namespace {

ce::kernel::LibraryOnDemand& Sdl() {
  static ce::kernel::LibraryOnDemand library("libSDL2-2.0.so.0");
  return library;
}

}  // namespace

#define CE_SDL(result, name, parameters, arguments, missing) \
  CE_FORWARD(Sdl(), result, name, parameters, arguments, missing)

extern "C" const char* SDL_GetError(void) {
  static const auto function = reinterpret_cast<decltype(&::SDL_GetError)>(Sdl().Find("SDL_GetError"));
  if (function == nullptr) return Sdl().Error().c_str();
  return function();
}

// Start and end, hints.
CE_SDL(int, SDL_InitSubSystem, (Uint32 flags), (flags), -1)
CE_SDL(void, SDL_QuitSubSystem, (Uint32 flags), (flags), void())
CE_SDL(Uint32, SDL_WasInit, (Uint32 flags), (flags), 0)
CE_SDL(SDL_bool, SDL_SetHint, (const char* name, const char* value), (name, value), SDL_FALSE)
CE_SDL(const char*, SDL_GetHint, (const char* name), (name), nullptr)
CE_SDL(const char*, SDL_GetCurrentVideoDriver, (void), (), nullptr)
CE_SDL(void, SDL_Delay, (Uint32 ms), (ms), void())
CE_SDL(void, SDL_free, (void* memory), (memory), void())

// Events.
CE_SDL(int, SDL_PollEvent, (SDL_Event * event), (event), 0)
CE_SDL(int, SDL_WaitEvent, (SDL_Event * event), (event), 0)
CE_SDL(int, SDL_WaitEventTimeout, (SDL_Event * event, int timeout), (event, timeout), 0)
CE_SDL(int, SDL_PushEvent, (SDL_Event * event), (event), -1)
CE_SDL(Uint32, SDL_RegisterEvents, (int count), (count), static_cast<Uint32>(-1))

// Windows and displays.
CE_SDL(SDL_Window*, SDL_CreateWindow, (const char* title, int x, int y, int w, int h, Uint32 flags),
       (title, x, y, w, h, flags), nullptr)
CE_SDL(void, SDL_DestroyWindow, (SDL_Window * window), (window), void())
CE_SDL(Uint32, SDL_GetWindowFlags, (SDL_Window * window), (window), 0)
CE_SDL(Uint32, SDL_GetWindowID, (SDL_Window * window), (window), 0)
CE_SDL(SDL_Window*, SDL_GetWindowFromID, (Uint32 id), (id), nullptr)
CE_SDL(void, SDL_GetWindowSize, (SDL_Window * window, int* w, int* h), (window, w, h), void())
CE_SDL(void, SDL_SetWindowSize, (SDL_Window * window, int w, int h), (window, w, h), void())
CE_SDL(void, SDL_SetWindowMinimumSize, (SDL_Window * window, int w, int h), (window, w, h), void())
CE_SDL(void, SDL_GetWindowPosition, (SDL_Window * window, int* x, int* y), (window, x, y), void())
CE_SDL(void, SDL_SetWindowPosition, (SDL_Window * window, int x, int y), (window, x, y), void())
CE_SDL(int, SDL_SetWindowFullscreen, (SDL_Window * window, Uint32 flags), (window, flags), -1)
CE_SDL(void, SDL_ShowWindow, (SDL_Window * window), (window), void())
CE_SDL(void, SDL_HideWindow, (SDL_Window * window), (window), void())
CE_SDL(void, SDL_RaiseWindow, (SDL_Window * window), (window), void())
CE_SDL(int, SDL_SetWindowInputFocus, (SDL_Window * window), (window), -1)
CE_SDL(int, SDL_GetWindowDisplayIndex, (SDL_Window * window), (window), -1)
CE_SDL(int, SDL_GetNumVideoDisplays, (void), (), -1)
CE_SDL(int, SDL_GetDisplayBounds, (int display, SDL_Rect* rect), (display, rect), -1)
CE_SDL(int, SDL_GetDisplayUsableBounds, (int display, SDL_Rect* rect), (display, rect), -1)
CE_SDL(int, SDL_GetDesktopDisplayMode, (int display, SDL_DisplayMode* mode), (display, mode), -1)

// Drawing.
CE_SDL(SDL_Renderer*, SDL_CreateRenderer, (SDL_Window * window, int index, Uint32 flags), (window, index, flags),
       nullptr)
CE_SDL(void, SDL_DestroyRenderer, (SDL_Renderer * renderer), (renderer), void())
CE_SDL(int, SDL_GetRendererInfo, (SDL_Renderer * renderer, SDL_RendererInfo* info), (renderer, info), -1)
CE_SDL(int, SDL_GetRendererOutputSize, (SDL_Renderer * renderer, int* w, int* h), (renderer, w, h), -1)
CE_SDL(SDL_Texture*, SDL_CreateTexture, (SDL_Renderer * renderer, Uint32 format, int access, int w, int h),
       (renderer, format, access, w, h), nullptr)
CE_SDL(void, SDL_DestroyTexture, (SDL_Texture * texture), (texture), void())
CE_SDL(int, SDL_SetTextureScaleMode, (SDL_Texture * texture, SDL_ScaleMode mode), (texture, mode), -1)
CE_SDL(int, SDL_UpdateTexture, (SDL_Texture * texture, const SDL_Rect* rect, const void* pixels, int pitch),
       (texture, rect, pixels, pitch), -1)
CE_SDL(int, SDL_SetRenderDrawColor, (SDL_Renderer * renderer, Uint8 r, Uint8 g, Uint8 b, Uint8 a),
       (renderer, r, g, b, a), -1)
CE_SDL(int, SDL_RenderClear, (SDL_Renderer * renderer), (renderer), -1)
CE_SDL(int, SDL_RenderCopy,
       (SDL_Renderer * renderer, SDL_Texture* texture, const SDL_Rect* source, const SDL_Rect* target),
       (renderer, texture, source, target), -1)
CE_SDL(void, SDL_RenderPresent, (SDL_Renderer * renderer), (renderer), void())
CE_SDL(int, SDL_RenderReadPixels,
       (SDL_Renderer * renderer, const SDL_Rect* rect, Uint32 format, void* pixels, int pitch),
       (renderer, rect, format, pixels, pitch), -1)

// Keyboard, mouse and clipboard.
CE_SDL(SDL_Keycode, SDL_GetKeyFromScancode, (SDL_Scancode scancode), (scancode), SDLK_UNKNOWN)
CE_SDL(SDL_Keymod, SDL_GetModState, (void), (), KMOD_NONE)
CE_SDL(void, SDL_StopTextInput, (void), (), void())
CE_SDL(int, SDL_CaptureMouse, (SDL_bool enabled), (enabled), -1)
CE_SDL(SDL_Cursor*, SDL_CreateSystemCursor, (SDL_SystemCursor id), (id), nullptr)
CE_SDL(void, SDL_SetCursor, (SDL_Cursor * cursor), (cursor), void())
CE_SDL(SDL_bool, SDL_HasClipboardText, (void), (), SDL_FALSE)
CE_SDL(char*, SDL_GetClipboardText, (void), (), nullptr)
CE_SDL(int, SDL_SetClipboardText, (const char* text), (text), -1)

// Sound.
CE_SDL(const char*, SDL_GetCurrentAudioDriver, (void), (), nullptr)
CE_SDL(int, SDL_GetNumAudioDevices, (int iscapture), (iscapture), 0)
CE_SDL(SDL_AudioDeviceID, SDL_OpenAudioDevice,
       (const char* device, int capture, const SDL_AudioSpec* desired, SDL_AudioSpec* obtained, int changes),
       (device, capture, desired, obtained, changes), 0)
CE_SDL(void, SDL_CloseAudioDevice, (SDL_AudioDeviceID device), (device), void())
CE_SDL(void, SDL_PauseAudioDevice, (SDL_AudioDeviceID device, int pause), (device, pause), void())
CE_SDL(int, SDL_QueueAudio, (SDL_AudioDeviceID device, const void* data, Uint32 length), (device, data, length), -1)
CE_SDL(Uint32, SDL_DequeueAudio, (SDL_AudioDeviceID device, void* data, Uint32 length), (device, data, length), 0)
CE_SDL(Uint32, SDL_GetQueuedAudioSize, (SDL_AudioDeviceID device), (device), 0)
CE_SDL(void, SDL_ClearQueuedAudio, (SDL_AudioDeviceID device), (device), void())
