#include "gdi/objects.h"

#include <algorithm>
#include <iterator>

#include "ce/winbase.h"
#include "kernel/handle_table.h"

namespace ce::gdi {
namespace {

// Handle values are 1 << 40 | generation << 24 | (index + 1) << 4 | kind:
// never null, never a kernel handle (those stay below 2^31), and a handle
// of another kind never matches.
constexpr std::uintptr_t kTag = std::uintptr_t{1} << 40;
constexpr std::uint32_t kMaxEntries = (1u << 20) - 1;

using Table = ce::kernel::HandleTable<GdiObject>;

Table& TheTable() {
  static Table* table = new Table(kMaxEntries, 0xFFFF);  // never destroyed: objects may be deleted during exit
  return *table;
}

HGDIOBJ Encode(Table::Slot slot, ObjectKind kind) {
  return reinterpret_cast<HGDIOBJ>(kTag | (std::uintptr_t{slot.generation} << 24) |
                                   (std::uintptr_t{slot.index + 1} << 4) | static_cast<std::uintptr_t>(kind));
}

std::optional<Table::Slot> Decode(HGDIOBJ handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value >> 40) != 1) return std::nullopt;
  const auto slot = static_cast<std::uint32_t>((value >> 4) & 0xFFFFF);
  if (slot == 0) return std::nullopt;
  return Table::Slot{slot - 1, static_cast<std::uint32_t>((value >> 24) & 0xFFFF)};
}

// The live object a handle names, its kind bits included.
const std::shared_ptr<GdiObject>* Find(HGDIOBJ handle) {
  const auto slot = Decode(handle);
  if (!slot) return nullptr;
  const std::shared_ptr<GdiObject>* object = TheTable().Find(*slot);
  if (!object || static_cast<std::uintptr_t>((*object)->kind()) != (reinterpret_cast<std::uintptr_t>(handle) & 0xF)) {
    return nullptr;
  }
  return object;
}

template <class T>
std::shared_ptr<T> LookupAs(HGDIOBJ handle, ObjectKind kind) {
  auto object = LookupObject(handle);
  if (!object) return nullptr;
  if (object->kind() != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(object);
}

}  // namespace

HGDIOBJ InsertObject(std::shared_ptr<GdiObject> object, bool stock) {
  GdiObject& inserted = *object;
  const auto slot = TheTable().Insert(std::move(object));
  if (!slot) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  inserted.handle_ = Encode(*slot, inserted.kind());
  inserted.stock_ = stock;
  return inserted.handle_;
}

std::shared_ptr<GdiObject> LookupObject(HGDIOBJ handle) {
  const std::shared_ptr<GdiObject>* object = Find(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return *object;
}

std::shared_ptr<Dc> LookupDc(HDC hdc) { return LookupAs<Dc>(hdc, ObjectKind::Dc); }
std::shared_ptr<Bitmap> LookupBitmap(HGDIOBJ handle) { return LookupAs<Bitmap>(handle, ObjectKind::Bitmap); }
std::shared_ptr<Brush> LookupBrush(HGDIOBJ handle) { return LookupAs<Brush>(handle, ObjectKind::Brush); }
std::shared_ptr<Font> LookupFont(HGDIOBJ handle) { return LookupAs<Font>(handle, ObjectKind::Font); }
std::shared_ptr<Pen> LookupPen(HGDIOBJ handle) { return LookupAs<Pen>(handle, ObjectKind::Pen); }

void RemoveObject(HGDIOBJ handle) {
  if (Find(handle)) TheTable().Remove(*Decode(handle));
}

// The stock objects are never destroyed: a window on another thread (the
// input panel's) may still paint while the process's statics are torn down.
std::shared_ptr<Brush> StockBrush(int which) {
  static const auto* brushes = [] {
    const COLORREF colors[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                               RGB(0, 0, 0)};
    std::vector<std::shared_ptr<Brush>> made;
    for (COLORREF color : colors) made.push_back(std::make_shared<Brush>(BS_SOLID, color));
    made.push_back(std::make_shared<Brush>(BS_NULL, 0));
    for (auto& brush : made) InsertObject(brush, true);
    return new std::vector<std::shared_ptr<Brush>>(std::move(made));
  }();
  if (which < WHITE_BRUSH || which > NULL_BRUSH) return nullptr;
  return (*brushes)[static_cast<std::size_t>(which)];
}

std::shared_ptr<Pen> StockPen(int which) {
  static const auto* pens = [] {
    std::vector<std::shared_ptr<Pen>> made{std::make_shared<Pen>(PS_SOLID, 1, RGB(255, 255, 255)),
                                           std::make_shared<Pen>(PS_SOLID, 1, RGB(0, 0, 0)),
                                           std::make_shared<Pen>(PS_NULL, 1, RGB(0, 0, 0))};
    for (auto& pen : made) InsertObject(pen, true);
    return new std::vector<std::shared_ptr<Pen>>(std::move(made));
  }();
  if (which < WHITE_PEN || which > NULL_PEN) return nullptr;
  return (*pens)[static_cast<std::size_t>(which - WHITE_PEN)];
}

std::shared_ptr<Font> StockFont(int which) {
  // The system font: the device's sans-serif face at 9 points (12 pixels
  // to the em at 96 dots per inch), for the screen's density when first
  // asked for.
  static const auto* system = [] {
    LOGFONTW lf{};
    lf.lfHeight = -std::max(1, (12 * Screen::Current()->dpi() + 48) / 96);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    const wchar_t face[] = L"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    auto made = std::make_shared<Font>(lf);
    InsertObject(made, true);
    return new std::shared_ptr<Font>(std::move(made));
  }();
  if (which == SYSTEM_FONT || which == DEVICE_DEFAULT_FONT) return *system;
  return nullptr;
}

std::shared_ptr<Bitmap> DefaultBitmap() {
  static const auto* bitmap = [] {
    auto made = MakeBitmap(PixelFormat::Monochrome(), 1, 1);
    InsertObject(made, true);
    return new std::shared_ptr<Bitmap>(std::move(made));
  }();
  return *bitmap;
}

std::shared_ptr<Bitmap> MakeBitmap(std::shared_ptr<const PixelFormat> format, int width, int height) {
  // Bitmaps are capped at 256 MiB and 32767 pixels a side, like the device's
  // coordinate space; anything larger is refused rather than half made.
  constexpr std::size_t kMaxBytes = std::size_t{256} << 20;
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return nullptr;
  const std::size_t rowBytes = DibRowBytes(width, format->bitsPerPixel());
  if (rowBytes * static_cast<std::size_t>(height) > kMaxBytes) return nullptr;
  auto bitmap = std::make_shared<Bitmap>();
  bitmap->format = std::move(format);
  bitmap->rowBytes = rowBytes;
  bitmap->storage.assign(rowBytes * static_cast<std::size_t>(height), 0);
  bitmap->surface.origin = bitmap->storage.data();
  bitmap->surface.rowStep = static_cast<std::ptrdiff_t>(rowBytes);
  bitmap->surface.colStep = bitmap->format->bitsPerPixel() / 8;
  bitmap->surface.width = width;
  bitmap->surface.height = height;
  bitmap->surface.format = bitmap->format.get();
  return bitmap;
}

HDC CreateScreenDc(std::shared_ptr<Screen> screen, POINT origin, std::optional<RECT> ownedArea) {
  auto dc = std::make_shared<Dc>();
  dc->type = DcType::Screen;
  dc->screen = std::move(screen);
  dc->brush = StockBrush(WHITE_BRUSH);
  dc->pen = StockPen(BLACK_PEN);
  dc->origin = origin;
  dc->deviceClip = ownedArea;
  return static_cast<HDC>(InsertObject(std::move(dc)));
}

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

RECT Dc::ClipInSurface() const {
  const Surface& s = surface();
  RECT clip{0, 0, s.width, s.height};
  if (deviceClip) clip = Intersect(clip, *deviceClip);
  if (userClip) {
    const RECT user{userClip->left + origin.x, userClip->top + origin.y, userClip->right + origin.x,
                    userClip->bottom + origin.y};
    clip = Intersect(clip, user);
  }
  return clip;
}

std::vector<RECT> Dc::ClipPieces() const {
  std::vector<RECT> pieces;
  const RECT clip = ClipInSurface();
  if (IsEmpty(clip)) return pieces;
  pieces.push_back(clip);
  std::vector<RECT> next;
  for (const RECT& cut : excluded) {
    next.clear();
    for (const RECT& p : pieces) {
      const RECT overlap = Intersect(p, cut);
      if (IsEmpty(overlap)) {
        next.push_back(p);
        continue;
      }
      // What is left of p: the bands above and below the overlap, and the
      // parts beside it within the overlap's rows.
      const RECT around[] = {RECT{p.left, p.top, p.right, overlap.top}, RECT{p.left, overlap.bottom, p.right, p.bottom},
                             RECT{p.left, overlap.top, overlap.left, overlap.bottom},
                             RECT{overlap.right, overlap.top, p.right, overlap.bottom}};
      for (const RECT& r : around) {
        if (!IsEmpty(r)) next.push_back(r);
      }
    }
    pieces.swap(next);
  }
  return pieces;
}

void Dc::Changed(const RECT& area) const {
  if (type == DcType::Screen && !IsEmpty(area)) screen->Present(area);
}

}  // namespace ce::gdi
