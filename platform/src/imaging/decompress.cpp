// DecompressImageIndirect: reads the compressed bytes through the caller's
// callback, tells the format by its first bytes, decodes it and puts the
// picture, scaled as asked, into a DIB section of the asked depth.
#include <cstring>
#include <new>

#include "ce/imgdecmp.h"
#include "ce/winbase.h"
#include "ce/winerror.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "kernel/not_implemented.h"
#include "picture.h"

using namespace ce::imaging;

namespace {

// More compressed data than this is refused (and a callback that never
// stops is cut off).
constexpr std::size_t kMaxInput = 64u << 20;

enum class Format { kUnknown, kBmp, kGif, kJpeg };

Format Sniff(const std::vector<std::uint8_t>& data) {
  const auto starts = [&](const char* magic, std::size_t n) {
    return data.size() >= n && std::memcmp(data.data(), magic, n) == 0;
  };
  if (starts("BM", 2)) return Format::kBmp;
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return Format::kGif;
  if (starts("\xFF\xD8\xFF", 3)) return Format::kJpeg;
  return Format::kUnknown;
}

// The whole input, read through the callback into the caller's buffer.
bool ReadAll(DecompressImageInfo& info, std::vector<std::uint8_t>& data) {
  for (;;) {
    const DWORD n = info.pfnGetData(reinterpret_cast<LPSTR>(info.pbBuffer), info.dwBufferMax, info.lParam);
    info.dwBufferCurrent = n;
    if (n == 0) return true;
    if (n > info.dwBufferMax || data.size() + n > kMaxInput) return false;
    data.insert(data.end(), info.pbBuffer, info.pbBuffer + n);
  }
}

// The output size: the picture at iScale per cent, then shrunk to fit the
// largest size asked for, keeping its shape. Never below one pixel.
bool OutputSize(const DecompressImageInfo& info, const Picture& picture, std::uint32_t& width, std::uint32_t& height) {
  // Wide enough for every product below: sides up to 2^15 times a scale
  // up to 2^31, times a limit up to 2^31.
  using Wide = unsigned __int128;
  Wide w = std::max<Wide>(1, Wide{picture.width} * static_cast<unsigned>(info.iScale) / 100);
  Wide h = std::max<Wide>(1, Wide{picture.height} * static_cast<unsigned>(info.iScale) / 100);
  const Wide maxW = info.iMaxWidth > 0 ? Wide(static_cast<unsigned>(info.iMaxWidth)) : 0;
  const Wide maxH = info.iMaxHeight > 0 ? Wide(static_cast<unsigned>(info.iMaxHeight)) : 0;
  if ((maxW && w > maxW) || (maxH && h > maxH)) {
    // Limited by the width when w / maxW is the larger ratio.
    if (maxW && (!maxH || w * maxH >= h * maxW)) {
      h = std::max<Wide>(1, h * maxW / w);
      w = maxW;
    } else {
      w = std::max<Wide>(1, w * maxH / h);
      h = maxH;
    }
  }
  if (w > kMaxSide || h > kMaxSide || w * h > kMaxPixels) return false;
  width = static_cast<std::uint32_t>(w);
  height = static_cast<std::uint32_t>(h);
  return true;
}

int DepthOf(HDC hdc) {
  if (hdc) return GetDeviceCaps(hdc, BITSPIXEL);
  HDC screen = GetDC(nullptr);
  const int depth = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  return depth;
}

// A top-down DIB section of the picture at the given size and depth (16:
// 5-6-5, 24 and 32: 8 bits a channel), or null.
HBITMAP MakeBitmap(HDC hdc, const Picture& picture, std::uint32_t width, std::uint32_t height, int depth) {
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = static_cast<LONG>(width);
  info.header.biHeight = -static_cast<LONG>(height);
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(depth);
  info.header.biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(hdc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return nullptr;
  }
  // Source column of each output column (nearest pixel).
  std::vector<std::uint32_t> columns(width);
  for (std::uint32_t x = 0; x < width; ++x) {
    columns[x] = static_cast<std::uint32_t>(std::uint64_t{x} * picture.width / width);
  }
  const bool sameWidth = width == picture.width;
  const std::size_t stride = (std::size_t{width} * depth + 31) / 32 * 4;
  auto* out = static_cast<std::uint8_t*>(bits);
  for (std::uint32_t y = 0; y < height; ++y, out += stride) {
    const std::uint32_t* src =
        picture.pixels.data() + static_cast<std::size_t>(std::uint64_t{y} * picture.height / height) * picture.width;
    switch (depth) {
      case 16: {
        auto* dst = reinterpret_cast<std::uint16_t*>(out);
        for (std::uint32_t x = 0; x < width; ++x) {
          const std::uint32_t p = src[sameWidth ? x : columns[x]];
          dst[x] = static_cast<std::uint16_t>(((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F));
        }
        break;
      }
      case 24: {
        std::uint8_t* dst = out;
        for (std::uint32_t x = 0; x < width; ++x, dst += 3) {
          const std::uint32_t p = src[sameWidth ? x : columns[x]];
          dst[0] = static_cast<std::uint8_t>(p);
          dst[1] = static_cast<std::uint8_t>(p >> 8);
          dst[2] = static_cast<std::uint8_t>(p >> 16);
        }
        break;
      }
      default: {
        auto* dst = reinterpret_cast<std::uint32_t*>(out);
        for (std::uint32_t x = 0; x < width; ++x) dst[x] = src[sameWidth ? x : columns[x]];
        break;
      }
    }
  }
  return bitmap;
}

HRESULT Decompress(DecompressImageInfo& info) {
  const int depth = info.iBitDepth == 0 ? DepthOf(info.hdc) : info.iBitDepth;
  if (depth == 1 || depth == 2 || depth == 4 || depth == 8) {
    ce::kernel::NotImplemented("DecompressImageIndirect(indexed depth)");
    return E_NOTIMPL;
  }
  if (depth != 16 && depth != 24 && depth != 32) return E_INVALIDARG;

  std::vector<std::uint8_t> data;
  if (!ReadAll(info, data)) return E_FAIL;
  Picture picture;
  bool decoded = false;
  switch (Sniff(data)) {
    case Format::kBmp:
      decoded = DecodeBmp(data.data(), data.size(), picture);
      break;
    case Format::kGif: {
      const COLORREF c = info.crTransparentOverride;
      const std::uint32_t background =
          c == CLR_INVALID ? kUseGifBackground : (GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
      decoded = DecodeGif(data.data(), data.size(), background, picture);
      break;
    }
    case Format::kJpeg:
      decoded = DecodeJpeg(data.data(), data.size(), picture);
      break;
    case Format::kUnknown:
      break;
  }
  data = {};
  std::uint32_t width = 0, height = 0;
  if (!decoded || !OutputSize(info, picture, width, height)) return E_FAIL;
  HBITMAP bitmap = MakeBitmap(info.hdc, picture, width, height, depth);
  if (!bitmap) return E_OUTOFMEMORY;
  *info.phBM = bitmap;
  if (info.pfnImageProgress) info.pfnImageProgress(nullptr, TRUE, info.lParam);
  return S_OK;
}

}  // namespace

HRESULT DecompressImageIndirect(DecompressImageInfo* info) {
  if (!info || info->dwSize != sizeof(DecompressImageInfo) || !info->phBM) return E_INVALIDARG;
  *info->phBM = nullptr;
  if (info->ppImageRender) {
    ce::kernel::NotImplemented("DecompressImageIndirect(ppImageRender)");
    return E_NOTIMPL;
  }
  if (!info->pbBuffer || info->dwBufferMax == 0 || !info->pfnGetData || info->iScale <= 0) return E_INVALIDARG;
  try {
    return Decompress(*info);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
