// Reading the device-independent bitmaps a module's bitmaps and icons are
// stored as: a 40-byte header, the bit-field masks or colour table, then
// the rows. Only the forms the resource compiler stores are taken
// (uncompressed 1, 4, 8, 16, 24 and 32 bits a pixel), each checked against
// the resource's size.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ce/windows.h"

namespace ce::resources {

struct Dib {
  BITMAPINFOHEADER header;
  std::span<const std::uint8_t> infoBytes;  // header, masks and colour table
  std::vector<RGBQUAD> colors;
  std::span<const std::uint8_t> pixels;  // the rows (of both halves, for an icon)
  std::size_t stride = 0;                // bytes per colour row
  int width = 0;
  int height = 0;  // rows of the picture (half the stored height for an icon)
  bool bottomUp = true;
};

// `icon`: the stored height is twice the picture's, a 1-bit AND mask
// following the colour rows.
std::optional<Dib> ReadDib(std::span<const std::uint8_t> bytes, bool icon);

// The pixel at (x, y), y counted from the top, as B, G, R, A.
RGBQUAD DibPixel(const Dib& dib, int x, int y);
// Whether an icon's AND mask is set (transparent) at (x, y).
bool DibMaskSet(const Dib& dib, int x, int y);

// The picture of an icon group (RT_GROUP_ICON) nearest in size to cx by cy
// (the first picture's size when both are 0), the deepest of those equally
// near: its RT_ICON id and size. Nullopt when the group is damaged.
struct IconChoice {
  WORD id;
  int width;
  int height;
};
std::optional<IconChoice> ChooseIconPicture(std::span<const std::uint8_t> group, int cx, int cy);

}  // namespace ce::resources
