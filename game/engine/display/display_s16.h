// ssDisplayS16: the game's 16-bit display device. Every frame is drawn by
// software into a 16-bit back buffer laid out like the screen memory, and
// shown through one of three outputs:
//   GDI   the back buffer is a DIB section, blitted to the game window;
//   RAW   the driver's raw frame buffer (the GETRAWFRAMEBUFFER escape),
//         one block copy a frame;
//   GAPI  the game display calls; only the 32-bit words that changed since
//         the last frame are written, against a shadow copy.
// It also owns the 8-bit side buffer, the frame scratch pool, the span
// table of the rasteriser and the rectangle fills and blends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "display/display.h"

class ssDisplayS16 : public ssDisplay {
 public:
  // Output preference values, as the application stores them.
  static constexpr int kModeGdi = 1;
  static constexpr int kModeRaw = 2;
  static constexpr int kModeGapi = 3;

  // DrawRect flags.
  static constexpr int kRectFilled = 1;
  static constexpr int kRectChecker = 2;
  static constexpr int kRectBlend = 4;

  // SetRenderTarget targets.
  static constexpr int kTargetBackBuffer = 1;
  static constexpr int kTarget8Bit = 2;

  ssDisplayS16();
  ~ssDisplayS16() override;

  // Chooses the output by what the screen offers: the raw frame buffer when
  // the driver hands one out, else GAPI on screens that are not square and
  // at most 320 pixels a side, else GDI. Returns the preference value.
  int DetectMode(HWND window);
  // The output the device configuration forces ("display_mode" = "gdi",
  // "raw" or "gapi"), else DetectMode. Returns the preference value.
  int SelectOutput(HWND window);
  // Forces an output before Init (kModeGdi, kModeRaw or kModeGapi); false
  // for any other value.
  bool ForceOutput(int mode);
  // The output in use (or chosen, before Init); 0 when none is.
  int OutputMode() const;

  int DeviceOpen(HWND window) override;
  int DeviceClose() override;
  int Clear() override;
  int BeginDraw() override;
  int EndDraw() override;
  int Present() override;
  int FillRectRaw(void* surface, const ssRect& rect, std::uint32_t pattern, int pitch) override;
  int FillRectFrac(const ssRect& fraction, int flags, std::uint32_t pixel) override;
  int DrawRect(const ssRect& rect, int flags, std::uint32_t pixel) override;
  // Three logical points turned for m_Rotate, filled inside the current
  // clip rectangle; points running clockwise on the screen fill.
  int FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, std::uint32_t pixel) override;

  // Images and fonts (display_s16_image.cpp). DrawImage turns both
  // rectangles for m_Rotate, copies 1:1 when the sizes match and stretches
  // otherwise; everything is clipped to the image, the render target and
  // the current clip rectangle.
  std::unique_ptr<ssFont> CreateFont() override;
  int DrawImage(ssImage* image, const ssRect* dest, const ssRect* source, int colorKey) override;
  // Buffer and stored-image coordinates: bilinear for the device's own
  // format, nearest with alpha blend for 32-bit images.
  virtual int StretchImage(ssImage* image, int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh,
                           int colorKey);

  // Low-level fills in buffer coordinates. The rectangle must lie inside the
  // surface on the right and bottom; edges left of or above 0 are cut, and
  // an empty rectangle draws nothing. Pitches are in bytes.
  // Solid fill, exact at odd edges, two pixels a word in between.
  static void FillRect16(void* surface, const ssRect& rect, std::uint32_t pixel, int pitch);
  // Mixes every pixel 18/32 of the way towards `pixel` (9/16 at depth 12).
  void BlendRect(void* surface, const ssRect& rect, std::uint32_t pixel, int pitch) const;
  static void FillRect8(void* surface, const ssRect& rect, std::uint8_t value, int pitch);

  // The frame scratch pool: room for `bytes` (rounded up to 4), or null when
  // the pool has no room left; ScratchReset empties it.
  void* ScratchAlloc(std::uint32_t bytes);
  void ScratchReset() { m_ScratchUsed = 0; }

  // Copy a rectangle of the render target into a caller's buffer of
  // (right - left) pixels a row, and back. Parts of the rectangle outside
  // the target are skipped; the buffer keeps the whole rectangle's layout.
  void SaveRect(void* buffer, const ssRect& rect) const;
  void RestoreRect(const void* buffer, const ssRect& rect);

  // Target 1 the back buffer, 2 the 8-bit buffer, both the viewport's size;
  // a non-zero width replaces width, height, pitch and bits (they must fit
  // the buffer). Returns 0, or -1 (nothing changed) for another target or
  // sizes that do not fit.
  int SetRenderTarget(int target, int width, int height, int pitch, int bitsPerPixel);

  // Buffers and state the rest of the engine reads.
  std::uint16_t* m_BackBuffer = nullptr;
  std::uint16_t* m_ShadowBuffer = nullptr;
  std::uint8_t* m_Buffer8 = nullptr;
  std::int32_t* m_SpanTable = nullptr;  // m_Height entries of nine words
  void* m_FrontBuffer = nullptr;        // lowest address of the GAPI screen memory this frame
  void* m_RawFrame = nullptr;           // lowest address of the raw frame buffer
  int m_Stride = 0;
  int m_Orientation = 0;  // 1 when the screen memory runs along the screen's columns
  bool m_LandscapeVirtual = true;
  bool m_FullRefresh = false;
  bool m_ClearOnPresent = false;
  bool m_UseGdi = false;
  bool m_UseGapi = false;
  bool m_UseRaw = false;

  std::uint8_t* m_ScratchBase = nullptr;
  std::uint32_t m_ScratchUsed = 0;
  std::uint32_t m_ScratchSize = 230400;

 private:
  // Opens the chosen output; false when it cannot be used.
  bool OpenGapi(HWND window);
  bool OpenRaw();
  bool OpenGdi();
  // Buffers common to every output; false when memory runs out.
  bool AllocateFrameBuffers();
  void PresentGapi();
  std::size_t FramePixels() const { return static_cast<std::size_t>(m_Width) * static_cast<std::size_t>(m_Height); }
  // The screen memory's lowest address from the address of its top-left
  // pixel, as the output reported its layout at open.
  std::ptrdiff_t m_LowOffset = 0;
  // Quarter turns of the screen memory added to m_Rotate at open.
  int m_TurnApplied = 0;
  bool m_Opened = false;

  std::unique_ptr<std::uint16_t[]> m_OwnBack;
  std::unique_ptr<std::uint16_t[]> m_OwnShadow;
  std::unique_ptr<std::uint8_t[]> m_Own8;
  std::unique_ptr<std::uint8_t[]> m_OwnScratch;
  std::unique_ptr<std::int32_t[]> m_OwnSpans;
  HBITMAP m_Dib = nullptr;
  HDC m_MemDc = nullptr;
  HGDIOBJ m_OldBitmap = nullptr;
  bool m_GapiOpen = false;
};
