// The recordings list: every file of the "My Vocamo" folder of the main
// memory and of each storage card, sorted by name, with an icon for where it
// lies. Its context menu plays, renames, moves and deletes a recording; the
// file operations ask and report through message forms.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skinner/control_edit.h"
#include "skinner/control_grid.h"
#include "skinner/picture.h"

namespace vocamo {

struct FileEntry {
  std::wstring path;
  std::wstring name;
  std::wstring sort_key;  // the name in lower case: the list's order
  int kind = 2;           // 1 the main memory, 2 a storage card
  std::wstring size_text;
  std::wstring date_text;
};

struct Location {
  std::wstring folder;
  std::wstring name;  // empty for the main memory
};

class ControlFiles : public skinner::ControlGrid, public skinner::GridSelectionStrategySingleRow {
 public:
  // Asks the user: title, text, the message form's name ("MessageOk" or
  // "MessageYesNo"); answers the name of the button that closed it.
  using Ask =
      std::function<std::wstring(const std::wstring& title, const std::wstring& text, const std::wstring& form_name)>;

  ControlFiles(skinner::Container& container, const std::wstring& name);
  ~ControlFiles() override;

  int get_row_count() override { return static_cast<int>(entries_.size()); }
  int get_column_count() override { return 3; }
  int get_column_width(int column) override;
  void draw_cell(int column, int row, skinner::Canvas& canvas, skinner::Point position, skinner::Point size,
                 bool selected, bool highlighted) override;
  void load_properties() override;
  bool on_key_down(skinner::KeyCode key) override;
  void item_click(const skinner::ItemInfo& info) override;
  void item_context_menu(const skinner::ItemInfo& info) override;
  void on_item_edit_done(skinner::Control* sender, const skinner::ItemInfo& item, bool accepted) override;

  // Re-reads the storage locations, then the files.
  void fill();
  void update_locations();
  void refresh();
  void rebuild_rows() { refresh(); }
  void add_entry(const std::wstring& path);
  void select_path(const std::wstring& path);
  std::wstring get_selected_path() const;
  // The entry of a row; an empty entry of kind 2 outside the list.
  FileEntry get_entry(int row) const;
  const std::vector<Location>& get_locations() const { return locations_; }
  bool get_location_folder(int index, std::wstring& out);
  std::wstring get_location_name(int index) const;

  void show_context_menu(int row);
  void start_rename();
  // The rename's second half: the typed text for the selected row.
  void finish_rename(const std::wstring& typed);
  void move_selected(const std::wstring& target_folder);
  void delete_selected();

  Ask ask;
  skinner::ControlEdit& get_edit() const { return *edit_; }

 private:
  FileEntry make_entry(const std::wstring& path) const;
  void tell(const std::wstring& title_key, const std::wstring& message_key, const std::wstring& name);
  bool confirm(const std::wstring& title_key, const std::wstring& message_key, const std::wstring& name);

  std::vector<FileEntry> entries_;
  std::vector<Location> locations_;
  std::unique_ptr<skinner::ControlEdit> edit_;
  skinner::Picture icon_main_;
  skinner::Picture icon_card_;
  // The skin's "IconWidth" and "IndentWidth" replace these.
  int icon_width_ = 1;
  int indent_width_ = 0;
};

}  // namespace vocamo
