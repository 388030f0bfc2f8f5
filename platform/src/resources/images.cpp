// A module's bitmaps and icons: LoadBitmapW and LoadImageW make DIB
// sections through GDI; icons are a colour bitmap and a 1-bit mask kept
// behind icon handles, drawn by DrawIconEx with the mask (AND) and then the
// colours (XOR).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "kernel/handle_table.h"
#include "kernel/not_implemented.h"
#include "resources/dib.h"
#include "resources/icons.h"
#include "resources/resource_table.h"

namespace ce::resources {
namespace {

// Handle values are 1 << 42 | generation << 20 | (index + 1): apart from
// kernel handles (below 1 << 32) and GDI objects (1 << 40).
constexpr std::uintptr_t kIconTag = std::uintptr_t{1} << 42;
constexpr std::uint32_t kMaxIcons = (1u << 20) - 1;
constexpr std::uint32_t kGenerationMask = 0xFFFFF;

struct Icon {
  int width = 0;
  int height = 0;
  HBITMAP color = nullptr;  // 32 bits a pixel, black where transparent
  HBITMAP mask = nullptr;   // 1 bit a pixel, set where transparent
  ~Icon() {
    if (color) DeleteObject(color);
    if (mask) DeleteObject(mask);
  }
};

struct Icons {
  std::mutex lock;
  ce::kernel::HandleTable<Icon> table{kMaxIcons, kGenerationMask};
};

Icons& TheIcons() {
  static Icons* icons = new Icons;
  return *icons;
}

using Slot = ce::kernel::HandleTable<Icon>::Slot;

std::optional<Slot> SlotOf(HICON icon) {
  const auto value = reinterpret_cast<std::uintptr_t>(icon);
  if ((value & ~((std::uintptr_t{1} << 40) - 1)) != kIconTag) return std::nullopt;
  const auto index = static_cast<std::uint32_t>(value & 0xFFFFF);
  if (index == 0) return std::nullopt;
  return Slot{index - 1, static_cast<std::uint32_t>((value >> 20) & kGenerationMask)};
}

std::shared_ptr<Icon> FindIcon(HICON icon) {
  const auto slot = SlotOf(icon);
  if (!slot) return nullptr;
  Icons& icons = TheIcons();
  std::lock_guard guard(icons.lock);
  const auto* found = icons.table.Find(*slot);
  return found ? *found : nullptr;
}

HICON InsertIcon(std::shared_ptr<Icon> icon) {
  Icons& icons = TheIcons();
  std::lock_guard guard(icons.lock);
  const auto slot = icons.table.Insert(std::move(icon));
  if (!slot) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return reinterpret_cast<HICON>(kIconTag | (std::uintptr_t{slot->generation} << 20) | (slot->index + 1));
}

// A bottom-up DIB section of the given format with its rows written by
// `row(y, bytes)` (y from the top).
template <class RowWriter>
HBITMAP MakeSection(const BITMAPINFO* info, int height, RowWriter row) {
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  DIBSECTION section{};
  if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || !bits) {
    DeleteObject(bitmap);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const std::size_t stride = static_cast<std::size_t>(section.dsBm.bmWidthBytes);
  auto* base = static_cast<std::uint8_t*>(bits);
  for (int y = 0; y < height; ++y) row(y, base + stride * static_cast<std::size_t>(height - 1 - y), stride);
  return bitmap;
}

HBITMAP BitmapFrom(const Dib& dib) {
  // The header, masks and colour table as BITMAPINFO, on its own aligned
  // storage.
  std::vector<std::uint32_t> info((dib.infoBytes.size() + 3) / 4 + 1, 0);
  std::memcpy(info.data(), dib.infoBytes.data(), dib.infoBytes.size());
  const auto* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(info.data());
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, bitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  DIBSECTION section{};
  if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || !bits ||
      static_cast<std::size_t>(section.dsBm.bmWidthBytes) < dib.stride) {
    DeleteObject(bitmap);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const std::size_t stride = static_cast<std::size_t>(section.dsBm.bmWidthBytes);
  for (int y = 0; y < dib.height; ++y) {
    std::memcpy(static_cast<std::uint8_t*>(bits) + stride * static_cast<std::size_t>(y),
                dib.pixels.data() + dib.stride * static_cast<std::size_t>(y), dib.stride);
  }
  return bitmap;
}

HBITMAP LoadBitmapFrom(HINSTANCE instance, LPCWSTR name) {
  const auto table = TableOf(instance);
  if (!table) return nullptr;
  const auto data = table->Get(RT_BITMAP, name);
  if (!data) return nullptr;
  const auto dib = ReadDib(*data, false);
  if (!dib) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return BitmapFrom(*dib);
}

int SystemIconSize(int index, int fallback) {
  const int size = GetSystemMetrics(index);
  return size > 0 ? size : fallback;
}

HICON LoadIconFrom(HINSTANCE instance, LPCWSTR name, int cx, int cy) {
  const auto table = TableOf(instance);
  if (!table) return nullptr;
  const auto group = table->Get(RT_GROUP_ICON, name);
  if (!group) return nullptr;
  return IconFromGroup(*table, *group, cx, cy);
}

}  // namespace

HICON IconFromGroup(const Table& table, std::span<const std::uint8_t> group, int cx, int cy) {
  const auto bad = [] {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  };
  const auto choice = ChooseIconPicture(group, cx, cy);
  if (!choice) return bad();
  if (cx == 0 && cy == 0) {
    cx = choice->width;
    cy = choice->height;
  }
  const WORD chosen = choice->id;
  const auto image = table.Get(RT_ICON, MAKEINTRESOURCEW(chosen));
  if (!image) return nullptr;
  const auto dib = ReadDib(*image, true);
  if (!dib) return bad();
  const int width = cx ? cx : dib->width;
  const int height = cy ? cy : dib->height;
  if (width <= 0 || height <= 0 || width > 1024 || height > 1024) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }

  // Each output pixel takes its nearest stored pixel.
  auto sourceX = [&](int x) { return static_cast<int>(static_cast<long>(x) * dib->width / width); };
  auto sourceY = [&](int y) { return static_cast<int>(static_cast<long>(y) * dib->height / height); };
  const bool alpha = dib->header.biBitCount == 32;
  auto transparent = [&](int x, int y) {
    return DibMaskSet(*dib, x, y) || (alpha && DibPixel(*dib, x, y).rgbReserved < 128);
  };
  auto icon = std::make_shared<Icon>();
  icon->width = width;
  icon->height = height;
  BITMAPINFO colorInfo{};
  colorInfo.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  icon->color = MakeSection(&colorInfo, height, [&](int y, std::uint8_t* out, std::size_t) {
    for (int x = 0; x < width; ++x) {
      const int sx = sourceX(x), sy = sourceY(y);
      RGBQUAD p = DibPixel(*dib, sx, sy);
      if (transparent(sx, sy)) p = RGBQUAD{0, 0, 0, 0};
      std::memcpy(out + 4 * x, &p, 4);
    }
  });
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } maskInfo{{sizeof(BITMAPINFOHEADER), width, height, 1, 1, BI_RGB, 0, 0, 0, 2, 0},
             {{0, 0, 0, 0}, {255, 255, 255, 0}}};
  icon->mask = MakeSection(reinterpret_cast<const BITMAPINFO*>(&maskInfo), height,
                           [&](int y, std::uint8_t* out, std::size_t stride) {
                             std::memset(out, 0, stride);
                             for (int x = 0; x < width; ++x) {
                               if (transparent(sourceX(x), sourceY(y))) out[x / 8] |= 0x80 >> (x % 8);
                             }
                           });
  if (!icon->color || !icon->mask) return nullptr;
  return InsertIcon(std::move(icon));
}

HICON PlainFileIcon(int cx, int cy) {
  if (cx <= 0 || cy <= 0 || cx > 1024 || cy > 1024) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A white page with a grey edge and three grey lines of "text", inset an
  // eighth of the size on the left and right; the rest is transparent.
  const int left = cx / 8, right = cx - 1 - cx / 8, top = 0, bottom = cy - 1;
  auto onPage = [&](int x, int y) { return x >= left && x <= right && y >= top && y <= bottom; };
  auto ink = [&](int x, int y) {
    if (x == left || x == right || y == top || y == bottom) return true;
    const int lineStep = std::max(cy / 5, 2);
    return x > left + 1 && x < right - 1 && y >= lineStep && y < cy - lineStep / 2 && y % lineStep == 0;
  };
  auto icon = std::make_shared<Icon>();
  icon->width = cx;
  icon->height = cy;
  BITMAPINFO colorInfo{};
  colorInfo.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  icon->color = MakeSection(&colorInfo, cy, [&](int y, std::uint8_t* out, std::size_t) {
    for (int x = 0; x < cx; ++x) {
      RGBQUAD p{0, 0, 0, 0};
      if (onPage(x, y)) p = ink(x, y) ? RGBQUAD{128, 128, 128, 255} : RGBQUAD{255, 255, 255, 255};
      std::memcpy(out + 4 * x, &p, 4);
    }
  });
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } maskInfo{{sizeof(BITMAPINFOHEADER), cx, cy, 1, 1, BI_RGB, 0, 0, 0, 2, 0}, {{0, 0, 0, 0}, {255, 255, 255, 0}}};
  icon->mask = MakeSection(reinterpret_cast<const BITMAPINFO*>(&maskInfo), cy,
                           [&](int y, std::uint8_t* out, std::size_t stride) {
                             std::memset(out, 0, stride);
                             for (int x = 0; x < cx; ++x) {
                               if (!onPage(x, y)) out[x / 8] |= 0x80 >> (x % 8);
                             }
                           });
  if (!icon->color || !icon->mask) return nullptr;
  return InsertIcon(std::move(icon));
}

std::optional<IconChoice> ChooseIconPicture(std::span<const std::uint8_t> group, int cx, int cy) {
  if (group.size() < 6 || U16At(group, 0) != 0 || U16At(group, 2) != 1) return std::nullopt;
  const std::uint32_t count = U16At(group, 4);
  if (count == 0 || group.size() < 6 + std::size_t{count} * 14) return std::nullopt;
  auto side = [](std::uint8_t stored) { return stored == 0 ? 256 : int{stored}; };
  if (cx == 0 && cy == 0) {
    cx = side(group[6]);
    cy = side(group[7]);
  }
  if (cx == 0) cx = cy;
  if (cy == 0) cy = cx;
  std::optional<IconChoice> best;
  long bestDistance = 0;
  std::uint32_t bestDepth = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + std::size_t{i} * 14;
    const int width = side(group[at]);
    const int height = side(group[at + 1]);
    const long distance = std::labs(long{width} - cx) + std::labs(long{height} - cy);
    const std::uint32_t depth = U16At(group, at + 6);
    if (!best || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
      best = IconChoice{static_cast<WORD>(U16At(group, at + 12)), width, height};
      bestDistance = distance;
      bestDepth = depth;
    }
  }
  if (best->id == 0) return std::nullopt;
  return best;
}

}  // namespace ce::resources

using namespace ce::resources;

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR bitmapName) {
  if (!instance) {
    ce::kernel::NotImplemented("LoadBitmapW(system bitmap)");
    return nullptr;
  }
  return LoadBitmapFrom(instance, bitmapName);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR iconName) {
  if (!instance) {
    ce::kernel::NotImplemented("LoadIconW(system icon)");
    return nullptr;
  }
  return LoadIconFrom(instance, iconName, SystemIconSize(SM_CXICON, 32), SystemIconSize(SM_CYICON, 32));
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  constexpr UINT kKnown = LR_DEFAULTSIZE | LR_CREATEDIBSECTION | LR_SHARED;
  if (!instance || (flags & ~kKnown) || (type != IMAGE_BITMAP && type != IMAGE_ICON)) {
    ce::kernel::NotImplemented("LoadImageW(system image, file, cursor or flags)");
    return nullptr;
  }
  if (cx < 0 || cy < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (type == IMAGE_BITMAP) {
    if (cx || cy) {
      ce::kernel::NotImplemented("LoadImageW(IMAGE_BITMAP at another size)");
      return nullptr;
    }
    return LoadBitmapFrom(instance, name);
  }
  if (flags & LR_DEFAULTSIZE) {
    if (cx == 0) cx = SystemIconSize(SM_CXICON, 32);
    if (cy == 0) cy = SystemIconSize(SM_CYICON, 32);
  }
  return LoadIconFrom(instance, name, cx, cy);
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT stepIfAniCur, HBRUSH flickerFreeDraw,
                UINT flags) {
  if (stepIfAniCur != 0 || flickerFreeDraw || (flags & ~(DI_NORMAL | DI_DEFAULTSIZE)) || (flags & DI_NORMAL) == 0) {
    ce::kernel::NotImplemented("DrawIconEx(animation, flicker-free brush or flags)");
    return FALSE;
  }
  const auto found = FindIcon(icon);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (cx == 0) cx = (flags & DI_DEFAULTSIZE) ? SystemIconSize(SM_CXICON, 32) : found->width;
  if (cy == 0) cy = (flags & DI_DEFAULTSIZE) ? SystemIconSize(SM_CYICON, 32) : found->height;
  HDC memory = CreateCompatibleDC(hdc);
  if (!memory) return FALSE;
  BOOL ok = TRUE;
  HGDIOBJ old = SelectObject(memory, found->mask);
  if (flags & DI_MASK) {
    ok = StretchBlt(hdc, x, y, cx, cy, memory, 0, 0, found->width, found->height, SRCAND);
  }
  if (ok && (flags & DI_IMAGE)) {
    SelectObject(memory, found->color);
    ok = StretchBlt(hdc, x, y, cx, cy, memory, 0, 0, found->width, found->height,
                    (flags & DI_MASK) ? SRCINVERT : SRCCOPY);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  return ok;
}

std::optional<SIZE> ce::resources::IconSize(HICON icon) {
  const auto found = FindIcon(icon);
  if (!found) return std::nullopt;
  return SIZE{found->width, found->height};
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) { return DrawIconEx(hdc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }

BOOL DestroyIcon(HICON icon) {
  std::shared_ptr<Icon> removed;
  if (const auto slot = SlotOf(icon)) {
    Icons& icons = TheIcons();
    std::lock_guard guard(icons.lock);
    removed = icons.table.Remove(*slot);
  }
  if (!removed) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;  // the bitmaps go with the last reference, outside the lock
}
