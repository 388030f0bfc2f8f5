// The playback and recording panels of the main form and their parts: the
// display (time, title, format), the level bars with the volume or
// voice-activation bar, the position bar, and the cyclic boost selector.
// Each panel's controls come from the skin object its "FormTemplate" names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "skinner/control_button.h"
#include "skinner/control_frame.h"
#include "skinner/control_panel.h"
#include "skinner/control_progress.h"

namespace vocamo {

// Folds an index cyclically into 0 .. count - 1 (count > 0).
int fold_index(int index, int count);

class PanelDisplay : public skinner::ControlPanel {
 public:
  PanelDisplay(skinner::Container& container, const std::wstring& name);
  ~PanelDisplay() override;
  bool on_key_down(skinner::KeyCode key) override;

  skinner::ControlFrame& clock() const { return *clock_; }
  skinner::ControlFrame& title() const { return *title_; }
  skinner::ControlFrame& info() const { return *info_; }

 private:
  std::unique_ptr<skinner::ControlFrame> clock_;
  std::unique_ptr<skinner::ControlFrame> title_;
  std::unique_ptr<skinner::ControlFrame> info_;
};

class PanelLevels : public skinner::ControlPanel {
 public:
  PanelLevels(skinner::Container& container, const std::wstring& name, bool recording);
  ~PanelLevels() override;
  void on_value_tracking(skinner::Control* sender, double value) override;
  bool on_key_down(skinner::KeyCode key) override;

  skinner::ControlProgress& left() const { return *left_; }
  skinner::ControlProgress& right() const { return *right_; }
  skinner::ControlProgress& volume() const { return *volume_; }
  skinner::ControlCheckBox& volume_check() const { return *check_volume_; }
  skinner::ControlCheckBox& vas_check() const { return *check_vas_; }

 private:
  std::unique_ptr<skinner::ControlProgress> left_;
  std::unique_ptr<skinner::ControlProgress> right_;
  std::unique_ptr<skinner::ControlProgress> volume_;
  std::unique_ptr<skinner::ControlCheckBox> check_volume_;
  std::unique_ptr<skinner::ControlCheckBox> check_vas_;
};

// Left and right arrow buttons that the arrow keys press and release.
class ArrowPanel : public skinner::ControlPanel {
 public:
  ArrowPanel(skinner::Container& container, const std::wstring& name);
  ~ArrowPanel() override;
  bool on_key_down(skinner::KeyCode key) override;
  bool on_key_up(skinner::KeyCode key) override;
  void on_focus_lost() override;

 protected:
  std::unique_ptr<skinner::ControlButton> left_button_;
  std::unique_ptr<skinner::ControlButton> right_button_;
};

class PanelPosition : public ArrowPanel {
 public:
  PanelPosition(skinner::Container& container, const std::wstring& name);
  ~PanelPosition() override;
  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;
  void on_value_tracking(skinner::Control* sender, double value) override;

  skinner::ControlProgress& position() const { return *position_; }

 private:
  std::unique_ptr<skinner::ControlProgress> position_;
};

class CyclicCombo : public ArrowPanel {
 public:
  CyclicCombo(skinner::Container& container, const std::wstring& name);
  ~CyclicCombo() override;
  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;

  std::vector<std::wstring> items;
  int index = 0;
  void refresh();

 private:
  std::unique_ptr<skinner::ControlFrame> text_;
};

// The playback and recording panels share one key rule: Enter that the
// panel's controls did not use pauses or resumes.
class PanelMedia : public skinner::ControlPanel {
 public:
  PanelMedia(skinner::Container& container, const std::wstring& name, bool recording);
  ~PanelMedia() override;
  bool on_key_down(skinner::KeyCode key) override;

  PanelDisplay& display() const { return *display_; }
  PanelLevels& levels() const { return *levels_; }
  PanelPosition* position() const { return position_.get(); }
  CyclicCombo* boost() const { return boost_.get(); }

 private:
  std::unique_ptr<PanelDisplay> display_;
  std::unique_ptr<PanelLevels> levels_;
  std::unique_ptr<PanelPosition> position_;
  std::unique_ptr<CyclicCombo> boost_;
};

class PanelPlay : public PanelMedia {
 public:
  PanelPlay(skinner::Container& container, const std::wstring& name) : PanelMedia(container, name, false) {}
};

class PanelRecord : public PanelMedia {
 public:
  PanelRecord(skinner::Container& container, const std::wstring& name) : PanelMedia(container, name, true) {}
};

}  // namespace vocamo
