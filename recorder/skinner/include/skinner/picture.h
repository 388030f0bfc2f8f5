// Skin pictures: a descriptor of four points (a nine-patch), a stretch or
// tile flag and an image name, holding a counted reference into the
// process-wide bitmap cache keyed by (scale, skin path, image name).
#pragma once

#include <cstdint>
#include <string>

#include "skinner/properties.h"

namespace skinner {

class Bitmap;
class Canvas;
struct BitmapCacheEntry;

Point operator*(Point p, double scale);
Point operator/(Point p, double scale);
Point point_max(Point a, Point b);
Point point_min(Point a, Point b);

class Picture {
 public:
  Picture();
  Picture(const Picture& other);
  Picture& operator=(const Picture& other);
  ~Picture();

  // False, with the picture unchanged, when the text has fewer than eight
  // integers. Points are scaled; a one-pixel middle stays one pixel.
  bool load(const std::wstring& text, const std::wstring& skin_path, double scale);
  // True when the text is a descriptor at all.
  static bool is_descriptor(const std::wstring& text);

  // Draws the picture into (position, position + size) when it has a
  // bitmap.
  void draw(Canvas& canvas, Point position, Point size) const;
  // The bitmap of the entry, or null.
  const Bitmap* get_bitmap() const;
  Point a() const { return a_; }
  Point b() const { return b_; }
  Point c() const { return c_; }
  Point d() const { return d_; }
  bool is_stretch() const { return stretch_; }
  // What the picture was loaded from, for reports of a failed load.
  const std::wstring& get_name() const { return name_; }
  const std::wstring& get_base_path() const { return base_path_; }
  double get_scale() const { return scale_; }
  Point full_size() const { return {d_.x - a_.x, d_.y - a_.y}; }
  Point min_size() const { return {b_.x - a_.x + d_.x - c_.x, b_.y - a_.y + d_.y - c_.y}; }
  // The image pixel under a point of the picture drawn at (position, size);
  // -1 on an axis where the point lies outside.
  Point map_point(Point point, Point position, Point size) const;
  bool is_transparent_at(Point point, Point position, Point size) const;

  // The cache, for tests: its entries, and whether it exists at all.
  static std::size_t cache_size();
  static bool cache_exists();

 private:
  void release();

  BitmapCacheEntry* entry_ = nullptr;
  Point a_, b_, c_, d_;
  bool stretch_ = true;
  std::wstring name_;
  std::wstring base_path_;
  double scale_ = 1.0;
};

}  // namespace skinner
