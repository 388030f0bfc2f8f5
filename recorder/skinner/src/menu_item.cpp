#include "skinner/menu_item.h"

#include "liba/error.h"

namespace skinner {

MenuItem& VBCollection::operator[](std::int32_t pos) {
  if (pos < 0 || pos >= count()) liba::fatal_error(L"VBCollection::operator[]", L"pos is invalid");
  return items_[static_cast<std::size_t>(pos)];
}

const MenuItem& VBCollection::operator[](std::int32_t pos) const {
  if (pos < 0 || pos >= count()) liba::fatal_error(L"VBCollection::operator[]", L"pos is invalid");
  return items_[static_cast<std::size_t>(pos)];
}

void VBCollection::add(const MenuItem& item) { items_.push_back(item); }

void MenuItem::set_owner_where_null(Control* new_owner) {
  if (owner == nullptr) owner = new_owner;
  for (auto& child : items) child.set_owner_where_null(new_owner);
}

}  // namespace skinner
