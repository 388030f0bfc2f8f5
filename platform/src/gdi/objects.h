// GDI objects and their handle table. Every HDC, HBITMAP, HBRUSH and HFONT is an
// entry with a kind and a generation encoded in the handle value, so a
// deleted, stale or wrong-kind handle is refused instead of touching freed
// memory. Callers hold the GDI lock (GdiLock) around every use.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "ce/wingdi.h"
#include "gdi/screen.h"
#include "gdi/surface.h"

namespace ce::gdi {

enum class ObjectKind : std::uint8_t { Dc = 1, Bitmap = 2, Brush = 3, Font = 4, Pen = 5 };

class GdiObject {
 public:
  explicit GdiObject(ObjectKind kind) : kind_(kind) {}
  virtual ~GdiObject() = default;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;

  ObjectKind kind() const { return kind_; }
  HGDIOBJ handle() const { return handle_; }
  // Stock objects are never deleted.
  bool stock() const { return stock_; }

 private:
  friend HGDIOBJ InsertObject(std::shared_ptr<GdiObject> object, bool stock);
  ObjectKind kind_;
  HGDIOBJ handle_ = nullptr;
  bool stock_ = false;
};

class Bitmap final : public GdiObject {
 public:
  Bitmap() : GdiObject(ObjectKind::Bitmap) {}

  std::shared_ptr<const PixelFormat> format;
  std::vector<BYTE> storage;
  Surface surface;
  std::size_t rowBytes = 0;
  // Set for DIB sections: the header they were made from (height keeps its
  // sign) and their masks.
  std::optional<BITMAPINFOHEADER> dibHeader;
  DWORD bitfields[3] = {0, 0, 0};
  // The memory DC it is selected into; a bitmap is in one DC at a time.
  const void* selectedInto = nullptr;
};

class Brush final : public GdiObject {
 public:
  Brush(UINT style, COLORREF color) : GdiObject(ObjectKind::Brush), style(style), color(color) {}
  UINT style;
  COLORREF color;
};

class Pen final : public GdiObject {
 public:
  Pen(int style, int width, COLORREF color) : GdiObject(ObjectKind::Pen), style(style), width(width), color(color) {}
  int style;
  int width;  // at least 1
  COLORREF color;
};

// A logical font. The text area realises it (faces, sizes, glyphs) when text
// is measured or drawn.
class Font final : public GdiObject {
 public:
  explicit Font(const LOGFONTW& logfont) : GdiObject(ObjectKind::Font), logfont(logfont) {}
  LOGFONTW logfont;
};

enum class DcType : std::uint8_t { Screen, Memory };

// A device context: a surface to draw on (the screen, or the bitmap selected
// into a memory DC), the origin of its coordinates on that surface and the
// part of the surface it may touch. A window's DC is the screen with the
// window's origin and visible rectangle.
class Dc final : public GdiObject {
 public:
  Dc() : GdiObject(ObjectKind::Dc) {}

  DcType type = DcType::Memory;
  std::shared_ptr<Screen> screen;  // every DC belongs to a display
  std::shared_ptr<Bitmap> bitmap;  // memory DCs
  std::shared_ptr<Brush> brush;
  std::shared_ptr<Pen> pen;
  POINT position{0, 0};            // where LineTo starts, in DC coordinates
  POINT origin{0, 0};              // surface position of the DC's (0, 0)
  std::optional<RECT> deviceClip;  // surface rectangle the DC owns, if not all
  std::optional<RECT> userClip;    // IntersectClipRect, in DC coordinates
  // Surface rectangles left out of the clip: the visible children of a
  // window with WS_CLIPCHILDREN, so its painting does not cover them.
  std::vector<RECT> excluded;
  // Text state; a null font is the stock system font.
  std::shared_ptr<Font> font;
  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  UINT textAlign = TA_LEFT | TA_TOP;

  const Surface& surface() const { return type == DcType::Screen ? screen->view() : bitmap->surface; }
  // The rectangle the DC may draw in, in surface coordinates.
  RECT ClipInSurface() const;
  // The clip without the excluded rectangles, as disjoint rectangles.
  std::vector<RECT> ClipPieces() const;
  // Calls f(piece) for every non-empty rectangle of the clip; without
  // exclusions that is the clip itself and nothing is allocated.
  template <class F>
  void ForEachClipPiece(F&& f) const {
    if (excluded.empty()) {
      const RECT clip = ClipInSurface();
      if (clip.left < clip.right && clip.top < clip.bottom) f(clip);
      return;
    }
    for (const RECT& piece : ClipPieces()) f(piece);
  }
  // Tells the screen's display what changed (surface coordinates).
  void Changed(const RECT& area) const;
};

HGDIOBJ InsertObject(std::shared_ptr<GdiObject> object, bool stock = false);
// The live object behind a handle if of the kind asked for; otherwise null
// with ERROR_INVALID_HANDLE.
std::shared_ptr<GdiObject> LookupObject(HGDIOBJ handle);
std::shared_ptr<Dc> LookupDc(HDC hdc);
std::shared_ptr<Bitmap> LookupBitmap(HGDIOBJ handle);
std::shared_ptr<Brush> LookupBrush(HGDIOBJ handle);
std::shared_ptr<Font> LookupFont(HGDIOBJ handle);
std::shared_ptr<Pen> LookupPen(HGDIOBJ handle);
void RemoveObject(HGDIOBJ handle);

// The stock objects, made on first use.
std::shared_ptr<Brush> StockBrush(int which);
// The stock pens (WHITE_PEN, BLACK_PEN, NULL_PEN); null for other values.
std::shared_ptr<Pen> StockPen(int which);
// The stock fonts (SYSTEM_FONT, DEVICE_DEFAULT_FONT); null for other values.
std::shared_ptr<Font> StockFont(int which);
std::shared_ptr<Bitmap> DefaultBitmap();  // the 1 x 1 monochrome bitmap of a new memory DC

// A new bitmap of the given format with zeroed, top-down rows.
std::shared_ptr<Bitmap> MakeBitmap(std::shared_ptr<const PixelFormat> format, int width, int height);

// A DC on the screen with the given origin and owned rectangle (surface
// coordinates); the way to a window's DC.
HDC CreateScreenDc(std::shared_ptr<Screen> screen, POINT origin, std::optional<RECT> ownedArea);

// Whether BitBlt and StretchBlt take their row-at-a-time paths (the
// default) or the general pixel-by-pixel loop; the tests compare the two.
void SetBlitRowPaths(bool enabled);

RECT Intersect(const RECT& a, const RECT& b);
inline bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

}  // namespace ce::gdi
