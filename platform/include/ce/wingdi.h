// The drawing calls of the device: device contexts on the screen and in
// memory, compatible bitmaps and DIB sections, solid brushes, bit-block
// transfers with raster operations, pixels, device capabilities and the
// display driver's escapes (raw frame buffer, display power).
// Left out here: pens, lines, shapes, regions other than the null clip
// region, palettes and text, which live in their own sources.
#pragma once

#include "ce/windef.h"

#pragma GCC visibility push(default)

// --- Colours ---------------------------------------------------------------

#define RGB(r, g, b)                                                                              \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>(static_cast<DWORD>(c) & 0xFF))
#define GetGValue(c) (static_cast<BYTE>((static_cast<DWORD>(c) >> 8) & 0xFF))
#define GetBValue(c) (static_cast<BYTE>((static_cast<DWORD>(c) >> 16) & 0xFF))

// GetPixel's and SetPixel's failure value.
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// --- Bitmaps ---------------------------------------------------------------

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

// The 40-byte header of a device-independent bitmap, as stored in files.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: rows bottom-up; negative: rows top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
using LPBITMAPINFOHEADER = BITMAPINFOHEADER*;

// The header followed by the colour table, or by three colour masks with
// BI_BITFIELDS. Callers with longer tables allocate more than this struct.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
using LPBITMAPINFO = BITMAPINFO*;

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;  // the pixels of a DIB section; null for other bitmaps
};
using LPBITMAP = BITMAP*;

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

// --- Brushes ---------------------------------------------------------------

inline constexpr UINT BS_SOLID = 0;
inline constexpr UINT BS_NULL = 1;
inline constexpr UINT BS_HOLLOW = BS_NULL;

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  LONG lbHatch;
};

// Stock objects. Only the brushes exist so far.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int HOLLOW_BRUSH = NULL_BRUSH;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int SYSTEM_FONT = 13;
inline constexpr int DEFAULT_PALETTE = 15;

// --- Raster operations -----------------------------------------------------
// A raster operation combines pattern (the DC's brush), source and
// destination bit by bit; its high word's low byte is the truth table.

inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD SRCERASE = 0x00440328;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD NOTSRCERASE = 0x001100A6;
inline constexpr DWORD MERGECOPY = 0x00C000CA;
inline constexpr DWORD MERGEPAINT = 0x00BB0226;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATPAINT = 0x00FB0A09;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

// --- Clipping ---------------------------------------------------------------

// Results of the clipping calls.
inline constexpr int ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

// --- Device capabilities ----------------------------------------------------

inline constexpr int TECHNOLOGY = 2;
inline constexpr int HORZSIZE = 4;
inline constexpr int VERTSIZE = 6;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int SIZEPALETTE = 104;

inline constexpr int DT_RASDISPLAY = 1;
inline constexpr int RC_BITBLT = 0x0001;
inline constexpr int RC_STRETCHBLT = 0x0800;

// --- Display driver escapes ---------------------------------------------------

inline constexpr int QUERYESCSUPPORT = 8;
inline constexpr int SETPOWERMANAGEMENT = 6147;
inline constexpr int GETPOWERMANAGEMENT = 6148;
inline constexpr int GETRAWFRAMEBUFFER = 0x00020001;

// RawFrameBufferInfo::wFormat
inline constexpr WORD FORMAT_565 = 1;
inline constexpr WORD FORMAT_555 = 2;
inline constexpr WORD FORMAT_OTHER = 3;

// The screen memory: the address of the top-left pixel as the user sees it,
// and the signed byte steps to the next pixel to the right (cxStride) and
// down (cyStride). The layout is native to the host: callers pass sizeof.
struct RawFrameBufferInfo {
  WORD wFormat;
  WORD wBPP;
  void* pFramePointer;
  int cxStride;
  int cyStride;
  int cxPixels;
  int cyPixels;
};

// VIDEO_POWER_MANAGEMENT::PowerState
inline constexpr ULONG VideoPowerOn = 1;
inline constexpr ULONG VideoPowerStandBy = 2;
inline constexpr ULONG VideoPowerSuspend = 3;
inline constexpr ULONG VideoPowerOff = 4;

// Twelve bytes on every build: Length is 12, DPMSVersion 1.
struct VIDEO_POWER_MANAGEMENT {
  ULONG Length;
  ULONG DPMSVersion;
  ULONG PowerState;
};
static_assert(sizeof(VIDEO_POWER_MANAGEMENT) == 12);

// --- Calls --------------------------------------------------------------------

// Device contexts. GetDC and ReleaseDC are window calls (winuser.h, which
// says what they do); they are declared here too, as code that draws only
// includes this header.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
int GetDeviceCaps(HDC hdc, int index);
int ExtEscape(HDC hdc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC hdc, HRGN region);

// Objects.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int object);
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
BOOL DeleteObject(HGDIOBJ object);

// Drawing.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
COLORREF GetPixel(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

#pragma GCC visibility pop
