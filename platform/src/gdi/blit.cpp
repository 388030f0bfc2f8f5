// Pixel transfers: BitBlt, StretchBlt, FillRect, GetPixel and SetPixel.
// Everything is clipped to the destination DC's clip rectangle and to the
// source bitmap; coordinates are widened to 64 bits before any sum so no
// caller value can overflow.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "gdi/objects.h"
#include "gdi/rows.h"

using namespace ce::gdi;

namespace {

using i64 = long long;

std::atomic<bool> rowPaths{true};

// Buffers the row paths reuse between calls, so a blit allocates only when
// it is wider or taller than every one before it on this thread.
struct RowBuffers {
  std::vector<int> columns;
  std::vector<int> rows;
  std::vector<DWORD> source;
  std::vector<DWORD> dest;
};

RowBuffers& Buffers() {
  thread_local RowBuffers buffers;
  return buffers;
}

template <typename T>
T* Sized(std::vector<T>& buffer, std::size_t size) {
  if (buffer.size() < size) buffer.resize(size);
  return buffer.data();
}

struct Span {
  i64 start;
  i64 length;  // > 0
};

// Normalises a signed extent; true when it was negative (mirrored).
bool Normalise(i64& start, i64& length) {
  if (length >= 0) return false;
  start += length;
  length = -length;
  return true;
}

// The source column (or row) a destination column samples: the source pixel
// under the destination pixel's centre, so growing repeats pixels evenly and
// shrinking drops them evenly.
i64 Sample(i64 index, i64 destLength, i64 sourceLength, bool mirrored) {
  // 128-bit product: both factors may come close to 2^32.
  const auto offset = static_cast<i64>((static_cast<__int128>(2 * index + 1) * sourceLength) / (2 * destLength));
  return mirrored ? sourceLength - 1 - offset : offset;
}

DWORD PatternPixel(const Dc& dc, const PixelFormat& format) {
  return dc.brush->style == BS_SOLID ? format.FromColor(dc.brush->color) : 0;
}

// Copies source rows to destination rows with memmove when nothing but a
// plain copy between identical formats is asked for.
bool TryFastCopy(const Surface& dest, const RECT& area, const Surface& source, i64 sx, i64 sy) {
  if (!dest.format->SameAs(*source.format) || dest.format->bitsPerPixel() < 8 || !dest.RowsAreContiguous() ||
      !source.RowsAreContiguous()) {
    return false;
  }
  const int rows = area.bottom - area.top;
  const std::size_t bytes = static_cast<std::size_t>(area.right - area.left) * static_cast<std::size_t>(dest.colStep);
  // Rows moving down within one surface are copied bottom first.
  const bool backwards = dest.origin == source.origin && area.top > sy;
  for (int n = 0; n < rows; ++n) {
    const int j = backwards ? rows - 1 - n : n;
    std::memmove(dest.RowAddress(area.left, area.top + j),
                 source.RowAddress(static_cast<int>(sx), static_cast<int>(sy) + j), bytes);
  }
  return true;
}

BOOL Transfer(HDC destHdc, i64 x, i64 y, i64 w, i64 h, HDC sourceHdc, i64 sx, i64 sy, i64 sw, i64 sh, DWORD rop) {
  std::lock_guard guard(GdiLock());
  auto dest = LookupDc(destHdc);
  if (!dest) return FALSE;
  const bool needSource = RopUsesSource(rop);
  std::shared_ptr<Dc> source;
  if (needSource) {
    source = LookupDc(sourceHdc);
    if (!source) return FALSE;
  }
  if (w == 0 || h == 0 || (needSource && (sw == 0 || sh == 0))) return TRUE;
  if (!needSource) {
    sw = w;
    sh = h;
  }
  const bool mirrorX = Normalise(x, w) != Normalise(sx, sw);
  const bool mirrorY = Normalise(y, h) != Normalise(sy, sh);

  const Surface& ds = dest->surface();
  // Each rectangle of the clip is painted on its own.
  const auto paintPiece = [&](const RECT& clip) {
    // Destination pixels i in [i0, i1) and j in [j0, j1) after clipping.
    const i64 left = x + dest->origin.x;
    const i64 top = y + dest->origin.y;
    const i64 i0 = std::max<i64>(0, clip.left - left);
    const i64 i1 = std::min<i64>(w, clip.right - left);
    const i64 j0 = std::max<i64>(0, clip.top - top);
    const i64 j1 = std::min<i64>(h, clip.bottom - top);
    if (i0 >= i1 || j0 >= j1) return;

    const PixelFormat& df = *ds.format;
    const DWORD pattern = PatternPixel(*dest, df);
    const DWORD mask = df.valueMask();

    if (!needSource && rowPaths.load(std::memory_order_relaxed)) {
      const auto count = static_cast<std::size_t>(i1 - i0);
      DWORD* line = Sized(Buffers().dest, count);
      const bool readDest = RopUsesDest(rop);
      for (i64 j = j0; j < j1; ++j) {
        const int px = static_cast<int>(left + i0);
        const int py = static_cast<int>(top + j);
        if (readDest) ReadSpan(ds, px, py, count, line);
        CombineRow(rop, pattern, nullptr, line, count, mask);
        WriteSpan(ds, px, py, count, line);
      }
      dest->Changed(RECT{static_cast<LONG>(left + i0), static_cast<LONG>(top + j0), static_cast<LONG>(left + i1),
                         static_cast<LONG>(top + j1)});
      return;
    }
    if (!needSource) {
      for (i64 j = j0; j < j1; ++j) {
        for (i64 i = i0; i < i1; ++i) {
          const int px = static_cast<int>(left + i);
          const int py = static_cast<int>(top + j);
          ds.Write(px, py, ApplyRop(rop, pattern, 0, ds.Read(px, py), mask));
        }
      }
      dest->Changed(RECT{static_cast<LONG>(left + i0), static_cast<LONG>(top + j0), static_cast<LONG>(left + i1),
                         static_cast<LONG>(top + j1)});
      return;
    }

    const Surface& ss = source->surface();
    const i64 sLeft = sx + source->origin.x;
    const i64 sTop = sy + source->origin.y;
    const bool oneToOne = w == sw && h == sh && !mirrorX && !mirrorY;

    if (oneToOne && ((rop >> 16) & 0xFF) == 0xCC) {
      // Clip further to the source surface, then copy rows.
      const i64 a0 = std::max<i64>(i0, -sLeft);
      const i64 a1 = std::min<i64>(i1, ss.width - sLeft);
      const i64 b0 = std::max<i64>(j0, -sTop);
      const i64 b1 = std::min<i64>(j1, ss.height - sTop);
      if (a0 >= a1 || b0 >= b1) return;
      const RECT area{static_cast<LONG>(left + a0), static_cast<LONG>(top + b0), static_cast<LONG>(left + a1),
                      static_cast<LONG>(top + b1)};
      if (rowPaths.load(std::memory_order_relaxed) && TryFastCopy(ds, area, ss, sLeft + a0, sTop + b0)) {
        dest->Changed(area);
        return;
      }
    }

    // Source column and row for each destination column and row; -1 where the
    // source pixel lies outside the source bitmap (that pixel is left alone).
    // Both maps are monotonic, so the valid entries form one run.
    RowBuffers& buffers = Buffers();
    int* columns = Sized(buffers.columns, static_cast<std::size_t>(i1 - i0));
    i64 firstColumn = i1;
    i64 endColumn = i0;
    for (i64 i = i0; i < i1; ++i) {
      const i64 s = oneToOne ? sLeft + i : sLeft + Sample(i, w, sw, mirrorX);
      const bool inside = s >= 0 && s < ss.width;
      columns[i - i0] = inside ? static_cast<int>(s) : -1;
      if (inside) {
        firstColumn = std::min(firstColumn, i);
        endColumn = i + 1;
      }
    }
    int* rows = Sized(buffers.rows, static_cast<std::size_t>(j1 - j0));
    for (i64 j = j0; j < j1; ++j) {
      const i64 s = oneToOne ? sTop + j : sTop + Sample(j, h, sh, mirrorY);
      rows[j - j0] = (s >= 0 && s < ss.height) ? static_cast<int>(s) : -1;
    }
    const bool fast = rowPaths.load(std::memory_order_relaxed);

    // Reading and writing one surface: take the source pixels first.
    const Surface* from = &ss;
    std::vector<BYTE> copy;
    Surface snapshot;
    if (ds.origin == ss.origin) {
      copy.resize(DibRowBytes(ss.width, ss.format->bitsPerPixel()) * static_cast<std::size_t>(ss.height));
      snapshot = Surface{copy.data(),
                         static_cast<std::ptrdiff_t>(DibRowBytes(ss.width, ss.format->bitsPerPixel())),
                         ss.format->bitsPerPixel() / 8,
                         ss.width,
                         ss.height,
                         ss.format};
      if (fast && ss.RowsAreContiguous() && firstColumn < endColumn) {
        // The sampled part of each sampled row in one piece; both surfaces
        // are plain rows of the same depth.
        const int c0 = std::min(columns[firstColumn - i0], columns[endColumn - 1 - i0]);
        const int c1 = std::max(columns[firstColumn - i0], columns[endColumn - 1 - i0]) + 1;
        const std::size_t bytes = static_cast<std::size_t>(c1 - c0) * static_cast<std::size_t>(ss.colStep);
        for (i64 n = 0; n < j1 - j0; ++n) {
          const int r = rows[n];
          if (r >= 0) std::memcpy(snapshot.RowAddress(c0, r), ss.RowAddress(c0, r), bytes);
        }
      } else {
        for (i64 n = 0; n < j1 - j0; ++n) {
          const int r = rows[n];
          if (r < 0) continue;
          for (i64 k = 0; k < i1 - i0; ++k) {
            const int c = columns[k];
            if (c >= 0) snapshot.Write(c, r, ss.Read(c, r));
          }
        }
      }
      from = &snapshot;
    }

    if (fast) {
      if (firstColumn < endColumn) {
        const RowConverter converter(*ss.format, df);
        const auto count = static_cast<std::size_t>(endColumn - firstColumn);
        DWORD* sourceLine = Sized(buffers.source, count);
        DWORD* destLine = Sized(buffers.dest, count);
        const bool readDest = RopUsesDest(rop);
        const int px = static_cast<int>(left + firstColumn);
        const int* used = columns + (firstColumn - i0);
        for (i64 j = j0; j < j1; ++j) {
          const int r = rows[j - j0];
          if (r < 0) continue;
          const int py = static_cast<int>(top + j);
          ReadRow(*from, r, used, count, sourceLine);
          converter.Convert(sourceLine, count);
          if (readDest) ReadSpan(ds, px, py, count, destLine);
          CombineRow(rop, pattern, sourceLine, destLine, count, mask);
          WriteSpan(ds, px, py, count, destLine);
        }
      }
      dest->Changed(RECT{static_cast<LONG>(left + i0), static_cast<LONG>(top + j0), static_cast<LONG>(left + i1),
                         static_cast<LONG>(top + j1)});
      return;
    }

    const bool sameFormat = df.SameAs(*ss.format);
    // Indexed sources convert through a small table built once.
    std::vector<DWORD> converted;
    if (!sameFormat && ss.format->indexed()) {
      converted.resize(std::size_t{1} << ss.format->bitsPerPixel());
      for (std::size_t v = 0; v < converted.size(); ++v) {
        converted[v] = df.FromColor(ss.format->ToColor(static_cast<DWORD>(v)));
      }
    }
    for (i64 j = j0; j < j1; ++j) {
      const int r = rows[j - j0];
      if (r < 0) continue;
      const int py = static_cast<int>(top + j);
      for (i64 i = i0; i < i1; ++i) {
        const int c = columns[i - i0];
        if (c < 0) continue;
        DWORD s = from->Read(c, r);
        if (!sameFormat) s = converted.empty() ? df.FromColor(ss.format->ToColor(s)) : converted[s];
        const int px = static_cast<int>(left + i);
        ds.Write(px, py, ApplyRop(rop, pattern, s, ds.Read(px, py), mask));
      }
    }
    dest->Changed(RECT{static_cast<LONG>(left + i0), static_cast<LONG>(top + j0), static_cast<LONG>(left + i1),
                       static_cast<LONG>(top + j1)});
  };
  dest->ForEachClipPiece(paintPiece);
  return TRUE;
}

// The surface pixel of a DC point inside the DC's clip, if any.
bool Locate(const Dc& dc, int x, int y, int& px, int& py) {
  const i64 sx = i64{x} + dc.origin.x;
  const i64 sy = i64{y} + dc.origin.y;
  bool inside = false;
  dc.ForEachClipPiece([&](const RECT& clip) {
    inside = inside || (sx >= clip.left && sx < clip.right && sy >= clip.top && sy < clip.bottom);
  });
  if (!inside) return false;
  px = static_cast<int>(sx);
  py = static_cast<int>(sy);
  return true;
}

}  // namespace

void ce::gdi::SetBlitRowPaths(bool enabled) { rowPaths.store(enabled, std::memory_order_relaxed); }

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
  return Transfer(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop) {
  return Transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, rop);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return 0;
  auto fill = LookupBrush(brush);
  if (!fill) return 0;
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (fill->style != BS_SOLID) return 1;  // a hollow brush paints nothing
  const Surface& s = dc->surface();
  const DWORD pixel = s.format->FromColor(fill->color);
  dc->ForEachClipPiece([&](const RECT& clip) {
    const i64 left = std::max<i64>(i64{rect->left} + dc->origin.x, clip.left);
    const i64 top = std::max<i64>(i64{rect->top} + dc->origin.y, clip.top);
    const i64 right = std::min<i64>(i64{rect->right} + dc->origin.x, clip.right);
    const i64 bottom = std::min<i64>(i64{rect->bottom} + dc->origin.y, clip.bottom);
    if (left >= right || top >= bottom) return;
    const auto count = static_cast<std::size_t>(right - left);
    DWORD* line = Sized(Buffers().dest, count);
    std::fill(line, line + count, pixel);
    for (i64 y = top; y < bottom; ++y) WriteSpan(s, static_cast<int>(left), static_cast<int>(y), count, line);
    dc->Changed(
        RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)});
  });
  return 1;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  int px;
  int py;
  if (!Locate(*dc, x, y, px, py)) return CLR_INVALID;
  const Surface& s = dc->surface();
  return s.format->ToColor(s.Read(px, py));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  std::lock_guard guard(GdiLock());
  auto dc = LookupDc(hdc);
  if (!dc) return CLR_INVALID;
  int px;
  int py;
  if (!Locate(*dc, x, y, px, py)) return CLR_INVALID;
  const Surface& s = dc->surface();
  const DWORD pixel = s.format->FromColor(color);
  s.Write(px, py, pixel);
  dc->Changed(RECT{px, py, px + 1, py + 1});
  return s.format->ToColor(pixel);  // the colour actually set
}
