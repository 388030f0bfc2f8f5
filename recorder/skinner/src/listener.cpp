#include "skinner/listener.h"

namespace skinner {

// A listener that does not handle an event ignores it.
void Listener::on_click(Control*, const ClickInfo&) {}
void Listener::on_item_click(Control*, const ItemInfo&) {}
void Listener::on_item_context_menu(Control*, const ItemInfo&) {}
void Listener::on_item_edit_done(Control*, const ItemInfo&, bool) {}
void Listener::on_spare_event_a(Control*) {}
void Listener::on_scroll(Control*) {}
void Listener::on_command(Control*, const std::wstring&) {}
void Listener::on_value_tracking(Control*, double) {}
void Listener::on_value_changed(Control*) {}
void Listener::on_text_changed(Control*) {}
void Listener::on_header_click(Control*, const ItemInfo&) {}
void Listener::on_header_context_menu(Control*, const ItemInfo&) {}
void Listener::on_choice_changed(Control*) {}
void Listener::on_child_focused(Control*) {}
void Listener::on_menu_popup(Control*) {}
void Listener::on_spare_event_b(Control*) {}

}  // namespace skinner
