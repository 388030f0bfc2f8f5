// Skin images: for a base name N, "N.bmp" (colour) with an optional "N_1.bmp"
// 1-bit mask or "N_8.bmp" alpha map, found in the skin archive or beside it,
// decoded and scaled once to the skin's scale as screen-compatible bitmaps.
#pragma once

#include <cstdint>
#include <string>

#include "ce/wingdi.h"
#include "liba/zip_file.h"
#include "skinner/properties.h"

namespace skinner {

class Canvas;
class Picture;

class Bitmap {
 public:
  Bitmap(const std::wstring& skin_path, const std::wstring& name, double factor);
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  bool is_loaded() const { return colour_ != nullptr; }
  // The colour image's size as stored, before scaling.
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  double get_scale() const { return scale_; }
  HBITMAP colour() const { return colour_; }
  // The inverted 1-bit mask (white where transparent) or the alpha map.
  HBITMAP mask() const { return mask_; }
  bool is_alpha() const { return alpha_; }
  // Transparency of a source pixel of the scaled bitmap; a coordinate of -1
  // (outside the picture) is transparent.
  bool is_transparent_at(Point source) const;
  // Draws the bitmap as the picture's nine parts into (top_left,
  // bottom_right) on the canvas; alpha maps blend with what is there.
  void draw(Canvas& canvas, Point top_left, Point bottom_right, const Picture& picture) const;

 private:
  bool load(const std::wstring& skin_path, const std::wstring& name);
  bool scale(HDC screen);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  HBITMAP colour_ = nullptr;
  HBITMAP source_colour_ = nullptr;
  HBITMAP mask_ = nullptr;
  HBITMAP source_mask_ = nullptr;
  bool alpha_ = false;
  double scale_ = 1.0;
};

// One image file: the archive entry through the platform decoder (a decoder
// failure ends the search), the archive entry through the own BMP reader,
// then the plain file in `directory`. False when the search failed.
bool load_image_file(const std::wstring& file_name, const std::wstring& directory, liba::ZipFile& archive,
                     int bit_depth, HBITMAP& out);
// A missing entry is success with no bitmap.
bool decode_archive_entry(liba::ZipFile& archive, const std::wstring& entry_name, int bit_depth, HBITMAP& out);
HBITMAP decode_file(const std::wstring& path, int bit_depth);
// The own reader of uncompressed BMP entries. The header is checked before
// anything is allocated; an entry it refuses gives no bitmap. A missing
// entry is success with no bitmap.
bool load_zipped_image(liba::ZipFile& archive, const std::wstring& entry_name, int bit_depth, HBITMAP& out);

}  // namespace skinner
