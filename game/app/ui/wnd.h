// Wnd: the base of every element of the game's own widget toolkit. A
// screen is a parentless Wnd over the whole screen; labels, pictures,
// buttons, lists, choice lists and scroll bars are Wnd children of a screen
// or of another widget. A Wnd keeps its geometry (position in the parent's
// client pixels, screen rectangle derived by Layout), caption, style and
// flag words, colours as device pixels, font and images, and its children;
// it paints into the display's back buffer within a dirty rectangle and
// reports to its parent with window-style messages (ui_types.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "display/display.h"
#include "ui/ui_types.h"

class ssFont;
class ssImage;

namespace ui {

// The screen the widgets are laid out on: the display's picture as the
// person sees it, before the quarter turns onto the buffer. Fractions of
// the screen are measured on it, so a layout stays whole in every rotation
// and on screens held upright as well as sideways.
inline int ScreenWidth(const ssDisplay* d) {
  if (d == nullptr) return 0;
  return (d->m_Rotate & 1) != 0 ? d->m_Height : d->m_Width;
}
inline int ScreenHeight(const ssDisplay* d) {
  if (d == nullptr) return 0;
  return (d->m_Rotate & 1) != 0 ? d->m_Width : d->m_Height;
}
// 16.16 fractions of that screen to its pixels: the left and top edges
// scaled, the right and bottom edges after them by the scaled size.
RECT FracToScreen(const ssDisplay* d, const RECT& frac);
// Pixels of that screen to 16.16 fractions (truncated).
int ToFracX(const ssDisplay* d, int pixels);
int ToFracY(const ssDisplay* d, int pixels);

}  // namespace ui

class Wnd {
 public:
  static constexpr std::size_t kCaptionChars = 1024;  // including the terminating zero
  // Indices of the five bevel colours.
  enum Bevel { kOuterLight = 0, kInnerLight = 1, kFace = 2, kInnerDark = 3, kOuterDark = 4 };
  // Neighbour directions, as the dialog's focus moves number them.
  enum Direction { kUp = 1, kDown = 2, kLeft = 3, kRight = 4 };

  Wnd();
  virtual ~Wnd();
  Wnd(const Wnd&) = delete;
  Wnd& operator=(const Wnd&) = delete;

  // Creates the window: fracRect is in 16.16 fractions of the screen and
  // becomes the position in the parent's client pixels. With a parent the
  // window becomes its child (owned by it from then on) and takes its font.
  // True (a creation never fails here; overrides that make more can).
  virtual bool Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                      std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare);
  // Paints background, frame and children within dirty (screen pixels).
  virtual int Paint(const RECT& dirty);
  // A packed pixel with each channel scaled, without clamping.
  virtual std::uint32_t ScaleColour(std::uint32_t pixel, float factor);
  virtual void Invalidate(int value);
  virtual void InvalidateRect(const RECT& rect, int value);
  virtual int Query();
  virtual int Update();
  // 0 hides, 5 shows; other codes change nothing.
  virtual void ShowWindow(int code);
  virtual void ClientToScreenRect(RECT& rect);
  virtual void ClientToScreen(POINT& point);
  virtual void ScreenToClientRect(RECT& rect);
  virtual void ScreenToClient(POINT& point);
  virtual void GetClientRect(RECT& out);
  virtual void GetWindowRect(RECT& out);
  virtual bool IsVisible();
  // Copies the caption into out (capacity characters with the zero).
  virtual void GetText(wchar_t* out, std::size_t capacity);
  // Longer captions are cut to kCaptionChars - 1 characters.
  virtual void SetText(const wchar_t* text);
  // The font with a reference added for the caller (null when none).
  virtual ssFont* GetFont();
  // False when there is no device or no such font.
  virtual bool SetFontByName(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  // Takes over the caller's reference.
  virtual void SetFont(ssFont* font);
  virtual void SetColourA(std::uint32_t rgb);
  virtual void SetColourB(std::uint32_t rgb);
  virtual void SetColourC(std::uint32_t rgb);
  virtual void SetColourD(std::uint32_t rgb);
  virtual void SetBevelColours(const std::uint32_t rgb[5]);
  virtual std::uint32_t GetColourA();
  virtual std::uint32_t GetColourB();
  virtual std::uint32_t GetColourC();
  virtual std::uint32_t GetColourD();
  virtual void GetBevelColours(std::uint32_t out[5]);
  // Colours A, B, C and the bevel colours of other, passed on to children.
  virtual void CopyColours(Wnd* other);
  virtual void CopyFont(Wnd* other);
  // False when there is no device or no such picture.
  virtual bool SetImageByName(const wchar_t* name, const wchar_t* folder, const wchar_t* archive);
  // Takes over the caller's reference; the window takes the image's size.
  virtual void SetImage(ssImage* image);
  virtual void SetImage2(ssImage* image);
  virtual void MoveWindow(int x, int y, int w, int h, bool update);
  virtual void Layout();
  // Pen input: buttons bit 0 is the pen down; pos is packed (ui::MakePos).
  virtual int OnPenMove(std::uint32_t buttons, LPARAM pos);
  virtual int OnPenDown(std::uint32_t buttons, LPARAM pos);
  virtual int OnPenUp(std::uint32_t buttons, LPARAM pos);
  // The base passes every message on to the parent.
  virtual LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2);
  virtual void SetCapture(Wnd* window);
  virtual int ReleaseCapture();
  // Removes and deletes a child; false when it is not one.
  virtual bool RemoveChild(Wnd* child);
  virtual void SetFocus(Wnd* previous);
  virtual void KillFocus();
  virtual int EndHook();
  // The point lies in the screen rectangle, edges included.
  virtual bool HitTest(LPARAM pos);
  virtual int Activate();
  virtual void FocusAt(LPARAM pos);

  // Appends a child; the window owns it from then on.
  void AddChild(Wnd* child);

  // ---- what screens and widgets read and set --------------------------------
  ssDisplay* Device() const { return m_Device; }
  Wnd* Parent() const { return m_Parent; }
  int Kind() const { return m_Kind; }
  int Id() const { return m_Id; }
  void SetId(int id) { m_Id = id; }
  std::uint32_t Spare() const { return m_Spare; }
  std::uint32_t Style() const { return m_Style; }
  void SetStyle(std::uint32_t style) { m_Style = style; }
  std::uint32_t Flags() const { return m_Flags; }
  void SetFlags(std::uint32_t flags) { m_Flags = flags; }
  const wchar_t* Caption() const { return m_Caption; }
  int BorderUnit() const { return static_cast<int>(m_BorderUnit); }
  const RECT& Position() const { return m_Position; }
  const RECT& ScreenRect() const { return m_ScreenRect; }
  const RECT& DirtyRect() const { return m_DirtyRect; }
  bool DirtyFlag() const { return m_DirtyFlag != 0; }
  void SetDirtyFlag(bool dirty) { m_DirtyFlag = dirty ? 1 : 0; }
  POINT TextOrigin() const { return POINT{m_TextX, m_TextY}; }
  int BorderX() const { return m_BorderX; }
  int BorderY() const { return m_BorderY; }
  ssFont* Font() const { return m_Font; }
  int FontHeight() const;
  ssImage* Image() const { return m_Image; }
  ssImage* Image2() const { return m_Image2; }
  std::uint32_t PixelA() const { return m_ColourA; }
  std::uint32_t PixelB() const { return m_ColourB; }
  std::uint32_t PixelC() const { return m_ColourC; }
  std::uint32_t PixelD() const { return m_ColourD; }
  std::uint32_t BevelPixel(Bevel which) const { return m_Bevel[which]; }
  // Sets one bevel colour as a packed pixel.
  void SetBevelPixel(Bevel which, std::uint32_t pixel) { m_Bevel[which] = pixel; }

  int ChildCount() const { return static_cast<int>(m_Children.size()); }
  Wnd* Child(int index) const;
  Wnd* FocusedChild() const { return m_Focused; }
  void SetFocusedChild(Wnd* child) { m_Focused = child; }
  Wnd* CaptureWindow() const { return m_Capture; }
  bool HasFocus() const { return m_HasFocus != 0; }
  void SetFocusFlag(bool focus) { m_HasFocus = focus ? 1 : 0; }
  // Neighbour links for the dialog's key navigation (children of the same
  // screen; null for none).
  void SetNeighbours(Wnd* up, Wnd* down, Wnd* left, Wnd* right);
  Wnd* Neighbour(Direction direction) const;
  bool CanFocus() const { return (m_Style & ui::kStyleFocusable) != 0; }

  // Sends a notification to the parent: message 273 with id | code << 16.
  LRESULT NotifyParent(int code, LPARAM p2);

 protected:
  // Fills rect ∩ clip through the device (mode 1 solid, 3 raw, 5 translucent).
  void Fill(const RECT& rect, const RECT& clip, int mode, std::uint32_t pixel);
  // The frames of the base, clipped to clip.
  void DrawRaisedBevel(const RECT& r, const RECT& clip);
  void DrawSunkenBevel(const RECT& r, const RECT& clip);
  void DrawInsetFrame(const RECT& r, const RECT& clip);
  void DrawTitleBand(const RECT& clip);
  // Frame by style: title band, inset, raised bevel (first match wins).
  void DrawFrame(const RECT& clip);
  // An arrow glyph (1 up, 2 right, 3 down, 4 left) inside r.
  void DrawArrow(int arrow, const RECT& r, const RECT& clip, std::uint32_t pixel);
  // Draws the image unscaled with its top-left at (x, y), within clip.
  void DrawImageAt(ssImage* image, int x, int y, const RECT& clip, int flag);
  // Text at (x, y) within box ∩ clip.
  void DrawCaption(const wchar_t* text, int x, int y, std::uint32_t colour, std::uint32_t back, std::uint32_t shadow,
                   bool opaque, bool withShadow, const RECT& box, const RECT& clip, bool wrap = false,
                   bool centre = false);
  // The client area (screen rectangle inset by the border) in screen pixels.
  RECT ClientScreenRect();
  void PaintChildren(const RECT& dirty);
  // Resets the dirty rectangle to the inverted screen rectangle.
  void ResetDirty();
  // Measures a text in the window's font (no wrap).
  void Measure(const wchar_t* text, int* width, int* height);

  ssDisplay* m_Device = nullptr;
  std::uint32_t m_BorderUnit = 4;
  int m_Kind = ui::kKindWindow;
  Wnd* m_Parent = nullptr;
  RECT m_Position{};
  RECT m_ScreenRect{};
  int m_TextX = 0;
  int m_TextY = 0;
  int m_BorderX = 0;
  int m_BorderY = 0;
  RECT m_DirtyRect{};
  std::uint8_t m_DirtyFlag = 1;
  wchar_t m_Caption[kCaptionChars]{};
  std::uint32_t m_Style = 0;
  std::uint32_t m_Flags = 0;
  int m_Id = 0;
  std::uint32_t m_Spare = 0;
  std::vector<std::unique_ptr<Wnd>> m_Children;
  Wnd* m_Focused = nullptr;
  Wnd* m_Capture = nullptr;
  std::uint8_t m_HasFocus = 0;
  Wnd* m_Right = nullptr;
  Wnd* m_Left = nullptr;
  Wnd* m_Up = nullptr;
  Wnd* m_Down = nullptr;
  ssFont* m_Font = nullptr;
  ssImage* m_Image = nullptr;
  ssImage* m_Image2 = nullptr;
  // Colours as 0xRRGGBB until Create packs them, device pixels after.
  std::uint32_t m_ColourA = 0x000000;
  std::uint32_t m_ColourB = 0xD3D3D3;
  std::uint32_t m_ColourC = 0x000000;
  std::uint32_t m_ColourD = 0x00006B;
  std::uint32_t m_Bevel[5] = {0xFFFFFF, 0xE0E0E0, 0xD3D3D3, 0x7F7F7F, 0x3F3F3F};
};

namespace ui {

// Rectangle helpers (right and bottom exclusive).
inline bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
// The intersection; false (and an empty rectangle) when they do not overlap.
bool Intersect(RECT& out, const RECT& a, const RECT& b);
RECT Union(const RECT& a, const RECT& b);
inline RECT Offset(const RECT& r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
inline RECT Inflate(const RECT& r, int d) { return RECT{r.left - d, r.top - d, r.right + d, r.bottom + d}; }

}  // namespace ui

namespace ui {
// A text a widget is about to draw: at (x, y) in screen pixels, in `box`
// (what it must not leave, or be cut), laid out in lines when `wrap`.
struct DrawnText {
  const Wnd* owner = nullptr;
  ssFont* font = nullptr;
  const wchar_t* text = nullptr;
  int x = 0, y = 0;
  RECT box{};
  bool wrap = false;
  bool shadow = false;  // drawn once more below and to the right
  bool centre = false;  // each line of a wrapped text centred in the box
};
// Told of every text the widgets draw, so tests can check that none is cut;
// nothing is installed by default.
using TextProbe = void (*)(const DrawnText& text);
void SetTextProbe(TextProbe probe);
void ProbeText(const DrawnText& text);

// The logical size of a picture (stored turned for the screen).
POINT ImageSize(const ssDisplay* device, const ssImage* image);
// A filled triangle whichever way its corners run.
void FillTriangle(ssDisplay* device, const int x[3], const int y[3], std::uint32_t pixel);
}  // namespace ui
