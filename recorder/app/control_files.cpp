#include "control_files.h"

#include <algorithm>

#include "file_texts.h"
#include "ce/windows.h"
#include "os/application.h"
#include "os/file.h"
#include "os/finder.h"
#include "os/log.h"
#include "os/path.h"
#include "skinner/bitmap.h"
#include "skinner/canvas.h"
#include "skinner/form.h"
#include "skinner/menu_item.h"
#include "skinner/menu_manager_impl.h"

namespace vocamo {

namespace {

constexpr const wchar_t* kRecordingsFolder = L"My Vocamo";

class CollectDrives : public os::Finder {
 public:
  bool on_directory(const std::wstring& path) override {
    roots.push_back(path);
    return true;
  }
  std::vector<std::wstring> roots;
};

// A typed name that would leave the folder or make no valid file name.
bool is_bad_file_title(const std::wstring& title) {
  if (title.empty() || title == L"." || title == L"..") return true;
  return title.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos;
}

}  // namespace

ControlFiles::ControlFiles(skinner::Container& container, const std::wstring& name) : ControlGrid(container, name) {
  edit_ = std::make_unique<skinner::ControlEdit>(get_inner(), L"EditInList");
  edit_->set_visible(false);
}

ControlFiles::~ControlFiles() { edit_.reset(); }

int ControlFiles::get_column_width(int column) {
  if (column == 0) return icon_width_;
  if (column == 1) return indent_width_;
  return -1;
}

void ControlFiles::load_properties() {
  os::get_log() << L" reload_skin\n";
  ControlGrid::load_properties();
  icon_width_ = read_scaled_int(L"IconWidth", icon_width_);
  indent_width_ = read_scaled_int(L"IndentWidth", indent_width_);
  icon_main_ = read_picture(L"IconMainMemory", skinner::Picture());
  icon_card_ = read_picture(L"IconStorageCard", skinner::Picture());
}

void ControlFiles::draw_cell(int column, int row, skinner::Canvas& canvas, skinner::Point position, skinner::Point size,
                             bool selected, bool highlighted) {
  const skinner::StateLook& look = get_item_picture(selected, highlighted);
  look.picture.draw(canvas, position, size);
  if (row < 0 || row >= get_row_count()) return;
  const FileEntry& entry = entries_[static_cast<std::size_t>(row)];
  if (column == 0) {
    const skinner::Picture& icon = entry.kind == 2 ? icon_card_ : icon_main_;
    const skinner::Bitmap* bitmap = icon.get_bitmap();
    if (bitmap == nullptr) return;
    const skinner::Point icon_size{bitmap->width(), bitmap->height()};
    icon.draw(canvas, {position.x + (size.x - icon_size.x) / 2, position.y + (size.y - icon_size.y) / 2}, icon_size);
  } else if (column == 2) {
    // A name longer than the row ends in an ellipsis.
    skinner::layout_text(look.font, canvas, look.colour, entry.name, position, size, 0, 1);
  }
}

bool ControlFiles::on_key_down(skinner::KeyCode key) {
  // A key the grid took (a selection move) is also the form's to see.
  if (ControlGrid::on_key_down(key)) return false;
  if (key == skinner::KeyCode::Enter) {
    show_context_menu(get_selection());
    return true;
  }
  return false;
}

void ControlFiles::item_click(const skinner::ItemInfo& info) {
  ControlGrid::item_click(info);
  if (info.double_tap && info.row >= 0 && info.row < get_row_count()) on_command(this, L"Play");
}

// Press and hold on a row (the grid selected it) opens the row's menu.
void ControlFiles::item_context_menu(const skinner::ItemInfo& info) { show_context_menu(info.row); }

FileEntry ControlFiles::make_entry(const std::wstring& path) const {
  FileEntry entry;
  entry.path = path;
  entry.name = os::path_file_name(path);
  entry.sort_key = os::to_lower(entry.name);
  entry.kind =
      os::path_has_prefix(os::path_normalize(os::expand_path(L"%my_documents%")), os::path_normalize(path)) ? 1 : 2;
  const os::FileInfo info(path);
  entry.size_text = format_size(static_cast<std::int32_t>(std::min<std::uint32_t>(info.get_size(), 0x7FFFFFFFu)));
  entry.date_text = info.exists() ? format_date_time(info.get_time()) : std::wstring();
  return entry;
}

void ControlFiles::update_locations() {
  locations_.clear();
  const std::wstring main = os::path_strip_separator(os::expand_path(L"%my_documents%"));
  locations_.push_back({os::path_join(main, kRecordingsFolder), L""});
  CollectDrives drives;
  os::Finder::find_drives(drives);
  const std::wstring last = os::path_file_name(main);
  for (const std::wstring& root : drives.roots) {
    const std::wstring folder = os::path_join(os::path_join(root, last), kRecordingsFolder);
    const bool known = std::any_of(locations_.begin(), locations_.end(),
                                   [&](const Location& l) { return os::paths_equal(l.folder, folder); });
    if (!known) locations_.push_back({folder, os::path_title(root)});
  }
}

void ControlFiles::fill() { update_locations(); }

void ControlFiles::refresh() {
  entries_.clear();
  // One search per folder gives every file's size and creation time, so a
  // long list costs no further call per file; the documents folder and each
  // name's sort key are worked out once.
  const std::wstring documents = os::path_normalize(os::expand_path(L"%my_documents%"));
  for (const Location& location : locations_) {
    WIN32_FIND_DATAW data{};
    const std::wstring folder = os::path_strip_separator(os::expand_path(location.folder));
    // Every file of a folder lies in the same place: the test is made once,
    // on a name that stands for any of them.
    const int kind = os::path_has_prefix(documents, os::path_normalize(os::path_join(location.folder, L"x"))) ? 1 : 2;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      FileEntry entry;
      entry.path = os::path_join(location.folder, data.cFileName);
      entry.name = data.cFileName;
      entry.sort_key = os::to_lower(entry.name);
      entry.kind = kind;
      entry.size_text = format_size(static_cast<std::int32_t>(std::min<DWORD>(data.nFileSizeLow, 0x7FFFFFFFu)));
      FILETIME local{};
      if (FileTimeToLocalFileTime(&data.ftCreationTime, &local))
        entry.date_text = format_date_time(os::DateTime(local));
      entries_.push_back(std::move(entry));
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  std::sort(entries_.begin(), entries_.end(),
            [](const FileEntry& a, const FileEntry& b) { return a.sort_key < b.sort_key; });
  if (get_selection() >= get_row_count()) set_selection(get_row_count() - 1);
  relayout();
  invalidate();
}

void ControlFiles::add_entry(const std::wstring& path) {
  const FileEntry entry = make_entry(path);
  const auto at = std::lower_bound(entries_.begin(), entries_.end(), entry,
                                   [](const FileEntry& a, const FileEntry& b) { return a.sort_key < b.sort_key; });
  entries_.insert(at, entry);
  relayout();
  invalidate();
}

void ControlFiles::select_path(const std::wstring& path) {
  int row = 0;
  if (!path.empty()) {
    // The names are compared first (cheaply, in lower case), the whole
    // paths only for a row of the same name.
    const std::wstring key = os::to_lower(os::path_file_name(path));
    for (int i = get_row_count() - 1; i >= 0; --i) {
      const FileEntry& entry = entries_[static_cast<std::size_t>(i)];
      if (entry.sort_key == key && os::paths_equal(entry.path, path)) {
        row = i;
        break;
      }
    }
  }
  // A path not listed selects row 0, in an empty list too.
  set_selection(row);
  request_row_into_view(row);
  invalidate();
}

std::wstring ControlFiles::get_selected_path() const { return get_entry(get_selection()).path; }

FileEntry ControlFiles::get_entry(int row) const {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return FileEntry{};
  return entries_[static_cast<std::size_t>(row)];
}

bool ControlFiles::get_location_folder(int index, std::wstring& out) {
  if (locations_.empty()) return false;
  if (index < 0 || index >= static_cast<int>(locations_.size())) index = 0;
  out = locations_[static_cast<std::size_t>(index)].folder;
  if (!os::FileInfo(out).exists()) os::create_directory_tree(out);
  return os::FileInfo(out).exists();
}

std::wstring ControlFiles::get_location_name(int index) const {
  if (index == 0) return translate(L"Menu_Main_memory", L"Main memory");
  if (index > 0 && index < static_cast<int>(locations_.size())) return locations_[static_cast<std::size_t>(index)].name;
  return {};
}

void ControlFiles::show_context_menu(int row) {
  if (row < 0 || row >= get_row_count()) return;
  const FileEntry entry = get_entry(row);
  skinner::VBCollection menu;
  skinner::MenuItem play(L"Play", translate(L"Menu_Play", L"Play"));
  play.separator_after = true;
  menu.add(play);
  menu.add(skinner::MenuItem(L"Rename", translate(L"Menu_Rename", L"Rename")));
  update_locations();
  skinner::MenuItem location(L"Location", translate(L"Menu_Location", L"Move to"));
  for (std::size_t i = 0; i < locations_.size(); ++i) {
    skinner::MenuItem item(L"Location_" + locations_[i].folder, get_location_name(static_cast<int>(i)));
    item.checked = os::path_has_prefix(locations_[i].folder, entry.path);
    location.items.add(item);
  }
  menu.add(location);
  skinner::MenuItem remove(L"Delete", translate(L"Menu_Delete", L"Delete"));
  remove.separator_after = true;
  menu.add(remove);
  menu.add(skinner::MenuItem(L"Cancel", translate(L"Menu_Cancel", L"Cancel")));
  auto* form = dynamic_cast<skinner::Form*>(get_form());
  if (form == nullptr) return;
  const skinner::Point cell = get_cell_position(2, row);
  const skinner::Point cell_size = get_cell_size(2, row);
  const POINT at{cell.x + cell_size.y, cell.y + cell_size.y / 2};
  const std::wstring chosen = skinner::MenuManagerImplPocket::track_popup_menu(*form, menu, at, 0, 0, nullptr, true);
  on_command(this, chosen);
}

void ControlFiles::tell(const std::wstring& title_key, const std::wstring& message_key, const std::wstring& name) {
  const std::wstring text = translate(message_key, message_key);
  if (ask)
    ask(translate(title_key, title_key), name.empty() ? text : make_file_message(text, name, false), L"MessageOk");
}

bool ControlFiles::confirm(const std::wstring& title_key, const std::wstring& message_key, const std::wstring& name) {
  if (!ask) return false;
  return ask(translate(title_key, title_key), make_file_message(translate(message_key, message_key), name, true),
             L"MessageYesNo") == L"btnYes";
}

void ControlFiles::start_rename() {
  const int row = get_selection();
  if (row < 0 || row >= get_row_count()) return;
  start_inplace_edit(edit_.get(), 2, row);
  const std::wstring title = os::path_title(get_entry(row).path);
  edit_->set_text(title);
  edit_->set_selection(0, title.size());
}

void ControlFiles::on_item_edit_done(skinner::Control* sender, const skinner::ItemInfo& item, bool accepted) {
  if (sender == this && accepted) {
    finish_rename(edit_->get_text());
    return;
  }
  if (sender != this) ControlGrid::on_item_edit_done(sender, item, accepted);
}

void ControlFiles::finish_rename(const std::wstring& typed) {
  const int row = get_selection();
  if (row < 0 || row >= get_row_count()) return;
  const std::wstring old_path = get_entry(row).path;
  const std::wstring old_name = os::path_file_name(old_path);
  const std::wstring extension = os::path_extension(old_path);
  const std::wstring title = os::path_remove_extension(typed);
  // A name with a separator would move the file elsewhere; an empty one
  // would leave only the extension.
  if (is_bad_file_title(typed) || is_bad_file_title(title)) {
    tell(L"Rename", L"Sorry_cannot_rename", old_name);
    return;
  }
  const std::wstring new_path =
      os::path_join(os::path_directory(old_path), extension.empty() ? title : title + L"." + extension);
  if (os::FileInfo(new_path).exists() && !os::paths_equal(new_path, old_path)) {
    tell(L"Rename", L"Sorry_file_exists", os::path_file_name(new_path));
    return;
  }
  {
    os::WaitCursor wait;
    os::FileInfo(old_path).rename(new_path);
    refresh();
  }
  if (!os::FileInfo(new_path).exists()) {
    tell(L"Rename", L"Sorry_cannot_rename", old_name);
    select_path(old_path);
  } else {
    select_path(new_path);
  }
  on_choice_changed(this);
}

void ControlFiles::move_selected(const std::wstring& target_folder) {
  const int row = get_selection();
  if (row < 0 || row >= get_row_count()) return;
  const FileEntry entry = get_entry(row);
  if (os::path_has_prefix(target_folder, entry.path)) return;
  if (!confirm(L"Change_location", L"Confirm_change_location", entry.name)) return;
  const std::wstring new_path = os::path_join(target_folder, entry.name);
  if (os::FileInfo(new_path).exists()) {
    tell(L"Change_location", L"Sorry_file_exists", entry.name);
    return;
  }
  if (!os::FileInfo(target_folder).exists()) os::create_directory_tree(target_folder);
  const os::FileInfo info(entry.path);
  if (os::get_disk_free_space(target_folder) < static_cast<double>(info.get_size())) {
    tell(L"Change_location", L"Sorry_no_memory", L"");
    return;
  }
  {
    os::WaitCursor wait;
    os::FileInfo(entry.path).rename(new_path);
    refresh();
  }
  if (!os::FileInfo(new_path).exists()) {
    tell(L"Change_location", L"Sorry_cannot_move", entry.name);
    select_path(entry.path);
  } else {
    select_path(new_path);
  }
  on_choice_changed(this);
}

void ControlFiles::delete_selected() {
  const int row = get_selection();
  if (row < 0 || row >= get_row_count()) return;
  const FileEntry entry = get_entry(row);
  if (!confirm(L"Delete_file", L"Confirm_deleting", entry.name)) return;
  {
    os::WaitCursor wait;
    os::delete_file(entry.path);
    refresh();
  }
  if (row >= get_row_count()) set_selection(get_row_count() - 1);
  on_choice_changed(this);
}

}  // namespace vocamo
