#include "display/font.h"

#include <cmath>
#include <cstring>

#include "engine/file.h"
#include "raster/image_blit.h"
#include "runtime/le_bytes.h"

namespace {

using ks::runtime::LoadLe16;
using ks::runtime::LoadLe32;

bool Drawable(wchar_t c) { return c >= kFontFirstChar && c <= kFontLastDrawnChar; }

// Reads exactly `count` bytes; false on a short read.
bool ReadAll(ssFile* stream, std::uint8_t* out, std::uint32_t count) {
  return count == 0 || stream->Read(out, count) == count;
}

}  // namespace

void ssFont::Reset() {
  m_Header = ssFontHeader{};
  m_Strip.clear();
  m_Strip.shrink_to_fit();
  m_Loaded = false;
}

int ssFont::Load(ssFile* stream, float, float) {
  Reset();
  if (stream == nullptr) return -1;
  std::vector<std::uint8_t> raw(kFontHeaderSize, 0);
  const std::uint32_t got = stream->Read(raw.data(), kFontHeaderSize);
  bool ok = true;
  const std::uint8_t* words = nullptr;
  const std::uint8_t* table = nullptr;
  std::size_t tableBytes = 0;
  if (got >= 4 && LoadLe32(raw.data()) == kFontVersion) {
    ok = got == kFontHeaderSize;
    m_Header.version = kFontVersion;
    std::memcpy(m_Header.name, raw.data() + 4, kFontNameBytes);
    words = raw.data() + 132;
    table = raw.data() + 142;
    tableBytes = kFontGlyphs * 4;
  } else {
    // The older layout: the name at 0, five words at 128 and the first 510
    // bytes of the glyph table at 138; the strip follows the 652 bytes.
    ok = stream->Seek(0, 0) == 0 && stream->Read(raw.data(), kFontHeaderSizeOld) == kFontHeaderSizeOld;
    m_Header.version = kFontVersionOld;
    std::memcpy(m_Header.name, raw.data(), kFontNameBytes);
    words = raw.data() + 128;
    table = raw.data() + 138;
    tableBytes = 510;
  }
  if (ok) {
    m_Header.glyphCount = LoadLe16(words);
    m_Header.metric2 = LoadLe16(words + 2);
    m_Header.height = LoadLe16(words + 4);
    m_Header.stripWidth = LoadLe16(words + 6);
    m_Header.metric3 = LoadLe16(words + 8);
    for (std::size_t i = 0; i < tableBytes / 4; ++i) {
      m_Header.glyphs[i] = ssFontGlyph{LoadLe16(table + i * 4), LoadLe16(table + i * 4 + 2)};
    }
    if (tableBytes % 4 != 0) m_Header.glyphs[tableBytes / 4].column = LoadLe16(table + (tableBytes / 4) * 4);
    // The name must end inside its field, and every glyph in use must lie
    // inside the strip; entries past the count are not in use.
    ok = std::memchr(m_Header.name, 0, kFontNameBytes) != nullptr && m_Header.glyphCount <= kFontGlyphs;
    for (int i = 0; ok && i < kFontGlyphs; ++i) {
      ssFontGlyph& g = m_Header.glyphs[i];
      if (i >= m_Header.glyphCount) {
        g = ssFontGlyph{};
      } else if (static_cast<std::uint32_t>(g.column) + g.width > m_Header.stripWidth) {
        ok = false;
      }
    }
  }
  const std::uint32_t stripBytes = static_cast<std::uint32_t>(m_Header.stripWidth) * m_Header.height;
  if (ok) {
    // The strip must be there before memory is given to it.
    const std::uint32_t size = stream->GetSize();
    const std::uint32_t at = stream->Tell();
    ok = size >= at && size - at >= stripBytes;
  }
  if (ok) {
    m_Strip.assign(stripBytes, 0);
    ok = ReadAll(stream, m_Strip.data(), stripBytes);
  }
  stream->Close();
  if (!ok) {
    Reset();
    return -1;
  }
  m_Spacing = m_Header.height / 12 < 1 ? 1 : m_Header.height / 12;
  m_SpaceWidth = m_Header.height / 3;
  m_Loaded = true;
  return 0;
}

int ssFont::DrawString(int, int, std::uint32_t, std::uint32_t, const wchar_t*, bool, const ssRect*, bool) { return 0; }
int ssFont::DrawStringRotated(int, int, std::uint32_t, std::uint32_t, const wchar_t*, bool, const ssRect*, bool) {
  return 0;
}

int ssFont::GlyphWidth(wchar_t c) const {
  if (!m_Loaded || !Drawable(c) || c == L' ') return 0;
  return m_Header.glyphs[c - kFontFirstChar].width;
}

int ssFont::GetStringWidth(const wchar_t* text) const {
  if (text == nullptr || !m_Loaded) return 0;
  int width = 0;
  for (; *text != 0; ++text) {
    if (*text == L' ') {
      width += m_Spacing + m_SpaceWidth;
    } else if (Drawable(*text)) {
      width += m_Spacing + GlyphWidth(*text);
    }
  }
  return width;
}

// Scaled font.

int ssScaledFont::Load(ssFile* stream, float xScale, float yScale) {
  if (stream != nullptr && !(std::isfinite(xScale) && std::isfinite(yScale) && xScale > 0.0f && yScale > 0.0f &&
                             xScale <= 64.0f && yScale <= 64.0f)) {
    stream->Close();
    Reset();
    return -1;
  }
  if (ssFont::Load(stream, xScale, yScale) != 0) return -1;
  m_Spacing = 0;
  m_SpaceWidth = m_Header.height / 3;
  if (xScale == 1.0f && yScale == 1.0f) return 0;
  if (!Rescale(xScale, yScale)) {
    Reset();
    return -1;
  }
  return 0;
}

bool ssScaledFont::Rescale(float xs, float ys) {
  m_SpaceWidth = static_cast<int>(static_cast<float>(m_SpaceWidth) * xs + 0.00005f);
  // New widths with the dropped fractions carried: a glyph grows by one
  // pixel each time their sum passes 1.0.
  ssFontGlyph scaled[kFontGlyphs]{};
  float carried = 0.0f;
  std::uint32_t column = 0;
  for (int i = 0; i < kFontGlyphs; ++i) {
    const float exact = static_cast<float>(m_Header.glyphs[i].width) * xs;
    std::uint32_t width = static_cast<std::uint32_t>(exact);
    carried += exact - static_cast<float>(width);
    if (carried > 1.0f) {
      ++width;
      carried -= 1.0f;
    }
    if (column > 0xFFFF || width > 0xFFFF) return false;
    scaled[i] = ssFontGlyph{static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(width)};
    column += width;
  }
  const std::uint32_t newHeight = static_cast<std::uint32_t>(static_cast<float>(m_Header.height) * ys + 0.5f);
  if (column > 0xFFFF || newHeight > 0xFFFF) return false;
  const std::int64_t stepX = static_cast<std::int64_t>(65536.0f / xs);
  const std::int64_t stepY = static_cast<std::int64_t>(65536.0f / ys);
  const std::uint32_t oldWidth = m_Header.stripWidth;
  const std::uint32_t oldHeight = m_Header.height;
  std::vector<std::uint8_t> strip(static_cast<std::size_t>(column) * newHeight, 0);
  for (int i = 0; i < kFontGlyphs; ++i) {
    const ssFontGlyph& from = m_Header.glyphs[i];
    const ssFontGlyph& to = scaled[i];
    // Samples outside the glyph's own columns or below the last row are 0.
    auto old = [&](std::int64_t cx, std::int64_t cy) -> std::int64_t {
      if (cx < 0 || cx >= from.width || cy < 0 || cy >= oldHeight) return 0;
      return m_Strip[static_cast<std::size_t>(cy) * oldWidth + from.column + static_cast<std::size_t>(cx)];
    };
    for (std::uint32_t row = 0; row < newHeight; ++row) {
      const std::int64_t v = row * stepY;
      const std::int64_t iy = v >> 16, fy = v & 0xFFFF;
      for (std::uint32_t col = 0; col < to.width; ++col) {
        const std::int64_t u = col * stepX;
        const std::int64_t ix = u >> 16, fx = u & 0xFFFF;
        const std::int64_t top = old(ix, iy) * (0x10000 - fx) + old(ix + 1, iy) * fx;
        const std::int64_t bottom = old(ix, iy + 1) * (0x10000 - fx) + old(ix + 1, iy + 1) * fx;
        const std::int64_t value = (top * (0x10000 - fy) + bottom * fy) >> 32;
        strip[static_cast<std::size_t>(row) * column + to.column + col] = static_cast<std::uint8_t>(value);
      }
    }
  }
  std::memcpy(m_Header.glyphs, scaled, sizeof scaled);
  m_Header.stripWidth = static_cast<std::uint16_t>(column);
  m_Header.height = static_cast<std::uint16_t>(newHeight);
  m_Strip = std::move(strip);
  return true;
}

std::uint16_t ssScaledFont::Blend565(std::uint16_t dst, std::uint16_t color, int coverage) {
  return ssCoverageBlend565(dst, color, coverage);
}

std::uint16_t ssScaledFont::Blend444(std::uint16_t dst, std::uint16_t color, int coverage) {
  return ssCoverageBlend444(dst, color, coverage);
}

int ssScaledFont::DrawString(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text,
                             bool opaque, const ssRect* clip, bool reverse) {
  return Draw(x, y, color, backColor, text, opaque, clip, reverse, false);
}

int ssScaledFont::DrawStringRotated(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text,
                                    bool opaque, const ssRect* clip, bool reverse) {
  return Draw(x, y, color, backColor, text, opaque, clip, reverse, true);
}

int ssScaledFont::Draw(int x, int y, std::uint32_t color, std::uint32_t backColor, const wchar_t* text, bool opaque,
                       const ssRect* clip, bool reverse, bool rotated) {
  ssDisplay* d = m_Device;
  if (!m_Loaded || text == nullptr || d == nullptr || d->m_RenderBuffer == nullptr || d->m_RenderBits != 16) return 0;
  // A given rectangle comes from RectToDevice (point mapping); without one
  // the device's clip in edge form bounds the drawing, half-open on all axes.
  const ssRect box = clip != nullptr ? *clip : d->ClipEdges();
  // Pen steps along the string (ax) and row steps down the glyph (ay), in
  // device pixels. An axis that runs backwards takes its clip bound as
  // (low, high] instead of [low, high): that is how the logical rectangle
  // lands on the device after the mirror.
  int penDx, penDy, rowDx, rowDy;
  bool xMirrored, yMirrored;
  if (!rotated) {
    penDx = reverse ? -1 : 1;
    penDy = 0;
    rowDx = 0;
    rowDy = reverse ? -1 : 1;
    xMirrored = yMirrored = reverse;
  } else {
    penDx = 0;
    penDy = reverse ? 1 : -1;
    rowDx = reverse ? -1 : 1;
    rowDy = 0;
    xMirrored = reverse;
    yMirrored = !reverse;
  }
  if (clip == nullptr) xMirrored = yMirrored = false;
  const long long xLo = xMirrored ? static_cast<long long>(box.left) + 1 : box.left;
  const long long xHi = xMirrored ? static_cast<long long>(box.right) + 1 : box.right;
  const long long yLo = yMirrored ? static_cast<long long>(box.top) + 1 : box.top;
  const long long yHi = yMirrored ? static_cast<long long>(box.bottom) + 1 : box.bottom;
  const long long wLimit = d->m_RenderWidth;
  const long long hLimit = d->m_RenderHeight;
  auto* base = static_cast<std::uint8_t*>(d->m_RenderBuffer);
  const int pitch = d->m_RenderPitch;
  const bool rgb444 = m_Depth == 12;
  const auto fore = static_cast<std::uint16_t>(color & 0xFFFF);
  const auto back = static_cast<std::uint16_t>(backColor & 0xFFFF);
  auto put = [&](long long px, long long py, int coverage, bool background) {
    if (px < xLo || px >= xHi || py < yLo || py >= yHi || px < 0 || py < 0 || px >= wLimit || py >= hLimit) return;
    auto* p = reinterpret_cast<std::uint16_t*>(base + py * pitch) + px;
    if (background) {
      *p = back;
    } else {
      *p = rgb444 ? Blend444(*p, fore, coverage) : Blend565(*p, fore, coverage);
    }
  };
  const int height = m_Header.height;
  const std::size_t stripWidth = m_Header.stripWidth;
  long long penX = x, penY = y;
  for (; *text != 0; ++text) {
    const wchar_t c = *text;
    if (!Drawable(c)) continue;
    if (c == L' ') {
      penX += static_cast<long long>(penDx) * m_SpaceWidth;
      penY += static_cast<long long>(penDy) * m_SpaceWidth;
      continue;
    }
    const ssFontGlyph& g = m_Header.glyphs[c - kFontFirstChar];
    for (int row = 0; row < height; ++row) {
      const std::uint8_t* src = m_Strip.data() + row * stripWidth + g.column;
      const long long rx = penX + static_cast<long long>(rowDx) * row;
      const long long ry = penY + static_cast<long long>(rowDy) * row;
      for (int col = 0; col < g.width; ++col) {
        const int coverage = src[col];
        const bool background = (coverage >> 3) == 0;
        if (background && !opaque) continue;
        put(rx + static_cast<long long>(penDx) * col, ry + static_cast<long long>(penDy) * col, coverage, background);
      }
      if (opaque) {
        for (int col = g.width; col < g.width + m_Spacing; ++col) {
          put(rx + static_cast<long long>(penDx) * col, ry + static_cast<long long>(penDy) * col, 0, true);
        }
      }
    }
    const int advance = g.width + (opaque ? m_Spacing : 0);
    penX += static_cast<long long>(penDx) * advance;
    penY += static_cast<long long>(penDy) * advance;
  }
  return 0;
}
