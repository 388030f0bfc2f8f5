// The shell's calls: full-screen windows, the menu bar along the bottom of
// the screen with its soft keys, dialogs set up the shell's way, and the
// shell's standard handlers for activation and setting changes, the input
// panel, press-and-hold and bitmaps from files; SHGetUIMetrics is
// not provided (a lookup by name fails, and callers take their fallback).
#pragma once

#include "ce/windef.h"
#include "ce/winuser.h"

#pragma GCC visibility push(default)

// --- Full screen ----------------------------------------------------------------

inline constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
inline constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
inline constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
inline constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
inline constexpr DWORD SHFS_SHOWSTARTICON = 0x0010;
inline constexpr DWORD SHFS_HIDESTARTICON = 0x0020;

// Shows or hides the task bar, the input-panel button and the start icon
// for a top-level window. The screen has no task bar of its own here, so
// the state is only kept (the SDL back end may show it).
BOOL SHFullScreen(HWND hwnd, DWORD state);

// --- The menu bar -----------------------------------------------------------------
//
// A bar window along the bottom of the screen, one per top-level window,
// whose buttons are the top-level items of a menu: the first is the left
// soft key, the second the right one. A button sends WM_COMMAND with its
// command to the bar's parent, or, when it has a popup, drops the popup
// (WM_INITMENUPOPUP to the parent first, the low word of lParam the
// button's command) and posts the command chosen there. The device's soft
// keys (VK_TSOFT1, VK_TSOFT2) and the pen press the buttons. The bar
// answers the tool-bar messages below and the SHCMBM_ ones.

inline constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
inline constexpr DWORD SHCMBF_HIDDEN = 0x0002;
inline constexpr DWORD SHCMBF_HIDESIPBUTTON = 0x0004;
inline constexpr DWORD SHCMBF_COLORBK = 0x0008;
inline constexpr DWORD SHCMBF_HMENU = 0x0010;

struct SHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;  // the menu resource of the buttons
  HINSTANCE hInstRes;
  int nBmpId;      // a bitmap resource of hInstRes whose images the buttons may show (0: none)
  int cBmpImages;  // how many images it holds, side by side
  HWND hwndMB;     // out: the bar
  COLORREF clrBk;
};
using PSHMENUBARINFO = SHMENUBARINFO*;

// Makes the bar of a top-level window (replacing any it had) and returns
// it in hwndMB. SHCMBF_EMPTYBAR makes it without buttons; otherwise the
// menu resource nToolBarId of hInstRes gives them. With nBmpId, the bar's
// images 0 to cBmpImages - 1 come from that bitmap (as TB_ADDBITMAP).
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
// The bar of a window, or null.
HWND SHFindMenuBar(HWND hwnd);

// wParam: a button's command; lParam: the popup it drops from now on (null:
// none). Returns the popup it dropped before.
inline constexpr UINT SHCMBM_SETSUBMENU = WM_USER + 400;
inline constexpr UINT SHCMBM_GETSUBMENU = WM_USER + 401;  // lParam: a button's command
inline constexpr UINT SHCMBM_GETMENU = WM_USER + 402;
// wParam: a key; lParam: MAKELPARAM(mask, value) of SHMBOF_ flags. With
// SHMBOF_NOTIFY the key comes to the bar's parent as WM_HOTKEY (the high
// word of lParam the key, the low word MOD_KEYUP when it goes up); with
// SHMBOF_NODEFAULT alone it is dropped.
inline constexpr UINT SHCMBM_OVERRIDEKEY = WM_USER + 403;
inline constexpr WORD SHMBOF_NODEFAULT = 0x0001;
inline constexpr WORD SHMBOF_NOTIFY = 0x0002;

// Gives the Back key a window received as WM_HOTKEY (through
// SHCMBM_OVERRIDEKEY) to the focus window, as the backspace key (VK_BACK)
// going down or, with MOD_KEYUP, up.
void SHSendBackToFocusWindow(UINT message, WPARAM wParam, LPARAM lParam);

// --- Tool-bar messages the bar answers -----------------------------------------------

inline constexpr BYTE TBSTATE_CHECKED = 0x01;
inline constexpr BYTE TBSTATE_PRESSED = 0x02;
inline constexpr BYTE TBSTATE_ENABLED = 0x04;
inline constexpr BYTE TBSTATE_HIDDEN = 0x08;
inline constexpr BYTE TBSTATE_INDETERMINATE = 0x10;

inline constexpr BYTE BTNS_BUTTON = 0x00;
inline constexpr BYTE BTNS_SEP = 0x01;
inline constexpr BYTE BTNS_CHECK = 0x02;
inline constexpr BYTE BTNS_GROUP = 0x04;
inline constexpr BYTE BTNS_DROPDOWN = 0x08;
inline constexpr BYTE BTNS_AUTOSIZE = 0x10;
inline constexpr BYTE BTNS_NOPREFIX = 0x20;
inline constexpr BYTE BTNS_SHOWTEXT = 0x40;
inline constexpr BYTE BTNS_WHOLEDROPDOWN = 0x80;
inline constexpr BYTE TBSTYLE_BUTTON = BTNS_BUTTON;
inline constexpr BYTE TBSTYLE_SEP = BTNS_SEP;
inline constexpr BYTE TBSTYLE_CHECK = BTNS_CHECK;
inline constexpr BYTE TBSTYLE_DROPDOWN = BTNS_DROPDOWN;
inline constexpr BYTE TBSTYLE_AUTOSIZE = BTNS_AUTOSIZE;

inline constexpr int I_IMAGENONE = -2;

// A button as TB_INSERTBUTTON and TB_GETBUTTON carry it. For a drop-down
// button dwData is the popup menu it drops; iString is the button's text.
struct TBBUTTON {
  int iBitmap;
  int idCommand;
  BYTE fsState;
  BYTE fsStyle;
  BYTE bReserved[6];
  DWORD_PTR dwData;
  INT_PTR iString;
};
using LPTBBUTTON = TBBUTTON*;

inline constexpr DWORD TBIF_IMAGE = 0x00000001;
inline constexpr DWORD TBIF_TEXT = 0x00000002;
inline constexpr DWORD TBIF_STATE = 0x00000004;
inline constexpr DWORD TBIF_STYLE = 0x00000008;
inline constexpr DWORD TBIF_LPARAM = 0x00000010;
inline constexpr DWORD TBIF_COMMAND = 0x00000020;
inline constexpr DWORD TBIF_SIZE = 0x00000040;
inline constexpr DWORD TBIF_BYINDEX = 0x80000000;

struct TBBUTTONINFOW {
  UINT cbSize;
  DWORD dwMask;
  int idCommand;
  int iImage;
  BYTE fsState;
  BYTE fsStyle;
  WORD cx;
  DWORD_PTR lParam;
  LPWSTR pszText;
  int cchText;
};
using LPTBBUTTONINFOW = TBBUTTONINFOW*;
using TBBUTTONINFO = TBBUTTONINFOW;

// wParam a command and lParam MAKELONG(flag, 0) unless said otherwise.
inline constexpr UINT TB_ENABLEBUTTON = WM_USER + 1;
inline constexpr UINT TB_CHECKBUTTON = WM_USER + 2;
inline constexpr UINT TB_PRESSBUTTON = WM_USER + 3;
inline constexpr UINT TB_HIDEBUTTON = WM_USER + 4;
inline constexpr UINT TB_INDETERMINATE = WM_USER + 5;
inline constexpr UINT TB_ISBUTTONENABLED = WM_USER + 9;
inline constexpr UINT TB_ISBUTTONCHECKED = WM_USER + 10;
inline constexpr UINT TB_ISBUTTONPRESSED = WM_USER + 11;
inline constexpr UINT TB_ISBUTTONHIDDEN = WM_USER + 12;
inline constexpr UINT TB_ISBUTTONINDETERMINATE = WM_USER + 13;
inline constexpr UINT TB_SETSTATE = WM_USER + 17;
inline constexpr UINT TB_GETSTATE = WM_USER + 18;
inline constexpr UINT TB_ADDBITMAP = WM_USER + 19;
inline constexpr UINT TB_DELETEBUTTON = WM_USER + 22;  // wParam: index
inline constexpr UINT TB_GETBUTTON = WM_USER + 23;     // wParam: index; lParam: TBBUTTON*
inline constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;
inline constexpr UINT TB_COMMANDTOINDEX = WM_USER + 25;
inline constexpr UINT TB_BUTTONSTRUCTSIZE = WM_USER + 30;
// lParam: MAKELONG(width, height) of the images TB_ADDBITMAP adds next.
inline constexpr UINT TB_SETBITMAPSIZE = WM_USER + 32;
inline constexpr UINT TB_GETBUTTONINFOW = WM_USER + 63;  // lParam: TBBUTTONINFOW*
inline constexpr UINT TB_SETBUTTONINFOW = WM_USER + 64;  // lParam: TBBUTTONINFOW*
inline constexpr UINT TB_INSERTBUTTONW = WM_USER + 67;   // wParam: index; lParam: TBBUTTON*
inline constexpr UINT TB_ADDBUTTONSW = WM_USER + 68;     // wParam: count; lParam: TBBUTTON[]
inline constexpr UINT TB_GETBUTTONTEXTW = WM_USER + 75;
inline constexpr UINT TB_GETBUTTONINFO = TB_GETBUTTONINFOW;
inline constexpr UINT TB_SETBUTTONINFO = TB_SETBUTTONINFOW;
inline constexpr UINT TB_INSERTBUTTON = TB_INSERTBUTTONW;
inline constexpr UINT TB_ADDBUTTONS = TB_ADDBUTTONSW;

// TB_ADDBITMAP's lParam (wParam: the number of images in the bitmap): the
// bitmap resource nID of hInst, or with a null hInst the bitmap handle nID
// itself (the bar keeps a copy). The images lie side by side, each of the
// size TB_SETBITMAPSIZE gave (else the bitmap's width shared out, and its
// height); magenta (RGB(255, 0, 255)) pixels are left out when a button
// draws its image. Returns the index of the first image added, -1 on
// failure. A button's iBitmap picks its image by that index.
struct TBADDBITMAP {
  HINSTANCE hInst;
  UINT_PTR nID;
};
using LPTBADDBITMAP = TBADDBITMAP*;
// The system's own tool-bar images: not provided.
inline const HINSTANCE HINST_COMMCTRL = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(-1));

// Adds images to a bar: TB_SETBITMAPSIZE then TB_ADDBITMAP.
int CommandBar_AddBitmap(HWND hwndCB, HINSTANCE hInst, UINT_PTR idBitmap, int iNumImages, int iImageWidth,
                         int iImageHeight);

// --- Dialogs, the done button and the standard handlers -------------------------------

inline constexpr DWORD SHIDIM_FLAGS = 0x0001;
inline constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;
inline constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
inline constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
inline constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
inline constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
inline constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;
inline constexpr DWORD SHIDIF_WANTSCROLLBAR = 0x0040;

struct SHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
using PSHINITDLGINFO = SHINITDLGINFO*;

// Sizes a dialog to the screen above its menu bar (SHIDIF_SIZEDLG: and
// above the input panel when it is up; SHIDIF_SIPDOWN puts it down first),
// shows the done button and gives it an empty bar as asked.
BOOL SHInitDialog(PSHINITDLGINFO info);

inline constexpr DWORD SHDB_SHOW = 0x0001;
inline constexpr DWORD SHDB_HIDE = 0x0002;
inline constexpr DWORD SHDB_SHOWCANCEL = 0x0004;

// The title bar's done button of a top-level window: pressed, it sends
// WM_COMMAND IDOK (IDCANCEL for SHDB_SHOWCANCEL) to the window.
BOOL SHDoneButton(HWND hwnd, DWORD state);

struct SHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
};
using PSHACTIVATEINFO = SHACTIVATEINFO*;

inline constexpr DWORD SHA_INPUTDIALOG = 0x00000001;

// The shell's handlers a window calls from WM_ACTIVATE and
// WM_SETTINGCHANGE. They keep the window's focus and input-panel state in
// the SHACTIVATEINFO; on SPI_SETSIPINFO the active window is sized to the
// visible desktop.
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// --- The input panel ------------------------------------------------------------------
//
// A simulated on-screen keyboard: when on, a WS_EX_NOACTIVATE window just
// above the menu bar, whose keys type into the focus window. Showing or
// hiding it sends WM_SETTINGCHANGE (wParam SPI_SETSIPINFO) to the top-level
// windows.

inline constexpr UINT SPI_GETSIPINFO = 225;

inline constexpr DWORD SIPF_OFF = 0x00000000;
inline constexpr DWORD SIPF_ON = 0x00000001;

struct SIPINFO {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;  // the screen between the task bar and the panel (or the menu bar)
  RECT rcSipRect;         // where the panel is, shown or not
  DWORD dwImDataSize;
  void* pvImData;
};

enum SIPSTATE { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG };

// Puts the panel up (SIP_UP) or down (SIP_DOWN, SIP_FORCEDOWN); SIP_UNCHANGED
// leaves it. Other states fail.
BOOL SHSipPreference(HWND hwnd, SIPSTATE state);
// SPI_GETSIPINFO fills a SIPINFO (cbSize set by the caller); SPI_SETSIPINFO
// turns the panel on or off by its SIPF_ON flag. Other actions fail.
BOOL SHSipInfo(UINT action, UINT param, void* info, UINT winIni);

// --- Press and hold -------------------------------------------------------------------

inline constexpr DWORD SHRG_RETURNCMD = 0x00000001;
inline constexpr DWORD SHRG_NOTIFYPARENT = 0x00000002;
inline constexpr DWORD SHRG_LONGDELAY = 0x00000008;
inline constexpr DWORD GN_CONTEXTMENU = 1000;

struct SHRGINFO {
  DWORD cbSize;
  HWND hwndClient;
  POINT ptDown;  // client coordinates of the pen-down
  DWORD dwFlags;
};
using PSHRGINFO = SHRGINFO*;

// Called on a pen-down: waits (on the platform clock) for the pen to stay
// down within a few pixels of the point for the hold time, and then answers
// GN_CONTEXTMENU; 0 when it goes up or moves away first. Only
// SHRG_RETURNCMD is provided.
DWORD SHRecognizeGesture(SHRGINFO* info);

// --- Bitmaps from files ---------------------------------------------------------------

// A DIB section from a BMP file on the device; null when the file is
// missing or not a valid bitmap.
HBITMAP SHLoadDIBitmap(LPCWSTR path);

#pragma GCC visibility pop
