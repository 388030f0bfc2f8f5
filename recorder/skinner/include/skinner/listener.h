// The framework's event interface. Every control, container and form is a
// listener; a control raises an event by calling the same operation on its
// container, which hands it to its owner, so events bubble up to the form,
// whose application class tells the senders apart.
#pragma once

#include <string>

#include "skinner/properties.h"

namespace skinner {

class Control;

// A tap that ended a press: where, and whether it was the second tap of a
// double tap.
struct ClickInfo {
  Point point;
  bool double_tap = false;
};

// A grid row or header event: the cell (row -1 for the header), the offset
// of the point inside the cell, the point, and the double-tap flag.
struct ItemInfo {
  int column = 0;
  int row = 0;
  Point offset;
  Point point;
  bool double_tap = false;
};

class Listener {
 public:
  virtual ~Listener() = default;

  virtual void on_click(Control* sender, const ClickInfo& info);
  virtual void on_item_click(Control* sender, const ItemInfo& item);
  virtual void on_item_context_menu(Control* sender, const ItemInfo& item);
  virtual void on_item_edit_done(Control* sender, const ItemInfo& item, bool accepted);
  virtual void on_spare_event_a(Control* sender);
  virtual void on_scroll(Control* sender);
  virtual void on_command(Control* sender, const std::wstring& command);
  virtual void on_value_tracking(Control* sender, double value);
  virtual void on_value_changed(Control* sender);
  virtual void on_text_changed(Control* sender);
  virtual void on_header_click(Control* sender, const ItemInfo& header);
  virtual void on_header_context_menu(Control* sender, const ItemInfo& header);
  virtual void on_choice_changed(Control* sender);
  virtual void on_child_focused(Control* sender);
  virtual void on_menu_popup(Control* sender);
  virtual void on_spare_event_b(Control* sender);
};

}  // namespace skinner
