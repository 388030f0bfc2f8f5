// A static text over a picture: the skin's "Normal" picture, font and
// colour, the text inside borders with both alignments, optionally wrapped
// at blanks and at forced breaks, cut with an ellipsis, or sized to fit.
#pragma once

#include <string>
#include <vector>

#include "skinner/control.h"

namespace skinner {

class ControlFrame : public Control {
 public:
  ControlFrame(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);

  Point get_preferred_size() override;
  void load_properties() override;
  void draw(Canvas& canvas, const Rect& clip) override;
  virtual void split_lines(const std::wstring& text);

  void set_text(const std::wstring& text);
  const std::wstring& get_text() const { return text_; }
  const std::vector<std::wstring>& get_lines() const { return lines_; }
  Point get_content_size() const { return content_size_; }

 private:
  void load_frame();

  Point border_min_;
  Point border_max_;
  Picture picture_;
  FontDesc font_;
  Colour colour_;
  std::wstring text_;
  std::int32_t h_alignment_ = 1;
  std::int32_t v_alignment_ = 1;
  Point content_size_;
  std::vector<std::wstring> lines_;
  std::wstring break_marker_ = L"\\n";
  bool wrap_ = false;
  bool auto_size_ = false;
  bool ellipsis_ = false;
};

}  // namespace skinner
