// Bitmaps, brushes and the calls common to every GDI object.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"
#include "kernel/not_implemented.h"

using namespace ce::gdi;

namespace {

template <class T>
T* Fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

// The format a BITMAPINFO describes, or null when it is not one GDI takes.
std::shared_ptr<const PixelFormat> FormatOf(const BITMAPINFO& info) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int bpp = h.biBitCount;
  const auto* raw = reinterpret_cast<const BYTE*>(&info);
  if (bpp == 1 || bpp == 4 || bpp == 8) {
    if (h.biCompression != BI_RGB) return nullptr;
    const DWORD most = 1u << bpp;
    const DWORD count = h.biClrUsed == 0 ? most : h.biClrUsed;
    if (count > most) return nullptr;
    std::vector<RGBQUAD> table(count);
    std::memcpy(table.data(), raw + h.biSize, count * sizeof(RGBQUAD));
    return PixelFormat::Indexed(bpp, std::move(table));
  }
  if (bpp == 24) return h.biCompression == BI_RGB ? PixelFormat::Direct(24, 0, 0, 0) : nullptr;
  if (bpp != 16 && bpp != 32) return nullptr;
  if (h.biCompression == BI_RGB) {
    return bpp == 16 ? PixelFormat::Direct(16, 0x7C00, 0x03E0, 0x001F) : PixelFormat::Xrgb8888();
  }
  if (h.biCompression != BI_BITFIELDS) return nullptr;
  // The three masks sit right after the 40-byte header (inside the longer
  // headers, at the same place).
  DWORD masks[3];
  std::memcpy(masks, raw + 40, sizeof masks);
  return PixelFormat::Direct(bpp, masks[0], masks[1], masks[2]);
}

}  // namespace

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
  if (bits) *bits = nullptr;
  if (usage == DIB_PAL_COLORS) {
    ce::kernel::NotImplemented("CreateDIBSection(DIB_PAL_COLORS)");
    return nullptr;
  }
  if (section != nullptr) {
    ce::kernel::NotImplemented("CreateDIBSection(section)");
    return nullptr;
  }
  (void)offset;  // only meaningful with a section
  if (info == nullptr || usage != DIB_RGB_COLORS) return Fail<HBITMAP__>(ERROR_INVALID_PARAMETER);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight < -32767 || h.biHeight > 32767) {
    return Fail<HBITMAP__>(ERROR_INVALID_PARAMETER);
  }
  std::lock_guard guard(GdiLock());
  if (hdc != nullptr && !LookupDc(hdc)) return nullptr;
  auto format = FormatOf(*info);
  if (!format || !format->Valid()) return Fail<HBITMAP__>(ERROR_INVALID_PARAMETER);
  const bool bottomUp = h.biHeight > 0;
  const int height = bottomUp ? h.biHeight : -h.biHeight;
  auto bitmap = MakeBitmap(format, h.biWidth, height);
  if (!bitmap) return Fail<HBITMAP__>(ERROR_NOT_ENOUGH_MEMORY);
  if (bottomUp) {
    // The first row in memory is the bottom row of the picture.
    bitmap->surface.origin = bitmap->storage.data() + (height - 1) * bitmap->surface.rowStep;
    bitmap->surface.rowStep = -bitmap->surface.rowStep;
  }
  BITMAPINFOHEADER kept = h;
  kept.biSize = sizeof(BITMAPINFOHEADER);
  kept.biSizeImage = static_cast<DWORD>(bitmap->storage.size());
  bitmap->dibHeader = kept;
  if (!format->indexed()) {
    for (int i = 0; i < 3; ++i) bitmap->bitfields[i] = format->channels()[i].mask;
  }
  HGDIOBJ handle = InsertObject(bitmap);
  if (handle && bits) *bits = bitmap->storage.data();
  return static_cast<HBITMAP>(handle);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return nullptr;
  if (width < 0 || height < 0) return Fail<HBITMAP__>(ERROR_INVALID_PARAMETER);
  std::shared_ptr<const PixelFormat> format = dc->type == DcType::Screen ? dc->screen->format() : dc->bitmap->format;
  if (width == 0 || height == 0) {
    // An empty request gives the smallest bitmap there is, as on the device.
    format = PixelFormat::Monochrome();
    width = 1;
    height = 1;
  }
  auto bitmap = MakeBitmap(std::move(format), width, height);
  if (!bitmap) return Fail<HBITMAP__>(ERROR_NOT_ENOUGH_MEMORY);
  return static_cast<HBITMAP>(InsertObject(std::move(bitmap)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  std::lock_guard guard(GdiLock());
  return static_cast<HBRUSH>(InsertObject(std::make_shared<Brush>(BS_SOLID, color & 0x00FFFFFF)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  std::lock_guard guard(GdiLock());
  if (style != PS_SOLID && style != PS_DASH && style != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return static_cast<HPEN>(InsertObject(std::make_shared<Pen>(style, std::max(width, 1), color & 0x00FFFFFF)));
}

HGDIOBJ GetStockObject(int object) {
  std::lock_guard guard(GdiLock());
  if (object >= WHITE_BRUSH && object <= NULL_BRUSH) return StockBrush(object)->handle();
  if (auto font = StockFont(object)) return font->handle();
  if (auto pen = StockPen(object)) return pen->handle();
  if (object == DEFAULT_PALETTE) {
    ce::kernel::NotImplemented("GetStockObject(palette)");
    return nullptr;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  std::lock_guard guard(GdiLock());
  auto target = LookupObject(object);
  if (!target) return 0;
  if (target->kind() == ObjectKind::Brush) {
    const auto& brush = static_cast<const Brush&>(*target);
    if (!buffer) return sizeof(LOGBRUSH);
    if (size < static_cast<int>(sizeof(LOGBRUSH))) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    const LOGBRUSH lb{brush.style, brush.color, 0};
    std::memcpy(buffer, &lb, sizeof lb);
    return sizeof lb;
  }
  if (target->kind() == ObjectKind::Font) {
    const LOGFONTW& lf = static_cast<const Font&>(*target).logfont;
    if (!buffer) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(buffer, &lf, sizeof lf);
    return sizeof lf;
  }
  if (target->kind() != ObjectKind::Bitmap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const auto& bitmap = static_cast<const Bitmap&>(*target);
  const bool dib = bitmap.dibHeader.has_value();
  if (!buffer) return dib ? sizeof(DIBSECTION) : sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const int bpp = bitmap.format->bitsPerPixel();
  BITMAP bm{};
  bm.bmType = 0;
  bm.bmWidth = bitmap.surface.width;
  bm.bmHeight = bitmap.surface.height;
  // DIB rows are padded to 32 bits; other bitmaps report 16-bit padding.
  bm.bmWidthBytes = dib ? static_cast<LONG>(bitmap.rowBytes) : ((bm.bmWidth * bpp + 15) / 16) * 2;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = static_cast<WORD>(bpp);
  bm.bmBits = dib ? const_cast<BYTE*>(bitmap.storage.data()) : nullptr;
  if (dib && size >= static_cast<int>(sizeof(DIBSECTION))) {
    DIBSECTION ds{};
    ds.dsBm = bm;
    ds.dsBmih = *bitmap.dibHeader;
    std::memcpy(ds.dsBitfields, bitmap.bitfields, sizeof ds.dsBitfields);
    std::memcpy(buffer, &ds, sizeof ds);
    return sizeof ds;
  }
  std::memcpy(buffer, &bm, sizeof bm);
  return sizeof bm;
}

BOOL DeleteObject(HGDIOBJ object) {
  std::lock_guard guard(GdiLock());
  auto target = LookupObject(object);
  if (!target) return FALSE;
  if (target->kind() == ObjectKind::Dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (target->stock()) return TRUE;
  if (target->kind() == ObjectKind::Bitmap && static_cast<const Bitmap&>(*target).selectedInto != nullptr) {
    // Still drawn into by a DC: deselect it first.
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  RemoveObject(object);
  return TRUE;
}
