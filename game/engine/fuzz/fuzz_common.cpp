#include "fuzz_common.h"

#include "engine/image.h"
#include "memory_file.h"

imgconv::Picture FuzzPicture(std::uint32_t width, std::uint32_t height) {
  imgconv::Picture p;
  p.width = width;
  p.height = height;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t v = static_cast<std::uint8_t>((x / 3) * 40 + y * 9);
      p.rgba.insert(p.rgba.end(),
                    {v, static_cast<std::uint8_t>(x * 16), 0x80, static_cast<std::uint8_t>(x < 2 ? 0 : 0xFF)});
    }
  }
  return p;
}

void FuzzLoadImage(const std::uint8_t* data, std::size_t size) {
  for (std::uint16_t format : {kPixelDisplay, kPixelARGB32, kPixelARGB4444, kPixelChannel8}) {
    ssMemoryFile stream(std::vector<std::uint8_t>(data, data + size));
    ssImage image;
    std::uint32_t status = image.Load(&stream, 0, format);
    if ((status == kImageLoaded || status == kImageLoadedAsStored) && image.Pixels() != nullptr) {
      // Touch every pixel byte the image claims to have.
      volatile std::uint32_t sum = 0;
      std::uint64_t bytes = std::uint64_t{image.Width()} * image.Height() * BytesPerPixel(image.Format());
      for (std::uint64_t i = 0; i < bytes; ++i) sum = sum + image.Pixels()[i];
      if (image.Width() <= 64 && image.Height() <= 64) {
        image.Rotate(1);
        image.Scale(7, 5);
      }
    }
  }
}
