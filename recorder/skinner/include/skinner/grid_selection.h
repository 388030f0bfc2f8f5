// How a grid's rows are selected and its cells highlighted. The grid, the
// strategy and the grid's subclass meet in one interface (a virtual base):
// the subclass gives the counts, the grid the notifications, the strategy
// the rest.
#pragma once

#include "skinner/key_code.h"
#include "skinner/properties.h"

namespace skinner {

class Control;

class GridSelectionStrategy {
 public:
  virtual ~GridSelectionStrategy() = default;

  // The grid's subclass.
  virtual int get_row_count() = 0;
  virtual int get_column_count() = 0;

  // The strategy.
  virtual bool is_selected(int column, int row) = 0;
  virtual void on_cell_down(int column, int row, Point offset, Point point, Control* painter) = 0;
  virtual void on_cell_drag(int column, int row, Point offset, Point point, Control* painter) = 0;
  virtual void on_cell_up(int column, int row, Point offset, Point point, Control* painter) = 0;
  virtual void on_cell_hold(int column, int row, Control* painter) = 0;
  virtual void on_cell_hold_up(int column, int row) = 0;
  virtual void rows_inserted(int after, int count) = 0;
  virtual void rows_removed(int after, int count) = 0;
  virtual void set_highlight(int column, int row) = 0;
  virtual bool is_highlighted(int column, int row) = 0;
  virtual int get_highlight_column() = 0;
  virtual int get_highlight_row() = 0;
  // True when the key did something.
  virtual bool on_key(KeyCode key) = 0;

  // The grid.
  virtual void selection_changed() = 0;
  virtual void highlight_changed() = 0;
  virtual void request_column_into_view(int column) = 0;
  virtual void request_row_into_view(int row) = 0;
};

class GridSelectionStrategyWithHighlight : public virtual GridSelectionStrategy {
 public:
  void set_highlight(int column, int row) override;
  int get_highlight_column() override { return highlight_column_; }
  int get_highlight_row() override { return highlight_row_; }

 private:
  int highlight_column_ = -1;
  int highlight_row_ = -1;
};

// One selected row at most; the keys move it.
class GridSelectionStrategySingleRow : public GridSelectionStrategyWithHighlight {
 public:
  bool is_selected(int, int row) override { return row == selected_; }
  void on_cell_down(int, int row, Point, Point, Control*) override { select(row); }
  void on_cell_drag(int, int row, Point, Point, Control*) override { select(row); }
  void on_cell_up(int, int, Point, Point, Control*) override {}
  void on_cell_hold(int, int row, Control*) override { select(row); }
  void on_cell_hold_up(int, int) override {}
  void rows_inserted(int after, int count) override;
  void rows_removed(int after, int count) override;
  bool is_highlighted(int, int row) override { return row == get_highlight_row(); }
  bool on_key(KeyCode key) override;

  // Ignores a row outside the grid.
  void select(int row);
  // Any row, -1 (none) included.
  void set_selection(int row);
  int get_selection() const { return selected_; }

 private:
  int selected_ = -1;
};

}  // namespace skinner
