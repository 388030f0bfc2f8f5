#include "skinner/grid_selection.h"

namespace skinner {

void GridSelectionStrategyWithHighlight::set_highlight(int column, int row) {
  if (column == highlight_column_ && row == highlight_row_) return;
  highlight_column_ = column;
  highlight_row_ = row;
  highlight_changed();
}

void GridSelectionStrategySingleRow::select(int row) {
  if (row < 0 || row >= get_row_count()) return;
  set_selection(row);
}

void GridSelectionStrategySingleRow::set_selection(int row) {
  if (row == selected_) return;
  selected_ = row;
  selection_changed();
}

void GridSelectionStrategySingleRow::rows_inserted(int after, int count) {
  if (selected_ > after) set_selection(selected_ + count);
}

void GridSelectionStrategySingleRow::rows_removed(int after, int count) {
  if (selected_ > after + count)
    set_selection(selected_ - count);
  else if (selected_ > after)
    set_selection(-1);
}

bool GridSelectionStrategySingleRow::on_key(KeyCode key) {
  const int count = get_row_count();
  if (count <= 0) return false;
  int row = selected_;
  switch (key) {
    case KeyCode::Home:
      row = 0;
      break;
    case KeyCode::End:
      row = count - 1;
      break;
    case KeyCode::Down:
    case KeyCode::PageDown:
      if (selected_ == count - 1) return false;
      row = selected_ < 0 ? 0 : selected_ + 1;
      break;
    case KeyCode::Up:
    case KeyCode::PageUp:
      if (selected_ == 0) return false;
      row = selected_ < 0 ? 0 : selected_ - 1;
      break;
    default:
      return false;
  }
  // A selection left beyond the rows (they were removed) comes back inside.
  if (row >= count) row = count - 1;
  set_selection(row);
  set_highlight(-1, -1);
  request_row_into_view(row);
  return true;
}

}  // namespace skinner
