// The skinned list of rows and columns. The grid stores no items: a
// subclass gives the counts, the column widths and the drawing of each cell,
// and inherits a selection strategy beside the grid. Rows are drawn and
// touched through a child control, the painter; the grid is an
// auto-scrolling panel whose vertical bar is the first visible row and
// whose horizontal bar is the pixel offset of the columns.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "skinner/control_scroll_bar.h"
#include "skinner/grid_selection.h"
#include "skinner/state_look.h"

namespace skinner {

class ControlGrid : public ControlPanelAutoScroll, public virtual GridSelectionStrategy {
 public:
  class Painter : public Control {
   public:
    explicit Painter(ControlGrid& grid);

    void draw(Canvas& canvas, const Rect& clip) override;
    void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
    void on_pointer_up(PointerKind kind, Point point, bool double_tap) override;
    void on_pointer_move(Point point) override;
    void on_pointer_scroll(Point point, int amount) override;
    void on_pointer_leave() override;

    // Where a point of the form falls: 0 header, 1 rows, 2 neither; the
    // row (the row count when below the last one) and the column (-1 for
    // none), with the offsets inside the cell.
    struct Hit {
      int region = 2;
      int row = 0;
      int column = -1;
      Point offset;
    };
    Hit hit(Point point) const;

   private:
    void highlight_at(Point point);

    ControlGrid& grid_;
    int pressed_region_ = 2;
    bool held_ = false;
  };

  enum Look { kItemNormal, kItemSelection, kItemHighlight, kItemSelectionHighlight, kHeaderNormal };

  ControlGrid(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named);
  ~ControlGrid() override;

  virtual int get_item_height(int row, int column);
  virtual int get_header_height() { return 0; }
  // A width of 0 or more is fixed; a negative one is a share of what the
  // fixed columns leave, weighted by its size.
  virtual int get_column_width(int column);
  virtual void draw_cell(int column, int row, Canvas& canvas, Point position, Point size, bool selected,
                         bool highlighted) = 0;
  virtual void draw_header_cell(int column, Canvas& canvas, Point position, Point size);
  virtual void item_click(const ItemInfo& info) { on_item_click(this, info); }
  virtual void item_context_menu(const ItemInfo& info) { on_item_context_menu(this, info); }
  virtual void header_click(const ItemInfo& info) { on_header_click(this, info); }
  virtual void header_context_menu(const ItemInfo& info) { on_header_context_menu(this, info); }
  virtual void edit_done(const ItemInfo& info, bool accepted) { on_item_edit_done(this, info, accepted); }
  virtual void on_indent_down(const ItemInfo&) {}
  virtual int get_indent_width(int) { return 0; }

  // Listener and control operations.
  void on_scroll(Control* sender) override;
  void on_focus_lost() override;
  void on_enabled_changed(bool enabled) override;
  void draw(Canvas& canvas, const Rect& clip) override;
  bool hit_test(Point point) const override;
  void on_pointer_down(PointerKind kind, Point point, bool double_tap) override;
  bool on_key_down(KeyCode key) override;
  bool on_key_up(KeyCode key) override;
  bool set_rect(Point position, Point size) override;
  void load_properties() override;

  // The grid's side of the strategy.
  void selection_changed() override;
  void highlight_changed() override { invalidate(); }
  void request_column_into_view(int column) override { column_into_view_ = column; }
  void request_row_into_view(int row) override { row_into_view_ = row; }

  const StateLook& get_item_picture(bool selected, bool highlighted) const;
  const StateLook& get_look(Look look) const { return looks_[look]; }
  Point get_cell_position(int column, int row);
  Point get_cell_size(int column, int row);
  void start_inplace_edit(Control* control, int column, int row);
  void end_inplace_edit(bool accepted);

  int get_first_row() const { return get_vertical().get_value(); }
  int get_horizontal_offset() const { return get_horizontal().get_value(); }
  const std::vector<int>& get_column_positions() const { return column_positions_; }
  Painter& get_painter() const { return *painter_; }
  Control* get_inplace_control() const { return inplace_control_; }
  // Lays the grid out again where it stands (serves scroll requests now).
  void relayout();

 private:
  Picture normal_;
  Picture highlighted_;
  Picture disabled_;
  int item_height_ = 40;
  Control* inplace_control_ = nullptr;
  int edit_row_ = -1;
  int edit_column_ = -1;
  std::vector<int> column_positions_;
  int column_into_view_ = -1;
  int row_into_view_ = -1;
  std::array<StateLook, 5> looks_;
  std::unique_ptr<Painter> painter_;
};

}  // namespace skinner
