#include "skinner/picture.h"

#include <cstdint>
#include <map>
#include <memory>
#include <tuple>

#include "liba/text.h"
#include "skinner/bitmap.h"

#include "shared_cache.h"

namespace skinner {

struct BitmapCacheEntry {
  std::uint32_t count = 0;
  std::unique_ptr<Bitmap> bitmap;
};

namespace {

// Ordered by scale, then skin path, then image name.
using BitmapKey = std::tuple<double, std::wstring, std::wstring>;

// Never destroyed: users may outlive static destruction.
SharedCache<BitmapKey, BitmapCacheEntry>& Cache() {
  static auto* cache = new SharedCache<BitmapKey, BitmapCacheEntry>;
  return *cache;
}

struct Descriptor {
  int n[8] = {};
  bool stretch = true;
  std::wstring name;
};

bool parse(const std::wstring& text, Descriptor& out) {
  const wchar_t* p = text.data();
  const wchar_t* const end = p + text.size();
  for (int& v : out.n) {
    p = liba::parse_int(p, end, v);
    if (p == nullptr) return false;
  }
  std::wstring mode;
  p = liba::skip_spaces(p, end);
  while (p != end && !liba::is_space(*p)) mode.push_back(*p++);
  out.stretch = mode.empty() || mode[0] == L's' || mode[0] == L'S';
  p = liba::skip_spaces(p, end);
  out.name.assign(p, end);
  return true;
}

// Truncates toward zero; values past the 32-bit range are held at its ends.
std::int32_t scaled(std::int32_t v, double scale) {
  const double product = static_cast<double>(v) * scale;
  if (!(product > -2147483648.0)) return INT32_MIN;
  if (product >= 2147483647.0) return INT32_MAX;
  return static_cast<std::int32_t>(product);
}

// One axis of the mapping; c < b counts as c = b.
std::int32_t map_axis(std::int32_t p, std::int32_t start, std::int32_t length, std::int32_t a, std::int32_t b,
                      std::int32_t c, std::int32_t d, bool stretch) {
  if (c < b) c = b;
  if (p < start || p >= static_cast<std::int64_t>(start) + length) return -1;
  const std::int64_t off = static_cast<std::int64_t>(p) - start;
  const std::int64_t near = static_cast<std::int64_t>(b) - a;
  const std::int64_t far_start = static_cast<std::int64_t>(length) - (static_cast<std::int64_t>(d) - c);
  if (off <= near) return static_cast<std::int32_t>(a + off);
  if (off >= far_start) return static_cast<std::int32_t>(c + (off - far_start));
  if (stretch) return static_cast<std::int32_t>(b + ((off - near) * (c - b)) / (far_start - near));
  if (c == b) return 0;
  return static_cast<std::int32_t>(b + (off - near) % (c - b));
}

}  // namespace

Point operator*(Point p, double scale) { return {scaled(p.x, scale), scaled(p.y, scale)}; }
Point operator/(Point p, double scale) { return p * (1.0 / scale); }
Point point_max(Point a, Point b) { return {std::max(a.x, b.x), std::max(a.y, b.y)}; }
Point point_min(Point a, Point b) { return {std::min(a.x, b.x), std::min(a.y, b.y)}; }

Picture::Picture() { Cache().join(); }

Picture::Picture(const Picture& other)
    : entry_(other.entry_),
      a_(other.a_),
      b_(other.b_),
      c_(other.c_),
      d_(other.d_),
      stretch_(other.stretch_),
      name_(other.name_),
      base_path_(other.base_path_),
      scale_(other.scale_) {
  Cache().join();
  if (entry_ != nullptr) ++entry_->count;
}

Picture& Picture::operator=(const Picture& other) {
  if (other.entry_ != entry_) {
    if (other.entry_ != nullptr) ++other.entry_->count;
    release();
    entry_ = other.entry_;
  }
  a_ = other.a_;
  b_ = other.b_;
  c_ = other.c_;
  d_ = other.d_;
  stretch_ = other.stretch_;
  name_ = other.name_;
  base_path_ = other.base_path_;
  scale_ = other.scale_;
  return *this;
}

Picture::~Picture() {
  release();
  Cache().leave();
}

void Picture::release() { Cache().release(entry_); }

bool Picture::is_descriptor(const std::wstring& text) {
  Descriptor d;
  return parse(text, d);
}

bool Picture::load(const std::wstring& text, const std::wstring& skin_path, double scale) {
  Descriptor d;
  if (!parse(text, d)) return false;
  const Point a{d.n[0], d.n[1]}, b{d.n[2], d.n[3]}, c{d.n[4], d.n[5]}, dd{d.n[6], d.n[7]};
  a_ = a * scale;
  b_ = b * scale;
  const bool one_pixel_middle = static_cast<std::int64_t>(c.x) == static_cast<std::int64_t>(b.x) + 1 &&
                                static_cast<std::int64_t>(c.y) == static_cast<std::int64_t>(b.y) + 1;
  const auto next = [](std::int32_t v) { return v == INT32_MAX ? v : v + 1; };
  c_ = one_pixel_middle ? Point{next(b_.x), next(b_.y)} : c * scale;
  d_ = dd * scale;
  stretch_ = d.stretch;
  BitmapCacheEntry& entry = Cache().acquire(BitmapKey(scale, skin_path, d.name));
  if (entry.bitmap == nullptr) entry.bitmap = std::make_unique<Bitmap>(skin_path, d.name, scale);
  release();
  entry_ = &entry;
  name_ = d.name;
  base_path_ = skin_path;
  scale_ = scale;
  return true;
}

const Bitmap* Picture::get_bitmap() const { return entry_ != nullptr ? entry_->bitmap.get() : nullptr; }

Point Picture::map_point(Point point, Point position, Point size) const {
  return {map_axis(point.x, position.x, size.x, a_.x, b_.x, c_.x, d_.x, stretch_),
          map_axis(point.y, position.y, size.y, a_.y, b_.y, c_.y, d_.y, stretch_)};
}

bool Picture::is_transparent_at(Point point, Point position, Point size) const {
  const Bitmap* bitmap = get_bitmap();
  if (bitmap == nullptr) return true;
  return bitmap->is_transparent_at(map_point(point, position, size));
}

std::size_t Picture::cache_size() { return Cache().size(); }

bool Picture::cache_exists() { return Cache().exists(); }

}  // namespace skinner
