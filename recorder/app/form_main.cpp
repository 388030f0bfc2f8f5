#include "form_main.h"

#include <cmath>
#include <cwchar>

#include "audio/chains.h"
#include "ce/mmsystem.h"
#include "ce/windows.h"
#include "file_texts.h"
#include "forms.h"
#include "os/application.h"
#include "os/file.h"
#include "os/finder.h"
#include "os/log.h"
#include "os/path.h"
#include "os/xml.h"
#include "recording_repair.h"
#include "skinner/device_caps.h"
#include "skinner/menu_item.h"
#include "vocamo_main.h"

namespace vocamo {

namespace {

constexpr RecordFormat kFormats[kFormatCount] = {
    {L"MP3_low", L"mp3", L"mp3", 22050, 32000},  {L"MP3_middle", L"mp3", L"mp3", 44100, 64000},
    {L"MP3_high", L"mp3", L"mp3", 44100, 96000}, {L"WAV_low", L"PCM", L"wav", 8000, 0},
    {L"WAV_middle", L"PCM", L"wav", 22050, 0},   {L"WAV_high", L"PCM", L"wav", 44100, 0},
};
const wchar_t* const kScreenOffCommands[] = {L"ScreenOff_never", L"ScreenOff_10sec", L"ScreenOff_30sec",
                                             L"ScreenOff_1min", L"ScreenOff_2min"};
constexpr const wchar_t* kProductLine = L"Zentra Vocamo v1.0";
constexpr const wchar_t* kEnglish = L"%app_path%/English.lng";
constexpr const wchar_t* kSettingsSkin = L"%app_path%/skins/settings/settings.skin";
constexpr double kRefreshSeconds = 0.2;

bool starts_with(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A whole decimal number of the text, or nothing.
bool parse_int(const std::wstring& text, int& out) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  errno = 0;
  const long value = std::wcstol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != L'\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

bool parse_double(const std::wstring& text, double& out) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  const double value = std::wcstod(text.c_str(), &end);
  if (end == text.c_str() || *end != L'\0' || !std::isfinite(value)) return false;
  out = value;
  return true;
}

std::wstring fixed6(double value) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"%f", value);
  return buffer;
}

class CollectLanguages : public os::Finder {
 public:
  bool on_file(const std::wstring& path) override {
    paths.push_back(path);
    return true;
  }
  std::vector<std::wstring> paths;
};

void play_cue(const wchar_t* name) { sndPlaySoundW(os::expand_path(std::wstring(L"%app_path%\\") + name).c_str(), 0); }

// An empty file, or one whose reader finds no sound in it.
bool holds_no_sound(const std::wstring& path) {
  if (os::FileInfo(path).get_size() == 0) return true;
  const auto chain = audio::create_play_chain(path);
  return !chain || chain->get_reader() == nullptr || chain->get_reader()->get_length() == 0;
}

std::wstring info_line(std::uint32_t rate, std::uint32_t bits, std::uint32_t bit_rate) {
  return std::to_wstring(rate / 1000) + L"kHz " + std::to_wstring(bits) + L"bit " + std::to_wstring(bit_rate / 1000) +
         L"kbps";
}

}  // namespace

const RecordFormat& record_format(int format) { return kFormats[format >= 0 && format < kFormatCount ? format : 1]; }

int boost_gain(int index) {
  switch (index) {
    case 1:
      return 2;
    case 2:
      return 4;
    case 3:
      return 8;
    default:
      return 1;
  }
}

double screen_off_seconds(int setting) {
  switch (setting) {
    case 1:
      return 10;
    case 2:
      return 30;
    case 3:
      return 60;
    case 4:
      return 120;
    default:
      return 0;
  }
}

FormMain::FormMain(skinner::Form* parent, skinner::Properties* skin)
    : Form(parent, skin, L"FormMain"), power_(get_window(), 0) {
  menu_main_ = std::make_unique<skinner::ControlMenuMain>(*this, L"MenuMain");
  menu_ = std::make_unique<skinner::MenuMainSubMenu>(*this, L"Menu", L":)", L"#smartphone_menu#", 0);
  record_button_ = std::make_unique<skinner::MenuMainButton>(*this, L"Record", L":)", L"#smartphone_ok#", 1);
  pause_button_ = std::make_unique<skinner::MenuMainButton>(*this, L"Pause", L":)", L"#smartphone_menu#", 1);
  resume_button_ = std::make_unique<skinner::MenuMainButton>(*this, L"Resume", L":)", L"#smartphone_menu#", 1);
  stop_button_ = std::make_unique<skinner::MenuMainButton>(*this, L"Stop", L":)", L"#smartphone_ok#", 0);
  frm_folder_ = std::make_unique<skinner::ControlFrame>(*this, L"frmFolder");
  frm_date_ = std::make_unique<skinner::ControlFrame>(*this, L"frmDate");
  frm_size_ = std::make_unique<skinner::ControlFrame>(*this, L"frmSize");
  play_size_ = std::make_unique<skinner::ControlFrame>(*this, L"lstFiles_playsize");
  record_size_ = std::make_unique<skinner::ControlFrame>(*this, L"lstFiles_recordsize");
  big_size_ = std::make_unique<skinner::ControlFrame>(*this, L"lstFiles_bigsize");
  files_ = std::make_unique<ControlFiles>(*this, L"lstFiles");
  panel_play_ = std::make_unique<PanelPlay>(*this, L"panelPlay");
  panel_record_ = std::make_unique<PanelRecord>(*this, L"panelRecord");
  for (auto* frame : {play_size_.get(), record_size_.get(), big_size_.get()}) frame->set_visible(false);

  settings_skin_.reset(skinner::Properties::create_language_only());
  files_->ask = [this](const std::wstring& title, const std::wstring& text, const std::wstring& form_name) {
    return ask_user(title, text, form_name);
  };

  pause_button_->set_visible(false);
  resume_button_->set_visible(false);
  stop_button_->set_visible(false);
  frm_folder_->set_text(L"My Vocamo");
  files_->fill();
  files_->rebuild_rows();
  panel_play_->set_visible(false);
  panel_record_->set_visible(false);
  refresh_timer_ = set_timer(kRefreshSeconds);
}

FormMain::~FormMain() {
  stop();
  kill_timer(refresh_timer_);
  panel_record_.reset();
  panel_play_.reset();
  files_.reset();
  big_size_.reset();
  record_size_.reset();
  play_size_.reset();
  frm_size_.reset();
  frm_date_.reset();
  frm_folder_.reset();
  stop_button_.reset();
  resume_button_.reset();
  pause_button_.reset();
  record_button_.reset();
  menu_.reset();
  menu_main_.reset();
}

skinner::MenuMainButton& FormMain::button(const std::wstring& name) const {
  if (name == L"Menu") return *menu_;
  if (name == L"Pause") return *pause_button_;
  if (name == L"Resume") return *resume_button_;
  if (name == L"Stop") return *stop_button_;
  return *record_button_;
}

std::wstring FormMain::frame_text(const std::wstring& name) const {
  if (name == L"frmDate") return frm_date_->get_text();
  if (name == L"frmSize") return frm_size_->get_text();
  return frm_folder_->get_text();
}

std::wstring FormMain::translate(const wchar_t* key) const {
  return skinner::Properties::translate(*get_properties(), key, key);
}

void FormMain::tell(const std::wstring& title_key, const std::wstring& text_key) {
  ask_user(translate(title_key.c_str()), translate(text_key.c_str()), L"MessageOk");
}

bool FormMain::has_settings_skin() const {
  return skinner::Properties::match_screen(settings_skin_, kSkinVersion, skinner::get_screen_size());
}

std::wstring FormMain::ask_user(const std::wstring& title, const std::wstring& text, const std::wstring& form_name) {
  if (ask) return ask(title, text, form_name);
  FormMessage message(this, &settings_skin_, title, text, form_name);
  message.run();
  return message.get_result();
}

// --- Commands --------------------------------------------------------------------

void FormMain::on_command(skinner::Control*, const std::wstring& command) {
  if (command == L"Play") {
    show_playing();
    start_playback(files_->get_selected_path());
    return;
  }
  if (command == L"Record") {
    std::wstring folder;
    if (!files_->get_location_folder(folder_, folder)) return;
    // The prefix names a file in that folder: no separators, and no dot
    // that would be taken for an extension.
    std::wstring prefix = skinner::Properties::translate(*get_properties(), L"Record_prefix", L"memo");
    std::erase_if(prefix, [](wchar_t c) { return c == L'\\' || c == L'/' || c == L'.' || c == L':'; });
    const RecordFormat& format = record_format(format_);
    const std::wstring path = next_record_name(folder, prefix, format.extension);
    if (path.empty()) return;  // all 999 names taken: nothing to record into
    show_recording();
    start_recording(path, format);
    return;
  }
  if (command == L"Pause" || command == L"Resume") {
    const bool playing = play_.is_playing();
    const bool recording = record_.is_recording();
    if (!playing && !recording) return;
    paused_ = !paused_;
    pause_button_->set_visible(!paused_);
    resume_button_->set_visible(paused_);
    if (recording) {
      if (paused_)
        record_.pause();
      else
        record_.resume();
    } else if (paused_) {
      play_.pause();
    } else {
      play_.resume();
    }
    return;
  }
  if (command == L"Stop") {
    reset_controls();
    stop();
    return;
  }
  if (command == L"Prev" || command == L"Next") {
    select_adjacent(command == L"Next");
    return;
  }
  if (command == L"Rename") {
    files_->start_rename();
    return;
  }
  if (command == L"Delete") {
    files_->delete_selected();
    return;
  }
  if (command == L"Refresh_list") {
    const std::wstring selected = files_->get_selected_path();
    files_->fill();
    files_->rebuild_rows();
    files_->select_path(selected);
    // The row may keep its index while its file changed (or the list was
    // empty before): the frames show the selected file's facts anew.
    on_choice_changed(files_.get());
    return;
  }
  for (int i = 0; i < 5; ++i) {
    if (command == kScreenOffCommands[i]) {
      screen_off_ = i;
      return;
    }
  }
  for (int i = 0; i < kFormatCount; ++i) {
    if (command == kFormats[i].command) {
      format_ = i;
      return;
    }
  }
  if (command == L"About") {
    AboutForm about(this, &settings_skin_, L"About", kProductLine);
    about.run();
    return;
  }
  if (command == L"Exit") {
    close();
    return;
  }
  if (starts_with(command, L"Folder_")) {
    folder_ = command.substr(7) == files_->get_location_name(0) ? 0 : 1;
    return;
  }
  if (starts_with(command, L"Language_")) {
    language_path_ = command.substr(9);
    apply_settings();
    return;
  }
  if (starts_with(command, L"Location_")) {
    files_->move_selected(command.substr(9));
    return;
  }
}

void FormMain::on_menu_popup(skinner::Control* sender) {
  if (sender != menu_.get()) return;
  skinner::MenuItem* popup = get_menu_manager().get_popup_being_filled();
  if (popup == nullptr) return;
  const auto caption = [this](const std::wstring& key) {
    return skinner::Properties::translate(*get_properties(), key, key);
  };
  skinner::MenuItem refresh(L"Refresh_list", caption(L"Menu_Refresh_list"));
  refresh.separator_after = true;
  popup->items.add(refresh);
  if (!skinner::is_smartphone()) {
    skinner::MenuItem screen(L"ScreenOff", caption(L"Menu_ScreenOff"));
    for (int i = 0; i < 5; ++i) {
      skinner::MenuItem item(kScreenOffCommands[i], caption(std::wstring(L"Menu_") + kScreenOffCommands[i]));
      item.checked = screen_off_ == i;
      screen.items.add(item);
    }
    popup->items.add(screen);
  }
  files_->fill();
  const int locations = static_cast<int>(files_->get_locations().size());
  if (locations >= 2) {
    skinner::MenuItem folder(L"Folder", caption(L"Menu_Folder"));
    for (int i = 0; i < locations; ++i) {
      const std::wstring name = files_->get_location_name(i);
      skinner::MenuItem item(L"Folder_" + name, name);
      item.checked = folder_ == i;
      folder.items.add(item);
    }
    popup->items.add(folder);
  }
  skinner::MenuItem formats(L"Recording_format", caption(L"Menu_Recording_format"));
  for (int i = 0; i < kFormatCount; ++i) {
    skinner::MenuItem item(kFormats[i].command, caption(std::wstring(L"Menu_") + kFormats[i].command));
    item.checked = format_ == i;
    formats.items.add(item);
  }
  popup->items.add(formats);
  CollectLanguages languages;
  os::Finder::find(languages, os::path_strip_separator(os::expand_path(L"%app_path%")), L"*.lng", L"", false);
  if (languages.paths.size() >= 2) {
    skinner::MenuItem language(L"Language", caption(L"Menu_Language"));
    for (const std::wstring& path : languages.paths) {
      skinner::MenuItem item(L"Language_" + path, os::path_title(path));
      item.checked = os::paths_equal(path, os::expand_path(language_path_));
      language.items.add(item);
    }
    popup->items.add(language);
  }
  popup->items.add(skinner::MenuItem(L"About", caption(L"Menu_About")));
  popup->items.add(skinner::MenuItem(L"Exit", caption(L"Menu_Exit")));
}

void FormMain::on_timer(std::uint32_t id) {
  if (id == refresh_timer_) {
    power_.on_message(WM_TIMER, power_.timer_id, 0);
    if (update_display()) {
      // A recording whose file could not be written further (a full
      // device) ends as a Stop would, and the person is told, so that the
      // next press is not taken for the start of a new recording.
      const bool unwritable = record_.is_recording() && !record_.chain()->get_writer()->is_open();
      reset_controls();
      stop();
      if (unwritable) tell(L"Record", L"Sorry_cannot_write");
    }
  }
  Form::on_timer(id);
}

bool FormMain::on_key_down(skinner::KeyCode key) {
  // A key wakes a display that was switched off and starts the idle time anew.
  power_.on_message(WM_KEYDOWN, 0, 0);
  return Form::on_key_down(key);
}

void FormMain::on_value_changed(skinner::Control* sender) {
  PanelLevels& play_levels = panel_play_->levels();
  PanelLevels& record_levels = panel_record_->levels();
  if (sender == &play_levels.volume()) {
    const double value = play_levels.volume().get_value();
    play_.player().set_volume(value);
    play_levels.volume_check().set_checked(value > 0);
  } else if (sender == &record_levels.volume()) {
    const double value = record_levels.volume().get_value();
    record_.level_meter().set_threshold(value);
    record_levels.vas_check().set_checked(value > 0);
  } else if (panel_play_->position() != nullptr && sender == &panel_play_->position()->position()) {
    // The display update moves the bar too: only the user's moves seek.
    if (updating_display_ || !play_.is_playing()) return;
    const double value = panel_play_->position()->position().get_value();
    play_.seek(static_cast<std::uint32_t>(static_cast<double>(play_.length()) * value));
  }
}

void FormMain::on_choice_changed(skinner::Control* sender) {
  if (sender != files_.get()) return;
  const FileEntry entry = files_->get_entry(files_->get_selection());
  frm_size_->set_text(entry.size_text);
  frm_date_->set_text(entry.date_text);
}

void FormMain::on_click(skinner::Control* sender, const skinner::ClickInfo&) {
  if (sender != nullptr && sender == panel_record_->boost()) apply_boost(panel_record_->boost()->index);
}

// --- Control states --------------------------------------------------------------

void FormMain::set_list_rect(const wchar_t* frame_name) {
  skinner::ControlFrame* frame = frame_name == std::wstring(L"lstFiles_playsize")     ? play_size_.get()
                                 : frame_name == std::wstring(L"lstFiles_recordsize") ? record_size_.get()
                                                                                      : big_size_.get();
  const skinner::Rect rect = frame->get_rect();
  if (rect.width > 0 && rect.height > 0) files_->set_rect(rect.position(), rect.size());
}

void FormMain::clear_display(PanelMedia& panel) {
  panel.display().clock().set_text(format_duration(0));
  panel.display().title().set_text(L"");
  panel.display().info().set_text(L"");
  panel.levels().left().set_value(0);
  panel.levels().right().set_value(0);
}

void FormMain::show_playing() {
  files_->set_enabled(false);
  set_list_rect(L"lstFiles_playsize");
  // The panel of a recording that this playback ends goes.
  panel_record_->set_visible(false);
  panel_play_->set_visible(true);
  panel_play_->levels().set_focus();
  clear_display(*panel_play_);
  updating_display_ = true;
  if (panel_play_->position() != nullptr) panel_play_->position()->position().set_value(0);
  updating_display_ = false;
  menu_->set_visible(false);
  record_button_->set_visible(false);
  pause_button_->set_visible(true);
  resume_button_->set_visible(false);
  stop_button_->set_visible(true);
  apply_screen_off(screen_off_);
}

void FormMain::show_recording() {
  files_->set_enabled(false);
  set_list_rect(L"lstFiles_recordsize");
  // The panel of a playback that this recording ends goes.
  panel_play_->set_visible(false);
  panel_record_->set_visible(true);
  panel_record_->levels().set_focus();
  clear_display(*panel_record_);
  menu_->set_visible(false);
  record_button_->set_visible(false);
  pause_button_->set_visible(true);
  resume_button_->set_visible(false);
  stop_button_->set_visible(true);
  apply_screen_off(screen_off_);
}

void FormMain::reset_controls() {
  // The list first takes the focus back from the panel that held it, so
  // that Enter acts on the selected recording at once; a panel hidden
  // while nothing else could take the focus would keep it.
  files_->set_enabled(true);
  set_list_rect(L"lstFiles_bigsize");
  files_->set_focus();
  panel_play_->set_visible(false);
  panel_record_->set_visible(false);
  menu_->set_visible(true);
  record_button_->set_visible(true);
  pause_button_->set_visible(false);
  resume_button_->set_visible(false);
  stop_button_->set_visible(false);
  power_.set_interval(0);
  paused_ = false;
}

// --- Playback and recording ------------------------------------------------------

void FormMain::start_playback(const std::wstring& path) {
  files_->select_path(path);
  on_choice_changed(files_.get());
  // A recording is finished before a file is opened for playback: its own
  // file, read while it is still being written, would end where the
  // writing stood.
  if (record_.is_recording()) stop();
  auto chain = audio::create_play_chain(path);
  if (chain) {
    stop();
    paused_ = false;
    if (play_.start(std::move(chain))) {
      // A playback that replaced a paused one is not paused.
      pause_button_->set_visible(true);
      resume_button_->set_visible(false);
      return;
    }
  }
  reset_controls();
  stop();
}

void FormMain::start_recording(const std::wstring& path, const RecordFormat& format) {
  // Named from before the file exists until the stop has finished it, so
  // that a start after a crash mends what was written, or removes a file
  // that a kill during the cue left empty.
  mark_unfinished(kUnfinishedMarker, path);
  {
    os::File file(path, 1);
    if (!file.is_ok()) {
      clear_unfinished(kUnfinishedMarker);
      reset_controls();
      stop();
      return;
    }
  }
  const std::wstring selected = files_->get_selected_path();
  // A recording that cannot start leaves no file behind: the file made for
  // it goes, and the list shows what it showed before.
  const auto abandon = [&] {
    os::delete_file(path);
    clear_unfinished(kUnfinishedMarker);
    files_->rebuild_rows();
    files_->select_path(selected);
    on_choice_changed(files_.get());
    reset_controls();
    stop();
  };
  files_->add_entry(path);
  files_->select_path(path);
  on_choice_changed(files_.get());
  auto chain = audio::create_record_chain(path, format.chain, format.bit_rate, false);
  if (!chain) {
    abandon();
    return;
  }
  stop();
  paused_ = false;
  play_cue(L"Voicbeep.wav");
  // A start that fails has closed the file (the chain is gone with it).
  if (record_.start(std::move(chain), 1, format.sample_rate)) {
    recording_path_ = path;
    return;
  }
  abandon();
  // The person learns why nothing records, in the language chosen.
  tell(L"Record", waveInGetNumDevs() == 0 ? L"Sorry_no_microphone" : L"Sorry_microphone_failed");
}

void FormMain::stop() {
  play_.stop();
  if (record_.is_recording()) {
    const bool unwritable = !record_.chain()->get_writer()->is_open();
    record_.end_capture();
    play_cue(L"RecEnd.wav");
    os::WaitCursor wait;
    record_.stop();
    // A recording that could not write any sound leaves no file behind.
    if (unwritable && holds_no_sound(recording_path_)) os::delete_file(recording_path_);
    // A start that stops this recording has named its own file already.
    if (os::paths_equal(read_unfinished(kUnfinishedMarker), recording_path_)) clear_unfinished(kUnfinishedMarker);
    recording_path_.clear();
    const std::wstring selected = files_->get_selected_path();
    files_->rebuild_rows();
    files_->select_path(selected);
    on_choice_changed(files_.get());
  }
}

void FormMain::select_adjacent(bool forward) {
  // A recording ends only by Stop, Play, its writer closing, an overflow or
  // a failure: stepping through the list neither ends it nor plays over it.
  if (record_.is_recording()) return;
  const int row = files_->get_selection() + (forward ? 1 : -1);
  if (files_->get_row_count() > 0 && row >= 0 && row < files_->get_row_count()) {
    // From idle the screen turns to the playing state; while playing it
    // stays as it is, so the focus stays on the display panel that stepped.
    if (!play_.is_playing() || !panel_play_->get_visible_flag()) show_playing();
    start_playback(files_->get_entry(row).path);
  } else {
    reset_controls();
    stop();
  }
}

bool FormMain::update_display() {
  if (play_.is_playing()) {
    audio::FileReader* reader = play_.chain()->get_reader();
    PanelDisplay& display = panel_play_->display();
    display.clock().set_text(format_duration(play_.position_time()));
    display.title().set_text(os::path_file_name(files_->get_selected_path()));
    display.info().set_text(info_line(reader->get_sample_rate(), reader->get_bits_per_sample(), reader->get_bitrate()));
    updating_display_ = true;
    panel_play_->levels().volume().set_value(play_.player().get_volume());
    panel_play_->levels().left().set_value(play_.level_meter().get_level(0));
    panel_play_->levels().right().set_value(play_.level_meter().get_level(1));
    const double length = play_.length();
    const double position = play_.position();
    if (panel_play_->position() != nullptr)
      panel_play_->position()->position().set_value(length > 0 ? position / length : 0);
    updating_display_ = false;
    // Ended once the reader is through and the player has played it out,
    // so that the end of the recording is heard.
    return play_.is_played_out();
  }
  if (record_.is_recording()) {
    if (record_.has_ended()) return true;
    PanelDisplay& display = panel_record_->display();
    display.clock().set_text(format_duration(record_.position()));
    display.title().set_text(os::path_file_name(files_->get_selected_path()));
    audio::Recorder* recorder = record_.recorder();
    audio::RecordChain* chain = record_.chain();
    if (recorder != nullptr)
      display.info().set_text(
          info_line(recorder->get_sample_rate(), recorder->get_bits_per_sample(), chain->get_encoder()->get_bitrate()));
    if (!paused_) record_.set_silent(record_.level_meter().is_silence_timeout());
    const double level = record_.level_meter().get_level(0);
    panel_record_->levels().left().set_value(level);
    panel_record_->levels().right().set_value(level);
    frm_size_->set_text(format_size(
        static_cast<std::int32_t>(std::min<std::uint32_t>(chain->get_writer()->get_written(), 0x7FFFFFFFu))));
    return false;
  }
  return false;
}

void FormMain::apply_boost(int index) { record_.booster().set_gain(boost_gain(index)); }

void FormMain::apply_screen_off(int setting) {
  power_.set_interval(screen_off_seconds(setting));
  power_.reset_idle_time();
}

// --- Settings --------------------------------------------------------------------

void FormMain::load_settings(const std::wstring& path) {
  const os::XmlNode document = os::load_xml_document(path);
  const os::XmlNode root = os::find_xml_child(document, L"Settings");
  std::wstring text;
  if (os::get_xml_attribute(root, L"Language", text)) language_path_ = text;
  apply_settings();

  // Values outside their range (a damaged or hand-edited file) keep the
  // defaults rather than index past the tables.
  int value = 0;
  screen_off_ = 0;
  if (os::get_xml_attribute(root, L"ScreenOff", text) && parse_int(text, value) && value >= 0 && value <= 4)
    screen_off_ = value;
  std::wstring selected;
  os::get_xml_attribute(root, L"SelectedPath", selected);
  files_->select_path(selected);
  on_choice_changed(files_.get());

  double number = 1.0;
  double volume = 1.0;
  if (os::get_xml_attribute(root, L"Volume", text) && parse_double(text, number)) volume = number;
  panel_play_->levels().volume().set_value(volume);
  double level = 0.0;
  if (os::get_xml_attribute(root, L"VasLevel", text) && parse_double(text, number)) level = number;
  panel_record_->levels().volume().set_value(level);

  CyclicCombo& boost = *panel_record_->boost();
  if (os::get_xml_attribute(root, L"Boost", text) && parse_int(text, value)) boost.index = value;
  // Folded before it is applied, so the gain is the one the selector shows.
  boost.refresh();
  apply_boost(boost.index);

  folder_ = 1;
  if (os::get_xml_attribute(root, L"Folder", text) && parse_int(text, value) && (value == 0 || value == 1))
    folder_ = value;
  format_ = 1;
  if (os::get_xml_attribute(root, L"Format", text) && parse_int(text, value) && value >= 0 && value < kFormatCount)
    format_ = value;
}

bool FormMain::save_settings(const std::wstring& path) {
  const os::XmlNode document = os::create_xml_document();
  const os::XmlNode root = os::append_xml_element(document, L"Settings");
  os::set_xml_attribute(root, L"Language", language_path_);
  os::set_xml_attribute(root, L"ScreenOff", std::to_wstring(screen_off_));
  os::set_xml_attribute(root, L"SelectedPath", files_->get_selected_path());
  os::set_xml_attribute(root, L"Volume", fixed6(panel_play_->levels().volume().get_value()));
  os::set_xml_attribute(root, L"VasLevel", fixed6(panel_record_->levels().volume().get_value()));
  os::set_xml_attribute(root, L"Boost", std::to_wstring(panel_record_->boost()->index));
  os::set_xml_attribute(root, L"Folder", std::to_wstring(folder_));
  os::set_xml_attribute(root, L"Format", std::to_wstring(format_));
  // Written beside the old file and renamed over it, so a failed write
  // never leaves a half file.
  const std::wstring target = os::expand_path(path);
  const std::wstring fresh = target + L".new";
  if (!os::save_xml_document(document, fresh)) {
    os::get_log() << L"save_settings: cannot write " << fresh << L"\n";
    os::delete_file(fresh);
    return false;
  }
  if (!MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    os::get_log() << L"save_settings: cannot replace " << target << L" (" << std::to_wstring(GetLastError()) << L")\n";
    os::delete_file(fresh);
    return false;
  }
  return true;
}

void FormMain::apply_settings() {
  if (!skinner::Properties::set_language(*get_properties(), os::expand_path(language_path_))) {
    language_path_ = kEnglish;
    skinner::Properties::set_language(*get_properties(), os::expand_path(language_path_));
  }
  // A settings skin that is missing, damaged or of another version is
  // refused (the start-up then warns and ends); one that was accepted before
  // stays in use rather than give way to a damaged one.
  const skinner::Point screen = skinner::get_screen_size();
  auto fresh = std::make_unique<skinner::PropertiesImpl>(os::expand_path(kSettingsSkin),
                                                         os::expand_path(language_path_), screen);
  if (fresh->match_screen(kSkinVersion, screen) || !has_settings_skin())
    settings_skin_.reset(fresh.release());
  else
    skinner::Properties::set_language(settings_skin_, os::expand_path(language_path_));
  CyclicCombo& boost = *panel_record_->boost();
  boost.items.clear();
  for (const wchar_t* key : {L"Boost_off", L"Boost_on1", L"Boost_on2", L"Boost_on3"})
    boost.items.push_back(skinner::Properties::translate(*get_properties(), key, key));
  boost.refresh();
}

}  // namespace vocamo
