#include "skinner/menu_manager.h"

#include <algorithm>

#include "skinner/control.h"
#include "skinner/form.h"

namespace skinner {

void MenuManager::add_item(Item* item) {
  if (item == nullptr) return;
  if (std::find(items_.begin(), items_.end(), item) == items_.end()) {
    items_.push_back(item);
    std::stable_sort(items_.begin(), items_.end(), [](Item* a, Item* b) { return a->get_order() < b->get_order(); });
  }
  if (form_ != nullptr) form_->refresh_menu();
}

void MenuManager::remove_item(Item* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  if (form_ != nullptr) form_->refresh_menu();
}

void MenuManager::fill_popup(MenuItem& popup) {
  // The owner may register or remove items while it fills: walk a copy.
  const std::vector<Item*> items = items_;
  for (Item* item : items) {
    MenuItem entry;
    item->get_menu_item(entry);
    if (entry.command != popup.command || entry.owner == nullptr) continue;
    ask_owner_to_fill(popup, entry.owner);
    popup.set_owner_where_null(entry.owner);
  }
}

void MenuManager::ask_owner_to_fill(MenuItem& entry, Control* owner) {
  // Filling may happen inside another fill (an owner asking for a soft
  // key's entry): the outer entry comes back afterwards.
  MenuItem* outer = filling_;
  filling_ = &entry;
  if (owner != nullptr) owner->on_menu_popup(owner);
  filling_ = outer;
}

void MenuManager::collect_item(Item* item, MenuItem& out) {
  MenuItem entry;
  item->get_menu_item(entry);
  if (!item->is_submenu()) {
    out.items.add(entry);
  } else {
    ask_owner_to_fill(entry, entry.owner);
    for (const auto& child : entry.items) out.items.add(child);
    if (out.caption.empty()) out.caption = entry.caption;
  }
  out.set_owner_where_null(entry.owner);
}

void MenuManager::reduce(MenuItem& out, const wchar_t* caption_key, const wchar_t* caption_default) {
  if (out.items.count() == 1) {
    MenuItem only = out.items[0];
    out = only;
  } else if (out.caption.empty() && form_ != nullptr) {
    out.caption = form_->translate(caption_key, caption_default);
  }
}

void MenuManager::build_ok_soft_key(MenuItem& out) {
  const std::vector<Item*> items = items_;
  for (Item* item : items)
    if (item->get_command() == kRoleOk) collect_item(item, out);
  reduce(out, L"menuSoftButtonOk", L"Action");
}

void MenuManager::build_soft_keys(MenuItem& out) {
  const std::vector<Item*> items = items_;
  for (Item* item : items) {
    const std::wstring role = item->get_command();
    if (role != kRoleOk && role != kRoleMenu && role != kRoleTab) collect_item(item, out);
  }
  for (Item* item : items)
    if (item->get_command() == kRoleMenu) collect_item(item, out);
  for (Item* item : items) {
    if (item->get_command() != kRoleTab) continue;
    // A tab entry stands between separators at the end of the popup.
    if (!out.items.empty()) out.items[out.items.count() - 1].separator_after = true;
    const std::int32_t first = out.items.count();
    collect_item(item, out);
    for (std::int32_t i = first; i < out.items.count(); ++i) out.items[i].separator_after = true;
  }
  reduce(out, L"menuSoftButtonMenu", L"Menu");
}

}  // namespace skinner
