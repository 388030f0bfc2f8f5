// The menu of one form: the items its controls register (menu-bar buttons,
// sub-menus, buttons that act as soft keys), kept in their order, and how
// they gather into the two soft keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skinner/menu_item.h"

namespace skinner {

class Form;

// Soft-key roles an item answers from get_command.
inline constexpr const wchar_t* kRoleOk = L"#smartphone_ok#";
inline constexpr const wchar_t* kRoleMenu = L"#smartphone_menu#";
inline constexpr const wchar_t* kRoleTab = L"#smartphone_tab#";

class MenuManager {
 public:
  class Item {
   public:
    Item() = default;
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;
    virtual ~Item() = default;
    virtual void get_menu_item(MenuItem& out) = 0;
    // True when the owner fills the entry's children as the menu opens.
    virtual bool is_submenu() = 0;
    // The soft-key role (see above); anything else goes on the right key first.
    virtual std::wstring get_command() = 0;
    virtual std::int32_t get_order() = 0;
  };

  explicit MenuManager(Form* form) : form_(form) {}

  // An item already registered is not added twice (a control whose panel
  // is shown again registers again).
  void add_item(Item* item);
  void remove_item(Item* item);
  void fill_popup(MenuItem& popup);
  void build_ok_soft_key(MenuItem& out);
  void build_soft_keys(MenuItem& out);

  const std::vector<Item*>& get_items() const { return items_; }
  // The entry whose children an owner is asked to supply (through its
  // on_menu_popup event): set only while that event runs.
  MenuItem* get_popup_being_filled() const { return filling_; }
  Form* get_form() const { return form_; }

 private:
  void collect_item(Item* item, MenuItem& out);
  void ask_owner_to_fill(MenuItem& entry, Control* owner);
  void reduce(MenuItem& out, const wchar_t* caption_key, const wchar_t* caption_default);

  Form* form_;
  std::vector<Item*> items_;  // not owned, by get_order ascending
  MenuItem* filling_ = nullptr;
};

}  // namespace skinner
