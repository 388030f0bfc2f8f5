#include "skinner/control_grid.h"

#include <algorithm>
#include <cstdint>

#include "liba/error.h"
#include "skinner/canvas.h"

namespace skinner {

// --- The painter ---------------------------------------------------------------

ControlGrid::Painter::Painter(ControlGrid& grid)
    : Control(grid.get_inner(), L"", NamingMode::NamedWithoutKind), grid_(grid) {}

ControlGrid::Painter::Hit ControlGrid::Painter::hit(Point point) const {
  Hit result;
  const Rect r = get_rect();
  const int y = point.y - r.y;
  const int x = point.x - r.x;
  const int header = grid_.get_header_height();
  const int h = grid_.item_height_;
  const int first = grid_.get_first_row();
  const int count = grid_.get_row_count();
  if (y < 0)
    result.region = 2;
  else if (y < header)
    result.region = 0;
  else if (y < r.height)
    result.region = 1;
  else
    result.region = 2;
  if (h < 1) {
    // Rows without height: no row is ever hit.
    result.row = count;
  } else if (y < header) {
    result.row = first;
  } else {
    int cap = (r.height - header - 1) / h;
    if (cap < 1) cap = 0;
    result.row = std::min((y - header) / h + first, first + cap);
  }
  if (result.row >= count || result.row < 0) result.row = count;
  result.offset.y = y - (result.row - first) * std::max(h, 0) - header;
  const auto& positions = grid_.column_positions_;
  const std::int64_t content_x = static_cast<std::int64_t>(x) + grid_.get_horizontal_offset();
  if (x >= 0) {
    for (std::size_t c = 0; c + 1 < positions.size(); ++c) {
      if (positions[c] <= content_x && content_x < positions[c + 1]) {
        result.column = static_cast<int>(c);
        result.offset.x = static_cast<int>(content_x - positions[c]);
        break;
      }
    }
  }
  return result;
}

void ControlGrid::Painter::draw(Canvas& canvas, const Rect& clip) {
  const Rect r = get_rect();
  canvas.set_clip(r.position(), r.size());
  const auto& positions = grid_.column_positions_;
  const int columns = static_cast<int>(positions.size()) - 1;
  const int offset = grid_.get_horizontal_offset();
  const int header = grid_.get_header_height();
  if (header > 0) {
    for (int c = 0; c < columns; ++c)
      grid_.draw_header_cell(c, canvas, Point{r.x + positions[c] - offset, r.y},
                             Point{positions[c + 1] - positions[c], header});
  }
  const int h = grid_.item_height_;
  if (h >= 1) {
    const int count = grid_.get_row_count();
    const int first = std::max(grid_.get_first_row(), 0);
    for (int row = first; row < count; ++row) {
      const std::int64_t top = static_cast<std::int64_t>(row - first) * h;
      if (top >= r.height) break;
      const int y = r.y + header + static_cast<int>(top);
      for (int c = 0; c < columns; ++c) {
        grid_.draw_cell(c, row, canvas, Point{r.x + positions[c] - offset, y},
                        Point{positions[c + 1] - positions[c], h}, grid_.is_selected(c, row),
                        grid_.is_highlighted(c, row));
      }
    }
  }
  canvas.restore_clip();
  (void)clip;
}

void ControlGrid::Painter::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  const Hit at = hit(point);
  const ItemInfo info{at.column, at.row, at.offset, point, double_tap};
  const bool in_indent = at.column == 0 && at.offset.x < grid_.get_indent_width(at.row);
  if (kind == PointerKind::Tap) {
    if (in_indent) {
      grid_.on_indent_down(info);
      return;
    }
    pressed_region_ = at.region;
    if (at.region == 1) grid_.on_cell_down(at.column, at.row, at.offset, point, this);
  } else if (kind == PointerKind::Hold) {
    if (in_indent || at.region != 1) return;
    held_ = true;
    grid_.on_cell_hold(at.column, at.row, this);
  }
}

void ControlGrid::Painter::on_pointer_up(PointerKind kind, Point point, bool double_tap) {
  const Hit at = hit(point);
  const ItemInfo info{at.column, at.region == 0 ? -1 : at.row, at.offset, point, double_tap};
  if (kind == PointerKind::Tap) {
    const int pressed = pressed_region_;
    pressed_region_ = 2;
    if (pressed == 0 && at.region == 0) {
      grid_.header_click(info);
    } else if (pressed == 1) {
      grid_.on_cell_up(at.column, at.row, at.offset, point, this);
      if (at.region == 1) grid_.item_click(info);
    }
  } else if (kind == PointerKind::Hold) {
    if (!held_) return;
    held_ = false;
    grid_.on_cell_hold_up(at.column, at.row);
    if (at.region == 0)
      grid_.header_context_menu(info);
    else if (at.region == 1)
      grid_.item_context_menu(info);
  }
}

void ControlGrid::Painter::highlight_at(Point point) {
  const Hit at = hit(point);
  if (at.region != 1)
    grid_.set_highlight(-1, -1);
  else
    grid_.set_highlight(at.column, at.row);
}

void ControlGrid::Painter::on_pointer_move(Point point) {
  highlight_at(point);
  if (pressed_region_ == 1) {
    const Hit at = hit(point);
    grid_.on_cell_drag(at.column, at.row, at.offset, point, this);
  }
}

void ControlGrid::Painter::on_pointer_scroll(Point point, int amount) {
  grid_.get_vertical().set_value(grid_.get_first_row() - 3 * amount);
  highlight_at(point);
}

void ControlGrid::Painter::on_pointer_leave() { grid_.set_highlight(-1, -1); }

// --- The grid --------------------------------------------------------------------

ControlGrid::ControlGrid(Container& container, const std::wstring& name, NamingMode mode)
    : ControlPanelAutoScroll(container, name, mode), painter_(std::make_unique<Painter>(*this)) {}

ControlGrid::~ControlGrid() = default;

int ControlGrid::get_item_height(int, int) { return item_height_; }
int ControlGrid::get_column_width(int) { return -1; }
void ControlGrid::draw_header_cell(int, Canvas&, Point, Point) {}

const StateLook& ControlGrid::get_item_picture(bool selected, bool highlighted) const {
  if (selected && highlighted) return looks_[kItemSelectionHighlight];
  if (selected) return looks_[kItemSelection];
  if (highlighted) return looks_[kItemHighlight];
  return looks_[kItemNormal];
}

Point ControlGrid::get_cell_position(int column, int row) {
  const Rect r = get_rect();
  const int left = column >= 0 && column + 1 < static_cast<int>(column_positions_.size())
                       ? column_positions_[static_cast<std::size_t>(column)]
                       : 0;
  return {r.x + left - get_horizontal_offset(), r.y + get_header_height() + (row - get_first_row()) * item_height_};
}

Point ControlGrid::get_cell_size(int column, int) {
  if (column < 0 || column + 1 >= static_cast<int>(column_positions_.size())) return {0, item_height_};
  const auto c = static_cast<std::size_t>(column);
  return {column_positions_[c + 1] - column_positions_[c], item_height_};
}

void ControlGrid::relayout() { set_rect(get_position(), get_size()); }

bool ControlGrid::set_rect(Point position, Point size) {
  const bool changed = ControlPanelAutoScroll::set_rect(position, size);
  const int rows = std::max(get_row_count(), 0);
  const int columns = std::max(get_column_count(), 0);
  const int h = item_height_;
  const int header = get_header_height();
  std::vector<int> widths(static_cast<std::size_t>(columns));
  std::int64_t fixed = 0;
  std::int64_t weights = 0;
  int last_share = -1;
  for (int c = 0; c < columns; ++c) {
    const int w = get_column_width(c);
    widths[static_cast<std::size_t>(c)] = w;
    if (w >= 0) {
      fixed += w;
    } else {
      weights += -static_cast<std::int64_t>(w);
      last_share = c;
    }
  }
  const std::int64_t content_height =
      static_cast<std::int64_t>(header) + static_cast<std::int64_t>(std::max(h, 0)) * rows;
  layout_content(*painter_, Point{static_cast<std::int32_t>(std::min<std::int64_t>(fixed, INT32_MAX)),
                                  static_cast<std::int32_t>(std::min<std::int64_t>(content_height, INT32_MAX))});
  const Rect painter = painter_->get_rect();
  column_positions_.assign(static_cast<std::size_t>(columns) + 1, 0);
  std::int64_t free = painter.width - fixed;
  if (free < 1) free = 0;
  std::int64_t left_over = free;
  std::int64_t total = 0;
  for (int c = 0; c < columns; ++c) {
    const int w = widths[static_cast<std::size_t>(c)];
    if (w >= 0) {
      total += w;
    } else if (c != last_share) {
      const std::int64_t share = weights > 0 ? (-static_cast<std::int64_t>(w) * free) / weights : 0;
      total += share;
      left_over -= share;
    } else {
      total += left_over;
    }
    column_positions_[static_cast<std::size_t>(c) + 1] = static_cast<int>(std::min<std::int64_t>(total, INT32_MAX));
  }
  ControlScrollBar& vertical = get_vertical();
  ControlScrollBar& horizontal = get_horizontal();
  if (h > 0) {
    vertical.set_range(0, rows);
    vertical.set_page((painter.height - header) / h);
    horizontal.set_range(0, column_positions_[static_cast<std::size_t>(columns)]);
    horizontal.set_page(painter.width);
  }
  place_scroll_bars();
  if (inplace_control_ != nullptr) {
    request_column_into_view(edit_column_);
    request_row_into_view(edit_row_);
  }
  if (row_into_view_ >= 0) {
    const int r = row_into_view_;
    const int first = get_first_row();
    const int page = vertical.get_page();
    if (r < first)
      vertical.set_value(r);
    else if (r >= first + page)
      vertical.set_value(r - page + 1);
  }
  row_into_view_ = -1;
  if (column_into_view_ >= 0 && column_into_view_ < columns) {
    const auto c = static_cast<std::size_t>(column_into_view_);
    const int col_left = column_positions_[c];
    const int col_width = column_positions_[c + 1] - col_left;
    if (col_left + col_width - horizontal.get_value() > painter.width)
      horizontal.set_value(col_left + col_width - painter.width);
    if (col_left - horizontal.get_value() < 0) horizontal.set_value(col_left);
  }
  column_into_view_ = -1;
  if (inplace_control_ != nullptr && h > 0) {
    const Point cell = get_cell_position(edit_column_, edit_row_);
    const Point cell_size = get_cell_size(edit_column_, edit_row_);
    const int width = std::max(std::min(painter.width - (cell.x - painter.x), cell_size.x), 0);
    const int height = std::max(std::min(h, painter.height - (cell.y - painter.y)), 0);
    const Rect origin = get_rect();
    inplace_control_->set_skin_rect(Point{cell.x - origin.x, cell.y - origin.y}, Point{width, height});
    inplace_control_->set_rect(cell, Point{width, height});
    inplace_control_->set_visible(true);
  }
  return changed;
}

void ControlGrid::on_scroll(Control* sender) {
  if (sender == &get_vertical() || sender == &get_horizontal()) invalidate();
}

void ControlGrid::on_focus_lost() {
  ControlPanelAutoScroll::on_focus_lost();
  end_inplace_edit(true);
}

void ControlGrid::on_enabled_changed(bool enabled) {
  ControlPanelAutoScroll::on_enabled_changed(enabled);
  if (!enabled) end_inplace_edit(false);
}

void ControlGrid::draw(Canvas& canvas, const Rect& clip) {
  const Rect r = get_rect();
  const Picture& background = !is_enabled() ? disabled_ : is_focused() ? highlighted_ : normal_;
  background.draw(canvas, r.position(), r.size());
  draw_children(canvas, clip);
  Control::draw(canvas, clip);
}

bool ControlGrid::hit_test(Point point) const {
  if (get_inner().hit_test(point)) return true;
  if (!Control::hit_test(point)) return false;
  if (normal_.get_bitmap() == nullptr) return false;
  const Rect r = get_rect();
  return !normal_.is_transparent_at(point, r.position(), r.size());
}

void ControlGrid::on_pointer_down(PointerKind kind, Point point, bool double_tap) {
  ControlPanelAutoScroll::on_pointer_down(kind, point, double_tap);
  if (inplace_control_ != nullptr && !inplace_control_->hit_test(point)) end_inplace_edit(true);
}

bool ControlGrid::on_key_down(KeyCode key) {
  if (inplace_control_ == nullptr) {
    if (key == KeyCode::Apps) return true;
    if (!on_key(key)) return false;
    // Bring the selection into view now rather than at the next paint.
    relayout();
    invalidate();
    return true;
  }
  if (key == KeyCode::Esc) {
    end_inplace_edit(false);
    return true;
  }
  if (key == KeyCode::Enter) {
    end_inplace_edit(true);
    return true;
  }
  return ControlPanelAutoScroll::on_key_down(key);
}

bool ControlGrid::on_key_up(KeyCode key) {
  if (inplace_control_ == nullptr) return false;
  return ControlPanelAutoScroll::on_key_up(key);
}

void ControlGrid::selection_changed() {
  on_choice_changed(this);
  invalidate();
}

void ControlGrid::start_inplace_edit(Control* control, int column, int row) {
  end_inplace_edit(true);
  if (control != nullptr && &control->get_container() != get_panel_container())
    liba::fatal_error(L"ControlGrid::start_inplace_edit", L"inplace_control->get_container() != get_panel_container()");
  inplace_control_ = control;
  edit_column_ = column;
  edit_row_ = row;
  if (control != nullptr) {
    control->set_zorder(1);
    control->set_focus();
  }
  invalidate();
}

void ControlGrid::end_inplace_edit(bool accepted) {
  if (inplace_control_ == nullptr) return;
  Control* control = inplace_control_;
  const ItemInfo info{edit_column_, edit_row_, Point{}, Point{}, false};
  // The edit ends before the control goes: hiding it moves the focus,
  // which may lay the form out again (the input panel going down), and
  // that layout must not place and show it once more.
  inplace_control_ = nullptr;
  edit_column_ = -1;
  edit_row_ = -1;
  control->set_visible(false);
  get_inner().set_focus(nullptr);
  edit_done(info, accepted);
  invalidate();
}

void ControlGrid::load_properties() {
  ControlPanelAutoScroll::load_properties();
  item_height_ = read_scaled_int(L"ItemHeight", 40);
  looks_[kItemNormal].load(*this, L"ItemNormal", StateLook());
  looks_[kItemSelection].load(*this, L"ItemSelection", looks_[kItemNormal]);
  looks_[kItemHighlight].load(*this, L"ItemHighlight", looks_[kItemNormal]);
  looks_[kItemSelectionHighlight].load(*this, L"ItemSelectionHighlight", looks_[kItemSelection]);
  looks_[kHeaderNormal].load(*this, L"HeaderNormal", looks_[kItemNormal]);
  normal_ = read_picture(L"Normal", Picture());
  highlighted_ = read_picture(L"Highlighted", normal_);
  disabled_ = read_picture(L"Disabled", normal_);
  painter_->set_gestures(get_gestures());
}

}  // namespace skinner
