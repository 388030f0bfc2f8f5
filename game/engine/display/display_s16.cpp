#include "display/display_s16.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "ce/device.h"
#include "ce/gx.h"
#include "ce/wingdi.h"
#include "display/screen_layout.h"
#include "raster/raster.h"

namespace {

constexpr int kMaxSide = 4096;
constexpr int kSpanWords = 9;

template <typename T>
std::unique_ptr<T[]> Allocate(std::size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// The raw frame buffer as the driver describes it, or nothing when the
// driver does not hand one out or it is not plain 16-bit RGB565 memory.
std::optional<RawFrameBufferInfo> QueryRawFrameBuffer() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return std::nullopt;
  RawFrameBufferInfo info{};
  const int result =
      ExtEscape(screen, GETRAWFRAMEBUFFER, 0, nullptr, static_cast<int>(sizeof info), reinterpret_cast<LPSTR>(&info));
  ReleaseDC(nullptr, screen);
  if (result < 1 || info.pFramePointer == nullptr) return std::nullopt;
  if (info.wFormat != FORMAT_565 || info.wBPP != 16) return std::nullopt;
  if (!ssScreenLayout::FromSteps(info.cxPixels, info.cyPixels, info.cxStride, info.cyStride, 2)) {
    return std::nullopt;
  }
  return info;
}

// GAPI screens this device can write: 16-bit pixels (RGB565, or RGB444 at
// a depth of 12) in one contiguous block.
std::optional<ssScreenLayout> GapiLayout(const GXDisplayProperties& p) {
  if (p.cBPP != 16 && p.cBPP != 12) return std::nullopt;
  return ssScreenLayout::FromSteps(static_cast<long long>(p.cxWidth), static_cast<long long>(p.cyHeight), p.cbxPitch,
                                   p.cbyPitch, 2);
}

std::uint32_t Load32(const void* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void Store32(void* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

ssDisplayS16::ssDisplayS16() = default;

ssDisplayS16::~ssDisplayS16() { DeviceClose(); }

int ssDisplayS16::DetectMode(HWND window) {
  m_UseGdi = m_UseGapi = m_UseRaw = false;
  if (QueryRawFrameBuffer()) {
    m_UseRaw = true;
    return kModeRaw;
  }
  const bool opened = GXOpenDisplay(window, GX_FULLSCREEN) != 0;
  const GXDisplayProperties p = GXGetDisplayProperties();
  if (opened) GXCloseDisplay();
  if (opened && p.cxWidth != p.cyHeight && p.cxWidth <= 320 && p.cyHeight <= 320 && GapiLayout(p)) {
    m_UseGapi = true;
    return kModeGapi;
  }
  // Square screens, larger screens and screens GAPI cannot serve.
  m_UseGdi = true;
  return kModeGdi;
}

int ssDisplayS16::SelectOutput(HWND window) {
  const std::optional<std::string> mode = ce::device::Setting("display_mode");
  if (mode) {
    std::string value = *mode;
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    const int forced = value == "gdi" ? kModeGdi : value == "raw" ? kModeRaw : value == "gapi" ? kModeGapi : 0;
    if (forced != 0) {
      ForceOutput(forced);
      return forced;
    }
    if (value != "auto" && !value.empty()) {
      const std::wstring wide(value.begin(), value.end());
      ssDisplayLog(2, L"Unknown display_mode %s, detecting the output", wide.c_str());
    }
  }
  return DetectMode(window);
}

bool ssDisplayS16::ForceOutput(int mode) {
  if (mode != kModeGdi && mode != kModeRaw && mode != kModeGapi) return false;
  m_UseGdi = mode == kModeGdi;
  m_UseRaw = mode == kModeRaw;
  m_UseGapi = mode == kModeGapi;
  return true;
}

int ssDisplayS16::OutputMode() const {
  if (m_UseGapi) return kModeGapi;
  if (m_UseRaw) return kModeRaw;
  if (m_UseGdi) return kModeGdi;
  return 0;
}

bool ssDisplayS16::OpenGapi(HWND window) {
  if (GXOpenDisplay(window, GX_FULLSCREEN) == 0) {
    ssDisplayLog(2, L"Gapi: the display cannot be opened");
    return false;
  }
  const GXDisplayProperties p = GXGetDisplayProperties();
  const std::optional<ssScreenLayout> layout = GapiLayout(p);
  if (!layout) {
    ssDisplayLog(2, L"Gapi: %d bits a pixel with steps %d, %d cannot be used", static_cast<int>(p.cBPP),
                 static_cast<int>(p.cbxPitch), static_cast<int>(p.cbyPitch));
    GXCloseDisplay();
    return false;
  }
  m_GapiOpen = true;
  m_Width = layout->width;
  m_Height = layout->height;
  m_Orientation = layout->turn & 1;
  m_LowOffset = layout->lowOffset;
  m_TurnApplied = layout->turn;
  m_Depth = static_cast<int>(p.cBPP);
  m_Stride = static_cast<int>(p.cBPP / 8 * static_cast<long>(p.cxWidth));
  ssDisplayLog(2, L"Gapi: w %d h %d stride %d", static_cast<int>(p.cxWidth), static_cast<int>(p.cyHeight),
               static_cast<int>(p.cbyPitch));
  return true;
}

bool ssDisplayS16::OpenRaw() {
  const std::optional<RawFrameBufferInfo> info = QueryRawFrameBuffer();
  if (!info) return false;
  const std::optional<ssScreenLayout> layout =
      ssScreenLayout::FromSteps(info->cxPixels, info->cyPixels, info->cxStride, info->cyStride, 2);
  if (!layout) return false;
  m_RawFrame = static_cast<BYTE*>(info->pFramePointer) + layout->lowOffset;
  m_Width = layout->width;
  m_Height = layout->height;
  m_Orientation = layout->turn & 1;
  m_LowOffset = layout->lowOffset;
  m_TurnApplied = layout->turn;
  m_Depth = 16;
  m_Stride = info->cxPixels * 2;
  ssDisplayLog(2, L"Raw: w %d h %d stride %d FBOrient %d", info->cxPixels, info->cyPixels, info->cyStride,
               m_Orientation);
  return true;
}

bool ssDisplayS16::OpenGdi() {
  // The DIB section is RGB565 whatever the screen is; GDI converts.
  if (m_Depth != 16) m_Depth = 16;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = m_Width;
  info.header.biHeight = -m_Height;  // rows top-down
  info.header.biPlanes = 1;
  info.header.biBitCount = 16;
  info.header.biCompression = BI_BITFIELDS;
  info.header.biSizeImage = static_cast<DWORD>(FramePixels() * 2);
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  void* bits = nullptr;
  m_Dib = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (m_Dib != nullptr) m_MemDc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (m_Dib == nullptr || m_MemDc == nullptr || bits == nullptr) return false;
  m_OldBitmap = SelectObject(m_MemDc, m_Dib);
  if (m_OldBitmap == nullptr) return false;
  m_BackBuffer = static_cast<std::uint16_t*>(bits);
  return true;
}

bool ssDisplayS16::AllocateFrameBuffers() {
  const std::size_t pixels = FramePixels();
  if (!m_UseGdi) {
    m_OwnBack = Allocate<std::uint16_t>(pixels);
    if (!m_OwnBack) return false;
    std::fill_n(m_OwnBack.get(), pixels, std::uint16_t{0});
    m_BackBuffer = m_OwnBack.get();
  }
  m_OwnShadow = Allocate<std::uint16_t>(pixels);
  m_OwnScratch = Allocate<std::uint8_t>(pixels * 2);
  m_Own8 = Allocate<std::uint8_t>(pixels);
  m_OwnSpans = Allocate<std::int32_t>(static_cast<std::size_t>(m_Height) * kSpanWords);
  if (!m_OwnShadow || !m_OwnScratch || !m_Own8 || !m_OwnSpans) return false;
  std::memset(m_OwnShadow.get(), 0xA5, pixels * 2);
  std::memset(m_Own8.get(), 0, pixels);
  std::fill_n(m_OwnSpans.get(), static_cast<std::size_t>(m_Height) * kSpanWords, 0);
  m_ShadowBuffer = m_OwnShadow.get();
  m_ScratchBase = m_OwnScratch.get();
  m_ScratchSize = static_cast<std::uint32_t>(pixels * 2);
  m_ScratchUsed = 0;
  m_Buffer8 = m_Own8.get();
  m_SpanTable = m_OwnSpans.get();
  return true;
}

int ssDisplayS16::DeviceOpen(HWND window) {
  if (m_BackBuffer != nullptr) DeviceClose();
  m_Window = window;
  if (OutputMode() == 0) SelectOutput(window);
  m_Orientation = 0;
  m_LowOffset = 0;
  m_TurnApplied = 0;
  if (m_UseGapi && !OpenGapi(window)) {
    m_UseGapi = false;
    m_UseGdi = true;
  }
  if (m_UseRaw && !OpenRaw()) {
    m_UseRaw = false;
    m_UseGdi = true;
  }
  if (m_UseGdi && (m_Width < 1 || m_Height < 1 || m_Width > kMaxSide || m_Height > kMaxSide)) {
    ssDisplayLog(2, L"ssDisplayS16::DeviceOpen - bad size %d x %d", m_Width, m_Height);
    DeviceClose();
    return -1;
  }
  if ((m_UseGdi && !OpenGdi()) || !AllocateFrameBuffers()) {
    ssDisplayLog(2, L"ssDisplayS16::DeviceOpen - out of memory or GDI refused the back buffer");
    DeviceClose();
    return -1;
  }
  // The game's picture is turned by the application's rotation onto the
  // screen, and the screen by the memory's own turn into the buffer.
  m_Rotate = (m_Rotate + m_TurnApplied) & 3;
  m_Swapped = m_Orientation;
  m_HalfWidth = m_Width / 2;
  m_HalfHeight = m_Height / 2;
  m_Pitch = m_Width * 2;
  m_Viewport = ssRect{0, 0, m_Width, m_Height};
  m_CentreX = m_HalfWidth << 16;
  m_CentreY = m_HalfHeight << 16;
  if (m_LandscapeVirtual) {
    m_VWidth = std::max(m_Width, m_Height);
    m_VHeight = std::min(m_Width, m_Height);
  }
  m_ClipIndex = 0;
  m_ClipOverflow = 0;
  m_ClipStack[0] = ssRect{0, 0, m_Width, m_Height};
  m_Clip = ssRect{0, 0, m_Width << 16, m_Height << 16};
  m_RenderBuffer = m_BackBuffer;
  m_RenderWidth = m_Width;
  m_RenderHeight = m_Height;
  m_RenderPitch = m_Width * 2;
  m_RenderBits = ((m_Depth + 4) / 8) * 8;
  ssDisplayLog(2, L"ssDisplayS16::DeviceOpen - m_Width = %d, m_Height = %d", m_Width, m_Height);
  ssDisplayLog(2, L"ssDisplayS16::DeviceOpen - m_VWidth = %d, m_VHeight = %d", m_VWidth, m_VHeight);
  ssDisplayLog(2, L"ssDisplayS16::DeviceOpen - m_Rotate = %d", m_Rotate);
  ssDisplayLog(2, L"ssDisplayS16::DeviceOpen - m_RenderWidth = %d, m_RenderPitch = %d", m_RenderWidth, m_RenderPitch);
  m_Opened = true;
  return 0;
}

int ssDisplayS16::DeviceClose() {
  if (m_MemDc != nullptr) {
    if (m_OldBitmap != nullptr) SelectObject(m_MemDc, m_OldBitmap);
    DeleteDC(m_MemDc);
  }
  if (m_Dib != nullptr) DeleteObject(m_Dib);
  m_MemDc = nullptr;
  m_Dib = nullptr;
  m_OldBitmap = nullptr;
  if (m_GapiOpen) GXCloseDisplay();
  m_GapiOpen = false;
  m_OwnBack.reset();
  m_OwnShadow.reset();
  m_Own8.reset();
  m_OwnScratch.reset();
  m_OwnSpans.reset();
  m_BackBuffer = nullptr;
  m_ShadowBuffer = nullptr;
  m_Buffer8 = nullptr;
  m_SpanTable = nullptr;
  m_ScratchBase = nullptr;
  m_ScratchUsed = 0;
  m_FrontBuffer = nullptr;
  m_RawFrame = nullptr;
  m_RenderBuffer = nullptr;
  if (m_Opened) m_Rotate = (m_Rotate - m_TurnApplied) & 3;  // back to the application's value
  m_TurnApplied = 0;
  m_Opened = false;
  return 0;
}

int ssDisplayS16::BeginDraw() {
  if (m_UseGapi && m_GapiOpen) {
    void* top = GXBeginDraw();
    if (top == nullptr) {
      ssDisplayLog(2, L"FrontBuffer=NULL");
      m_FrontBuffer = nullptr;
    } else {
      m_FrontBuffer = static_cast<BYTE*>(top) + m_LowOffset;
    }
  }
  m_RenderBuffer = m_BackBuffer;
  m_RenderWidth = m_Width;
  m_RenderHeight = m_Height;
  m_RenderPitch = m_Width * 2;
  m_RenderBits = ((m_Depth + 4) / 8) * 8;
  return 0;
}

int ssDisplayS16::EndDraw() {
  if (m_UseGapi && m_GapiOpen) GXEndDraw();
  return 0;
}

int ssDisplayS16::Present() {
  if (m_BackBuffer == nullptr) return 0;
  if (m_UseGdi) {
    // The game window covers the screen; until windows exist its DC is the
    // screen's. With windows this becomes GetDC(m_Window).
    HDC target = GetDC(nullptr);
    if (target != nullptr) {
      BitBlt(target, 0, 0, m_Width, m_Height, m_MemDc, 0, 0, SRCCOPY);
      ReleaseDC(nullptr, target);
    }
  } else if (m_UseRaw) {
    if (m_RawFrame != nullptr) std::memcpy(m_RawFrame, m_BackBuffer, FramePixels() * 2);
  } else if (m_UseGapi) {
    PresentGapi();
  }
  return 0;
}

void ssDisplayS16::PresentGapi() {
  if (m_FrontBuffer == nullptr || !m_GapiOpen) return;
  // The screen is written between GXBeginDraw and GXEndDraw so the display
  // knows the frame changed; a suspend since BeginDraw shows nothing.
  void* top = GXBeginDraw();
  if (top == nullptr) return;
  BYTE* screen = static_cast<BYTE*>(top) + m_LowOffset;
  auto* back = reinterpret_cast<BYTE*>(m_BackBuffer);
  auto* shadow = reinterpret_cast<BYTE*>(m_ShadowBuffer);
  const std::size_t pixels = FramePixels();
  const std::size_t words = pixels / 2;
  const std::size_t tail = (pixels & 1) ? (pixels - 1) * 2 : 0;  // byte offset of an unpaired last pixel
  if (m_ClearOnPresent) {
    for (std::size_t i = 0; i < words * 4; i += 4) {
      const std::uint32_t w = Load32(back + i);
      if (w != Load32(shadow + i)) {
        Store32(screen + i, w);
        Store32(shadow + i, w);
      }
      Store32(back + i, 0);
    }
    if (pixels & 1) {
      if (std::memcmp(back + tail, shadow + tail, 2) != 0) {
        std::memcpy(screen + tail, back + tail, 2);
        std::memcpy(shadow + tail, back + tail, 2);
      }
      std::memset(back + tail, 0, 2);
    }
  } else if (!m_FullRefresh) {
    if ((pixels & 1) && std::memcmp(back + tail, shadow + tail, 2) != 0) {
      std::memcpy(screen + tail, back + tail, 2);
      std::memcpy(shadow + tail, back + tail, 2);
    }
    for (std::size_t i = words * 4; i > 0;) {
      i -= 4;
      const std::uint32_t w = Load32(back + i);
      if (w != Load32(shadow + i)) {
        Store32(screen + i, w);
        Store32(shadow + i, w);
      }
    }
  } else {
    // The shadow takes the frame too, so the next frame's comparison is
    // against what the screen really shows.
    std::memcpy(screen, back, pixels * 2);
    std::memcpy(shadow, back, pixels * 2);
    m_FullRefresh = false;
  }
  GXEndDraw();
}

int ssDisplayS16::Clear() {
  if (m_RenderBuffer == nullptr) return 0;
  const ssRect all{0, 0, std::min(m_Width, m_RenderWidth), std::min(m_Height, m_RenderHeight)};
  if (m_RenderBits == 8) {
    FillRect8(m_RenderBuffer, all, 0, m_RenderPitch);
  } else {
    FillRect16(m_RenderBuffer, all, 0, m_RenderPitch);
  }
  return 0;
}

int ssDisplayS16::FillRectFrac(const ssRect& fraction, int flags, std::uint32_t pixel) {
  ssRect rect;
  FracRectToScreen(rect, fraction, false);
  return DrawRect(rect, flags, pixel);
}

namespace {

// Cuts a rectangle to the target; false when nothing is left.
bool ClipTo(ssRect& r, int width, int height) {
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, width);
  r.bottom = std::min<LONG>(r.bottom, height);
  return r.left < r.right && r.top < r.bottom;
}

}  // namespace

int ssDisplayS16::DrawRect(const ssRect& rect, int flags, std::uint32_t pixel) {
  if (m_RenderBuffer == nullptr || m_RenderBits != 16) return 0;
  const ssRect d = TurnEdges(rect, m_Rotate, m_Width, m_Height);
  auto fill = [&](ssRect part) {
    if (ClipTo(part, m_RenderWidth, m_RenderHeight)) FillRect16(m_RenderBuffer, part, pixel, m_RenderPitch);
  };
  if (!(flags & kRectFilled)) {
    fill(ssRect{d.left, d.top, d.right, d.top + 1});
    fill(ssRect{d.left, d.bottom - 1, d.right, d.bottom});
    fill(ssRect{d.left, d.top + 1, d.left + 1, d.bottom - 1});
    fill(ssRect{d.right - 1, d.top + 1, d.right, d.bottom - 1});
    return 0;
  }
  if (flags & kRectChecker) {
    // The checkerboard keeps its phase from the rectangle's own top row.
    ssRect part = d;
    if (!ClipTo(part, m_RenderWidth, m_RenderHeight)) return 0;
    std::uint32_t pattern = pixel & 0xFFFF;
    if ((part.top - d.top) & 1) pattern = (pattern >> 16) | (pattern << 16);
    FillRectRaw(m_RenderBuffer, part, pattern, m_RenderPitch);
  } else if (flags & kRectBlend) {
    ssRect part = d;
    if (ClipTo(part, m_RenderWidth, m_RenderHeight)) BlendRect(m_RenderBuffer, part, pixel, m_RenderPitch);
  } else {
    fill(d);
  }
  return 0;
}

void* ssDisplayS16::ScratchAlloc(std::uint32_t bytes) {
  if (m_ScratchBase == nullptr) return nullptr;
  const std::uint64_t rounded = (static_cast<std::uint64_t>(bytes) + 3) & ~std::uint64_t{3};
  if (m_ScratchUsed + rounded < m_ScratchSize) {
    void* result = m_ScratchBase + m_ScratchUsed;
    m_ScratchUsed += static_cast<std::uint32_t>(rounded);
    return result;
  }
  return nullptr;  // no room: the caller redraws instead of sharing memory
}

namespace {

// Copies the part of `rect` inside a width x height target, between the
// target (pitch bytes a row) and a buffer laid out as the whole rectangle.
template <bool kSave>
void CopyRect(BYTE* target, int width, int height, int pitch, int pixelBytes, BYTE* buffer, const ssRect& rect) {
  if (target == nullptr || buffer == nullptr || rect.right <= rect.left || rect.bottom <= rect.top) return;
  ssRect part = rect;
  if (!ClipTo(part, width, height)) return;
  const std::size_t bufferRow = static_cast<std::size_t>(rect.right - rect.left) * static_cast<std::size_t>(pixelBytes);
  const std::size_t count = static_cast<std::size_t>(part.right - part.left) * static_cast<std::size_t>(pixelBytes);
  for (LONG y = part.top; y < part.bottom; ++y) {
    BYTE* inTarget =
        target + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(part.left) * pixelBytes;
    BYTE* inBuffer = buffer + static_cast<std::size_t>(y - rect.top) * bufferRow +
                     static_cast<std::size_t>(part.left - rect.left) * static_cast<std::size_t>(pixelBytes);
    if constexpr (kSave) {
      std::memcpy(inBuffer, inTarget, count);
    } else {
      std::memcpy(inTarget, inBuffer, count);
    }
  }
}

}  // namespace

void ssDisplayS16::SaveRect(void* buffer, const ssRect& rect) const {
  CopyRect<true>(static_cast<BYTE*>(m_RenderBuffer), m_RenderWidth, m_RenderHeight, m_RenderPitch,
                 m_RenderBits == 8 ? 1 : 2, static_cast<BYTE*>(buffer), rect);
}

void ssDisplayS16::RestoreRect(const void* buffer, const ssRect& rect) {
  CopyRect<false>(static_cast<BYTE*>(m_RenderBuffer), m_RenderWidth, m_RenderHeight, m_RenderPitch,
                  m_RenderBits == 8 ? 1 : 2, static_cast<BYTE*>(const_cast<void*>(buffer)), rect);
}

int ssDisplayS16::SetRenderTarget(int target, int width, int height, int pitch, int bitsPerPixel) {
  if (m_BackBuffer == nullptr || (target != kTargetBackBuffer && target != kTarget8Bit)) return -1;
  void* buffer = target == kTargetBackBuffer ? static_cast<void*>(m_BackBuffer) : static_cast<void*>(m_Buffer8);
  const std::size_t bufferBytes = FramePixels() * (target == kTargetBackBuffer ? 2 : 1);
  int newWidth = m_Viewport.right - m_Viewport.left;
  int newHeight = m_Viewport.bottom - m_Viewport.top;
  int newBits = target == kTargetBackBuffer ? ((m_Depth + 4) / 8) * 8 : 8;
  int newPitch = target == kTargetBackBuffer ? newWidth * 2 : newWidth;
  if (width != 0) {
    // A caller's sizes: they must describe memory inside the chosen buffer.
    if (width < 0 || height < 1 || (bitsPerPixel != 8 && bitsPerPixel != 16) ||
        static_cast<long long>(width) * (bitsPerPixel / 8) > pitch ||
        static_cast<unsigned long long>(pitch) * static_cast<unsigned long long>(height) > bufferBytes) {
      return -1;
    }
    newWidth = width;
    newHeight = height;
    newPitch = pitch;
    newBits = bitsPerPixel;
  }
  m_RenderBuffer = buffer;
  m_RenderWidth = newWidth;
  m_RenderHeight = newHeight;
  m_RenderPitch = newPitch;
  m_RenderBits = newBits;
  return 0;
}

int ssDisplayS16::FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, std::uint32_t pixel) {
  if (m_RenderBuffer == nullptr) return 0;
  SyncPipeline();
  ssFillTriangle(m_Pipeline.Target(), m_Rotate, x0, y0, x1, y1, x2, y2, pixel);
  return 0;
}
