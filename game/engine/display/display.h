// ssDisplay: the graphics device base of the game engine. This holds the
// device geometry, colour packing, rectangles in screen fractions, the clip
// stack and the device operations with their do-nothing defaults; the
// 16-bit display device (display_s16.h) overrides the device operations.
// Caches, text and the 3D pipeline join this class with their own work.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ce/windef.h"
#include "pipeline/pipeline.h"

class ssArchive;
class ssFont;
class ssImage;

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

  ssDisplay();
  virtual ~ssDisplay();
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
  // Three logical points; the base draws nothing.
  virtual int FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, std::uint32_t pixel);
  // The source rectangle of the image (null: all of it) into the destination
  // rectangle, both logical; the base draws nothing.
  virtual int DrawImage(ssImage* image, const ssRect* dest, const ssRect* source, int colorKey);
  // A new empty font of the kind this device draws with.
  virtual std::unique_ptr<ssFont> CreateFont();
  // Hooks around the texture cache: after a load, before a cached texture
  // is destroyed.
  virtual int OnTextureLoad(ssImage* image);
  virtual void OnTextureFree(ssImage* image);

  // The font cache. GetFont loads "<name>.fnt" through the archive on first
  // use and adds a reference; a font that cannot be loaded is logged and the
  // first cached font (or null) is returned instead.
  ssFont* GetFont(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  void ReleaseFont(ssFont* font);
  ssFont* GetDefaultFont();
  int FontCount() const { return static_cast<int>(m_Fonts.size()); }

  // The texture cache, keyed by name, folder and archive without regard to
  // case. Format 0 means the device's own. Images that cannot be opened or
  // decoded are logged and give null.
  ssImage* GetTexture(const wchar_t* name, const wchar_t* folder, const wchar_t* archive, int format, bool rotate,
                      bool rescale);
  void ReleaseTexture(ssImage* image);
  int TextureCount() const { return static_cast<int>(m_Textures.size()); }
  std::uint32_t m_LastTextureStatus = 0;

  ssArchive* GetArchive() { return m_Archive.get(); }
  // Replaces the archive (tests serve files from memory).
  void SetArchive(std::unique_ptr<ssArchive> archive);

  // Text metrics: `width` goes in as the wrap width and comes out as the
  // width of the last line; `height` is the total height.
  void MeasureText(ssFont* font, const wchar_t* text, int* width, int* height, bool wrap) const;
  // Without wrapping, as 16.16 fractions of the logical screen.
  void MeasureTextFrac(ssFont* font, const wchar_t* text, int* width, int* height) const;

  // Draws a string at a logical pixel position. Colours are device pixels.
  // `length` limits the box layout only; `clip` (logical, may be null) bounds
  // the drawing and is the box of the box layout.
  int DrawText(ssFont* font, int x, int y, const wchar_t* text, int length, std::uint32_t color,
               std::uint32_t backColor, std::uint32_t shadowColor, bool opaque, bool shadow, bool skip, int reserved,
               const ssRect* clip, bool box, bool centre);
  // The same with x and y in 16.16 fractions of the screen.
  int DrawTextFrac(ssFont* font, int fx, int fy, const wchar_t* text, int length, std::uint32_t color,
                   std::uint32_t backColor, std::uint32_t shadowColor, bool opaque, bool shadow, bool skip,
                   int reserved, const ssRect* clip, bool box, bool centre);

  static int Log2Floor(std::uint32_t n);

  // 0xRRGGBB to a device pixel and back, by depth: 12 RGB444, 16 and 18
  // RGB565, 32 unchanged, anything else 0.
  std::uint32_t ColorToPixel(std::uint32_t color) const;
  std::uint32_t PixelToColor(std::uint32_t pixel) const;
  // Channels 0-255 to a 16-bit pixel (RGB444 at depth 12, else RGB565).
  std::uint32_t MakePixel(int r, int g, int b) const;

  // A rectangle in 16.16 fractions of the logical screen to pixels; with
  // `rotate` the edges are rounded and turned into the device frame.
  void FracRectToScreen(ssRect& out, const ssRect& in, bool rotate) const;
  // A logical rectangle in a w x h frame turned by `rotate` quarter turns,
  // edges mapped as edges (H - x): how DrawRect, DrawImage and sprites turn
  // their rectangles. Other rotations keep it as it is.
  static ssRect TurnEdges(const ssRect& r, int rotate, LONG w, LONG h);
  // A logical pixel rectangle to device pixels (point mapping, H - 1 - x).
  void RectToDevice(ssRect& out, const ssRect& in) const;

  // The clip stack: 16 entries of device rectangles. A push is not
  // intersected with the entry below. Pushes past the top replace the top
  // entry and are counted, so the same number of pops is needed to leave it;
  // the base entry is never overwritten.
  void PushClipRect(const ssRect& rect);
  void PopClipRect();
  const ssRect* GetClipRect() const { return &m_ClipStack[m_ClipIndex]; }
  // The top clip rectangle as half-open device edges. Pushed entries come
  // from RectToDevice, which maps points (H - 1 - x): on the axes the
  // rotation mirrors they are moved by one so that the edges bound exactly
  // the logical rectangle that was pushed. The base entry is already edges.
  ssRect ClipEdges() const;

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
  float m_XScale = 1.0f;  // logical size over design size
  float m_YScale = 1.0f;
  int m_TextureFormat = 7;         // the device's own texture pixel format
  std::uint32_t m_BorderUnit = 4;  // pixels: the menu widgets' bevel and border unit
  std::wstring m_Folder;           // the program folder: the archive's base

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

 private:
  struct CachedTexture {
    ssImage* image;
    std::wstring name, folder, archive;
  };
  // One drawing of DrawText at a logical point, turned for m_Rotate.
  void DrawTextAt(ssFont* font, int x, int y, const wchar_t* text, std::uint32_t color, std::uint32_t backColor,
                  bool opaque, const ssRect* deviceClip) const;
  void DrawTextBox(ssFont* font, int x, int y, const wchar_t* text, int length, std::uint32_t color,
                   std::uint32_t backColor, bool opaque, const ssRect& box, const ssRect* deviceClip,
                   bool centre) const;

  std::vector<ssFont*> m_Fonts;
  std::vector<CachedTexture> m_Textures;
  std::unique_ptr<ssArchive> m_Archive;

  // ---- 3D pipeline and software rasteriser -------------------------------
  // The pipeline holds the matrices, vertex buffers, textures and clipping;
  // the device's primitive, texture and triangle operations draw through it
  // after SyncPipeline has handed it the current render target, screen turn
  // and clip rectangle.
 public:
  ssPipeline m_Pipeline;
  // The current render target with the top clip rectangle's edges.
  ssRasterTarget RasterTarget() const {
    ssRasterTarget target;
    target.pixels = m_RenderBuffer;
    target.pitch = m_RenderPitch;
    target.width = m_RenderWidth;
    target.height = m_RenderHeight;
    target.bits = m_RenderBits;
    target.depth = m_Depth;
    const ssRect clip = ClipEdges();
    target.clipLeft = clip.left;
    target.clipTop = clip.top;
    target.clipRight = clip.right;
    target.clipBottom = clip.bottom;
    return target;
  }
  void SyncPipeline() { m_Pipeline.SetRenderTarget(RasterTarget(), m_Rotate); }

  // The device's texture, transform and primitive operations. The drawing
  // ones hand the pipeline the current target, turn and clip first, so a
  // render target or clip changed since the last call is honoured.
  std::uint32_t SetTexture(int stage, ssImage* image) { return m_Pipeline.SetTexture(stage, image); }
  std::uint32_t SetTransform(int index, const Fix16* matrix) { return m_Pipeline.SetTransform(index, matrix); }
  void UpdateTransform() { m_Pipeline.UpdateTransform(); }
  std::uint32_t DrawPrimitive(int type, const ssSourceVertex* source, std::uint32_t firstVertex,
                              std::uint32_t vertexCount, const std::uint16_t* records, std::uint32_t firstIndex,
                              std::uint32_t primitives) {
    SyncPipeline();
    return m_Pipeline.DrawPrimitive(type, source, firstVertex, vertexCount, records, firstIndex, primitives);
  }
  std::uint32_t DrawIndexedPrimitive(int type, int transformed, const void* source, std::uint32_t vertexCount,
                                     const void* faces, std::uint32_t faceCount, std::uint32_t clipFlag,
                                     ssVertexBufferRecord* record) {
    SyncPipeline();
    return m_Pipeline.DrawIndexedPrimitive(type, transformed, source, vertexCount, faces, faceCount, clipFlag, record);
  }
  int PolygonOutline(const ssSourceVertex* source, std::uint32_t count, std::int32_t* points, int capacity) {
    SyncPipeline();
    return m_Pipeline.PolygonOutline(source, count, points, capacity);
  }

  // Matrix and vector operations (16.16; see pipeline/fixed_math.h).
  void VectorTransform(ssVector& out, const Fix16* m, const ssVector& v) const;
  void MatrixMultiply(Fix16* out, const Fix16* a, const Fix16* b) const;
  void Cross(ssVector& out, const ssVector& a, const ssVector& b) const;
  std::int32_t Dot(const ssVector& a, const ssVector& b) const;
  // Does nothing on this device: vectors are used as they are.
  void Normalize(ssVector& out, const ssVector& v) const;
  void MatrixTranspose(Fix16* out, const Fix16* m) const;
  void ViewFromPose(Fix16* out, const Fix16* m) const;
  void VectorAdd(ssVector& out, const ssVector& a, const ssVector& b) const;
  void VectorSub(ssVector& out, const ssVector& a, const ssVector& b) const;
  void VectorMul(ssVector& out, const ssVector& a, const ssVector& b) const;
  void VectorScale(ssVector& out, const ssVector& v, Fix16 s) const;
  void MatrixTranslate(Fix16* out, const Fix16* m, const ssVector& v) const;
  void VectorCopy(ssVector& out, const ssVector& v) const { out = v; }
  void MatrixCopy(Fix16* out, const Fix16* m) const;
  void MatrixIdentity(Fix16* out) const;
  void RotateZ(Fix16* out, const Fix16* m, Fix16 angle) const;
  void RotateX(Fix16* out, const Fix16* m, Fix16 angle) const;
  void RotateY(Fix16* out, const Fix16* m, Fix16 angle) const;
  void RotateXYZ(Fix16* out, Fix16* m, const ssVector& angles) const;
  void VectorClamp(ssVector& out, const ssVector& v, Fix16 lo, Fix16 hi) const;
  void LookDir(Fix16* out, const ssVector& eye, const ssVector& dir, const ssVector& up) const;
  void LookAt(Fix16* out, const ssVector& eye, const ssVector& target, const ssVector& up) const;
  bool ProjectPoint(ssVector& out, const Fix16* m, const ssVector& v) const;
  // A perspective matrix into `out`; `focal` (may be null) receives the
  // focal length in pixels: 0.5 x ys x the buffer side that the logical
  // screen's height falls on.
  void Perspective(Fix16* out, float fov, float aspect, float nearZ, float farZ, std::int32_t* focal) const;
  // The projection matrix from a field of view (16.16 radians) with near
  // 4.0, far 600.0 and the logical screen's aspect.
  void SetPerspective(Fix16 fov, std::int32_t* focal);

  // Vertex buffers, found again by their tag.
  std::uint32_t CreateVertexBuffer(std::uint32_t count, std::uint32_t spare, std::uint32_t format, std::uint32_t spare2,
                                   ssVertexBufferRecord** record) {
    return m_Pipeline.CreateVertexBuffer(count, spare, format, spare2, record);
  }
  std::uint32_t ResizeVertexBuffer(ssVertexBufferRecord* record, std::uint32_t count) {
    return m_Pipeline.ResizeVertexBuffer(record, count);
  }
  std::uint32_t GetVertexData(ssVertexBufferRecord* record, ssVertex** out) {
    return m_Pipeline.GetVertexData(record, out);
  }
  void SetVertexBufferTag(ssVertexBufferRecord* record, const void* tag) { m_Pipeline.SetVertexBufferTag(record, tag); }
  void FreeVertexBuffers() { m_Pipeline.FreeVertexBuffers(); }
  void FreeVertexBuffersByTag(const void* tag) { m_Pipeline.FreeVertexBuffersByTag(tag); }
  ssVertexBufferRecord* FindVertexBuffer(const void* tag, ssVertexBufferRecord** out) {
    return m_Pipeline.FindVertexBuffer(tag, out);
  }
  // The transforms project into the current render target, turned for the
  // screen.
  std::uint32_t RenderVertexBuffer(ssVertex* out, const ssSourceVertex* source, std::uint32_t count,
                                   const Fix16* matrix) {
    SyncPipeline();
    return m_Pipeline.RenderVertexBuffer(out, source, count, matrix);
  }
  std::uint32_t DrawVertexBuffer(const ssSourceVertex* source, std::uint32_t count, const Fix16* matrix) {
    SyncPipeline();
    return m_Pipeline.DrawVertexBuffer(source, count, matrix);
  }

  // Render state: the first word is the texture mode (1 colour key, 2 shade
  // map, anything else opaque).
  void SetRenderState(std::uint32_t value) { m_Pipeline.SetTextureMode(static_cast<int>(value)); }
  void SetVertexSource(std::uint32_t a, const void* vertices, std::uint32_t b) {
    m_Pipeline.SetVertexSource(a, vertices, b);
  }
  void SetIndices(const std::uint32_t* indices, std::uint32_t count) { m_Pipeline.SetIndices(indices, count); }
  void SetStateBlock(const void* block) { m_Pipeline.SetStateBlock(block); }

  // Projects one point with `matrix` into buffer pixels (16.16) and z; the
  // w record receives w with 32 fraction bits. Returns the record, or null
  // (screen x and y 0) when the point lies behind the eye.
  std::int64_t* ProjectOnePoint(const ssVector& point, std::int32_t* sx, std::int32_t* sy, std::int32_t* sz,
                                std::int64_t* wRecord, const Fix16* matrix);

  // Clippers: `out` receives the clipped outline's vertices (room for
  // kMaxPolygon); the result is their count, 0 when nothing is left.
  int ClipPolygon(const ssVertex** out, const ssVertex* vertices, int count);
  int ClipPolygonScreen(const ssVertex** out, const ssVertex* vertices, int count);
  int ClipPolygonScreen2(const ssVertex** out, const ssVertex* vertices, int count);

  // Outcodes: x and y against w, against the screen box, and depth.
  std::uint32_t OutcodeX(const ssVertex& v) const { return ssPipeline::OutcodeX(v); }
  std::uint32_t OutcodeY(const ssVertex& v) const { return ssPipeline::OutcodeY(v); }
  // The screen box is the viewport within the current target and clip.
  std::uint32_t OutcodeScreenX(const ssVertex& v) {
    SyncPipeline();
    return m_Pipeline.OutcodeScreenX(v);
  }
  std::uint32_t OutcodeScreenY(const ssVertex& v) {
    SyncPipeline();
    return m_Pipeline.OutcodeScreenY(v);
  }
  std::uint32_t OutcodeFar(const ssVertex& v) const { return m_Pipeline.OutcodeFar(v); }
  std::uint32_t OutcodeScreen(const ssVertex& v) {
    SyncPipeline();
    return m_Pipeline.OutcodeScreen(v);
  }

  // What a model (".kso") draws through: this device's archive, packing,
  // vertex buffers, transform, texture and indexed drawing.
  ssModelDevice* ModelDevice();

 private:
  std::unique_ptr<ssModelDevice> m_ModelDevice;

 public:
  // ---- end of the 3D pipeline block ----------------------------------------
};
