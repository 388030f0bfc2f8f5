// The skin gallery's forms: one form with every control of the skinned UI
// (buttons, check boxes, an edit, a grid with icons, a progress bar, a
// scroll bar, a panel, frames, the main menu and the soft keys), and a
// message form that runs its own modal loop over it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "skinner/control_button.h"
#include "skinner/control_edit.h"
#include "skinner/control_frame.h"
#include "skinner/control_grid.h"
#include "skinner/control_menu_main.h"
#include "skinner/control_panel.h"
#include "skinner/control_progress.h"
#include "skinner/control_scroll_bar.h"
#include "skinner/form.h"

namespace gallery {

// The gallery's list: named rows with a small icon each.
class GalleryGrid : public skinner::ControlGrid, public skinner::GridSelectionStrategySingleRow {
 public:
  GalleryGrid(skinner::Container& container, const std::wstring& name);

  int get_row_count() override { return rows_; }
  int get_column_count() override { return 2; }
  int get_column_width(int column) override { return column == 0 ? -1 : 56; }
  void draw_cell(int column, int row, skinner::Canvas& canvas, skinner::Point position, skinner::Point size,
                 bool selected, bool highlighted) override;
  void load_properties() override;

  void set_rows(int rows);
  std::wstring row_name(int row) const;

 private:
  int rows_ = 40;
  skinner::Picture icon_;
};

class MessageForm : public skinner::Form {
 public:
  MessageForm(skinner::Form* parent, skinner::Properties* properties);
  ~MessageForm() override;
  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;

 private:
  // Its own soft keys: on a Smartphone its button stands there.
  std::unique_ptr<skinner::ControlMenuMain> menu_;
};

class GalleryForm : public skinner::Form {
 public:
  explicit GalleryForm(skinner::Properties* properties);
  ~GalleryForm() override;

  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;
  void on_command(skinner::Control* sender, const std::wstring& command) override;
  void on_choice_changed(skinner::Control* sender) override;
  void on_item_click(skinner::Control* sender, const skinner::ItemInfo& item) override;
  void on_text_changed(skinner::Control* sender) override;
  void on_value_tracking(skinner::Control* sender, double value) override;
  void on_scroll(skinner::Control* sender) override;
  void on_menu_popup(skinner::Control* sender) override;

  // Opens the message form over the gallery and runs it; tests may put
  // something else in its place (the fuzzing, which must not block).
  std::function<void()> open_message;
  const std::wstring& get_status() const { return status_; }
  GalleryGrid& get_grid() const { return *grid_; }
  skinner::ControlEdit& get_edit() const { return *edit_; }

 private:
  void show_status(const std::wstring& text);
  void run_message();

  std::wstring status_;
  std::unique_ptr<skinner::ControlButton> greet_;
  std::unique_ptr<skinner::ControlButton> message_;
  std::unique_ptr<skinner::ControlCheckBox> loud_;
  std::unique_ptr<skinner::ControlCheckBox> bold_;
  std::unique_ptr<skinner::ControlEdit> edit_;
  std::unique_ptr<GalleryGrid> grid_;
  std::unique_ptr<skinner::ControlProgress> level_;
  std::unique_ptr<skinner::ControlScrollBar> pan_;
  std::unique_ptr<skinner::ControlPanel> box_;
  std::unique_ptr<skinner::ControlMenuMain> menu_;
  std::unique_ptr<skinner::MenuMainButton> menu_greet_;
  std::unique_ptr<skinner::MenuMainSubMenu> menu_more_;
};

}  // namespace gallery
