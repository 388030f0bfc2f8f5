// The drawing calls of the device: device contexts on the screen and in
// memory, compatible bitmaps and DIB sections, solid brushes, bit-block
// transfers with raster operations, pixels, device capabilities and the
// display driver's escapes (raw frame buffer, display power), and fonts and
// text (their own block at the end).
// Left out here: pens, lines, shapes, regions other than the null clip
// region and palettes.
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

// Stock objects: the brushes, the pens and the fonts (the palette is not
// built).
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
inline constexpr int DEVICE_DEFAULT_FONT = 14;
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
// Pens: solid, dashed (dashes at width 1; wider dashed pens draw solid) or
// null (draws nothing). A width below 1 draws 1 pixel wide.
inline constexpr int PS_SOLID = 0;
inline constexpr int PS_DASH = 1;
inline constexpr int PS_NULL = 5;
HPEN CreatePen(int style, int width, COLORREF color);
HGDIOBJ GetStockObject(int object);
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
BOOL DeleteObject(HGDIOBJ object);

// Drawing.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
COLORREF GetPixel(HDC hdc, int x, int y);
// Lines with the selected pen. A line covers its start point but not its
// end point; LineTo draws from the current position and moves it to the
// end, Polyline (at least two points) leaves it alone. Rectangle outlines
// with the pen the pixels from (left, top) to (right - 1, bottom - 1) and
// fills the inside with the selected brush (with a null pen the fill
// covers the whole area up to right - 1 and bottom - 1).
BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL LineTo(HDC hdc, int x, int y);
BOOL Polyline(HDC hdc, const POINT* points, int count);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);

// --- Fonts and text -----------------------------------------------------------
// Fonts are GDI objects: a LOGFONTW realised when text is measured or drawn.
// Faces are mapped onto the device's font families; the device setting
// "font_test = fixed" replaces every face by a built-in box font whose
// metrics are exact (cell height = the font's height, advance = half of it
// unless lfWidth says otherwise). Escapement turns text in steps of 90
// degrees (900, 1800, 2700), counter-clockwise.

inline constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
  LONG lfHeight;  // > 0: cell height; < 0: character (em) height; 0: default
  LONG lfWidth;   // average character width; 0: the face's own
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
using LPLOGFONTW = LOGFONTW*;
using PLOGFONTW = LOGFONTW*;

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
using LPTEXTMETRICW = TEXTMETRICW*;

inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_THIN = 100;
inline constexpr LONG FW_LIGHT = 300;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_MEDIUM = 500;
inline constexpr LONG FW_SEMIBOLD = 600;
inline constexpr LONG FW_BOLD = 700;
inline constexpr LONG FW_HEAVY = 900;

inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE SYMBOL_CHARSET = 2;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE DRAFT_QUALITY = 1;
inline constexpr BYTE PROOF_QUALITY = 2;
inline constexpr BYTE NONANTIALIASED_QUALITY = 3;
inline constexpr BYTE ANTIALIASED_QUALITY = 4;
inline constexpr BYTE CLEARTYPE_QUALITY = 5;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;

// Background modes.
inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// ExtTextOutW options.
inline constexpr UINT ETO_OPAQUE = 0x0002;
inline constexpr UINT ETO_CLIPPED = 0x0004;

// SetTextAlign: where the reference point is on the text.
inline constexpr UINT TA_NOUPDATECP = 0;
inline constexpr UINT TA_UPDATECP = 1;
inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;
inline constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// EnumFontFamiliesW's font types.
inline constexpr DWORD RASTER_FONTTYPE = 0x0001;
inline constexpr DWORD DEVICE_FONTTYPE = 0x0002;
inline constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

// Called once per family (or per style of the family asked for); returns 0
// to stop the enumeration.
using FONTENUMPROCW = int(CALLBACK*)(const LOGFONTW* logfont, const TEXTMETRICW* metrics, DWORD fontType,
                                     LPARAM lParam);

HFONT CreateFontIndirectW(const LOGFONTW* logfont);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR faceName);
// With no family: each family of the device once, in the device's order.
// With a family: that family's styles. Returns the callback's last answer.
int EnumFontFamiliesW(HDC hdc, LPCWSTR family, FONTENUMPROCW proc, LPARAM lParam);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size);
// How many characters fit in maxExtent (fit) and the extent after each
// character (dx); either may be null.
BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size);
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const int* dx);

#pragma GCC visibility pop
