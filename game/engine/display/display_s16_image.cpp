// Image drawing of the 16-bit display device: 1:1 copies with colour key or
// alpha blend, and stretched copies.
#include <algorithm>
#include <cstring>

#include "display/display_s16.h"
#include "display/font.h"
#include "engine/image.h"
#include "raster/image_blit.h"

namespace {

// Bytes a pixel of the formats this device can draw; 0 for the others.
int DrawableBytes(std::uint16_t format) {
  switch (format) {
    case kPixelDisplay:
      return 2;
    case kPixelARGB32:
    case kPixelRaw32Alpha:
    case kPixelRaw32:
    case kPixelRaw32c:
      return 4;
    default:
      return 0;
  }
}

bool PixelsUsable(const ssImage* image, int bytes) {
  return image != nullptr && image->Pixels() != nullptr && bytes != 0 &&
         static_cast<std::uint64_t>(image->Width()) * image->Height() * static_cast<std::uint64_t>(bytes) <=
             image->BufferSize();
}

// A logical rectangle in a w x h frame turned for the rotation, edges
// mapped as DrawRect maps them.
ssRect Turn(const ssRect& r, int rotate, LONG w, LONG h) {
  switch (rotate) {
    case 1:
      return ssRect{r.top, h - r.right, r.bottom, h - r.left};
    case 2:
      return ssRect{w - r.right, h - r.bottom, w - r.left, h - r.top};
    case 3:
      return ssRect{w - r.bottom, r.left, w - r.top, r.right};
    default:
      return r;
  }
}

std::uint32_t Load32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

std::uint16_t BlendArgb(std::uint16_t dst, std::uint32_t argb, bool rgb444) {
  const int alpha = static_cast<int>(argb >> 24);
  if (rgb444) {
    const auto c = static_cast<std::uint16_t>(((argb >> 12) & 0xF00) | ((argb >> 8) & 0xF0) | ((argb >> 4) & 0xF));
    return ssScaledFont::Blend444(dst, c, alpha);
  }
  const auto c = static_cast<std::uint16_t>(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x7E0) | ((argb >> 3) & 0x1F));
  return ssScaledFont::Blend565(dst, c, alpha);
}

}  // namespace

std::unique_ptr<ssFont> ssDisplayS16::CreateFont() { return std::make_unique<ssScaledFont>(this); }

int ssDisplayS16::DrawImage(ssImage* image, const ssRect* dest, const ssRect* source, int colorKey) {
  if (image == nullptr || m_RenderBuffer == nullptr || m_RenderBits != 16) return 0;
  const int bytes = DrawableBytes(image->Format());
  if (!PixelsUsable(image, bytes)) return 0;
  const LONG iw = image->Width(), ih = image->Height();
  const bool odd = (m_Rotate & 1) != 0;
  const ssRect whole{0, 0, odd ? ih : iw, odd ? iw : ih};
  const ssRect src = source != nullptr ? *source : whole;
  const ssRect dst = dest != nullptr ? *dest : ssRect{0, 0, src.right - src.left, src.bottom - src.top};
  const ssRect s = Turn(src, m_Rotate, iw, ih);
  ssRect d = Turn(dst, m_Rotate, m_Width, m_Height);
  const LONG sw = s.right - s.left, sh = s.bottom - s.top;
  const LONG dw = d.right - d.left, dh = d.bottom - d.top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return 0;
  if (sw != dw || sh != dh) return StretchImage(image, s.left, s.top, sw, sh, d.left, d.top, dw, dh, 1);
  // 1:1: cut the destination to the target and the clip rectangle, and the
  // source to the image, moving the other rectangle with each cut.
  const ssRect clipEdges = ClipEdges();
  const ssRect* clip = &clipEdges;
  const LONG left = std::max<LONG>({d.left, 0, clip->left, d.left - s.left});
  const LONG top = std::max<LONG>({d.top, 0, clip->top, d.top - s.top});
  const LONG right = std::min<LONG>({d.right, m_RenderWidth, clip->right, d.left + (iw - s.left)});
  const LONG bottom = std::min<LONG>({d.bottom, m_RenderHeight, clip->bottom, d.top + (ih - s.top)});
  if (left >= right || top >= bottom) return 0;
  const bool rgb444 = m_Depth == 12;
  const std::uint8_t* pixels = image->Pixels();
  auto* target = static_cast<std::uint8_t*>(m_RenderBuffer);
  for (LONG y = top; y < bottom; ++y) {
    auto* out = reinterpret_cast<std::uint16_t*>(target + static_cast<std::ptrdiff_t>(y) * m_RenderPitch);
    const std::size_t row = static_cast<std::size_t>(s.top + (y - d.top)) * static_cast<std::size_t>(iw);
    for (LONG x = left; x < right; ++x) {
      const std::size_t at = (row + static_cast<std::size_t>(s.left + (x - d.left))) * static_cast<std::size_t>(bytes);
      if (bytes == 2) {
        std::uint16_t p;
        std::memcpy(&p, pixels + at, 2);
        if (colorKey != 0 && p == 0) continue;
        out[x] = p;
      } else {
        out[x] = BlendArgb(out[x], Load32(pixels + at), rgb444);
      }
    }
  }
  return 0;
}

int ssDisplayS16::StretchImage(ssImage* image, int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh,
                               int colorKey) {
  if (image == nullptr || m_RenderBuffer == nullptr || m_RenderBits != 16 || sw <= 0 || sh <= 0 || dw <= 0 ||
      dh <= 0) {
    return 0;
  }
  const int bytes = DrawableBytes(image->Format());
  if (!PixelsUsable(image, bytes)) return 0;
  const std::int64_t iw = image->Width(), ih = image->Height();
  const ssRect clipEdges = ClipEdges();
  const ssRect* clip = &clipEdges;
  const std::int64_t left = std::max<std::int64_t>({dx, 0, clip->left});
  const std::int64_t top = std::max<std::int64_t>({dy, 0, clip->top});
  const std::int64_t right = std::min<std::int64_t>({static_cast<std::int64_t>(dx) + dw, m_RenderWidth, clip->right});
  const std::int64_t bottom =
      std::min<std::int64_t>({static_cast<std::int64_t>(dy) + dh, m_RenderHeight, clip->bottom});
  if (left >= right || top >= bottom) return 0;
  const bool rgb444 = m_Depth == 12;
  const std::uint8_t* pixels = image->Pixels();
  auto* target = static_cast<std::uint8_t*>(m_RenderBuffer);
  auto dstAt = [&](std::int64_t x, std::int64_t y) -> std::uint16_t& {
    // Neighbours past the target's edge fall back to the pixel under the pen.
    return reinterpret_cast<std::uint16_t*>(target + y * m_RenderPitch)[x];
  };
  const std::int64_t stepU = (static_cast<std::int64_t>(sw) << 16) / dw;
  const std::int64_t stepV = (static_cast<std::int64_t>(sh) << 16) / dh;
  for (std::int64_t y = top; y < bottom; ++y) {
    const std::int64_t j = y - dy;
    for (std::int64_t x = left; x < right; ++x) {
      const std::int64_t i = x - dx;
      std::uint16_t& out = dstAt(x, y);
      if (bytes == 4) {
        const std::int64_t px = sx + i * sw / dw, py = sy + j * sh / dh;
        if (px < 0 || py < 0 || px >= iw || py >= ih) continue;
        out = BlendArgb(out, Load32(pixels + (py * iw + px) * 4), rgb444);
        continue;
      }
      const std::int64_t u = i * stepU, v = j * stepV;
      const std::int64_t ix = u >> 16, fx = u & 0xFFFF, iy = v >> 16, fy = v & 0xFFFF;
      const std::int64_t px = sx + ix, py = sy + iy;
      if (px < 0 || py < 0 || px >= iw || py >= ih) continue;
      const bool right1 = px + 1 < iw, down1 = py + 1 < ih;
      auto texel = [&](std::int64_t cx, std::int64_t cy) {
        std::uint16_t p;
        std::memcpy(&p, pixels + (cy * iw + cx) * 2, 2);
        return p;
      };
      std::uint16_t p[4];
      p[0] = texel(px, py);
      p[1] = right1 ? texel(px + 1, py) : p[0];
      p[2] = down1 ? texel(px, py + 1) : p[0];
      p[3] = right1 && down1 ? texel(px + 1, py + 1) : p[0];
      if (colorKey != 0) {
        const bool rightIn = x + 1 < m_RenderWidth, downIn = y + 1 < m_RenderHeight;
        const std::uint16_t under[4] = {out, rightIn ? dstAt(x + 1, y) : out, downIn ? dstAt(x, y + 1) : out,
                                        rightIn && downIn ? dstAt(x + 1, y + 1) : out};
        for (int k = 0; k < 4; ++k) {
          if (p[k] == 0) p[k] = under[k];
        }
      }
      // 16.16 bilinear weights; each is at most 0x10000, so 32 bits hold them.
      const std::int32_t w[4] = {static_cast<std::int32_t>(((0x10000 - fx) * (0x10000 - fy)) >> 16),
                                 static_cast<std::int32_t>((fx * (0x10000 - fy)) >> 16),
                                 static_cast<std::int32_t>(((0x10000 - fx) * fy) >> 16),
                                 static_cast<std::int32_t>((fx * fy) >> 16)};
      out = rgb444 ? ssMix4RGB444(p, w) : ssMix4RGB565(p, w);
    }
  }
  return 0;
}
