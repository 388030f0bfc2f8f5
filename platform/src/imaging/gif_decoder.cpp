// GIF files through giflib: the first picture of the file on its logical
// screen, interlaced or not, with its transparent colour. Later pictures of
// an animation are not read.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "picture.h"

namespace ce::imaging {
namespace {

struct Source {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

int Read(GifFileType* gif, GifByteType* into, int wanted) {
  auto* source = static_cast<Source*>(gif->UserData);
  if (wanted <= 0) return 0;
  const std::size_t n = std::min(static_cast<std::size_t>(wanted), source->size - source->at);
  if (n > 0) std::memcpy(into, source->data + source->at, n);
  source->at += n;
  return static_cast<int>(n);
}

std::uint32_t ColourOf(const ColorMapObject* map, int index) {
  if (!map || index < 0 || index >= map->ColorCount) return 0;
  const GifColorType& c = map->Colors[index];
  return static_cast<std::uint32_t>(c.Red) << 16 | static_cast<std::uint32_t>(c.Green) << 8 | c.Blue;
}

// Reads the records up to the first picture and decodes it. giflib reports
// every fault of the data as GIF_ERROR.
bool DecodeFirstPicture(GifFileType* gif, std::uint32_t background, Picture& out) {
  if (!out.Allocate(gif->SWidth > 0 ? static_cast<std::uint64_t>(gif->SWidth) : 0,
                    gif->SHeight > 0 ? static_cast<std::uint64_t>(gif->SHeight) : 0)) {
    return false;
  }
  if (background == kUseGifBackground) background = ColourOf(gif->SColorMap, gif->SBackGroundColor);
  std::fill(out.pixels.begin(), out.pixels.end(), background);
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
    if (type == TERMINATE_RECORD_TYPE) return false;  // no picture at all
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
      }
      while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return false;
    if (DGifGetImageDesc(gif) == GIF_ERROR) return false;
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) return false;
    if (static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height) > kMaxPixels) {
      return false;
    }
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = i == transparent ? background : ColourOf(map, i);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    // Interlaced rows come in four passes: every 8th from 0, every 8th from
    // 4, every 4th from 2, every 2nd from 1.
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      const int start = frame.Interlace ? kStart[pass] : 0, step = frame.Interlace ? kStep[pass] : 1;
      for (int y = start; y < frame.Height; y += step) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return false;
        const std::int64_t row = static_cast<std::int64_t>(frame.Top) + y;
        if (row >= out.height) continue;
        std::uint32_t* dst = out.Row(static_cast<std::uint32_t>(row));
        const std::int64_t visible = std::min<std::int64_t>(frame.Width, std::int64_t{out.width} - frame.Left);
        for (std::int64_t x = 0; x < visible; ++x) dst[frame.Left + x] = colours[line[static_cast<std::size_t>(x)]];
      }
    }
    return true;
  }
}

}  // namespace

bool DecodeGif(const std::uint8_t* data, std::size_t size, std::uint32_t background, Picture& out) {
  Source source{data, size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, Read, &error);
  if (!gif) return false;
  bool ok = false;
  try {
    ok = DecodeFirstPicture(gif, background, out);
  } catch (...) {
    DGifCloseFile(gif, &error);
    throw;
  }
  DGifCloseFile(gif, &error);
  return ok;
}

}  // namespace ce::imaging
