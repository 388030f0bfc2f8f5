#include "controls/scroll_bar.h"

#include <algorithm>

#include "controls/edit_and_lists.h"

namespace ce::controls::detail {
namespace {

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

void Scroll(HWND control, WORD code, int position) {
  SendMessageW(control, WM_VSCROLL, MAKEWPARAM(code, static_cast<WORD>(position)), 0);
}

// A small triangle pointing up or down, centred in the box.
void Arrow(HDC dc, const RECT& box, bool up, COLORREF ink) {
  const int cx = (box.left + box.right) / 2;
  const int rows = std::max(2, static_cast<int>(box.right - box.left) / 4);
  const int top = (box.top + box.bottom - rows) / 2;
  for (int i = 0; i < rows; ++i) {
    const int half = up ? i : rows - 1 - i;
    FillSolid(dc, RECT{cx - half, top + i, cx + half + 1, top + i + 1}, ink);
  }
}

}  // namespace

int VScrollBar::Width() { return GetSystemMetrics(SM_CXVSCROLL); }

void VScrollBar::Layout(const RECT& bar, int pos, int page, int total) {
  bar_ = bar;
  page_ = std::max(1, page);
  total_ = std::max(0, total);
  pos_ = std::clamp(pos, 0, std::max(0, total_ - page_));
  const int width = bar.right - bar.left;
  const int arrow = std::min(width, static_cast<int>(bar.bottom - bar.top) / 2);
  up_ = RECT{bar.left, bar.top, bar.right, bar.top + arrow};
  down_ = RECT{bar.left, bar.bottom - arrow, bar.right, bar.bottom};
  const int track = std::max(0, static_cast<int>(down_.top - up_.bottom));
  if (total_ <= page_) {
    thumb_ = RECT{bar.left, up_.bottom, bar.right, down_.top};
    return;
  }
  const int length = std::clamp(track * page_ / total_, std::min(track, width / 2 + 4), track);
  const int travel = track - length;
  const int top = up_.bottom + static_cast<int>(static_cast<long long>(travel) * pos_ / (total_ - page_));
  thumb_ = RECT{bar.left, top, bar.right, top + length};
}

void VScrollBar::Draw(HDC dc, bool enabled) const {
  if (bar_.right <= bar_.left || bar_.bottom <= bar_.top) return;
  const COLORREF face = FaceColor();
  const COLORREF ink = enabled && total_ > page_ ? TextColor() : GrayTextColor();
  FillSolid(dc, bar_, GetSysColor(COLOR_SCROLLBAR));
  for (const RECT* box : {&up_, &down_}) {
    FillSolid(dc, *box, face);
    FrameSolid(dc, *box, FrameColor());
  }
  Arrow(dc, up_, true, ink);
  Arrow(dc, down_, false, ink);
  if (total_ > page_) {
    FillSolid(dc, thumb_, face);
    FrameSolid(dc, thumb_, FrameColor());
  }
  // A line between the bar and the control's content.
  FillSolid(dc, RECT{bar_.left, bar_.top, bar_.left + 1, bar_.bottom}, FrameColor());
}

bool VScrollBar::Contains(POINT p) const { return Inside(bar_, p); }

int VScrollBar::PositionAt(int y) const {
  const int track = static_cast<int>(down_.top - up_.bottom);
  const int travel = track - static_cast<int>(thumb_.bottom - thumb_.top);
  if (travel <= 0 || total_ <= page_) return 0;
  const int offset = std::clamp(y - grab_ - static_cast<int>(up_.bottom), 0, travel);
  return (offset * (total_ - page_) + travel / 2) / travel;
}

bool VScrollBar::Press(HWND control, POINT p) {
  if (!Contains(p)) return false;
  if (total_ <= page_) return true;
  if (Inside(up_, p)) {
    Scroll(control, SB_LINEUP, 0);
  } else if (Inside(down_, p)) {
    Scroll(control, SB_LINEDOWN, 0);
  } else if (p.y < thumb_.top) {
    Scroll(control, SB_PAGEUP, 0);
  } else if (p.y >= thumb_.bottom) {
    Scroll(control, SB_PAGEDOWN, 0);
  } else {
    grab_ = p.y - thumb_.top;
    tracked_ = pos_;
  }
  return true;
}

void VScrollBar::Drag(HWND control, POINT p) {
  if (grab_ < 0) return;
  tracked_ = PositionAt(p.y);
  Scroll(control, SB_THUMBTRACK, tracked_);
}

void VScrollBar::Release(HWND control) {
  if (grab_ < 0) return;
  grab_ = -1;
  Scroll(control, SB_THUMBPOSITION, tracked_);
  Scroll(control, SB_ENDSCROLL, 0);
}

int ScrolledTo(WORD code, int thumb, int current, int page, int last) {
  int to = current;
  switch (code) {
    case SB_LINEUP:
      to = current - 1;
      break;
    case SB_LINEDOWN:
      to = current + 1;
      break;
    case SB_PAGEUP:
      to = current - std::max(1, page);
      break;
    case SB_PAGEDOWN:
      to = current + std::max(1, page);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      to = thumb;
      break;
    case SB_TOP:
      to = 0;
      break;
    case SB_BOTTOM:
      to = last;
      break;
    default:
      break;
  }
  return std::clamp(to, 0, std::max(0, last));
}

}  // namespace ce::controls::detail
