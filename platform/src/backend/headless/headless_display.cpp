#include "backend/headless/headless_display.h"

#include <cstdio>
#include <vector>

#include "backend/headless/png_writer.h"

namespace ce::backend {

void HeadlessDisplay::Present(const RECT& area) {
  ++presentCount_;
  lastPresented_ = area;
}

COLORREF HeadlessDisplay::Pixel(int x, int y) const {
  if (!frame_.Contains(x, y)) return CLR_INVALID;
  if (powerState_ != VideoPowerOn) return RGB(0, 0, 0);
  return frame_.format->ToColor(frame_.Read(x, y));
}

bool HeadlessDisplay::SaveScreenshot(const std::string& hostPath) const {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(frame_.width) * static_cast<std::size_t>(frame_.height) * 3);
  for (int y = 0; y < frame_.height; ++y) {
    for (int x = 0; x < frame_.width; ++x) {
      const COLORREF c = Pixel(x, y);
      rgb.push_back(GetRValue(c));
      rgb.push_back(GetGValue(c));
      rgb.push_back(GetBValue(c));
    }
  }
  const auto png = EncodePng(frame_.width, frame_.height, rgb);
  std::FILE* file = std::fopen(hostPath.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace ce::backend
