// IssUtility: event sounds through the device's sound-event service, the
// storage root and the program's folder, the OS version class, and the
// drawing routines the suite's windows share. One instance per program.
#pragma once

#include <memory>

#include "ce/windows.h"

namespace suite {

class CStringHelper;

class IssUtility {
 public:
  static IssUtility* GetInstance();
  static void DeleteInstance();
  virtual ~IssUtility();

  // Plays the event "warning" (warning non-zero) or "SystemExclamation"
  // with `value`; FALSE when the sound service is not there.
  BOOL PlayEventSound(DWORD value, BOOL warning);
  // "\IPSM\" on OS major version 3, else "\Storage\".
  BOOL GetStorageRoot(LPWSTR buffer);
  // The folder of the running module with a trailing "\" (at most
  // MAX_PATH characters with the terminator).
  BOOL GetModuleDirectory(LPWSTR buffer);
  // 0 below version 3; 1 for 3.0 before build 11000; 2 for other 3.x; 3 for
  // 4 and later.
  int GetOsVersionKind();

  // Text in a font made for the call; align 0 left, 1 centred, 2 right of
  // x; angle in degrees.
  void DrawTextWithFont(HDC dc, int x, int y, int height, int weight, LPCWSTR face, LPCWSTR text, COLORREF colour,
                        int align, int angle);
  void DrawTextAligned(HDC dc, int x, int y, HFONT font, LPCWSTR text, COLORREF colour, int align);
  void TileBitmap(HDC dc, int left, int top, int right, int bottom, HDC source, int tileWidth, int tileHeight);
  // A framed box: the pen's outline filled with the brush over
  // (left + 3, top + 1, right - 3, bottom - 3), the tile bitmap (if any)
  // repeated inside the outline, and a shadow line with the shadow pen along
  // the bottom and right edges. The DC's pen and brush are restored.
  void DrawFrame(HDC dc, int left, int top, int right, int bottom, HPEN pen, HPEN shadowPen, HBRUSH brush,
                 HBITMAP tile);
  // A horizontal gradient from the left colour to the right one.
  void DrawGradient(HDC dc, int left, int top, int right, int bottom, COLORREF leftColour, COLORREF rightColour);
  // A 176-pixel band of two gradients two rows each, repeated down the
  // window's client area.
  void FillClientGradient(HDC dc, HWND window, COLORREF a1, COLORREF b1, COLORREF a2, COLORREF b2);
  // The distance in milliseconds between the times of day (dates ignored).
  double TimeDifferenceMs(const SYSTEMTIME& a, const SYSTEMTIME& b);

 private:
  IssUtility();

  using PlayEventSoundScriptFn = BOOL (*)(LPCWSTR eventName, LPCWSTR script, DWORD value);
  using StopEventSoundsFn = BOOL (*)();

  const OSVERSIONINFOW* Version();

  CStringHelper* m_strings;
  WCHAR m_moduleDirectory[MAX_PATH] = {};
  HMODULE m_soundService = nullptr;
  PlayEventSoundScriptFn m_playEventSoundScript = nullptr;
  StopEventSoundsFn m_stopEventSounds = nullptr;
  std::unique_ptr<OSVERSIONINFOW> m_version;
};

}  // namespace suite
