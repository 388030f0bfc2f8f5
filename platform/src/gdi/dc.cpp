// Device contexts: the screen's, memory DCs, what is selected into them,
// their clip rectangle and their capabilities.
#include <algorithm>
#include <mutex>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"
#include "kernel/not_implemented.h"

using namespace ce::gdi;

namespace {

// Clip coordinates are kept well inside LONG so origins can be added safely.
LONG Bound(int value) { return std::clamp<LONG>(value, -(1 << 28), 1 << 28); }

}  // namespace

HDC CreateCompatibleDC(HDC hdc) {
  std::lock_guard guard(GdiLock());
  std::shared_ptr<Screen> screen;
  if (hdc == nullptr) {
    screen = Screen::Current();
  } else {
    auto source = LookupDc(hdc);
    if (!source) return nullptr;
    screen = source->screen;
  }
  auto dc = std::make_shared<Dc>();
  dc->type = DcType::Memory;
  dc->screen = std::move(screen);
  dc->bitmap = DefaultBitmap();
  dc->brush = StockBrush(WHITE_BRUSH);
  dc->pen = StockPen(BLACK_PEN);
  return static_cast<HDC>(InsertObject(std::move(dc)));
}

BOOL DeleteDC(HDC hdc) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return FALSE;
  if (dc->bitmap && dc->bitmap->selectedInto == dc.get()) dc->bitmap->selectedInto = nullptr;
  RemoveObject(hdc);
  return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return nullptr;
  auto target = LookupObject(object);
  if (!target) return nullptr;
  switch (target->kind()) {
    case ObjectKind::Bitmap: {
      auto bitmap = std::static_pointer_cast<Bitmap>(target);
      // Only a memory DC draws into a bitmap, and only one at a time.
      if (dc->type != DcType::Memory ||
          (bitmap->selectedInto != nullptr && bitmap->selectedInto != dc.get() && !bitmap->stock())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      HGDIOBJ previous = dc->bitmap->handle();
      if (dc->bitmap->selectedInto == dc.get()) dc->bitmap->selectedInto = nullptr;
      if (!bitmap->stock()) bitmap->selectedInto = dc.get();
      dc->bitmap = std::move(bitmap);
      return previous;
    }
    case ObjectKind::Brush: {
      HGDIOBJ previous = dc->brush->handle();
      dc->brush = std::static_pointer_cast<Brush>(target);
      return previous;
    }
    case ObjectKind::Pen: {
      HGDIOBJ previous = dc->pen->handle();
      dc->pen = std::static_pointer_cast<Pen>(target);
      return previous;
    }
    case ObjectKind::Font: {
      HGDIOBJ previous = dc->font ? dc->font->handle() : StockFont(SYSTEM_FONT)->handle();
      dc->font = std::static_pointer_cast<Font>(target);
      return previous;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

int GetDeviceCaps(HDC hdc, int index) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return 0;
  // Memory DCs answer for the display they were made for, as on the device.
  const Screen& screen = *dc->screen;
  switch (index) {
    case TECHNOLOGY:
      return DT_RASDISPLAY;
    case HORZSIZE:  // millimetres
      return static_cast<int>((static_cast<long long>(screen.width()) * 254 + screen.dpi() * 5) / (screen.dpi() * 10));
    case VERTSIZE:
      return static_cast<int>((static_cast<long long>(screen.height()) * 254 + screen.dpi() * 5) / (screen.dpi() * 10));
    case HORZRES:
      return screen.width();
    case VERTRES:
      return screen.height();
    case BITSPIXEL:
      return screen.bitsPerPixel();
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;  // more than 256 colours
    case RASTERCAPS:
      return RC_BITBLT | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return screen.dpi();
    case SIZEPALETTE:
      return 0;
    default:
      ce::kernel::NotImplemented("GetDeviceCaps(index)");
      return 0;
  }
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return ERROR;
  RECT wanted{Bound(left), Bound(top), Bound(right), Bound(bottom)};
  if (dc->userClip) {
    wanted = Intersect(*dc->userClip, wanted);
  } else {
    // Without a clip yet, the whole surface (in DC coordinates) is the clip.
    const Surface& s = dc->surface();
    const RECT all{-dc->origin.x, -dc->origin.y, s.width - dc->origin.x, s.height - dc->origin.y};
    wanted = Intersect(all, wanted);
  }
  if (IsEmpty(wanted)) wanted = RECT{0, 0, 0, 0};
  dc->userClip = wanted;
  return IsEmpty(wanted) ? NULLREGION : SIMPLEREGION;
}

int SelectClipRgn(HDC hdc, HRGN region) {
  if (region != nullptr) {
    ce::kernel::NotImplemented("SelectClipRgn(region)");
    return ERROR;
  }
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return ERROR;
  dc->userClip.reset();
  return SIMPLEREGION;
}
