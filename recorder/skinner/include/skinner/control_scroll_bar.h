// The skinned scroll bar: five buttons inside a panel (a step button at each
// end, a page area on each side of the thumb, and the thumb) over an integer
// position between a minimum and a maximum with a page size; and the panel
// that shows a vertical and a horizontal bar only when its content does not
// fit.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "skinner/control_button.h"
#include "skinner/control_panel.h"

namespace skinner {

class ControlScrollBar : public ControlPanel {
 public:
  enum Part { kMin = 0, kMax = 1, kSpaceBefore = 2, kSpaceAfter = 3, kThumb = 4 };

  class Button : public ControlButton {
   public:
    Button(ControlScrollBar& owner, Container& container, const std::wstring& kind, Part part);

    void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
    void on_pointer_up(PointerKind kind, Point point, bool double_tap) override;
    void on_pointer_move(Point point) override;
    void on_control_timer() override;

    Part get_part() const { return part_; }

   private:
    ControlScrollBar& owner_;
    Part part_;
    Point grab_;
    double repeat_interval_ = 0.1;
    int countdown_ = 0;
  };

  ControlScrollBar(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlScrollBar() override;

  virtual void raise_scroll() { on_scroll(this); }

  bool set_rect(Point position, Point size) override;
  void load_properties() override;

  void set_value(std::int32_t value);
  void set_range(std::int32_t minimum, std::int32_t maximum);
  void set_page(std::int32_t page);
  std::int32_t get_page() const { return page_; }
  std::int32_t get_value() const { return value_; }
  std::int32_t get_minimum() const { return minimum_; }
  std::int32_t get_maximum() const { return maximum_; }
  bool is_vertical() const { return vertical_; }
  Button& get_button(Part part) const { return *buttons_[part]; }

  // A button's press (and each repeat of it).
  void act(Part part);
  // The thumb dragged so that its origin is at the point.
  void track_thumb(Point origin);

 private:
  void layout();
  int thumb_min_length() const;

  std::array<std::unique_ptr<Button>, 5> buttons_;
  Point min_size_;
  Point max_size_;
  Point thumb_size_;
  std::int32_t minimum_ = 0;
  std::int32_t maximum_ = 0;
  std::int32_t page_ = 1;
  std::int32_t step_ = 1;
  std::int32_t value_ = 0;
  std::int32_t min_length_ = 0;
  std::int32_t max_length_ = 0;
  bool vertical_ = false;
};

class ControlPanelAutoScroll : public ControlPanel {
 public:
  ControlPanelAutoScroll(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlPanelAutoScroll() override;

  void load_properties() override;

  // Places the content in what is left beside the bars it needs, and shows
  // exactly those bars.
  void layout_content(Control& content, Point content_size);
  // Places the bars beside the content area; the owner sets their range,
  // page and value first.
  void place_scroll_bars();

  ControlScrollBar& get_vertical() const { return *vertical_; }
  ControlScrollBar& get_horizontal() const { return *horizontal_; }
  Rect get_content_area() const { return area_; }

 private:
  Rect area_;
  std::int32_t scroll_width_ = 0;
  std::int32_t scroll_height_ = 0;
  Point border_min_;
  Point border_max_;
  Point scroll_border_min_;
  Point scroll_border_max_;
  std::unique_ptr<ControlScrollBar> vertical_;
  std::unique_ptr<ControlScrollBar> horizontal_;
};

}  // namespace skinner
