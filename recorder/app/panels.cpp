#include "panels.h"

#include <cstdint>

namespace vocamo {

namespace {

constexpr double kStep = 0.05;

}  // namespace

int fold_index(int index, int count) {
  if (count <= 0) return 0;
  // In 64 bits, so that the lowest int folds too.
  const std::int64_t n = count;
  return static_cast<int>(((static_cast<std::int64_t>(index) % n) + n) % n);
}

// --- Display ---------------------------------------------------------------------

PanelDisplay::PanelDisplay(skinner::Container& container, const std::wstring& name) : ControlPanel(container, name) {
  clock_ = std::make_unique<skinner::ControlFrame>(get_inner(), L"frmClock");
  title_ = std::make_unique<skinner::ControlFrame>(get_inner(), L"frmTitle");
  info_ = std::make_unique<skinner::ControlFrame>(get_inner(), L"frmInfo");
}

PanelDisplay::~PanelDisplay() {
  info_.reset();
  title_.reset();
  clock_.reset();
}

bool PanelDisplay::on_key_down(skinner::KeyCode key) {
  if (key == skinner::KeyCode::Left) {
    on_command(this, L"Prev");
    return true;
  }
  if (key == skinner::KeyCode::Right) {
    on_command(this, L"Next");
    return true;
  }
  return false;
}

// --- Levels ----------------------------------------------------------------------

PanelLevels::PanelLevels(skinner::Container& container, const std::wstring& name, bool recording)
    : ControlPanel(container, name) {
  left_ = std::make_unique<skinner::ControlProgress>(get_inner(), L"pbLeft");
  right_ = std::make_unique<skinner::ControlProgress>(get_inner(), L"pbRight");
  volume_ = std::make_unique<skinner::ControlProgress>(get_inner(), L"pbVolume");
  check_volume_ = std::make_unique<skinner::ControlCheckBox>(get_inner(), L"chkVolume");
  check_vas_ = std::make_unique<skinner::ControlCheckBox>(get_inner(), L"chkVAS");
  check_volume_->set_visible(!recording);
  check_vas_->set_visible(recording);
}

PanelLevels::~PanelLevels() {
  check_vas_.reset();
  check_volume_.reset();
  volume_.reset();
  right_.reset();
  left_.reset();
}

void PanelLevels::on_value_tracking(skinner::Control* sender, double value) {
  if (sender == volume_.get()) volume_->set_value(value);
}

bool PanelLevels::on_key_down(skinner::KeyCode key) {
  if (key == skinner::KeyCode::Left) {
    volume_->set_value(volume_->get_value() - kStep);
    return true;
  }
  if (key == skinner::KeyCode::Right) {
    volume_->set_value(volume_->get_value() + kStep);
    return true;
  }
  return false;
}

// --- Arrow buttons ---------------------------------------------------------------

ArrowPanel::ArrowPanel(skinner::Container& container, const std::wstring& name) : ControlPanel(container, name) {
  left_button_ = std::make_unique<skinner::ControlButton>(get_inner(), L"btnLeft");
  right_button_ = std::make_unique<skinner::ControlButton>(get_inner(), L"btnRight");
}

ArrowPanel::~ArrowPanel() {
  right_button_.reset();
  left_button_.reset();
}

bool ArrowPanel::on_key_down(skinner::KeyCode key) {
  if (key == skinner::KeyCode::Left) {
    left_button_->set_pressed(true);
    return true;
  }
  if (key == skinner::KeyCode::Right) {
    right_button_->set_pressed(true);
    return true;
  }
  return false;
}

bool ArrowPanel::on_key_up(skinner::KeyCode key) {
  if (key == skinner::KeyCode::Left) {
    left_button_->set_pressed(false);
    return true;
  }
  if (key == skinner::KeyCode::Right) {
    right_button_->set_pressed(false);
    return true;
  }
  return false;
}

void ArrowPanel::on_focus_lost() {
  left_button_->set_pressed(false);
  right_button_->set_pressed(false);
  ControlPanel::on_focus_lost();
}

// --- Position --------------------------------------------------------------------

PanelPosition::PanelPosition(skinner::Container& container, const std::wstring& name) : ArrowPanel(container, name) {
  position_ = std::make_unique<skinner::ControlProgress>(get_inner(), L"pbPosition");
}

PanelPosition::~PanelPosition() { position_.reset(); }

void PanelPosition::on_click(skinner::Control* sender, const skinner::ClickInfo&) {
  if (sender == left_button_.get()) position_->set_value(position_->get_value() - kStep);
  if (sender == right_button_.get()) position_->set_value(position_->get_value() + kStep);
}

void PanelPosition::on_value_tracking(skinner::Control* sender, double value) {
  if (sender == position_.get()) position_->set_value(value);
}

// --- Cyclic selector -------------------------------------------------------------

CyclicCombo::CyclicCombo(skinner::Container& container, const std::wstring& name) : ArrowPanel(container, name) {
  text_ = std::make_unique<skinner::ControlFrame>(get_inner(), L"frmText");
}

CyclicCombo::~CyclicCombo() { text_.reset(); }

void CyclicCombo::on_click(skinner::Control* sender, const skinner::ClickInfo& info) {
  if (sender == left_button_.get()) {
    index = index == INT32_MIN ? 0 : index - 1;
    refresh();
  } else if (sender == right_button_.get()) {
    index = index == INT32_MAX ? 0 : index + 1;
    refresh();
  }
  ControlPanel::on_click(this, info);
}

void CyclicCombo::refresh() {
  if (items.empty()) {
    index = 0;
    text_->set_text(L"");
    return;
  }
  index = fold_index(index, static_cast<int>(items.size()));
  text_->set_text(items[static_cast<std::size_t>(index)]);
}

// --- Playback and recording panels -----------------------------------------------

PanelMedia::PanelMedia(skinner::Container& container, const std::wstring& name, bool recording)
    : ControlPanel(container, name) {
  display_ = std::make_unique<PanelDisplay>(get_inner(), L"panelDisplay");
  levels_ = std::make_unique<PanelLevels>(get_inner(), L"panelLevels", recording);
  if (recording) {
    boost_ = std::make_unique<CyclicCombo>(get_inner(), L"panelBoost");
  } else {
    position_ = std::make_unique<PanelPosition>(get_inner(), L"panelPosition");
  }
}

PanelMedia::~PanelMedia() {
  boost_.reset();
  position_.reset();
  levels_.reset();
  display_.reset();
}

bool PanelMedia::on_key_down(skinner::KeyCode key) {
  if (ControlPanel::on_key_down(key)) return false;
  if (key == skinner::KeyCode::Enter) {
    on_command(this, L"Pause");
    return true;
  }
  return false;
}

}  // namespace vocamo
