#include "display/display.h"

#include <cstdarg>

#include "ce/crt.h"
#include "engine/archive.h"
#include "engine/log.h"

namespace {

ssDisplayLogSink g_logSink = nullptr;

// v × size in 16.16, shifted down: 64-bit so large fractions cannot wrap.
LONG FracScale(LONG v, int size) { return static_cast<LONG>((static_cast<std::int64_t>(v) * size) >> 16); }
LONG FracRound(LONG v, int size) { return static_cast<LONG>((static_cast<std::int64_t>(v) * size + 32768) >> 16); }

}  // namespace

void ssSetDisplayLogSink(ssDisplayLogSink sink) { g_logSink = sink; }

void ssDisplayLog(int level, const wchar_t* format, ...) {
  wchar_t line[kLogLineChars];
  va_list args;
  va_start(args, format);
  const int n = _vsnwprintf(line, 511, format, args);
  va_end(args);
  line[n < 0 ? 511 : n] = L'\0';
  WriteLog(level, L"%s", line);
  if (g_logSink != nullptr) g_logSink(level, line);
}

int ssDisplay::Init(HWND window, int width, int height, int depth, int option) {
  m_Window = window;
  m_Width = width;
  m_Height = height;
  m_Depth = depth;
  m_HalfWidth = width / 2;
  m_HalfHeight = height / 2;
  m_ClipIndex = 0;
  m_ClipOverflow = 0;
  m_ClipStack[0] = ssRect{0, 0, width, height};
  m_Pitch = depth == 32 ? width * 4 : width * 2;
  m_TextureFormat = depth == 32 ? 6 : 7;
  m_Option = option;
  const int result = DeviceOpen(window);
  if (!m_Archive) {
    m_Archive = std::make_unique<ssArchive>();
    m_Archive->SetBaseFolder(m_Folder.c_str(), 0);
  }
  return result;
}

int ssDisplay::DeviceOpen(HWND) { return 0; }
int ssDisplay::DeviceClose() { return 0; }
int ssDisplay::Clear() { return 0; }
int ssDisplay::BeginDraw() { return 0; }
int ssDisplay::EndDraw() { return 0; }
int ssDisplay::Present() { return 0; }
int ssDisplay::FillRectRaw(void*, const ssRect&, std::uint32_t, int) { return 0; }
int ssDisplay::FillRectFrac(const ssRect&, int, std::uint32_t) { return 0; }
int ssDisplay::DrawRect(const ssRect&, int, std::uint32_t) { return 0; }

std::uint32_t ssDisplay::ColorToPixel(std::uint32_t color) const {
  const std::uint32_t r = (color >> 16) & 0xFF;
  const std::uint32_t g = (color >> 8) & 0xFF;
  const std::uint32_t b = color & 0xFF;
  switch (m_Depth) {
    case 12:
      return ((r & 0xF0) << 4) | (g & 0xF0) | (b >> 4);
    case 16:
    case 18:
      return ((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3);
    case 32:
      return color;
    default:
      return 0;
  }
}

std::uint32_t ssDisplay::PixelToColor(std::uint32_t pixel) const {
  switch (m_Depth) {
    case 12:
      return ((pixel & 0xF00) << 12) | ((pixel & 0x0F0) << 8) | ((pixel & 0x00F) << 4);
    case 16:
    case 18:
      return ((pixel & 0xF800) << 8) | ((pixel & 0x07E0) << 5) | ((pixel & 0x001F) << 3);
    case 32:
      return pixel;
    default:
      return 0;
  }
}

std::uint32_t ssDisplay::MakePixel(int r, int g, int b) const {
  const auto ur = static_cast<std::uint32_t>(r) & 0xFF;
  const auto ug = static_cast<std::uint32_t>(g) & 0xFF;
  const auto ub = static_cast<std::uint32_t>(b) & 0xFF;
  if (m_Depth == 12) return ((ur & 0xF0) << 4) | (ug & 0xF0) | (ub >> 4);
  return ((ur & 0xF8) << 8) | ((ug & 0xFC) << 3) | (ub >> 3);
}

void ssDisplay::FracRectToScreen(ssRect& out, const ssRect& in, bool rotate) const {
  const int vw = m_VWidth;
  const int vh = m_VHeight;
  if (!rotate) {
    out.left = FracScale(in.left, vw);
    out.right = out.left + FracScale(in.right - in.left, vw);
    out.top = FracScale(in.top, vh);
    out.bottom = out.top + FracScale(in.bottom - in.top, vh);
    return;
  }
  constexpr LONG kOne = 0x10000;
  switch (m_Rotate) {
    case 0:
      out = ssRect{FracRound(in.left, vw), FracRound(in.top, vh), FracRound(in.right, vw), FracRound(in.bottom, vh)};
      break;
    case 1:
      out = ssRect{FracRound(in.top, vw), FracRound(kOne - in.right, vh), FracRound(in.bottom, vw),
                   FracRound(kOne - in.left, vh)};
      break;
    case 2:
      out = ssRect{FracRound(kOne - in.right, vw), FracRound(kOne - in.bottom, vh), FracRound(kOne - in.left, vw),
                   FracRound(kOne - in.top, vh)};
      break;
    case 3:
      out = ssRect{FracRound(kOne - in.bottom, vw), FracRound(in.left, vh), FracRound(kOne - in.top, vw),
                   FracRound(in.right, vh)};
      break;
    default:
      break;
  }
}

ssRect ssDisplay::TurnEdges(const ssRect& r, int rotate, LONG w, LONG h) {
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

void ssDisplay::RectToDevice(ssRect& out, const ssRect& in) const {
  const LONG w = m_Width;
  const LONG h = m_Height;
  switch (m_Rotate) {
    case 0:
      out = in;
      break;
    case 1:
      out = ssRect{in.top, h - in.right - 1, in.bottom, h - in.left - 1};
      break;
    case 2:
      out = ssRect{w - in.right - 1, h - in.bottom - 1, w - in.left - 1, h - in.top - 1};
      break;
    case 3:
      out = ssRect{w - in.bottom - 1, in.left, w - in.top - 1, in.right};
      break;
    default:
      break;
  }
}

namespace {

ssRect ToFixed(const ssRect& r) {
  // Edges are device pixels well inside ±32767 in practice; the shift is
  // done unsigned so an odd value cannot overflow.
  auto shift = [](LONG v) { return static_cast<LONG>(static_cast<std::uint32_t>(v) << 16); };
  return ssRect{shift(r.left), shift(r.top), shift(r.right), shift(r.bottom)};
}

}  // namespace

void ssDisplay::PushClipRect(const ssRect& rect) {
  if (m_ClipIndex + 1 < kClipStackSize) {
    ++m_ClipIndex;
  } else {
    ++m_ClipOverflow;  // the stack is full: the top entry takes the new rectangle
  }
  RectToDevice(m_ClipStack[m_ClipIndex], rect);
  m_Clip = ToFixed(m_ClipStack[m_ClipIndex]);
}

ssRect ssDisplay::ClipEdges() const {
  ssRect r = m_ClipStack[m_ClipIndex];
  if (m_ClipIndex == 0) return r;
  const bool mirrorX = m_Rotate == 2 || m_Rotate == 3;
  const bool mirrorY = m_Rotate == 1 || m_Rotate == 2;
  if (mirrorX) {
    ++r.left;
    ++r.right;
  }
  if (mirrorY) {
    ++r.top;
    ++r.bottom;
  }
  return r;
}

void ssDisplay::PopClipRect() {
  if (m_ClipOverflow > 0) {
    --m_ClipOverflow;
  } else if (m_ClipIndex > 0) {
    --m_ClipIndex;
  }
  m_Clip = ToFixed(m_ClipStack[m_ClipIndex]);
}
