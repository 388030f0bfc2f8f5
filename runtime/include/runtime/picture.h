// Pictures drawn in code for the build's icons and bitmaps: a canvas of
// 0xRRGGBB pixels on which magenta is transparent, a few filled shapes
// tested at pixel centres (so a design drawn in units scales to any size),
// and the ICO encoding (32-bit pictures with their masks). Header-only, for
// the picture makers of every program.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace picture {

inline constexpr std::uint32_t kKey = 0xFF00FF;
inline constexpr double kPi = 3.14159265358979323846;

struct Point {
  double x;
  double y;
};

struct Image {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;  // rows from the top, 0xRRGGBB or kKey

  Image(int w, int h, std::uint32_t fill = kKey)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

  void Set(int x, int y, std::uint32_t c) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<std::size_t>(y) * width + x] = c;
  }
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  void Fill(int x, int y, int w, int h, std::uint32_t c) {
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) Set(i, j, c);
    }
  }
  void Frame(int x, int y, int w, int h, std::uint32_t c) {
    Fill(x, y, w, 1, c);
    Fill(x, y + h - 1, w, 1, c);
    Fill(x, y, 1, h, c);
    Fill(x + w - 1, y, 1, h, c);
  }
  // Every pixel whose centre passes `inside` takes the colour.
  template <typename Inside>
  void Paint(std::uint32_t c, Inside inside) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (inside(x + 0.5, y + 0.5)) Set(x, y, c);
      }
    }
  }
  void Disc(Point centre, double radius, std::uint32_t c) {
    Paint(c, [&](double x, double y) { return std::hypot(x - centre.x, y - centre.y) <= radius; });
  }
  void Ring(Point centre, double outer, double inner, std::uint32_t c) {
    Paint(c, [&](double x, double y) {
      const double d = std::hypot(x - centre.x, y - centre.y);
      return d <= outer && d >= inner;
    });
  }
  // A box with rounded corners of `radius`.
  void RoundBox(double left, double top, double right, double bottom, double radius, std::uint32_t c) {
    Paint(c, [&](double x, double y) {
      if (x < left || x > right || y < top || y > bottom) return false;
      const double cx = std::clamp(x, left + radius, right - radius);
      const double cy = std::clamp(y, top + radius, bottom - radius);
      return std::hypot(x - cx, y - cy) <= radius;
    });
  }
  // A segment `thickness` wide with round ends.
  void Line(Point a, Point b, double thickness, std::uint32_t c) {
    Paint(c, [&](double x, double y) {
      const double dx = b.x - a.x, dy = b.y - a.y;
      const double length2 = dx * dx + dy * dy;
      const double t = length2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
      return std::hypot(x - (a.x + t * dx), y - (a.y + t * dy)) <= thickness / 2;
    });
  }
  // A filled polygon (even-odd rule).
  void Polygon(const std::vector<Point>& points, std::uint32_t c) {
    Paint(c, [&](double x, double y) {
      bool in = false;
      for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
        const Point& p = points[i];
        const Point& q = points[j];
        if ((p.y > y) != (q.y > y) && x < (q.x - p.x) * (y - p.y) / (q.y - p.y) + p.x) in = !in;
      }
      return in;
    });
  }
  // An arc of a ring from angle `from` to `to` (radians, clockwise from
  // straight up).
  void Arc(Point centre, double outer, double inner, double from, double to, std::uint32_t c) {
    Paint(c, [&](double x, double y) {
      const double d = std::hypot(x - centre.x, y - centre.y);
      if (d > outer || d < inner) return false;
      double a = std::atan2(x - centre.x, centre.y - y);
      if (a < 0) a += 2 * kPi;
      return a >= from && a <= to;
    });
  }
};

// A design drawn in a square of `units` units scaled to `size` pixels.
struct Scaled {
  Image& image;
  double unit;
  Point P(double x, double y) const { return {x * unit, y * unit}; }
  double U(double n) const { return n * unit; }
};

inline void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An ICO file of the pictures (each at most 255 pixels a side): 32-bit
// colour rows from the bottom, then the 1-bit mask, set where transparent.
inline std::string Ico(const std::vector<Image>& images) {
  std::vector<std::string> pictures;
  for (const Image& image : images) {
    std::string out;
    PutLittleEndian(out, 40, 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(image.width), 4);
    PutLittleEndian(out, static_cast<std::uint32_t>(image.height * 2), 4);
    PutLittleEndian(out, 1, 2);
    PutLittleEndian(out, 32, 2);
    for (int i = 0; i < 6; ++i) PutLittleEndian(out, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
      for (int x = 0; x < image.width; ++x) {
        const std::uint32_t c = image.At(x, y);
        PutLittleEndian(out, c == kKey ? 0u : (0xFF000000u | c), 4);
      }
    }
    const int maskStride = ((image.width + 31) / 32) * 4;
    for (int y = image.height - 1; y >= 0; --y) {
      std::string row(static_cast<std::size_t>(maskStride), '\0');
      for (int x = 0; x < image.width; ++x) {
        if (image.At(x, y) == kKey) row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
      }
      out += row;
    }
    pictures.push_back(std::move(out));
  }
  std::string file;
  PutLittleEndian(file, 0, 2);
  PutLittleEndian(file, 1, 2);
  PutLittleEndian(file, static_cast<std::uint32_t>(images.size()), 2);
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<char>(images[i].width));
    file.push_back(static_cast<char>(images[i].height));
    file.push_back(0);
    file.push_back(0);
    PutLittleEndian(file, 1, 2);
    PutLittleEndian(file, 32, 2);
    PutLittleEndian(file, static_cast<std::uint32_t>(pictures[i].size()), 4);
    PutLittleEndian(file, offset, 4);
    offset += static_cast<std::uint32_t>(pictures[i].size());
  }
  for (const std::string& picture : pictures) file += picture;
  return file;
}

}  // namespace picture
