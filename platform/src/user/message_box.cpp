#include "user/message_box.h"

#include <algorithm>

#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "user/input.h"

namespace ce::user {
namespace {

constexpr COLORREF kFrame = RGB(0, 0, 0);
constexpr COLORREF kBody = RGB(255, 255, 255);
constexpr COLORREF kCaptionBar = RGB(0, 0, 128);
constexpr COLORREF kCaptionText = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kButton = RGB(212, 208, 200);
constexpr COLORREF kFocus = RGB(0, 0, 128);

const wchar_t* LabelOf(int id) {
  switch (id) {
    case IDOK:
      return L"OK";
    case IDCANCEL:
      return L"Cancel";
    case IDABORT:
      return L"Abort";
    case IDRETRY:
      return L"Retry";
    case IDIGNORE:
      return L"Ignore";
    case IDYES:
      return L"Yes";
    default:
      return L"No";
  }
}

// The screen DC with the box's fonts, sized for the screen's density.
class Painter {
 public:
  Painter() : dc_(GetDC(nullptr)) {
    dpi_ = std::max(1, GetDeviceCaps(dc_, LOGPIXELSY));
    width_ = GetDeviceCaps(dc_, HORZRES);
    height_ = GetDeviceCaps(dc_, VERTRES);
    body_ = CreateFontW(-Px(12), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    bold_ = CreateFontW(-Px(12), 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    oldFont_ = SelectObject(dc_, body_);
  }
  ~Painter() {
    SelectObject(dc_, oldFont_);
    DeleteObject(body_);
    DeleteObject(bold_);
    ReleaseDC(nullptr, dc_);
  }
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  int Px(int at96) const { return std::max(1, (at96 * dpi_ + 48) / 96); }
  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }

  void Fill(const RECT& r, COLORREF color) const {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
  }
  // Measures (DT_CALCRECT) or draws text in one of the fonts.
  int Text(const std::wstring& text, RECT& r, UINT format, COLORREF color, bool bold) const {
    SelectObject(dc_, bold ? bold_ : body_);
    SetTextColor(dc_, color);
    SetBkMode(dc_, TRANSPARENT);
    return DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
  }

 private:
  HDC dc_;
  int dpi_ = 96;
  int width_ = 0;
  int height_ = 0;
  HFONT body_ = nullptr;
  HFONT bold_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
};

MessageBoxLayout Layout(const Painter& p, const std::wstring& text, const std::vector<int>& buttons) {
  MessageBoxLayout layout;
  const int margin = p.Px(8);
  const int pad = p.Px(6);
  const int width = std::max(p.Px(40), std::min(p.width() - 2 * margin, p.Px(300)));
  RECT line{0, 0, 1, 1};
  const int lineHeight = p.Text(L"Ag", line, DT_CALCRECT | DT_SINGLELINE, kText, true);
  const int captionHeight = lineHeight + 2 * pad;
  const int buttonHeight = lineHeight + p.Px(10);
  RECT measured{0, 0, width - 2 * pad, 0};
  int textHeight = text.empty() ? 0 : p.Text(text, measured, DT_CALCRECT | DT_WORDBREAK, kText, false);
  // A text taller than the screen allows is cut at the box's bottom.
  const int most = p.height() - 2 * margin - captionHeight - buttonHeight - 3 * pad;
  textHeight = std::max(0, std::min(textHeight, most));
  const int height = captionHeight + pad + textHeight + pad + buttonHeight + pad;
  const int left = (p.width() - width) / 2;
  const int top = std::max(0, (p.height() - height) / 2);
  layout.frame = RECT{left, top, left + width, top + height};
  layout.caption = RECT{left + 1, top + 1, left + width - 1, top + captionHeight};
  layout.text = RECT{left + pad, top + captionHeight + pad, left + width - pad, top + captionHeight + pad + textHeight};
  int buttonWidth = p.Px(60);
  for (int id : buttons) {
    RECT r{0, 0, 1, 1};
    p.Text(LabelOf(id), r, DT_CALCRECT | DT_SINGLELINE, kText, false);
    buttonWidth = std::max<int>(buttonWidth, r.right + p.Px(16));
  }
  const int count = static_cast<int>(buttons.size());
  const int room = width - 2 * pad;
  if (count * buttonWidth + (count - 1) * pad > room) buttonWidth = std::max(1, (room - (count - 1) * pad) / count);
  const int row = count * buttonWidth + (count - 1) * pad;
  int x = left + (width - row) / 2;
  const int y = layout.frame.bottom - pad - buttonHeight;
  for (int i = 0; i < count; ++i) {
    layout.buttons.push_back(RECT{x, y, x + buttonWidth, y + buttonHeight});
    x += buttonWidth + pad;
  }
  return layout;
}

void DrawButton(const Painter& p, const RECT& r, int id, bool focused) {
  p.Fill(r, kFrame);
  const RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  p.Fill(inner, focused ? kFocus : kButton);
  RECT label = inner;
  p.Text(LabelOf(id), label, DT_CENTER | DT_VCENTER | DT_SINGLELINE, focused ? kCaptionText : kText, false);
}

void DrawBox(const Painter& p, const MessageBoxLayout& layout, const std::wstring& caption, const std::wstring& text,
             const std::vector<int>& buttons, std::size_t focus) {
  p.Fill(layout.frame, kFrame);
  const RECT body{layout.frame.left + 1, layout.frame.top + 1, layout.frame.right - 1, layout.frame.bottom - 1};
  p.Fill(body, kBody);
  p.Fill(layout.caption, kCaptionBar);
  RECT captionText{layout.caption.left + p.Px(6), layout.caption.top, layout.caption.right - p.Px(6),
                   layout.caption.bottom};
  p.Text(caption, captionText, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, kCaptionText, true);
  RECT textRect = layout.text;
  p.Text(text, textRect, DT_LEFT | DT_WORDBREAK, kText, false);
  for (std::size_t i = 0; i < buttons.size(); ++i) DrawButton(p, layout.buttons[i], buttons[i], i == focus);
}

int HitButton(const MessageBoxLayout& layout, POINT pt) {
  for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
    const RECT& r = layout.buttons[i];
    if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

// What covered the box's place on the screen, put back when it goes.
class SavedArea {
 public:
  SavedArea(HDC screen, const RECT& r) : screen_(screen), r_(r) {
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    old_ = SelectObject(dc_, bitmap_);
    BitBlt(dc_, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
  }
  ~SavedArea() {
    BitBlt(screen_, r_.left, r_.top, r_.right - r_.left, r_.bottom - r_.top, dc_, 0, 0, SRCCOPY);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  SavedArea(const SavedArea&) = delete;
  SavedArea& operator=(const SavedArea&) = delete;

 private:
  HDC screen_;
  RECT r_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

MessageBoxLayout LayoutMessageBox(const std::wstring& text, const std::vector<int>& buttons) {
  Painter p;
  return Layout(p, text, buttons);
}

int RunMessageBox(const std::wstring& caption, const std::wstring& text, const std::vector<int>& buttons,
                  std::size_t defaultIndex, backend::InputSource& input) {
  const std::size_t count = buttons.size();
  std::size_t focus = defaultIndex < count ? defaultIndex : 0;
  const auto has = [&](int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); };
  // Back answers Cancel where there is one, and a lone OK.
  const int back = has(IDCANCEL) ? IDCANCEL : count == 1 ? buttons[0] : 0;
  // The program is ending (its modal loops unwinding): no one answers.
  if (Unwinding()) return back != 0 ? back : buttons[focus];
  Painter p;
  const MessageBoxLayout layout = Layout(p, text, buttons);
  int answer = 0;
  bool quit = false;
  {
    SavedArea saved(p.dc(), layout.frame);
    DrawBox(p, layout, caption, text, buttons, focus);
    int pressed = -1;
    while (answer == 0) {
      backend::InputEvent event;
      if (!input.Poll(event)) {
        input.Wait(backend::kWaitForever);
        continue;
      }
      const std::size_t before = focus;
      switch (event.kind) {
        case backend::InputKind::PenDown:
          pressed = HitButton(layout, event.pen);
          if (pressed >= 0) focus = static_cast<std::size_t>(pressed);
          break;
        case backend::InputKind::PenUp:
          if (pressed >= 0 && HitButton(layout, event.pen) == pressed)
            answer = buttons[static_cast<std::size_t>(pressed)];
          pressed = -1;
          break;
        case backend::InputKind::KeyDown:
          switch (event.key) {
            case VK_LEFT:
            case VK_UP:
              focus = (focus + count - 1) % count;
              break;
            case VK_RIGHT:
            case VK_DOWN:
            case VK_TAB:
              focus = (focus + 1) % count;
              break;
            case VK_RETURN:
            case VK_SPACE:
              answer = buttons[focus];
              break;
            case VK_ESCAPE:
              answer = back;
              break;
            case VK_F1:  // the soft keys
              answer = buttons.front();
              break;
            case VK_F2:
              answer = buttons.back();
              break;
            default:
              break;
          }
          break;
        case backend::InputKind::Quit:
          // The program is asked to end: the box goes as if cancelled and
          // the request is passed on.
          quit = true;
          answer = back != 0 ? back : buttons[focus];
          break;
        default:
          break;
      }
      if (answer == 0 && focus != before) {
        DrawButton(p, layout.buttons[before], buttons[before], false);
        DrawButton(p, layout.buttons[focus], buttons[focus], true);
      }
    }
  }
  if (quit) {
    backend::InputEvent event;
    event.kind = backend::InputKind::Quit;
    input.Inject(event);
  }
  return answer;
}

}  // namespace ce::user
