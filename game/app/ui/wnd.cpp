// Wnd: creation, geometry, colours, fonts and images, focus, capture and
// pen routing of the widget base. Painting is in wnd_paint.cpp.
#include "ui/wnd.h"

#include <algorithm>
#include <cwchar>

#include "display/font.h"
#include "engine/image.h"

namespace ui {

namespace {
FeedbackHook g_Feedback = nullptr;
TextProbe g_TextProbe = nullptr;
}  // namespace

void SetFeedbackHook(FeedbackHook hook) { g_Feedback = hook; }
void SetTextProbe(TextProbe probe) { g_TextProbe = probe; }
void ProbeText(const DrawnText& text) {
  if (g_TextProbe != nullptr) g_TextProbe(text);
}

void Feedback(int code) {
  if (g_Feedback != nullptr) g_Feedback(code);
}

bool Intersect(RECT& out, const RECT& a, const RECT& b) {
  out =
      RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(out)) {
    out = RECT{};
    return false;
  }
  return true;
}

RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace ui

namespace ui {

RECT FracToScreen(const ssDisplay* d, const RECT& frac) {
  const std::int64_t w = ScreenWidth(d), h = ScreenHeight(d);
  auto scale = [](LONG v, std::int64_t size) { return static_cast<LONG>((static_cast<std::int64_t>(v) * size) >> 16); };
  const LONG left = scale(frac.left, w), top = scale(frac.top, h);
  return RECT{left, top, left + scale(frac.right - frac.left, w), top + scale(frac.bottom - frac.top, h)};
}

int ToFracX(const ssDisplay* d, int pixels) {
  const int w = ScreenWidth(d);
  return w > 0 ? static_cast<int>((static_cast<std::int64_t>(pixels) << 16) / w) : 0;
}

int ToFracY(const ssDisplay* d, int pixels) {
  const int h = ScreenHeight(d);
  return h > 0 ? static_cast<int>((static_cast<std::int64_t>(pixels) << 16) / h) : 0;
}

}  // namespace ui

Wnd::Wnd() = default;

Wnd::~Wnd() {
  m_Children.clear();
  if (m_Device != nullptr) {
    if (m_Font != nullptr) m_Device->ReleaseFont(m_Font);
    // Both images go back through the cache, so a shared picture's cache
    // entry leaves the cache when its last reference goes.
    if (m_Image != nullptr) m_Device->ReleaseTexture(m_Image);
    if (m_Image2 != nullptr) m_Device->ReleaseTexture(m_Image2);
  }
}

bool Wnd::Create(ssDisplay* device, Wnd* parent, const RECT& fracRect, const wchar_t* caption, int kind,
                 std::uint32_t style, std::uint32_t flags, int id, std::uint32_t spare) {
  m_Device = device;
  m_Parent = parent;
  m_Kind = kind;
  if (device != nullptr) {
    m_Position = ui::FracToScreen(device, fracRect);
    m_BorderUnit = device->m_BorderUnit;
  }
  std::wcsncpy(m_Caption, caption != nullptr ? caption : L"", kCaptionChars - 1);
  m_Caption[kCaptionChars - 1] = 0;
  m_Style = style;
  m_Flags = flags;
  m_Id = id;
  m_Spare = spare;
  if (device != nullptr) m_Font = device->GetDefaultFont();
  if (parent != nullptr) {
    parent->AddChild(this);
    if (m_Font != nullptr) device->ReleaseFont(m_Font);
    m_Font = parent->GetFont();
  }
  if (device != nullptr) {
    m_ColourA = device->ColorToPixel(m_ColourA);
    m_ColourB = device->ColorToPixel(m_ColourB);
    m_ColourD = device->ColorToPixel(m_ColourD);
    m_ColourC = device->ColorToPixel(m_ColourC);
    for (std::uint32_t& c : m_Bevel) c = device->ColorToPixel(c);
  }
  Layout();
  return true;
}

std::uint32_t Wnd::ScaleColour(std::uint32_t pixel, float factor) {
  const bool rgb444 = m_Device != nullptr && m_Device->m_Depth == 12;
  std::uint32_t r, g, b;
  int rs, gs;
  if (rgb444) {
    r = (pixel >> 8) & 0xF;
    g = (pixel >> 4) & 0xF;
    b = pixel & 0xF;
    rs = 8;
    gs = 4;
  } else {
    r = (pixel >> 11) & 0x1F;
    g = (pixel >> 5) & 0x3F;
    b = pixel & 0x1F;
    rs = 11;
    gs = 5;
  }
  // Factors above 1 may carry a channel into its neighbour: no clamping.
  auto scale = [factor](std::uint32_t c) {
    const float v = static_cast<float>(c) * factor;
    if (!(v > 0.0f)) return 0u;
    return v >= 4294967040.0f ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
  };
  return (scale(r) << rs) | (scale(g) << gs) | scale(b);
}

void Wnd::Invalidate(int value) {
  m_DirtyRect = m_ScreenRect;
  m_DirtyFlag = static_cast<std::uint8_t>(value);
  if (m_Parent != nullptr) m_Parent->InvalidateRect(m_DirtyRect, value);
}

void Wnd::InvalidateRect(const RECT& rect, int value) {
  m_DirtyFlag = 1;
  m_DirtyRect = ui::Union(m_DirtyRect, rect);
  if (m_Parent != nullptr) m_Parent->InvalidateRect(m_DirtyRect, value);
}

int Wnd::Query() { return 1; }
int Wnd::Update() { return 1; }

void Wnd::ShowWindow(int code) {
  if (code == 0) {
    m_Style &= ~ui::kStyleVisible;
  } else if (code == 5) {
    m_Style |= ui::kStyleVisible;
  }
  Layout();
}

void Wnd::ClientToScreenRect(RECT& rect) {
  if (m_Parent != nullptr) m_Parent->ClientToScreenRect(rect);
  rect = ui::Offset(rect, m_Position.left + m_BorderX, m_Position.top + m_BorderY);
}

void Wnd::ClientToScreen(POINT& point) {
  if (m_Parent != nullptr) m_Parent->ClientToScreen(point);
  point.x += m_Position.left + m_BorderX;
  point.y += m_Position.top + m_BorderY;
}

void Wnd::ScreenToClientRect(RECT& rect) {
  if (m_Parent != nullptr) m_Parent->ScreenToClientRect(rect);
  rect = ui::Offset(rect, -(m_Position.left + m_BorderX), -(m_Position.top + m_BorderY));
}

void Wnd::ScreenToClient(POINT& point) {
  if (m_Parent != nullptr) m_Parent->ScreenToClient(point);
  point.x -= m_Position.left + m_BorderX;
  point.y -= m_Position.top + m_BorderY;
}

void Wnd::GetClientRect(RECT& out) {
  out = RECT{0, 0, (m_Position.right - m_Position.left) - 2 * m_BorderX,
             (m_Position.bottom - m_Position.top) - 2 * m_BorderY};
}

void Wnd::GetWindowRect(RECT& out) { out = m_Position; }

bool Wnd::IsVisible() { return (m_Style & ui::kStyleVisible) != 0; }

void Wnd::GetText(wchar_t* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) return;
  std::wcsncpy(out, m_Caption, capacity - 1);
  out[capacity - 1] = 0;
}

void Wnd::SetText(const wchar_t* text) {
  std::wcsncpy(m_Caption, text != nullptr ? text : L"", kCaptionChars - 1);
  m_Caption[kCaptionChars - 1] = 0;
  Layout();
}

ssFont* Wnd::GetFont() {
  if (m_Font != nullptr) m_Font->AddRef();
  return m_Font;
}

bool Wnd::SetFontByName(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  if (m_Device == nullptr) return false;
  ssFont* font = m_Device->GetFont(name, folder, archive);
  if (font == nullptr) return false;
  SetFont(font);
  return true;
}

void Wnd::SetFont(ssFont* font) {
  if (m_Font != nullptr && m_Device != nullptr) m_Device->ReleaseFont(m_Font);
  m_Font = font;
  Layout();
}

void Wnd::SetColourA(std::uint32_t rgb) { m_ColourA = m_Device != nullptr ? m_Device->ColorToPixel(rgb) : rgb; }
void Wnd::SetColourB(std::uint32_t rgb) { m_ColourB = m_Device != nullptr ? m_Device->ColorToPixel(rgb) : rgb; }
void Wnd::SetColourC(std::uint32_t rgb) { m_ColourC = m_Device != nullptr ? m_Device->ColorToPixel(rgb) : rgb; }
void Wnd::SetColourD(std::uint32_t rgb) { m_ColourD = m_Device != nullptr ? m_Device->ColorToPixel(rgb) : rgb; }

void Wnd::SetBevelColours(const std::uint32_t rgb[5]) {
  for (int i = 0; i < 5; ++i) m_Bevel[i] = m_Device != nullptr ? m_Device->ColorToPixel(rgb[i]) : rgb[i];
}

std::uint32_t Wnd::GetColourA() { return m_Device != nullptr ? m_Device->PixelToColor(m_ColourA) : m_ColourA; }
std::uint32_t Wnd::GetColourB() { return m_Device != nullptr ? m_Device->PixelToColor(m_ColourB) : m_ColourB; }
std::uint32_t Wnd::GetColourC() { return m_Device != nullptr ? m_Device->PixelToColor(m_ColourC) : m_ColourC; }
std::uint32_t Wnd::GetColourD() { return m_Device != nullptr ? m_Device->PixelToColor(m_ColourD) : m_ColourD; }

void Wnd::GetBevelColours(std::uint32_t out[5]) {
  for (int i = 0; i < 5; ++i) out[i] = m_Device != nullptr ? m_Device->PixelToColor(m_Bevel[i]) : m_Bevel[i];
}

void Wnd::CopyColours(Wnd* other) {
  if (other == nullptr) return;
  m_ColourA = other->m_ColourA;
  m_ColourB = other->m_ColourB;
  m_ColourC = other->m_ColourC;
  for (int i = 0; i < 5; ++i) m_Bevel[i] = other->m_Bevel[i];
  for (auto& child : m_Children) child->CopyColours(this);
  Layout();
}

void Wnd::CopyFont(Wnd* other) {
  if (other == nullptr) return;
  ssFont* font = other->GetFont();
  if (m_Font != nullptr && m_Device != nullptr) m_Device->ReleaseFont(m_Font);
  m_Font = font;
  for (auto& child : m_Children) child->CopyFont(this);
  Layout();
}

bool Wnd::SetImageByName(const wchar_t* name, const wchar_t* folder, const wchar_t* archive) {
  if (m_Device == nullptr) return false;
  ssImage* image = m_Device->GetTexture(name, folder, archive, 0, true, true);
  if (image == nullptr) return false;
  SetImage(image);
  return true;
}

void Wnd::SetImage(ssImage* image) {
  if (m_Image != nullptr && m_Device != nullptr) m_Device->ReleaseTexture(m_Image);
  m_Image = image;
  if (image != nullptr) {
    const POINT size = ui::ImageSize(m_Device, image);
    m_Position.right = m_Position.left + size.x;
    m_Position.bottom = m_Position.top + size.y;
  }
  Layout();
}

void Wnd::SetImage2(ssImage* image) {
  if (m_Image2 != nullptr && m_Device != nullptr) m_Device->ReleaseTexture(m_Image2);
  m_Image2 = image;
  Layout();
}

void Wnd::MoveWindow(int x, int y, int w, int h, bool update) {
  m_Position = RECT{x, y, x + w, y + h};
  Layout();
  for (auto& child : m_Children) {
    const RECT p = child->m_Position;
    child->MoveWindow(p.left, p.top, p.right - p.left, p.bottom - p.top, false);
  }
  Invalidate(0);
  if (update) Update();
}

int Wnd::FontHeight() const { return m_Font != nullptr ? m_Font->Height() : 0; }

void Wnd::Layout() {
  const int width = m_Position.right - m_Position.left;
  const int height = m_Position.bottom - m_Position.top;
  int offsetX = 0, offsetY = 0;
  if (m_Kind == ui::kKindWindow && (m_Style & ui::kStyleCentre) != 0) {
    int cw = 0, ch = 0;
    if (m_Parent != nullptr) {
      RECT client;
      m_Parent->GetClientRect(client);
      cw = client.right - client.left;
      ch = client.bottom - client.top;
    } else if (m_Device != nullptr) {
      cw = ui::ScreenWidth(m_Device);
      ch = ui::ScreenHeight(m_Device);
    }
    offsetX = (cw - width) / 2;
    offsetY = (ch - height) / 2;
  }
  const int unit = static_cast<int>(m_BorderUnit);
  m_BorderX = m_BorderY = 0;
  if ((m_Style & ui::kStyleInset) != 0) m_BorderX = m_BorderY = unit / 4;
  if ((m_Style & ui::kStyleTitle) == ui::kStyleTitle) m_BorderY += FontHeight() + 2 * unit;
  RECT r{0, 0, width, height};
  ClientToScreenRect(r);
  m_ScreenRect = ui::Offset(r, offsetX - m_BorderX, offsetY - m_BorderY);
  const int inset = (m_Style & ui::kStyleInset) != 0 ? 4 : 0;
  m_TextX = m_ScreenRect.left + FontHeight() / 4 + inset;
  m_TextY = m_ScreenRect.top + FontHeight() / 4 + inset;
  Invalidate(0);
}

int Wnd::OnPenMove(std::uint32_t buttons, LPARAM pos) {
  if ((buttons & 1) == 0) return 0;
  if (m_Capture != nullptr && m_Capture != this) return m_Capture->OnPenMove(buttons, pos);
  if (!HitTest(pos)) return 0;
  Wnd* previous = m_Focused;
  FocusAt(pos);
  if (m_Focused != nullptr) return m_Focused->OnPenMove(buttons, pos);
  // The pen slid off every child: the child it left still hears of it, so a
  // pressed button comes back up instead of staying pressed.
  if (previous != nullptr) previous->OnPenMove(buttons, pos);
  return 0;
}

int Wnd::OnPenDown(std::uint32_t buttons, LPARAM pos) {
  if (!HitTest(pos)) return 0;
  FocusAt(pos);
  return m_Focused != nullptr ? m_Focused->OnPenDown(buttons, pos) : 0;
}

int Wnd::OnPenUp(std::uint32_t buttons, LPARAM pos) {
  if (!HitTest(pos)) return 0;
  FocusAt(pos);
  return m_Focused != nullptr ? m_Focused->OnPenUp(buttons, pos) : 0;
}

LRESULT Wnd::WndProc(UINT message, WPARAM p1, LPARAM p2) {
  return m_Parent != nullptr ? m_Parent->WndProc(message, p1, p2) : 0;
}

void Wnd::SetCapture(Wnd* window) {
  m_Capture = window;
  if (m_Parent != nullptr) m_Parent->SetCapture(window);
}

int Wnd::ReleaseCapture() {
  m_Capture = nullptr;
  if (m_Parent != nullptr) m_Parent->ReleaseCapture();
  return 0;
}

bool Wnd::RemoveChild(Wnd* child) {
  auto it = std::find_if(m_Children.begin(), m_Children.end(), [child](const auto& c) { return c.get() == child; });
  if (it == m_Children.end() || child == nullptr) return false;
  // Links to the child from this window go with it.
  if (m_Focused == child) m_Focused = nullptr;
  if (m_Capture == child) m_Capture = nullptr;
  m_Children.erase(it);
  Invalidate(1);
  return true;
}

void Wnd::SetFocus(Wnd* previous) {
  m_HasFocus = 1;
  if (previous != nullptr) previous->KillFocus();
  for (auto& child : m_Children) child->SetFocus(nullptr);
  NotifyParent(ui::kNotifyFocus, 0);
  Invalidate(0);
}

void Wnd::KillFocus() {
  m_HasFocus = 0;
  for (auto& child : m_Children) child->KillFocus();
  Invalidate(0);
}

int Wnd::EndHook() { return 1; }

bool Wnd::HitTest(LPARAM pos) {
  const int x = ui::PosX(pos), y = ui::PosY(pos);
  return x >= m_ScreenRect.left && x <= m_ScreenRect.right && y >= m_ScreenRect.top && y <= m_ScreenRect.bottom;
}

int Wnd::Activate() {
  Invalidate(0);
  return 1;
}

void Wnd::FocusAt(LPARAM pos) {
  Wnd* previous = m_Focused;
  m_Focused = nullptr;
  for (auto& child : m_Children) {
    if (child->IsVisible() && child->HitTest(pos)) m_Focused = child.get();
  }
  if (m_Focused != nullptr && m_Focused != previous) m_Focused->SetFocus(previous);
}

void Wnd::AddChild(Wnd* child) {
  if (child != nullptr) m_Children.emplace_back(child);
}

Wnd* Wnd::Child(int index) const {
  return index >= 0 && index < ChildCount() ? m_Children[static_cast<std::size_t>(index)].get() : nullptr;
}

void Wnd::SetNeighbours(Wnd* up, Wnd* down, Wnd* left, Wnd* right) {
  m_Up = up;
  m_Down = down;
  m_Left = left;
  m_Right = right;
}

Wnd* Wnd::Neighbour(Direction direction) const {
  switch (direction) {
    case kUp:
      return m_Up;
    case kDown:
      return m_Down;
    case kLeft:
      return m_Left;
    case kRight:
      return m_Right;
  }
  return nullptr;
}

LRESULT Wnd::NotifyParent(int code, LPARAM p2) {
  return m_Parent != nullptr ? m_Parent->WndProc(ui::kMsgCommand, ui::MakeCommand(m_Id, code), p2) : 0;
}

void Wnd::Measure(const wchar_t* text, int* width, int* height) {
  int w = 0, h = 0;
  if (m_Device != nullptr && m_Font != nullptr) m_Device->MeasureText(m_Font, text, &w, &h, false);
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
}
