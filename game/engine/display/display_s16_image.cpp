// Image drawing of the 16-bit display device: 1:1 copies with colour key or
// alpha blend, and stretched copies.
#include <algorithm>
#include <climits>
#include <cstdint>

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

// The image's stored pixels as the rasteriser reads them.
ssImageView View(const ssImage* image, int bytes) {
  return ssImageView{image->Pixels(), image->Width(), image->Height(), bytes == 2};
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
  const ssRect s = TurnEdges(src, m_Rotate, iw, ih);
  const ssRect d = TurnEdges(dst, m_Rotate, m_Width, m_Height);
  // The rasteriser clips both rectangles and stretches when the sizes differ.
  ssDrawImage(RasterTarget(), View(image, bytes), ssBlitRect{d.left, d.top, d.right, d.bottom},
              ssBlitRect{s.left, s.top, s.right, s.bottom}, colorKey != 0);
  return 0;
}

int ssDisplayS16::StretchImage(ssImage* image, int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh,
                               int colorKey) {
  if (image == nullptr || m_RenderBuffer == nullptr || m_RenderBits != 16) return 0;
  const int bytes = DrawableBytes(image->Format());
  if (!PixelsUsable(image, bytes)) return 0;
  // Edges in 64 bits: a corner far out must not wrap round into the target.
  auto edge = [](int at, int size) {
    return static_cast<int>(std::clamp<std::int64_t>(std::int64_t{at} + size, INT32_MIN, INT32_MAX));
  };
  ssStretchImage(RasterTarget(), View(image, bytes), ssBlitRect{dx, dy, edge(dx, dw), edge(dy, dh)},
                 ssBlitRect{sx, sy, edge(sx, sw), edge(sy, sh)}, colorKey != 0);
  return 0;
}
