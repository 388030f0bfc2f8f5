// The recorder's main form: the recordings list, the playback and recording
// panels, the menu bar, and the audio sessions they drive. Every command of
// the form's controls comes here; the settings it keeps go to and come from
// "Settings.xml".
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "audio/sessions.h"
#include "control_files.h"
#include "panels.h"
#include "skinner/control_frame.h"
#include "skinner/control_menu_main.h"
#include "skinner/form.h"
#include "skinner/power_manager.h"

namespace vocamo {

// One recording format of the menu: chain, file extension, rate, bit rate.
struct RecordFormat {
  const wchar_t* command;
  const wchar_t* chain;
  const wchar_t* extension;
  std::uint32_t sample_rate;
  std::uint32_t bit_rate;
};
inline constexpr int kFormatCount = 6;
const RecordFormat& record_format(int format);
// Gain of a boost level, seconds of a screen-off setting.
int boost_gain(int index);
double screen_off_seconds(int setting);

class FormMain : public skinner::Form {
 public:
  FormMain(skinner::Form* parent, skinner::Properties* skin);
  ~FormMain() override;

  void on_click(skinner::Control* sender, const skinner::ClickInfo& info) override;
  void on_command(skinner::Control* sender, const std::wstring& command) override;
  void on_value_changed(skinner::Control* sender) override;
  void on_choice_changed(skinner::Control* sender) override;
  void on_menu_popup(skinner::Control* sender) override;
  void on_timer(std::uint32_t id) override;
  bool on_key_down(skinner::KeyCode key) override;

  void load_settings(const std::wstring& path);
  bool save_settings(const std::wstring& path);
  void apply_settings();

  void stop();
  void start_playback(const std::wstring& path);
  void start_recording(const std::wstring& path, const RecordFormat& format);
  void select_adjacent(bool forward);
  bool update_display();
  void apply_boost(int index);
  void apply_screen_off(int setting);
  void show_playing();
  void show_recording();
  void reset_controls();

  // The message forms; tests put answers in their place.
  std::function<std::wstring(const std::wstring&, const std::wstring&, const std::wstring&)> ask;
  // Tells the person something on the skinned message form with one OK
  // button: the title and text are the language's texts of the two keys.
  void tell(const std::wstring& title_key, const std::wstring& text_key);
  // Whether the skin of the about box and the message forms was read and
  // is of this version.
  bool has_settings_skin() const;
  // The language's text of a key (the key itself when it has none).
  std::wstring translate(const wchar_t* key) const;

  int get_screen_off() const { return screen_off_; }
  int get_folder() const { return folder_; }
  int get_format() const { return format_; }
  const std::wstring& get_language_path() const { return language_path_; }
  bool is_paused() const { return paused_; }
  ControlFiles& files() const { return *files_; }
  PanelPlay& panel_play() const { return *panel_play_; }
  PanelRecord& panel_record() const { return *panel_record_; }
  audio::PlaySession& play_session() { return play_; }
  audio::RecordSession& record_session() { return record_; }
  skinner::Properties& settings_skin() { return settings_skin_; }
  double get_power_interval() const { return power_.interval; }
  skinner::MenuMainButton& button(const std::wstring& name) const;
  std::wstring frame_text(const std::wstring& name) const;
  std::uint32_t get_refresh_timer() const { return refresh_timer_; }

 private:
  void set_list_rect(const wchar_t* frame_name);
  void clear_display(PanelMedia& panel);
  std::wstring ask_user(const std::wstring& title, const std::wstring& text, const std::wstring& form_name);
  void set_frame(const wchar_t* name, const std::wstring& text);

  std::unique_ptr<skinner::ControlMenuMain> menu_main_;
  std::unique_ptr<skinner::MenuMainSubMenu> menu_;
  std::unique_ptr<skinner::MenuMainButton> record_button_;
  std::unique_ptr<skinner::MenuMainButton> pause_button_;
  std::unique_ptr<skinner::MenuMainButton> resume_button_;
  std::unique_ptr<skinner::MenuMainButton> stop_button_;
  std::unique_ptr<skinner::ControlFrame> frm_folder_;
  std::unique_ptr<skinner::ControlFrame> frm_date_;
  std::unique_ptr<skinner::ControlFrame> frm_size_;
  std::unique_ptr<skinner::ControlFrame> play_size_;
  std::unique_ptr<skinner::ControlFrame> record_size_;
  std::unique_ptr<skinner::ControlFrame> big_size_;
  std::unique_ptr<ControlFiles> files_;
  std::unique_ptr<PanelPlay> panel_play_;
  std::unique_ptr<PanelRecord> panel_record_;

  skinner::PowerManagerImplPocket power_;
  std::uint32_t refresh_timer_ = 0;
  int screen_off_ = 0;
  int folder_ = 1;
  int format_ = 1;
  std::wstring language_path_;
  skinner::Properties settings_skin_;
  audio::PlaySession play_;
  audio::RecordSession record_;
  bool paused_ = false;
  // The file the running recording goes into.
  std::wstring recording_path_;
  // Set while the display update moves the position bar, so that the bar's
  // change is not taken for a seek.
  bool updating_display_ = false;
};

}  // namespace vocamo
