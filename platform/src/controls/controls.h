// The controls area's shared pieces: registration of the dialog and control
// window classes, the device's colours for dialogs and controls, small
// drawing helpers, and the dialog templates looked up by module and name.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "ce/wingdi.h"
#include "ce/winuser.h"

namespace ce::controls {

// Registers the dialog class and every control class once per process;
// safe to call from any thread, any number of times.
void EnsureRegistered();
// Hands EnsureRegistered to the window layer, which calls it before making
// any window (called as the library starts).
void InstallStandardClasses();
// Each group of controls registers its own classes (called once).
void RegisterDialogClass();
void RegisterStaticAndButton();
void RegisterStatic();  // part of RegisterStaticAndButton

inline constexpr wchar_t kDialogClass[] = L"Dialog";
inline constexpr wchar_t kButtonClass[] = L"BUTTON";
inline constexpr wchar_t kStaticClass[] = L"STATIC";

// The device's colours for dialogs and their controls.
inline constexpr COLORREF kWindowColor = RGB(255, 255, 255);
inline constexpr COLORREF kTextColor = RGB(0, 0, 0);
inline constexpr COLORREF kGrayTextColor = RGB(128, 128, 128);
inline constexpr COLORREF kButtonFace = RGB(212, 208, 200);
inline constexpr COLORREF kFrameColor = RGB(0, 0, 0);
inline constexpr COLORREF kHighlight = RGB(0, 0, 128);
inline constexpr COLORREF kHighlightText = RGB(255, 255, 255);

void FillColor(HDC hdc, const RECT& rect, COLORREF color);
void FrameColor(HDC hdc, const RECT& rect, COLORREF color, int thickness = 1);

// What the simply drawn controls (button, static) answer alike: a redraw on
// enabling and on new text, the font kept in the window field fontField, no
// background erase, WM_PAINT through paint; everything else as
// DefWindowProcW.
LRESULT DrawnControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, int fontField, void (*paint)(HWND));

// Dialog templates by module and name (a string or MAKEINTRESOURCEW id),
// with their sizes, for DialogBoxParamW and CreateDialogParamW: the module's
// RT_DIALOG resources, after any template a test added with
// AddDialogTemplate.
void AddDialogTemplate(HINSTANCE module, LPCWSTR name, std::vector<BYTE> bytes);
std::optional<std::vector<BYTE>> FindDialogTemplate(HINSTANCE module, LPCWSTR name);

}  // namespace ce::controls
