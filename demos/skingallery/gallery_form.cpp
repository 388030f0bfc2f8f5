#include "gallery_form.h"

#include <algorithm>

#include "skinner/canvas.h"

namespace gallery {

namespace {

const wchar_t* const kNames[] = {L"Amber", L"Birch", L"Cedar", L"Dune",    L"Ember", L"Fern",
                                 L"Glade", L"Heath", L"Iris",  L"Juniper", L"Kelp",  L"Larch"};

}  // namespace

// --- The list --------------------------------------------------------------------

GalleryGrid::GalleryGrid(skinner::Container& container, const std::wstring& name) : ControlGrid(container, name) {}

void GalleryGrid::load_properties() {
  ControlGrid::load_properties();
  icon_ = read_picture(L"Icon", skinner::Picture());
}

void GalleryGrid::set_rows(int rows) {
  rows_ = std::max(rows, 0);
  relayout();
  invalidate();
}

std::wstring GalleryGrid::row_name(int row) const {
  return std::wstring(kNames[static_cast<std::size_t>(row) % std::size(kNames)]) + L" " + std::to_wstring(row + 1);
}

void GalleryGrid::draw_cell(int column, int row, skinner::Canvas& canvas, skinner::Point position, skinner::Point size,
                            bool selected, bool highlighted) {
  const skinner::StateLook& look = get_item_picture(selected, highlighted);
  look.picture.draw(canvas, position, size);
  if (column == 0) {
    // The icon: a small square whose shade follows the row.
    const int side = std::min(size.y - 6, 12);
    const auto shade = static_cast<std::uint8_t>(60 + (row * 37) % 160);
    canvas.fill({position.x + 4, position.y + (size.y - side) / 2}, {side, side}, skinner::Colour{shade, 120, 200, 0});
    icon_.draw(canvas, {position.x + 4, position.y + (size.y - side) / 2}, {side, side});
    skinner::draw_text(look.font, canvas, look.colour, row_name(row), {position.x + 20, position.y},
                       {size.x - 22, size.y}, 0, 1);
  } else {
    skinner::draw_text(look.font, canvas, look.colour, std::to_wstring((row + 1) * 7 % 100), position,
                       {size.x - 6, size.y}, 2, 1);
  }
}

// --- The message form ------------------------------------------------------------

MessageForm::MessageForm(skinner::Form* parent, skinner::Properties* properties)
    : Form(parent, properties, L"Message"), menu_(std::make_unique<skinner::ControlMenuMain>(*this, L"msgMenu")) {}

MessageForm::~MessageForm() { menu_.reset(); }

void MessageForm::on_click(skinner::Control* sender, const skinner::ClickInfo&) {
  if (sender != nullptr && sender->get_name() == L"msgOk") close();
}

// --- The gallery -----------------------------------------------------------------

GalleryForm::GalleryForm(skinner::Properties* properties) : Form(nullptr, properties, L"Gallery") {
  greet_ = std::make_unique<skinner::ControlButton>(*this, L"greet");
  message_ = std::make_unique<skinner::ControlButton>(*this, L"message");
  loud_ = std::make_unique<skinner::ControlCheckBox>(*this, L"loud");
  edit_ = std::make_unique<skinner::ControlEdit>(*this, L"name");
  bold_ = std::make_unique<skinner::ControlCheckBox>(*this, L"bold");
  grid_ = std::make_unique<GalleryGrid>(*this, L"list");
  level_ = std::make_unique<skinner::ControlProgress>(*this, L"level");
  pan_ = std::make_unique<skinner::ControlScrollBar>(*this, L"pan");
  box_ = std::make_unique<skinner::ControlPanel>(*this, L"box");
  menu_ = std::make_unique<skinner::ControlMenuMain>(*this, L"menu");
  menu_greet_ = std::make_unique<skinner::MenuMainButton>(*this, L"cmdHello", L"&Hello", L"", 1);
  menu_more_ = std::make_unique<skinner::MenuMainSubMenu>(*this, L"cmdMore", L"More", L"#smartphone_menu#", 2);
  open_message = [this] { run_message(); };
  level_->set_value(0.3);
}

GalleryForm::~GalleryForm() {
  // The controls go before the form's own parts.
  menu_more_.reset();
  menu_greet_.reset();
  menu_.reset();
  box_.reset();
  pan_.reset();
  level_.reset();
  grid_.reset();
  bold_.reset();
  edit_.reset();
  loud_.reset();
  message_.reset();
  greet_.reset();
}

void GalleryForm::show_status(const std::wstring& text) {
  status_ = text;
  if (auto* frame = dynamic_cast<skinner::ControlFrame*>(find_control(L"status"))) frame->set_text(text);
}

void GalleryForm::run_message() {
  MessageForm message(this, get_properties());
  message.run();
  show_status(L"The message form closed.");
}

void GalleryForm::on_click(skinner::Control* sender, const skinner::ClickInfo&) {
  if (sender == nullptr) return;
  const std::wstring& name = sender->get_name();
  if (name == L"greet" || name == L"ok") {
    show_status(L"Hello, " + edit_->get_text() + (loud_->is_checked() ? L"!" : L"."));
  } else if (name == L"message") {
    if (open_message) open_message();
  } else if (name == L"loud" || name == L"bold") {
    auto* box = static_cast<skinner::ControlCheckBox*>(sender);
    show_status(name + (box->is_checked() ? L" is on." : L" is off."));
  } else if (name == L"name") {
    show_status(L"Editing the name.");
  }
}

void GalleryForm::on_command(skinner::Control*, const std::wstring& command) {
  if (command == L"cmdHello") {
    show_status(L"Hello from the menu.");
  } else if (command == L"cmdReset") {
    edit_->set_text(L"Sample text");
    level_->set_value(0.3);
    pan_->set_value(0);
    grid_->set_selection(-1);
    show_status(L"Everything reset.");
  } else if (command == L"cmdMoreRows") {
    grid_->set_rows(grid_->get_row_count() + 10);
    show_status(std::to_wstring(grid_->get_row_count()) + L" rows.");
  } else if (command == L"cmdQuit") {
    close();
  } else if (command == L"#ScreenResolution#") {
    show_status(L"The screen changed.");
  }
}

void GalleryForm::on_menu_popup(skinner::Control*) {
  skinner::MenuItem* popup = get_menu_manager().get_popup_being_filled();
  if (popup == nullptr) return;
  skinner::MenuItem reset(L"cmdReset", L"Reset");
  skinner::MenuItem more(L"cmdMoreRows", L"More rows");
  more.separator_after = true;
  skinner::MenuItem quit(L"cmdQuit", L"Quit");
  popup->items.add(reset);
  popup->items.add(more);
  popup->items.add(quit);
}

void GalleryForm::on_choice_changed(skinner::Control*) {
  // The list shows its selection itself; the status line is left alone so
  // that a key in the list repaints the list only.
}

void GalleryForm::on_item_click(skinner::Control* sender, const skinner::ItemInfo& item) {
  if (sender == grid_.get() && item.row >= 0 && item.row < grid_->get_row_count())
    show_status(L"Tapped " + grid_->row_name(item.row) + L".");
}

void GalleryForm::on_text_changed(skinner::Control* sender) {
  if (sender == edit_.get()) show_status(L"Name: " + edit_->get_text());
}

void GalleryForm::on_value_tracking(skinner::Control* sender, double value) {
  if (sender != level_.get()) return;
  level_->set_value(value);
  show_status(L"Level " + std::to_wstring(static_cast<int>(value * 100 + 0.5)) + L"%.");
}

void GalleryForm::on_scroll(skinner::Control* sender) {
  if (sender == pan_.get()) {
    level_->set_value_in_range(0, 90, pan_->get_value());
    show_status(L"Scrolled to " + std::to_wstring(pan_->get_value()) + L".");
  }
}

}  // namespace gallery
