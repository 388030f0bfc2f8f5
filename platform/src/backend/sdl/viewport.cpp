#include "backend/sdl/viewport.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>

namespace ce::backend::sdl {
namespace {

// Room the desktop's window frame takes around the window's inside.
constexpr int kFrameAllowanceX = 16;
constexpr int kFrameAllowanceY = 48;
// Mouse positions beyond this are clamped before any arithmetic; a captured
// mouse may report positions far outside the window.
constexpr std::int64_t kPositionLimit = 1 << 20;
// No real window or screen is this large; larger sizes are refused so the
// mapping's products stay far inside 64 bits.
constexpr int kSizeLimit = 1 << 16;

bool SizeOk(int size) { return size > 0 && size <= kSizeLimit; }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// The largest size of the device's shape inside `width` x `height`.
SIZE FitShape(int deviceWidth, int deviceHeight, int width, int height) {
  const std::int64_t dw = deviceWidth, dh = deviceHeight;
  if (static_cast<std::int64_t>(width) * dh <= static_cast<std::int64_t>(height) * dw) {
    const auto h = static_cast<LONG>((width * dh + dw / 2) / dw);
    return SIZE{width, std::max<LONG>(h, 1)};
  }
  const auto w = static_cast<LONG>((height * dw + dh / 2) / dh);
  return SIZE{std::max<LONG>(w, 1), height};
}

}  // namespace

std::optional<ScaleMode> ParseScaleMode(std::string_view text) {
  if (text.empty() || text == "auto") return ScaleMode{0, true};
  if (text == "fit") return ScaleMode{0, false};
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '0' + kMaxScale) return ScaleMode{text[0] - '0', false};
  return std::nullopt;
}

const char* ScaleModeName(const ScaleMode& mode) {
  static const char* const kNames[] = {"fit", "1", "2", "3", "4"};
  if (mode.automatic) return "auto";
  return mode.scale >= 0 && mode.scale <= kMaxScale ? kNames[mode.scale] : "auto";
}

Viewport Layout(int deviceWidth, int deviceHeight, int windowWidth, int windowHeight, int drawableWidth,
                int drawableHeight, const ScaleMode& mode) {
  Viewport v{deviceWidth, deviceHeight, windowWidth, windowHeight, drawableWidth, drawableHeight, RECT{}};
  if (deviceWidth <= 0 || deviceHeight <= 0 || drawableWidth <= 0 || drawableHeight <= 0) return v;
  SIZE size{};
  const int whole = std::min(drawableWidth / deviceWidth, drawableHeight / deviceHeight);
  const bool wholeMultiples = mode.automatic || mode.scale > 0;
  if (wholeMultiples && whole >= 1) {
    size = SIZE{deviceWidth * whole, deviceHeight * whole};
  } else {
    size = FitShape(deviceWidth, deviceHeight, drawableWidth, drawableHeight);
  }
  v.picture.left = (drawableWidth - size.cx) / 2;
  v.picture.top = (drawableHeight - size.cy) / 2;
  v.picture.right = v.picture.left + size.cx;
  v.picture.bottom = v.picture.top + size.cy;
  return v;
}

PenPosition WindowToDevice(const Viewport& v, int windowX, int windowY) {
  PenPosition result;
  const std::int64_t pictureWidth = v.picture.right - v.picture.left;
  const std::int64_t pictureHeight = v.picture.bottom - v.picture.top;
  if (!SizeOk(v.deviceWidth) || !SizeOk(v.deviceHeight) || !SizeOk(v.windowWidth) || !SizeOk(v.windowHeight) ||
      !SizeOk(v.drawableWidth) || !SizeOk(v.drawableHeight) || pictureWidth <= 0 || pictureHeight <= 0 ||
      pictureWidth > kSizeLimit || pictureHeight > kSizeLimit || std::abs(v.picture.left) > kSizeLimit ||
      std::abs(v.picture.top) > kSizeLimit) {
    return result;
  }
  // The centre of the window unit, in drawable pixels, relative to the
  // picture, then in device pixels: one rounding, exact for any scale.
  const auto map = [](std::int64_t position, std::int64_t window, std::int64_t drawable, std::int64_t start,
                      std::int64_t picture, std::int64_t device) {
    position = std::clamp(position, -kPositionLimit, kPositionLimit);
    return FloorDiv(((2 * position + 1) * drawable - 2 * start * window) * device, 2 * window * picture);
  };
  const std::int64_t x = map(windowX, v.windowWidth, v.drawableWidth, v.picture.left, pictureWidth, v.deviceWidth);
  const std::int64_t y = map(windowY, v.windowHeight, v.drawableHeight, v.picture.top, pictureHeight, v.deviceHeight);
  result.inside = x >= 0 && y >= 0 && x < v.deviceWidth && y < v.deviceHeight;
  result.point.x = static_cast<LONG>(std::clamp<std::int64_t>(x, 0, v.deviceWidth - 1));
  result.point.y = static_cast<LONG>(std::clamp<std::int64_t>(y, 0, v.deviceHeight - 1));
  return result;
}

SIZE InitialWindowSize(int deviceWidth, int deviceHeight, int desktopWidth, int desktopHeight, const ScaleMode& mode) {
  if (deviceWidth <= 0 || deviceHeight <= 0) return SIZE{1, 1};
  const int chosen = mode.automatic || mode.scale <= 0 ? 0 : mode.scale;
  if (desktopWidth <= 0 || desktopHeight <= 0) {
    // Nothing known about the desktop: the chosen multiple, else 1x.
    const int k = chosen > 0 ? chosen : 1;
    return SIZE{deviceWidth * k, deviceHeight * k};
  }
  const int roomX = std::max(desktopWidth - kFrameAllowanceX, 1);
  const int roomY = std::max(desktopHeight - kFrameAllowanceY, 1);
  int k = std::min(roomX / deviceWidth, roomY / deviceHeight);
  if (chosen > 0) k = std::min(k, chosen);
  if (k >= 1) return SIZE{deviceWidth * k, deviceHeight * k};
  return FitShape(deviceWidth, deviceHeight, roomX, roomY);
}

SIZE RestoredWindowSize(int width, int height, int desktopWidth, int desktopHeight) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (desktopWidth <= 0 || desktopHeight <= 0) return SIZE{width, height};
  return SIZE{std::min(width, std::max(desktopWidth - kFrameAllowanceX, 1)),
              std::min(height, std::max(desktopHeight - kFrameAllowanceY, 1))};
}

POINT PlaceOverOpener(const RECT& opener, SIZE size, const RECT& desktop) {
  LONG x = opener.left + (opener.right - opener.left - size.cx) / 2;
  LONG y = opener.top + (opener.bottom - opener.top - size.cy) / 2;
  if (desktop.right > desktop.left && desktop.bottom > desktop.top) {
    x = std::max(std::min(x, desktop.right - size.cx), desktop.left);
    y = std::max(std::min(y, desktop.bottom - size.cy), desktop.top);
  }
  return POINT{x, y};
}

}  // namespace ce::backend::sdl
