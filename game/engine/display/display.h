// ssDisplay: the graphics device base of the game engine. This holds the
// device geometry, colour packing, rectangles in screen fractions, the clip
// stack and the device operations with their do-nothing defaults; the
// 16-bit display device (display_s16.h) overrides the device operations.
// Caches, text and the 3D pipeline join this class with their own work.
#pragma once

#include <cstdint>

#include "ce/windef.h"
#include "pipeline/pipeline.h"

// Rectangles are four signed 32-bit words; right and bottom are exclusive.
using ssRect = RECT;

// The display's log lines go to the engine's message log (WriteLog) and, when
// one is installed, to a sink that tests use to read them.
using ssDisplayLogSink = void (*)(int level, const wchar_t* line);
void ssSetDisplayLogSink(ssDisplayLogSink sink);
// Formats with the platform's wide printf (%d, %s as a wide string) and
// hands the line to the message log and the sink.
void ssDisplayLog(int level, const wchar_t* format, ...);

class ssDisplay {
 public:
  static constexpr int kClipStackSize = 16;

  ssDisplay() = default;
  virtual ~ssDisplay() = default;
  ssDisplay(const ssDisplay&) = delete;
  ssDisplay& operator=(const ssDisplay&) = delete;

  // Stores the window, size and depth, sets the clip stack's base entry and
  // opens the device. Returns what DeviceOpen returns: 0, or non-zero when
  // the device could not be opened (nothing is then held).
  int Init(HWND window, int width, int height, int depth, int option);

  virtual int DeviceOpen(HWND window);
  virtual int DeviceClose();
  // Device operations; the base draws nothing and returns 0.
  virtual int Clear();
  virtual int BeginDraw();
  virtual int EndDraw();
  virtual int Present();
  virtual int FillRectRaw(void* surface, const ssRect& rect, std::uint32_t pattern, int pitch);
  virtual int FillRectFrac(const ssRect& fraction, int flags, std::uint32_t pixel);
  virtual int DrawRect(const ssRect& rect, int flags, std::uint32_t pixel);

  // 0xRRGGBB to a device pixel and back, by depth: 12 RGB444, 16 and 18
  // RGB565, 32 unchanged, anything else 0.
  std::uint32_t ColorToPixel(std::uint32_t color) const;
  std::uint32_t PixelToColor(std::uint32_t pixel) const;
  // Channels 0-255 to a 16-bit pixel (RGB444 at depth 12, else RGB565).
  std::uint32_t MakePixel(int r, int g, int b) const;

  // A rectangle in 16.16 fractions of the logical screen to pixels; with
  // `rotate` the edges are rounded and turned into the device frame.
  void FracRectToScreen(ssRect& out, const ssRect& in, bool rotate) const;
  // A logical pixel rectangle to device pixels (point mapping, H - 1 - x).
  void RectToDevice(ssRect& out, const ssRect& in) const;

  // The clip stack: 16 entries of device rectangles. A push is not
  // intersected with the entry below. Pushes past the top replace the top
  // entry and are counted, so the same number of pops is needed to leave it;
  // the base entry is never overwritten.
  void PushClipRect(const ssRect& rect);
  void PopClipRect();
  const ssRect* GetClipRect() const { return &m_ClipStack[m_ClipIndex]; }

  // Geometry (see the device for who sets what).
  HWND m_Window = nullptr;
  int m_Option = 0;
  int m_Width = 0;
  int m_Height = 0;
  int m_Depth = 0;
  int m_Swapped = 0;  // set when the device swapped width and height
  int m_Rotate = 0;   // quarter turns from the logical screen to the buffer
  int m_VWidth = 0;
  int m_VHeight = 0;
  int m_HalfWidth = 0;
  int m_HalfHeight = 0;
  int m_CentreX = 0;  // 16.16 pixels
  int m_CentreY = 0;
  int m_Pitch = 0;  // bytes per row of the device buffer
  int m_DesignWidth = 0;
  int m_DesignHeight = 0;

  // The render target: where drawing goes.
  void* m_RenderBuffer = nullptr;
  int m_RenderPitch = 0;  // bytes
  int m_RenderBits = 0;
  int m_RenderWidth = 0;
  int m_RenderHeight = 0;
  ssRect m_Viewport{};

  // The working clip: the top of the clip stack in 16.16 device pixels.
  ssRect m_Clip{};

 protected:
  ssRect m_ClipStack[kClipStackSize]{};
  int m_ClipIndex = 0;
  int m_ClipOverflow = 0;  // pushes past the top entry not yet popped

  // ---- 3D pipeline and software rasteriser -------------------------------
  // The pipeline holds the matrices, vertex buffers, textures and clipping;
  // the device's primitive, texture and triangle operations draw through it
  // after SyncPipeline has handed it the current render target, screen turn
  // and clip rectangle.
 public:
  ssPipeline m_Pipeline;
  void SyncPipeline() {
    ssRasterTarget target;
    target.pixels = m_RenderBuffer;
    target.pitch = m_RenderPitch;
    target.width = m_RenderWidth;
    target.height = m_RenderHeight;
    target.bits = m_RenderBits;
    target.depth = m_Depth;
    // The working clip is kept in 16.16; spans cover ceil(left) .. ceil(right) - 1.
    target.clipLeft = (m_Clip.left + 0xFFFF) >> 16;
    target.clipTop = (m_Clip.top + 0xFFFF) >> 16;
    target.clipRight = (m_Clip.right + 0xFFFF) >> 16;
    target.clipBottom = (m_Clip.bottom + 0xFFFF) >> 16;
    m_Pipeline.SetRenderTarget(target, m_Rotate);
  }
  // ---- end of the 3D pipeline block ----------------------------------------
};
