// The progress bar: a frame filled from its start in proportion to the
// position within the range, in the highlight colour on the face colour.
#include <algorithm>

#include "ce/commctrl.h"
#include "controls/edit_and_lists.h"
#include "kernel/not_implemented.h"

namespace ce::controls::detail {
namespace {

class Progress {
 public:
  explicit Progress(HWND hwnd) : hwnd_(hwnd) {}
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  int Lowest() const { return std::min(low_, high_); }
  int Highest() const { return std::max(low_, high_); }
  // Sets the position (kept in the range); the old one.
  int Move(long long to) {
    const int old = pos_;
    pos_ = static_cast<int>(std::clamp<long long>(to, Lowest(), Highest()));
    if (pos_ != old) InvalidateRect(hwnd_, nullptr, FALSE);
    return old;
  }
  void SetRange(int low, int high) {
    low_ = low;
    high_ = high;
    Move(pos_);
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  void Paint();

  HWND hwnd_;
  int low_ = 0;
  int high_ = 100;
  int pos_ = 0;
  int step_ = 10;
};

void Progress::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillSolid(dc, client, FaceColor());
  FrameSolid(dc, client, GetSysColor(COLOR_BTNSHADOW));
  RECT inner{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  const long long span = static_cast<long long>(Highest()) - Lowest();
  if (span > 0 && inner.right > inner.left && inner.bottom > inner.top) {
    const long long done = static_cast<long long>(pos_) - Lowest();
    if (StyleOf(hwnd_) & PBS_VERTICAL) {
      inner.top = inner.bottom - static_cast<LONG>(done * (inner.bottom - inner.top) / span);
    } else {
      inner.right = inner.left + static_cast<LONG>(done * (inner.right - inner.left) / span);
    }
    if (inner.right > inner.left && inner.bottom > inner.top) FillSolid(dc, inner, HighlightColor());
  }
  EndPaint(hwnd_, &ps);
}

LRESULT Progress::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case PBM_SETRANGE: {
      const LRESULT old =
          static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(static_cast<WORD>(low_), static_cast<WORD>(high_))));
      SetRange(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return old;
    }
    case PBM_SETRANGE32: {
      const LRESULT old =
          static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(static_cast<WORD>(low_), static_cast<WORD>(high_))));
      SetRange(static_cast<int>(wParam), static_cast<int>(lParam));
      return old;
    }
    case PBM_GETRANGE:
      if (lParam) *reinterpret_cast<PBRANGE*>(lParam) = PBRANGE{low_, high_};
      return wParam ? low_ : high_;
    case PBM_SETPOS:
      return Move(static_cast<int>(wParam));
    case PBM_DELTAPOS:
      return Move(static_cast<long long>(pos_) + static_cast<int>(wParam));
    case PBM_SETSTEP: {
      const int old = step_;
      step_ = static_cast<int>(wParam);
      return old;
    }
    case PBM_STEPIT: {
      long long to = static_cast<long long>(pos_) + step_;
      // Past either end it starts again from the other.
      const long long span = static_cast<long long>(Highest()) - Lowest();
      if (span > 0 && to > Highest()) to = Lowest() + (to - Highest()) % span;
      if (span > 0 && to < Lowest()) to = Highest() - (Lowest() - to) % span;
      return Move(to);
    }
    case PBM_GETPOS:
      return pos_;
    default:
      if (message >= PBM_SETRANGE && message <= PBM_LAST) {
        ce::kernel::NotImplemented("progress bar message");
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(new Progress(hwnd)));
    return 0;
  }
  return ForwardToState<Progress>(hwnd, message, wParam, lParam);
}

}  // namespace ce::controls::detail
