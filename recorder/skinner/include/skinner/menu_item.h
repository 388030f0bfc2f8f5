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
  std::int32_t count() const;
  bool empty() const;
  void add(const MenuItem& item);
  void clear();

  // Defined after MenuItem, which must be complete there.
  std::vector<MenuItem>::iterator begin();
  std::vector<MenuItem>::iterator end();
  std::vector<MenuItem>::const_iterator begin() const;
  std::vector<MenuItem>::const_iterator end() const;

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

inline std::int32_t VBCollection::count() const { return static_cast<std::int32_t>(items_.size()); }
inline bool VBCollection::empty() const { return items_.empty(); }
inline void VBCollection::clear() { items_.clear(); }
inline std::vector<MenuItem>::iterator VBCollection::begin() { return items_.begin(); }
inline std::vector<MenuItem>::iterator VBCollection::end() { return items_.end(); }
inline std::vector<MenuItem>::const_iterator VBCollection::begin() const { return items_.begin(); }
inline std::vector<MenuItem>::const_iterator VBCollection::end() const { return items_.end(); }

}  // namespace skinner
