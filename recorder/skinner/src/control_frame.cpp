#include "skinner/control_frame.h"

#include <algorithm>

#include "skinner/control_button.h"

namespace skinner {

namespace {

// The font a frame falls back to: the form's default font text.
FontDesc default_frame_font(const Control& control) {
  const Properties* properties = control.get_properties();
  const double scale = properties != nullptr && properties->get() != nullptr ? properties->get()->get_scale() : 1.0;
  FontDesc font(scale);
  font.parse(L"32 0 0 0 Tahoma");
  return font;
}

}  // namespace

ControlFrame::ControlFrame(Container& container, const std::wstring& name, NamingMode mode)
    : Control(container, name, mode) {
  set_want_focus(false);
  load_frame();
}

Point ControlFrame::get_preferred_size() { return point_max(content_size_, Control::get_preferred_size()); }

void ControlFrame::load_properties() {
  Control::load_properties();
  load_frame();
}

void ControlFrame::load_frame() {
  border_min_ = read_scaled_point(L"BorderMin", Point{0, 0});
  border_max_ = read_scaled_point(L"BorderMax", border_min_);
  h_alignment_ = 1;
  v_alignment_ = 1;
  h_alignment_ = h_alignment_from_keyword(read_text(L"HAlignment", L""), h_alignment_);
  v_alignment_ = v_alignment_from_keyword(read_text(L"VAlignment", L""), v_alignment_);
  picture_ = read_picture(L"Normal", picture_);
  font_ = read_font(L"Normal", default_frame_font(*this));
  colour_ = read_colour(L"Normal", colour_);
  text_ = read_text(L"Text", text_);
  wrap_ = read_int(L"Wrap", 0) != 0;
  auto_size_ = read_int(L"AutoSize", 0) != 0;
  ellipsis_ = read_int(L"Ellipsis", 0) != 0;
  split_lines(text_);
}

void ControlFrame::set_text(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  split_lines(text_);
  invalidate();
}

void ControlFrame::split_lines(const std::wstring& text) {
  lines_.clear();
  if (!wrap_) {
    lines_.push_back(text);
  } else {
    const int wrap_width = get_skin_size().x - border_min_.x - border_max_.x;
    std::size_t start = 0;
    std::size_t last_break = std::wstring::npos;  // the line's last break opportunity
    auto too_wide = [&](std::size_t end) {
      return measure_text(font_, text.substr(start, end - start)).x > wrap_width;
    };
    // Breaks the line before its last opportunity when it has grown too
    // wide by `end`.
    auto wrap_before = [&](std::size_t end) {
      if (last_break != std::wstring::npos && too_wide(end)) {
        lines_.push_back(text.substr(start, last_break - start));
        start = last_break + 1;
        last_break = std::wstring::npos;
      }
    };
    std::size_t i = 0;
    while (i < text.size()) {
      const wchar_t c = text[i];
      if (c == L'\n') {
        lines_.push_back(text.substr(start, i - start));
        start = i + 1;
        last_break = std::wstring::npos;
        ++i;
        continue;
      }
      if (text.compare(i, break_marker_.size(), break_marker_) == 0) {
        lines_.push_back(text.substr(start, i - start));
        start = i + break_marker_.size();
        last_break = std::wstring::npos;
        i = start;
        continue;
      }
      if (c < 33) {
        wrap_before(i);
        last_break = i;
      }
      ++i;
    }
    wrap_before(text.size());
    lines_.push_back(text.substr(start));
  }
  content_size_ = {border_min_.x + border_max_.x, border_min_.y + border_max_.y};
  if (auto_size_) {
    int widest = 0;
    int total = 0;
    for (const auto& line : lines_) {
      const Point size = measure_text(font_, line);
      widest = std::max(widest, size.x);
      total += size.y;
    }
    content_size_.x += widest;
    content_size_.y += total;
  }
}

void ControlFrame::draw(Canvas& canvas, const Rect& clip) {
  const Rect r = get_rect();
  picture_.draw(canvas, r.position(), r.size());
  const int inner_width = r.width - border_min_.x - border_max_.x;
  if (lines_.size() == 1) {
    const Point origin{r.x + border_min_.x, r.y + border_min_.y};
    const Point size{inner_width, r.height - border_min_.y - border_max_.y};
    if (ellipsis_)
      layout_text(font_, canvas, colour_, lines_[0], origin, size, h_alignment_, v_alignment_);
    else
      draw_text(font_, canvas, colour_, lines_[0], origin, size, h_alignment_, v_alignment_);
  } else {
    std::vector<int> heights;
    int total = 0;
    for (const auto& line : lines_) {
      heights.push_back(measure_text(font_, line).y);
      total += heights.back();
    }
    int top = r.y + border_min_.y;
    if (v_alignment_ == 1) {
      const int half = (r.height - total) / 2;
      top = r.y + border_min_.y + (half < 1 ? 0 : half);
    } else if (v_alignment_ == 2) {
      top = r.y + r.height - border_max_.y - total;
    }
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const Point origin{r.x + border_min_.x, top};
      const Point size{inner_width, heights[i] - border_min_.y - border_max_.y};
      draw_text(font_, canvas, colour_, lines_[i], origin, size, h_alignment_, 1);
      top += heights[i];
    }
  }
  Control::draw(canvas, clip);
}

}  // namespace skinner
