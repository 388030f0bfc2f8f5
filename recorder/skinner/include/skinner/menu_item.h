// One menu entry as the menu bar, the soft keys and context menus see it,
// and the collection of entries below it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skinner {

class Control;
struct MenuItem;

// Entries with an index that is checked: a position outside the collection
// ends the process.
class VBCollection {
 public:
  MenuItem& operator[](std::int32_t pos);
  const MenuItem& operator[](std::int32_t pos) const;
  std::int32_t count() const { return static_cast<std::int32_t>(items_.size()); }
  bool empty() const { return items_.empty(); }
  void add(const MenuItem& item);
  void clear() { items_.clear(); }

  std::vector<MenuItem>::iterator begin() { return items_.begin(); }
  std::vector<MenuItem>::iterator end() { return items_.end(); }
  std::vector<MenuItem>::const_iterator begin() const { return items_.begin(); }
  std::vector<MenuItem>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<MenuItem> items_;
};

struct MenuItem {
  MenuItem() = default;
  MenuItem(std::wstring command_name, std::wstring caption_text)
      : command(std::move(command_name)), caption(std::move(caption_text)) {}

  // Sets the owner of this entry and of every entry below it where none is
  // set yet.
  void set_owner_where_null(Control* new_owner);

  VBCollection items;
  std::wstring command;
  Control* owner = nullptr;  // receives the command; not owned
  std::wstring caption;      // '&' marks an access key
  std::wstring shortcut;     // shown after a tab in popup menus
  bool enabled = true;
  bool separator_after = false;
  bool checked = false;
  std::int32_t image = -1;  // into the menu bar's images; -1 none
};

}  // namespace skinner
