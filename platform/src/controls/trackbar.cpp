// The trackbar: a thumb on a channel across the window (down it with
// TBS_VERT), moved by the keys and the pen. Every move tells the parent with
// WM_HSCROLL / WM_VSCROLL and a TB_ code; the key's release or the pen's lift
// ends with TB_ENDTRACK.
#include <algorithm>

#include "ce/commctrl.h"
#include "controls/edit_and_lists.h"
#include "kernel/not_implemented.h"

namespace ce::controls::detail {
namespace {

constexpr int kThumbHalf = 5;  // the thumb is 2 * kThumbHalf across the channel's run
constexpr int kChannel = 4;    // the channel's thickness

class Trackbar {
 public:
  explicit Trackbar(HWND hwnd) : hwnd_(hwnd) {}
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool vertical() const { return (StyleOf(hwnd_) & TBS_VERT) != 0; }
  int Clamp(long long pos) const { return static_cast<int>(std::clamp<long long>(pos, min_, std::max(min_, max_))); }
  // Where the channel runs: its first and last pixel along the window.
  std::pair<int, int> Run() const;
  int PixelOf(int pos) const;
  int PosAt(int pixel) const;
  RECT ThumbRect() const;
  void SetPos(long long pos) {
    const int to = Clamp(pos);
    if (to != pos_) InvalidateRect(hwnd_, nullptr, FALSE);
    pos_ = to;
  }
  void Tell(WORD code) const;
  // Moves by the user's action and tells the parent.
  void UserMove(long long to, WORD code) {
    SetPos(to);
    Tell(code);
  }
  bool OnKey(int key);
  void Paint();

  HWND hwnd_;
  int min_ = 0;
  int max_ = 100;
  int pos_ = 0;
  int line_ = 1;
  int page_ = 20;
  int ticFreq_ = 1;
  bool focused_ = false;
  bool dragging_ = false;
  bool paging_ = false;
};

std::pair<int, int> Trackbar::Run() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int length = vertical() ? client.bottom - client.top : client.right - client.left;
  const int first = kThumbHalf;
  const int last = std::max(first, length - kThumbHalf - 1);
  return {first, last};
}

int Trackbar::PixelOf(int pos) const {
  const auto [first, last] = Run();
  const long long span = static_cast<long long>(max_) - min_;
  if (span <= 0) return first;
  return first + static_cast<int>((static_cast<long long>(pos) - min_) * (last - first) / span);
}

int Trackbar::PosAt(int pixel) const {
  const auto [first, last] = Run();
  const long long span = static_cast<long long>(max_) - min_;
  if (span <= 0 || last == first) return min_;
  const long long offset = std::clamp(pixel, first, last) - first;
  // To the nearest position.
  return Clamp(min_ + (offset * span + (last - first) / 2) / (last - first));
}

RECT Trackbar::ThumbRect() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int at = PixelOf(pos_);
  if (vertical()) return RECT{client.left + 2, at - kThumbHalf, client.right - 2, at + kThumbHalf + 1};
  return RECT{at - kThumbHalf, client.top + 2, at + kThumbHalf + 1, client.bottom - 2};
}

void Trackbar::Tell(WORD code) const {
  HWND parent = GetParent(hwnd_);
  if (!parent) return;
  const bool withPos = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
  SendMessageW(parent, vertical() ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, withPos ? static_cast<WORD>(pos_) : 0),
               reinterpret_cast<LPARAM>(hwnd_));
}

bool Trackbar::OnKey(int key) {
  switch (key) {
    case VK_LEFT:
    case VK_UP:
      UserMove(static_cast<long long>(pos_) - line_, TB_LINEUP);
      return true;
    case VK_RIGHT:
    case VK_DOWN:
      UserMove(static_cast<long long>(pos_) + line_, TB_LINEDOWN);
      return true;
    case VK_PRIOR:
      UserMove(static_cast<long long>(pos_) - page_, TB_PAGEUP);
      return true;
    case VK_NEXT:
      UserMove(static_cast<long long>(pos_) + page_, TB_PAGEDOWN);
      return true;
    case VK_HOME:
      UserMove(min_, TB_TOP);
      return true;
    case VK_END:
      UserMove(max_, TB_BOTTOM);
      return true;
    default:
      return false;
  }
}

void Trackbar::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  const DWORD style = StyleOf(hwnd_);
  const bool enabled = IsWindowEnabled(hwnd_) != FALSE;
  FillSolid(dc, client, FaceColor());
  const auto [first, last] = Run();
  const int middle = vertical() ? (client.left + client.right) / 2 : (client.top + client.bottom) / 2;
  const RECT channel = vertical() ? RECT{middle - kChannel / 2, first, middle + kChannel / 2, last + 1}
                                  : RECT{first, middle - kChannel / 2, last + 1, middle + kChannel / 2};
  FillSolid(dc, channel, WindowColor());
  FrameSolid(dc, channel, GetSysColor(COLOR_BTNSHADOW));
  if ((style & TBS_AUTOTICKS) && !(style & TBS_NOTICKS) && ticFreq_ > 0) {
    const int edge = vertical() ? client.right - 3 : client.bottom - 3;
    // No more ticks than the channel has pixels.
    const long long pixels = std::max(1, last - first + 1);
    const long long step = std::max<long long>(ticFreq_, (static_cast<long long>(max_) - min_) / pixels);
    for (long long pos = min_; pos <= max_; pos += step) {
      const int at = PixelOf(static_cast<int>(pos));
      const RECT tick = vertical() ? RECT{edge, at, edge + 2, at + 1} : RECT{at, edge, at + 1, edge + 2};
      FillSolid(dc, tick, TextColor());
    }
  }
  if (!(style & TBS_NOTHUMB)) {
    const RECT thumb = ThumbRect();
    FillSolid(dc, thumb, dragging_ ? HighlightColor() : FaceColor());
    FrameSolid(dc, thumb, enabled ? (focused_ ? TextColor() : GetSysColor(COLOR_BTNSHADOW)) : GrayTextColor());
  }
  EndPaint(hwnd_, &ps);
}

LRESULT Trackbar::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
    case WM_ENABLE:
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      focused_ = message == WM_SETFOCUS;
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      if (OnKey(static_cast<int>(wParam))) return 0;
      break;
    case WM_KEYUP:
      switch (static_cast<int>(wParam)) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
          Tell(TB_ENDTRACK);
          return 0;
        default:
          break;
      }
      break;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != hwnd_) SetFocus(hwnd_);
      const POINT at{XOf(lParam), YOf(lParam)};
      const RECT thumb = ThumbRect();
      if (at.x >= thumb.left && at.x < thumb.right && at.y >= thumb.top && at.y < thumb.bottom) {
        dragging_ = true;
        InvalidateRect(hwnd_, nullptr, FALSE);
      } else {
        // A tap beside the thumb goes a page towards the tap.
        const bool before = (vertical() ? at.y : at.x) < PixelOf(pos_);
        UserMove(static_cast<long long>(pos_) + (before ? -page_ : page_), before ? TB_PAGEUP : TB_PAGEDOWN);
        paging_ = true;
      }
      SetCapture(hwnd_);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_) {
        const int to = PosAt(vertical() ? YOf(lParam) : XOf(lParam));
        if (to != pos_) UserMove(to, TB_THUMBTRACK);
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragging_ || paging_) {
        if (dragging_) Tell(TB_THUMBPOSITION);
        dragging_ = paging_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
        if (GetCapture() == hwnd_) ReleaseCapture();
        Tell(TB_ENDTRACK);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (dragging_ || paging_) {
        dragging_ = paging_ = false;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return 0;
    case TBM_GETPOS:
      return pos_;
    case TBM_GETRANGEMIN:
      return min_;
    case TBM_GETRANGEMAX:
      return max_;
    case TBM_SETPOS:
      SetPos(static_cast<int>(lParam));
      return 0;
    case TBM_SETRANGE:
      min_ = static_cast<short>(LOWORD(lParam));
      max_ = static_cast<short>(HIWORD(lParam));
      SetPos(pos_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case TBM_SETRANGEMIN:
      min_ = static_cast<int>(lParam);
      SetPos(pos_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case TBM_SETRANGEMAX:
      max_ = static_cast<int>(lParam);
      SetPos(pos_);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case TBM_CLEARTICS:
      // Only the automatic ticks are drawn: there are no others to clear.
      return 0;
    case TBM_SETTICFREQ:
      ticFreq_ = static_cast<int>(wParam);
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case TBM_SETPAGESIZE: {
      const int old = page_;
      page_ = static_cast<int>(lParam);
      return old;
    }
    case TBM_GETPAGESIZE:
      return page_;
    case TBM_SETLINESIZE: {
      const int old = line_;
      line_ = static_cast<int>(lParam);
      return old;
    }
    case TBM_GETLINESIZE:
      return line_;
    default:
      if (message >= TBM_GETPOS && message <= TBM_LAST) {
        ce::kernel::NotImplemented("trackbar message");
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new Trackbar(hwnd)));
    return 0;
  }
  return ForwardToState<Trackbar>(hwnd, message, wParam, lParam);
}

}  // namespace ce::controls::detail
