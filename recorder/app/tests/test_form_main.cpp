// The main form in-process on a headless device whose microphone plays a
// known signal: recording into every format (the signal found in the file
// by ffmpeg), playback heard on the speaker, the list's file operations, the
// commands and the settings file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "audio/mp3_encoder.h"
#include "ce/aygshell.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "file_texts.h"
#include "form_main.h"
#include "forms.h"
#include "vocamo_main.h"
#include "os/com_scope.h"
#include "os/file.h"
#include "os/path.h"
#include "recording_repair.h"
#include "skinner/control_subclass.h"
#include "skinner/device_caps.h"
#include "skinner/form_impl.h"
#include "skinner/menu_item.h"
#include "skinner/menu_manager_impl.h"
#include "skinner/properties.h"
#include "speaker_time.h"
#include "temp_device.h"

namespace {

constexpr unsigned kMicRate = 44100;
constexpr unsigned kCompareRate = 8000;

// Three tones under a slow swell: every lag of up to a second looks
// different, and nothing lies above what the lowest MP3 quality keeps.
double signal_at(double t) {
  const double tones = 0.30 * std::sin(2 * std::numbers::pi * 350 * t) +
                       0.20 * std::sin(2 * std::numbers::pi * 620 * t + 1.0) +
                       0.15 * std::sin(2 * std::numbers::pi * 1130 * t + 2.0);
  return tones * (0.6 + 0.4 * std::sin(2 * std::numbers::pi * 1.3 * t));
}

std::vector<double> reference(unsigned rate, double seconds) {
  std::vector<double> out(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = signal_at(static_cast<double>(i) / rate);
  return out;
}

// The best normalised correlation of `heard` against the reference at any
// lag up to max_lag either way, over the span they share.
double best_correlation(const std::vector<double>& heard, const std::vector<double>& ref, int max_lag) {
  double best = -1;
  for (int lag = -max_lag; lag <= max_lag; lag += 1) {
    double xy = 0, xx = 0, yy = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < heard.size(); ++i) {
      const long j = static_cast<long>(i) + lag;
      if (j < 0 || j >= static_cast<long>(ref.size())) continue;
      xy += heard[i] * ref[static_cast<std::size_t>(j)];
      xx += heard[i] * heard[i];
      yy += ref[static_cast<std::size_t>(j)] * ref[static_cast<std::size_t>(j)];
      ++n;
    }
    if (n > heard.size() / 2 && xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
  }
  return best;
}

// The file's sound decoded by ffmpeg as mono at the comparison rate.
std::vector<double> decode(const std::string& host_path) {
  const std::string command =
      "ffmpeg -v error -i '" + host_path + "' -f s16le -ac 1 -ar " + std::to_string(kCompareRate) + " - 2>/dev/null";
  std::vector<double> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::int16_t sample = 0;
  while (std::fread(&sample, 2, 1, pipe) == 1) out.push_back(sample / 32768.0);
  pclose(pipe);
  return out;
}

std::string host_of(const ce::test::TempDevice& device, const std::wstring& device_path) {
  std::string relative;
  for (wchar_t c : device_path.substr(1)) relative += c == L'\\' ? '/' : static_cast<char>(c);
  return device.HostPath(relative);
}

class VocamoForm : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DEVICE_PROGRAM_FOLDER", VO_DATA_DIR, 1);
    ::setenv("DEVICE_PLATFORM_TYPE", "PocketPC", 1);
    ::setenv("DEVICE_STORAGE_CARDS", "Storage Card", 1);
    ::unsetenv("DEVICE_SPEAKER");
    ce::testing::ReloadDevice();
    ce::testing::ReloadScreen();
    skinner::forget_device_caps();
    skinner::install_device_info();
    // The microphone's input: ten seconds of the signal.
    std::vector<std::uint8_t> samples;
    for (double v : reference(kMicRate, 10.0)) {
      const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
      samples.push_back(static_cast<std::uint8_t>(s & 0xFF));
      samples.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    const auto wav = ce::testing::MakeWav({1, kMicRate, 16}, samples);
    mic_ = device_.HostPath("mic.wav");
    std::ofstream(mic_, std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    ::setenv("DEVICE_MIC", mic_.c_str(), 1);
    CreateDirectoryW(L"\\Storage Card", nullptr);
    SetFileAttributesW(L"\\Storage Card", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);
    skinner::Properties::create_named(skin_, os::expand_path(L"%app_path%/skins/default/default.skin"), L"",
                                      skinner::get_screen_size());
    ASSERT_TRUE(skinner::Properties::match_screen(skin_, L"Vocamo_1.00", skinner::get_screen_size()));
  }
  void TearDown() override {
    ::unsetenv("DEVICE_MIC");
    ::unsetenv("DEVICE_SPEAKER");
    ::unsetenv("DEVICE_STORAGE_CARDS");
  }

  std::unique_ptr<vocamo::FormMain> make_form() {
    auto form = std::make_unique<vocamo::FormMain>(nullptr, &skin_);
    form->load_settings(settings_path());
    form->ask = [this](const std::wstring& title, const std::wstring& text, const std::wstring& form_name) {
      asked.push_back(title + L"|" + text + L"|" + form_name);
      if (answers.empty()) return std::wstring(L"btnOk");
      const std::wstring answer = answers.front();
      answers.pop_front();
      return answer;
    };
    return form;
  }
  static std::wstring settings_path() { return os::path_join(L"%app_path%", L"Settings.xml"); }
  std::string read_settings() {
    std::ifstream in(host_of(device_, L"\\Program Files\\vo_app_tests\\Settings.xml"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  ce::test::TempDevice device_;
  os::ComScope com_;  // the XML document is a component, as in the program
  skinner::Properties skin_;
  std::string mic_;
  std::vector<std::wstring> asked;
  std::deque<std::wstring> answers;
};

TEST_F(VocamoForm, RecordsEveryFormatWithTheSignalAndPlaysItBack) {
  auto form = make_form();
  const wchar_t* formats[] = {L"MP3_low", L"MP3_middle", L"MP3_high", L"WAV_low", L"WAV_middle", L"WAV_high"};
  const std::vector<double> ref = reference(kCompareRate, 10.0);
  std::wstring wav_low;
  for (const wchar_t* format : formats) {
    SCOPED_TRACE(std::string(format, format + std::wcslen(format)));
    form->on_command(nullptr, format);
    form->on_command(nullptr, L"Record");
    ASSERT_TRUE(form->record_session().is_recording());
    EXPECT_FALSE(form->panel_play().is_visible());
    EXPECT_TRUE(form->button(L"Stop").get_visible_flag());
    EXPECT_FALSE(form->button(L"Record").get_visible_flag());
    Sleep(1500);
    EXPECT_FALSE(form->update_display());
    form->on_command(nullptr, L"Stop");
    // The time meter holds the recorded time after the stop too.
    const double recorded = form->record_session().position();
    EXPECT_FALSE(form->record_session().is_recording());
    EXPECT_TRUE(form->button(L"Record").get_visible_flag());

    const std::wstring path = form->files().get_selected_path();
    EXPECT_EQ(os::path_extension(path), vocamo::record_format(form->get_format()).extension);
    const std::vector<double> heard = decode(host_of(device_, path));
    ASSERT_FALSE(heard.empty()) << "ffmpeg decodes nothing";
    EXPECT_GT(recorded, 1.0);
    // A WAV file holds what the time meter counted; an MP3 file that and
    // the encoder's delay, then silence to the end of its last frame.
    const double heard_time = static_cast<double>(heard.size()) / kCompareRate;
    const vocamo::RecordFormat& made = vocamo::record_format(form->get_format());
    if (made.bit_rate == 0) {
      EXPECT_NEAR(heard_time, recorded, 0.005);
    } else {
      audio::MP3EncoderParams* encoder =
          audio::mp3_encoder_create(static_cast<std::int32_t>(made.sample_rate), 1, made.bit_rate / 1000);
      ASSERT_NE(encoder, nullptr);
      const double rate = encoder->output_rate;
      const double delay = audio::kMP3EncoderDelay / rate;
      const double frame = encoder->samples_per_frame / rate;
      audio::mp3_encoder_release(encoder);
      EXPECT_GE(heard_time, recorded + delay - 0.005);
      EXPECT_LE(heard_time, recorded + delay + frame + 0.005);
    }
    EXPECT_GE(best_correlation(heard, ref, kCompareRate / 2), 0.95);
    if (std::wstring(format) == L"WAV_low") wav_low = path;
  }

  // Played back: the speaker hears the signal, the position bar moves.
  ce::testing::TakePlayedAudio();
  form->files().select_path(wav_low);
  form->on_command(nullptr, L"Play");
  ASSERT_TRUE(form->play_session().is_playing());
  EXPECT_TRUE(form->panel_play().get_visible_flag());
  bool ended = false;
  double last_position = 0;
  for (int i = 0; i < 60 && !ended; ++i) {
    Sleep(100);
    ended = form->update_display();
    const double position = form->panel_play().position()->position().get_value();
    EXPECT_GE(position, last_position);  // the display's own moves never seek back
    last_position = position;
  }
  EXPECT_TRUE(ended);
  form->on_command(nullptr, L"Stop");
  std::vector<double> played;
  for (const auto& buffer : ce::testing::TakePlayedAudio()) {
    if (buffer.format.bits != 16) continue;
    const unsigned rate = buffer.format.rate;
    ASSERT_EQ(rate, 8000u);
    for (std::size_t i = 0; i + 1 < buffer.bytes.size(); i += 2 * buffer.format.channels)
      played.push_back(static_cast<std::int16_t>(buffer.bytes[i] | (buffer.bytes[i + 1] << 8)) / 32768.0);
  }
  ASSERT_GT(played.size(), kCompareRate);
  EXPECT_GE(best_correlation(played, ref, kCompareRate / 2), 0.95);
}

TEST_F(VocamoForm, ARunningRecordingIsNamedUntilStoppedAndACutOffOneIsMendedBeforeItIsListed) {
  auto form = make_form();
  form->on_command(nullptr, L"WAV_low");
  form->on_command(nullptr, L"Record");
  ASSERT_TRUE(form->record_session().is_recording());
  const std::wstring path = form->files().get_selected_path();
  EXPECT_EQ(vocamo::read_unfinished(vocamo::kUnfinishedMarker), path);
  Sleep(1200);
  form->on_command(nullptr, L"Stop");
  EXPECT_EQ(vocamo::read_unfinished(vocamo::kUnfinishedMarker), L"");
  form.reset();

  // As a crash leaves it: more data than the header says, half a sample at
  // the end, and the marker still there.
  const std::string host = host_of(device_, path);
  std::ofstream(host, std::ios::binary | std::ios::app) << std::string(3001, '\x10');
  ASSERT_TRUE(vocamo::mark_unfinished(vocamo::kUnfinishedMarker, path));
  EXPECT_TRUE(vocamo::repair_unfinished(vocamo::kUnfinishedMarker));
  const os::FileInfo mended(path);
  std::ifstream in(host, std::ios::binary);
  char header[44] = {};
  in.read(header, sizeof header);
  std::uint32_t data_size = 0;
  std::memcpy(&data_size, header + 40, 4);
  EXPECT_EQ(data_size + 44, mended.get_size());
  EXPECT_EQ(data_size % 2, 0u);

  form = make_form();
  form->files().select_path(path);
  EXPECT_EQ(form->files().get_entry(form->files().get_selection()).size_text,
            vocamo::format_size(static_cast<std::int32_t>(mended.get_size())));
}

// A recording that cannot start leaves no file: neither in the list nor,
// read again, in the folder, for a format with a header (WAV) and one
// without (MP3).
TEST_F(VocamoForm, NoMicrophoneIsSaidAndTheFormStaysIdle) {
  ::unsetenv("DEVICE_MIC");  // a desktop's device has no microphone unless it is given one
  auto form = make_form();
  std::wstring said;
  form->report = [&](const std::wstring& text) { said = text; };
  const int rows = form->files().get_row_count();
  for (const wchar_t* format : {L"WAV_low", L"MP3_low"}) {
    said.clear();
    form->on_command(nullptr, format);
    form->on_command(nullptr, L"Record");
    EXPECT_FALSE(form->record_session().is_recording()) << format;
    EXPECT_EQ(said, L"No microphone was found: nothing can be recorded.") << format;
    EXPECT_EQ(form->files().get_row_count(), rows) << format;
    form->files().rebuild_rows();
    EXPECT_EQ(form->files().get_row_count(), rows) << format;
  }
  EXPECT_TRUE(form->button(L"Record").get_visible_flag());
  EXPECT_FALSE(form->panel_record().get_visible_flag());
  // Stop, Pause and Resume with nothing running change nothing.
  form->on_command(nullptr, L"Resume");
  EXPECT_FALSE(form->is_paused());
  form->on_command(nullptr, L"Nonsense");
}

// Runs what is queued through the form's own dispatch (the Pocket PC key
// path included) until nothing is left.
void pump(skinner::Form& form) {
  MSG msg{};
  for (int guard = 0; guard < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++guard)
    form.get_impl().dispatch_message(msg);
}

// Answers each popup menu that opens on the form: notes the entry it
// opened with highlighted, then chooses `answer`.
class PopupAnswer : public skinner::ControlSubclass {
 public:
  static constexpr UINT kAnswer = WM_USER + 93;
  explicit PopupAnswer(HWND window) { subclass(window); }
  LRESULT window_proc(UINT message, WPARAM, LPARAM, bool& pass_on) override {
    if (message == WM_INITMENUPOPUP) PostMessageW(get_hooked_window(), kAnswer, 0, 0);
    if (message != kAnswer) return 0;
    pass_on = false;
    std::wstring highlighted = L"(none)";
    captions.clear();
    for (const auto& entry : ce::testing::OpenMenuEntries()) {
      if (entry.selected) highlighted = entry.caption;
      captions.push_back(entry.caption);
    }
    opened.push_back(highlighted);
    // Nothing of that caption (another language): the popup is given up.
    if (!ce::testing::ChooseMenuEntry(answer)) PostMessageW(get_hooked_window(), WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
  }
  std::wstring answer = L"Cancel";
  std::vector<std::wstring> opened;    // the highlighted entry of each popup
  std::vector<std::wstring> captions;  // the entries of the last one
};

TEST_F(VocamoForm, AfterARecordingOrPlaybackTheListHasTheFocusAndItsMenuOpensOnEnterOrAHold) {
  auto form = make_form();
  form->load_properties();
  pump(*form);
  PopupAnswer popups(form->get_window());
  vocamo::ControlFiles& files = form->files();
  EXPECT_EQ(files.get_row_count(), 0);
  EXPECT_EQ(files.get_selection(), 0);  // as for a path no longer listed
  form->on_command(nullptr, L"WAV_low");
  form->on_command(nullptr, L"Record");
  ASSERT_TRUE(form->record_session().is_recording());
  EXPECT_FALSE(files.has_focus());
  Sleep(1200);
  form->on_command(nullptr, L"Stop");
  // The list, not the hidden panel, takes the keys again.
  EXPECT_TRUE(files.has_focus());
  const std::wstring recording = files.get_selected_path();
  ASSERT_FALSE(recording.empty());

  // Enter opens the row's menu with "Play" highlighted; choosing it plays.
  popups.answer = L"Play";
  PostMessageW(form->get_window(), WM_KEYDOWN, VK_RETURN, 0);
  pump(*form);
  EXPECT_EQ(popups.opened, std::vector<std::wstring>{L"Play"});
  ASSERT_TRUE(form->play_session().is_playing());
  EXPECT_EQ(files.get_selected_path(), recording);
  // Played to its end: the list has the focus again.
  for (int i = 0; i < 100 && form->play_session().is_playing(); ++i) {
    Sleep(100);
    form->on_timer(form->get_refresh_timer());
  }
  EXPECT_FALSE(form->play_session().is_playing());
  EXPECT_TRUE(files.has_focus());
  EXPECT_EQ(files.get_selected_path(), recording);

  // Press and hold on the row opens the same menu once the pen lifts.
  popups.answer = L"Cancel";
  const skinner::Point cell = files.get_cell_position(2, files.get_selection());
  const LPARAM at = MAKELPARAM(static_cast<WORD>(cell.x + 30), static_cast<WORD>(cell.y + 15));
  PostMessageW(form->get_window(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  pump(*form);  // recognised as a hold after half a second
  EXPECT_EQ(popups.opened.size(), 1u);
  PostMessageW(form->get_window(), WM_LBUTTONUP, 0, at);
  pump(*form);
  EXPECT_EQ(popups.opened, (std::vector<std::wstring>{L"Play", L"Play"}));
  EXPECT_FALSE(form->play_session().is_playing());
}

TEST_F(VocamoForm, EveryTextFollowsAChangeOfLanguageAtOnce) {
  os::create_directory_tree(L"\\My Documents\\My Vocamo");
  os::File(L"\\My Documents\\My Vocamo\\memo001.wav", 1);
  auto form = make_form();
  form->load_properties();
  pump(*form);
  PopupAnswer popups(form->get_window());
  const auto* bar = dynamic_cast<skinner::MenuManagerImplPocket*>(&form->get_impl().get_menu_manager());
  ASSERT_NE(bar, nullptr);
  // Every text the main form shows or opens: the list's title, the menu
  // bar's entries and soft keys, the main menu, the boost selector and
  // the list's own menu.
  const auto texts = [&] {
    // The shell's bar follows after the next message the form handles
    // (the command came straight here, not as a message).
    PostMessageW(form->get_window(), WM_NULL, 0, 0);
    pump(*form);
    std::vector<std::wstring> out{form->frame_text(L"frmFolder")};
    for (const wchar_t* name : {L"Record", L"Menu", L"Pause", L"Resume", L"Stop"}) {
      skinner::MenuItem item;
      form->button(name).get_menu_item(item);
      out.push_back(item.caption);
    }
    for (const auto& button :
         ce::testing::MenuBarButtons(bar->get_bar()).value_or(std::vector<ce::testing::MenuBarButton>{}))
      out.push_back(L"key:" + button.caption);
    skinner::MenuItem popup;
    form->button(L"Menu").get_menu_item(popup);
    popup.items.clear();
    form->get_menu_manager().fill_popup(popup);
    for (const auto& item : popup.items) {
      out.push_back(item.caption);
      for (const auto& sub : item.items) out.push_back(sub.caption);
    }
    for (const auto& item : form->panel_record().boost()->items) out.push_back(item);
    form->files().show_context_menu(0);
    out.insert(out.end(), popups.captions.begin(), popups.captions.end());
    return out;
  };
  const auto language = [&](const wchar_t* name) {
    return L"Language_" + os::path_join(os::expand_path(L"%app_path%"), name);
  };
  const std::vector<std::wstring> english = texts();
  EXPECT_EQ(english[0], L"My Vocamo");
  EXPECT_NE(std::find(english.begin(), english.end(), L"key:Record"), english.end());

  form->on_command(nullptr, language(L"Deutsch.lng"));
  const std::vector<std::wstring> german = texts();
  ASSERT_EQ(german.size(), english.size());
  EXPECT_EQ(german[0], L"Meine Aufnahmen");
  EXPECT_NE(std::find(german.begin(), german.end(), L"key:Aufnahme"), german.end());
  EXPECT_NE(std::find(german.begin(), german.end(), L"Abspielen"), german.end());

  // Back to English: every text is the English one again, at once; and
  // once more to German.
  form->on_command(nullptr, language(L"English.lng"));
  EXPECT_EQ(texts(), english);
  form->on_command(nullptr, language(L"Deutsch.lng"));
  EXPECT_EQ(texts(), german);
}

TEST_F(VocamoForm, OnASmartphoneThePanelsArrowsStayOnTheFormAndOffTheSoftKeys) {
  ::setenv("DEVICE_PLATFORM_TYPE", "Smartphone", 1);
  skinner::forget_device_caps();
  skinner::install_device_info();
  auto form = make_form();
  form->load_properties();
  pump(*form);
  const auto right_key = [&] {
    skinner::MenuItem key(L"#FakeId#", L"");
    form->get_menu_manager().build_soft_keys(key);
    return key;
  };
  // Recording (the boost arrows) and playing (the position arrows): the
  // right soft key is "Pause" alone, so it acts at once.
  form->on_command(nullptr, L"WAV_low");
  form->on_command(nullptr, L"Record");
  ASSERT_TRUE(form->record_session().is_recording());
  EXPECT_EQ(right_key().command, L"Pause");
  EXPECT_TRUE(right_key().items.empty());
  auto& boost = *form->panel_record().boost();
  for (skinner::Control* child : boost.get_inner().get_children()) {
    if (child->get_name() != L"btnLeft" && child->get_name() != L"btnRight") continue;
    EXPECT_TRUE(child->is_visible());
    const skinner::Rect rect = child->get_rect();
    EXPECT_TRUE(child->hit_test({rect.x + rect.width / 2, rect.y + rect.height / 2})) << "not drawn";
  }
  Sleep(500);
  form->on_command(nullptr, L"Stop");
  form->on_command(nullptr, L"Play");
  ASSERT_TRUE(form->play_session().is_playing());
  EXPECT_EQ(right_key().command, L"Pause");
  EXPECT_TRUE(right_key().items.empty());
  form->on_command(nullptr, L"Stop");
}

TEST_F(VocamoForm, AMessageShowsItsTitleAndTheMainFormThroughItsEdges) {
  auto form = make_form();
  form->load_properties();
  pump(*form);
  vocamo::FormMessage message(form.get(), &form->settings_skin(), L"Delete file", L"Sure?", L"MessageYesNo");
  message.load_properties();
  RECT at{};
  GetWindowRect(message.get_window(), &at);
  // The message's corner is fully transparent: the main form shows there.
  const COLORREF under = ce::testing::ScreenPixel(at.left, at.bottom - 1);
  pump(message);
  EXPECT_EQ(ce::testing::ScreenPixel(at.left, at.bottom - 1), under);
  EXPECT_NE(ce::testing::ScreenPixel(at.left + 1, at.bottom - 2), RGB(0, 255, 255));
  // The title stands in the caption bar the skin puts at the top: light
  // letters on a dark bar.
  int light = 0;
  int dark = 0;
  for (int y = at.top + 2; y < at.top + 20; ++y) {
    int row_light = 0;
    int row_dark = 0;
    for (int x = at.left + 4; x < at.left + 80; ++x) {
      const COLORREF pixel = ce::testing::ScreenPixel(x, y);
      if (GetRValue(pixel) > 200 && GetGValue(pixel) > 200) ++row_light;
      if (GetBValue(pixel) < 160 && GetRValue(pixel) < 100) ++row_dark;
    }
    dark += row_dark;
    if (row_dark > 30) light += row_light;  // letters within the bar
  }
  EXPECT_GT(dark, 400);
  EXPECT_GT(light, 40);

  // Back (Escape) closes it without an answer.
  PostMessageW(message.get_window(), WM_KEYDOWN, VK_ESCAPE, 0);
  pump(message);
  EXPECT_FALSE(IsWindowVisible(message.get_window()));
  EXPECT_EQ(message.get_result(), L"");
}

TEST_F(VocamoForm, TheAboutBoxCoversTheMainFormWhereTheSkinPlacesIt) {
  auto form = make_form();
  form->load_properties();
  pump(*form);
  vocamo::AboutForm about(form.get(), &form->settings_skin(), L"About", L"Zentra Vocamo v1.0");
  about.load_properties();
  PostMessageW(about.get_window(), WM_NULL, 0, 0);
  pump(about);
  // Over the main form's place, with its own soft keys: OK on the left,
  // nothing on the right.
  EXPECT_EQ(about.get_window_position(), form->get_window_position());
  EXPECT_EQ(about.get_window_size(), form->get_window_size());
  const auto keys = ce::testing::MenuBarButtons(about.get_impl().get_menu_manager().get_bar());
  ASSERT_TRUE(keys.has_value());
  ASSERT_EQ(keys->size(), 2u);
  EXPECT_EQ(keys->at(0).caption, L"OK");
  EXPECT_TRUE(keys->at(0).enabled);
  EXPECT_EQ(keys->at(1).caption, L"");
  EXPECT_FALSE(keys->at(1).enabled);

  // The link opens the address it shows.
  const std::string requests = ce::testing::DeviceRuntimeFolder() + "/shell-requests.log";
  std::remove(requests.c_str());
  skinner::ControlButton* link = nullptr;
  for (skinner::Control* child : about.get_children())
    if (child->get_name() == L"btnLink") link = dynamic_cast<skinner::ControlButton*>(child);
  ASSERT_NE(link, nullptr);
  link->click_at_centre();
  std::ifstream log(requests);
  std::string line;
  std::getline(log, line);
  const std::wstring shown = link->get_text();
  EXPECT_NE(line.find(std::string(shown.begin(), shown.end())), std::string::npos) << line;
  EXPECT_NE(line.find(std::string(vocamo::kMakerAddress, vocamo::kMakerAddress + std::wcslen(vocamo::kMakerAddress))),
            std::string::npos)
      << line;

  // The OK soft key closes it, and so does Back (Escape).
  SendMessageW(about.get_window(), WM_COMMAND, 100, 0);
  EXPECT_FALSE(IsWindowVisible(about.get_window()));
  vocamo::AboutForm again(form.get(), &form->settings_skin(), L"About", L"Zentra Vocamo v1.0");
  again.load_properties();
  PostMessageW(again.get_window(), WM_KEYDOWN, VK_ESCAPE, 0);
  pump(again);
  EXPECT_FALSE(IsWindowVisible(again.get_window()));
}

TEST_F(VocamoForm, RenamingTheLastVisibleRowKeepsTheEditAboveTheInputPanel) {
  os::create_directory_tree(L"\\My Documents\\My Vocamo");
  for (int i = 1; i <= 12; ++i) os::File(L"\\My Documents\\My Vocamo\\memo0" + std::to_wstring(10 + i) + L".wav", 1);
  auto form = make_form();
  form->load_properties();
  form->set_active(true);
  pump(*form);
  vocamo::ControlFiles& files = form->files();
  files.set_focus();
  files.select_path(files.get_entry(files.get_row_count() - 1).path);
  pump(*form);
  files.start_rename();
  pump(*form);
  SIPINFO sip{};
  sip.cbSize = sizeof(sip);
  ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0));
  ASSERT_NE(sip.fdwFlags & SIPF_ON, 0u);
  const skinner::Rect edit = files.get_edit().get_rect();
  ASSERT_TRUE(files.get_edit().is_visible());
  const skinner::Point at = form->get_window_position();
  EXPECT_LE(at.y + edit.y + edit.height, sip.rcVisibleDesktop.bottom);
  EXPECT_GE(at.y + edit.y, sip.rcVisibleDesktop.top);
  // Done: the panel goes down and the form back to its place.
  files.end_inplace_edit(false);
  pump(*form);
  EXPECT_EQ(form->get_window_position().y, sip.rcVisibleDesktop.top);
}

TEST_F(VocamoForm, ListRenameMoveAndDelete) {
  os::create_directory_tree(L"\\My Documents\\My Vocamo");
  for (const wchar_t* name : {L"\\My Documents\\My Vocamo\\B.mp3", L"\\My Documents\\My Vocamo\\a.wav",
                              L"\\My Documents\\My Vocamo\\memo001.wav"}) {
    os::File file(name, 1);
    file.write("RIFF", 4);
  }
  os::create_directory_tree(L"\\My Documents\\My Vocamo\\sub");
  auto form = make_form();
  vocamo::ControlFiles& files = form->files();
  ASSERT_EQ(files.get_row_count(), 3);
  EXPECT_EQ(files.get_entry(0).name, L"a.wav");
  EXPECT_EQ(files.get_entry(1).name, L"B.mp3");
  EXPECT_EQ(files.get_entry(0).kind, 1);
  ASSERT_EQ(files.get_locations().size(), 2u);
  EXPECT_EQ(files.get_entry(9).kind, 2);

  // Renames: the old extension kept, separators and clashes refused.
  files.select_path(L"\\My Documents\\My Vocamo\\memo001.wav");
  files.finish_rename(L"talk.txt");
  EXPECT_TRUE(os::FileInfo(L"\\My Documents\\My Vocamo\\talk.wav").exists());
  EXPECT_EQ(files.get_selected_path(), L"\\My Documents\\My Vocamo\\talk.wav");
  const struct {
    const wchar_t* typed;
    const wchar_t* message;
  } refused[] = {{L"..\\escape", L"could not be renamed"},
                 {L"x/y", L"could not be renamed"},
                 {L"", L"could not be renamed"},
                 {L"a", L"exists already"}};
  for (const auto& r : refused) {
    asked.clear();
    files.finish_rename(r.typed);
    ASSERT_EQ(asked.size(), 1u) << r.typed;
    EXPECT_NE(asked[0].find(r.message), std::wstring::npos) << r.typed;
    EXPECT_NE(asked[0].find(L"|MessageOk"), std::wstring::npos);
    EXPECT_TRUE(os::FileInfo(L"\\My Documents\\My Vocamo\\talk.wav").exists());
  }
  asked.clear();
  files.finish_rename(L"TALK");  // the same name in other letters is no clash
  EXPECT_TRUE(asked.empty());

  // To the card and back; a refusal of the question moves nothing.
  std::wstring card;
  ASSERT_TRUE(files.get_location_folder(1, card));
  const std::wstring on_card = os::path_join(card, os::path_file_name(files.get_selected_path()));
  answers = {L"btnNo"};
  form->on_command(nullptr, L"Location_" + card);
  EXPECT_FALSE(os::FileInfo(on_card).exists());
  answers = {L"btnYes"};
  form->on_command(nullptr, L"Location_" + card);
  ASSERT_TRUE(os::FileInfo(on_card).exists());
  EXPECT_EQ(files.get_selected_path(), on_card);
  EXPECT_EQ(files.get_entry(files.get_selection()).kind, 2);
  asked.clear();
  form->on_command(nullptr, L"Location_" + card);  // already there: no question
  EXPECT_TRUE(asked.empty());
  answers = {L"btnYes"};
  form->on_command(nullptr, L"Location_\\My Documents\\My Vocamo");
  EXPECT_FALSE(os::FileInfo(on_card).exists());

  // Deleting the last row selects the new last row.
  files.set_selection(files.get_row_count() - 1);
  answers = {L"btnYes"};
  form->on_command(nullptr, L"Delete");
  EXPECT_EQ(files.get_row_count(), 2);
  EXPECT_EQ(files.get_selection(), 1);
  EXPECT_NE(asked.back().find(L"?|MessageYesNo"), std::wstring::npos);
}

TEST_F(VocamoForm, SettingsAreKeptAndADamagedFileFallsBackToDefaults) {
  {
    auto form = make_form();
    EXPECT_EQ(form->get_format(), 1);
    EXPECT_EQ(form->get_folder(), 1);
    EXPECT_EQ(form->get_screen_off(), 0);
    EXPECT_DOUBLE_EQ(form->panel_play().levels().volume().get_value(), 1.0);
    EXPECT_EQ(form->get_language_path(), L"%app_path%/English.lng");
    form->on_command(nullptr, L"WAV_high");
    form->on_command(nullptr, L"ScreenOff_30sec");
    form->panel_record().levels().volume().set_value(0.25);
    ASSERT_TRUE(form->save_settings(settings_path()));
  }
  const std::string saved = read_settings();
  EXPECT_NE(saved.find("Language=\"%app_path%/English.lng\" ScreenOff=\"2\" SelectedPath=\"\" Volume=\"1.000000\" "
                       "VasLevel=\"0.250000\" Boost=\"0\" Folder=\"1\" Format=\"5\""),
            std::string::npos)
      << saved;
  {
    auto form = make_form();
    EXPECT_EQ(form->get_format(), 5);
    EXPECT_EQ(form->get_screen_off(), 2);
    EXPECT_DOUBLE_EQ(form->panel_record().levels().volume().get_value(), 0.25);
  }
  // Damaged, then out of range: the defaults hold, and the next save
  // writes a whole file again.
  for (const char* damaged : {"<Settings Format=\"5\" ScreenOff=",
                              "<Settings Format=\"9\" ScreenOff=\"-1\" "
                              "Folder=\"7\" Boost=\"-2147483648\"/>"}) {
    std::ofstream(host_of(device_, L"\\Program Files\\vo_app_tests\\Settings.xml"), std::ios::trunc) << damaged;
    auto form = make_form();
    EXPECT_EQ(form->get_format(), 1);
    EXPECT_EQ(form->get_screen_off(), 0);
    EXPECT_EQ(form->get_folder(), 1);
    EXPECT_EQ(form->panel_record().boost()->index, 0);
    ASSERT_TRUE(form->save_settings(settings_path())) << damaged;
    EXPECT_NE(read_settings().find("Format=\"1\""), std::string::npos);
  }
}

TEST_F(VocamoForm, MainMenuListsItsChoicesWithTheCurrentOnesChecked) {
  auto form = make_form();
  skinner::MenuItem popup;
  form->button(L"Menu").get_menu_item(popup);
  popup.items.clear();
  form->get_menu_manager().fill_popup(popup);
  std::vector<std::wstring> commands;
  for (const auto& item : popup.items) commands.push_back(item.command);
  const std::vector<std::wstring> expected = {L"Refresh_list", L"ScreenOff", L"Folder", L"Recording_format",
                                              L"Language",     L"About",     L"Exit"};
  EXPECT_EQ(commands, expected);
  const auto submenu = [&](const std::wstring& command) {
    std::vector<std::pair<std::wstring, bool>> out;
    for (const auto& item : popup.items)
      if (item.command == command)
        for (const auto& sub : item.items) out.emplace_back(sub.command, sub.checked);
    return out;
  };
  const auto folders = submenu(L"Folder");
  ASSERT_EQ(folders.size(), 2u);
  EXPECT_EQ(folders[0].first, L"Folder_Main memory");
  EXPECT_FALSE(folders[0].second);
  EXPECT_TRUE(folders[1].second);
  EXPECT_TRUE(submenu(L"Recording_format")[1].second);
  bool english_checked = false;
  for (const auto& [command, checked] : submenu(L"Language"))
    if (command.find(L"English.lng") != std::wstring::npos) english_checked = checked;
  EXPECT_TRUE(english_checked);
  form->on_command(nullptr, folders[0].first);
  EXPECT_EQ(form->get_folder(), 0);
  form->on_command(nullptr, folders[1].first);
  EXPECT_EQ(form->get_folder(), 1);
}

TEST_F(VocamoForm, BoostAndScreenOffTables) {
  const int gains[] = {1, 2, 4, 8, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(vocamo::boost_gain(i), gains[i]);
  const double seconds[] = {0, 10, 30, 60, 120, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(vocamo::screen_off_seconds(i), seconds[i]);
  EXPECT_EQ(vocamo::fold_index(-1, 4), 3);
  EXPECT_EQ(vocamo::fold_index(-4, 4), 0);
  EXPECT_EQ(vocamo::fold_index(-5, 4), 3);
  EXPECT_EQ(vocamo::fold_index(5, 4), 1);
  EXPECT_EQ(vocamo::fold_index(INT32_MIN, 4), 0);
  // The selector's left arrow at the first item shows the last.
  auto form = make_form();
  vocamo::CyclicCombo& boost = *form->panel_record().boost();
  ASSERT_EQ(boost.items.size(), 4u);
  boost.index = -1;
  boost.refresh();
  EXPECT_EQ(boost.index, 3);
}

}  // namespace

namespace {

std::wstring g_handed_over;
ULONG_PTR g_handed_tag = 1;

LRESULT CALLBACK FirstInstanceProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    g_handed_tag = data->dwData;
    // The text crosses as UTF-16, cbData / 2 units.
    const auto* units = static_cast<const char16_t*>(data->lpData);
    g_handed_over.assign(units, units + data->cbData / 2);
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(VocamoForm, SecondStartHandsItsCommandLineOverAndEnds) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = FirstInstanceProc;
  window_class.lpszClassName = L"SkinnerClass_Vocamo";
  RegisterClassW(&window_class);
  HWND first =
      CreateWindowW(L"SkinnerClass_Vocamo", L"Vocamo", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(vocamo::run_recorder(nullptr, L"\\My Documents\\x.wav"), 0);
  EXPECT_EQ(g_handed_over, L"\\My Documents\\x.wav");
  EXPECT_EQ(g_handed_tag, 0u);
  DestroyWindow(first);
  UnregisterClassW(L"SkinnerClass_Vocamo", nullptr);
  EXPECT_TRUE(read_settings().empty());
}

TEST_F(VocamoForm, WithoutASkinItWarnsAndEndsWithoutSettings) {
  CreateDirectoryW(L"\\no-skins", nullptr);
  const std::string empty = device_.HostPath("no-skins");
  ::setenv("DEVICE_PROGRAM_FOLDER", empty.c_str(), 1);
  EXPECT_EQ(vocamo::run_recorder(nullptr, L""), 0);
  ::setenv("DEVICE_PROGRAM_FOLDER", VO_DATA_DIR, 1);
  EXPECT_TRUE(read_settings().empty());
}

// A recording of `seconds` of the signal made by the record chain of that
// format, as the recorder would have made it.
void make_recording(const std::wstring& path, const wchar_t* chain_name, unsigned rate, std::uint32_t bit_rate,
                    double seconds) {
  auto chain = audio::create_record_chain(path, chain_name, bit_rate, false);
  ASSERT_TRUE(chain);
  std::vector<std::uint8_t> bytes;
  for (double v : reference(rate, seconds)) {
    const auto sample = static_cast<std::int16_t>(std::lround(v * 32767));
    bytes.push_back(static_cast<std::uint8_t>(sample & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
  }
  chain->get_consumer()->on_data(
      audio::PCMData(audio::SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 1, 16, rate));
}

// The filled part of the position bar as the screen shows it, as a share of
// the whole run of the bar: the skin fills it green.
double shown_bar_fill(vocamo::FormMain& form) {
  skinner::ControlProgress& bar = form.panel_play().position()->position();
  const skinner::Rect r = bar.get_rect();
  POINT at{r.x, r.y + r.height / 2};
  ClientToScreen(form.get_window(), &at);
  int green = 0;
  for (int x = at.x; x < at.x + r.width; ++x) {
    const COLORREF pixel = ce::testing::ScreenPixel(x, at.y);
    if (GetGValue(pixel) > GetRValue(pixel) + 40 && GetGValue(pixel) > GetBValue(pixel) + 20) ++green;
  }
  return static_cast<double>(green) / bar.fill_rect(1.0).width;
}

// What a person sees while a 6 s recording of each format plays on the
// real clock: after 1 s and after 3 s the clock reads the time heard
// (whole seconds) and the bar on the screen is filled to it, each within
// 0.3 s of what the speaker has played by then. The reader runs up to a
// pull and three buffers ahead of the speaker; that must not show.
TEST_F(VocamoForm, TheClockAndTheBarFollowTheSoundHeardInEveryFormat) {
  const std::wstring folder = L"\\My Documents\\My Vocamo\\";
  os::create_directory_tree(folder);
  struct Case {
    const char* name;
    const wchar_t* chain;
    unsigned rate;
    std::uint32_t bit_rate;
    const char* tool;  // made from the PCM file by this tool, when not null
  };
  const Case cases[] = {
      {"pcm.wav", L"PCM", 22050, 0, nullptr},
      {"adpcm.wav", L"ADPCM", 22050, 0, nullptr},
      {"gsm.wav", L"GSM", 8000, 0, nullptr},
      {"low.mp3", L"mp3", 22050, 32000, nullptr},
      {"high.mp3", L"mp3", 44100, 64000, nullptr},
      {"tone.ogg", L"PCM", 44100, 0, "oggenc -Q -o '%o' '%i'"},
      {"tone.mpc", L"PCM", 44100, 0, "mpcenc --silent '%i' '%o'"},
  };
  for (const Case& c : cases) {
    const std::wstring path = folder + std::wstring(c.name, c.name + std::strlen(c.name));
    if (c.tool == nullptr) {
      make_recording(path, c.chain, c.rate, c.bit_rate, 6.0);
      continue;
    }
    const std::wstring source = folder + L"source.wav";
    make_recording(source, c.chain, c.rate, c.bit_rate, 6.0);
    std::string command = c.tool;
    command.replace(command.find("%i"), 2, host_of(device_, source));
    command.replace(command.find("%o"), 2, host_of(device_, path));
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) std::printf("skipped %s: no encoder\n", c.name);
    os::delete_file(source);
  }
  auto form = make_form();
  form->load_properties();
  pump(*form);
  for (const Case& c : cases) {
    const std::wstring path = folder + std::wstring(c.name, c.name + std::strlen(c.name));
    if (!os::FileInfo(path).exists()) continue;
    SCOPED_TRACE(c.name);
    ce::testing::TakePlayedAudio();
    form->files().select_path(path);
    form->on_command(nullptr, L"Play");
    ASSERT_TRUE(form->play_session().is_playing());
    const double length = form->play_session().length_time();
    EXPECT_NEAR(length, 6.0, 0.1);
    std::vector<ce::testing::PlayedBuffer> played;
    const DWORD start = GetTickCount();
    for (const DWORD at : {1000u, 3000u}) {
      const DWORD now = GetTickCount();
      if (now - start < at) Sleep(at - (now - start));
      form->update_display();
      UpdateWindow(form->get_window());
      for (auto& buffer : ce::testing::TakePlayedAudio()) played.push_back(std::move(buffer));
      const double heard = ce::test::SpeakerSeconds(played, GetTickCount());
      EXPECT_GT(heard, 0.0) << "it plays";
      const std::wstring clock = form->panel_play().display().clock().get_text();
      EXPECT_TRUE(clock == vocamo::format_duration(heard - 0.3) || clock == vocamo::format_duration(heard + 0.3))
          << at << " ms: " << std::string(clock.begin(), clock.end()) << " shown, " << heard << " s heard";
      EXPECT_NEAR(shown_bar_fill(*form), heard / length, 0.3 / length) << at << " ms";
    }
    form->on_command(nullptr, L"Stop");
  }
}

// A header no device plays (here every hostile field the readers meet) is
// refused when Play is pressed: within a second the form is idle again and
// the screen shows what it showed before, not a playback that never ends.
TEST_F(VocamoForm, AFileNoDeviceCanPlayLeavesTheFormIdle) {
  const std::wstring folder = L"\\My Documents\\My Vocamo\\";
  os::create_directory_tree(folder);
  const std::wstring good = folder + L"good.wav";
  make_recording(good, L"PCM", 8000, 0, 1.0);
  std::ifstream in(host_of(device_, good), std::ios::binary);
  const std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto with = [&](std::string bytes, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
  };
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"rate_ffffffff.wav", with(wav, 24, 0xFFFFFFFFu, 4)},
      {"rate_500.wav", with(wav, 24, 500, 4)},
      {"rate_400000.wav", with(wav, 24, 400000, 4)},
      {"bits_24.wav", with(with(with(wav, 34, 24, 2), 32, 3, 2), 28, 24000, 4)},
      {"channels_3.wav", with(with(wav, 22, 3, 2), 32, 6, 2)},
  };
  for (const Case& c : cases) {
    std::ofstream(host_of(device_, folder + std::wstring(c.name, c.name + std::strlen(c.name))), std::ios::binary)
        << c.bytes;
  }

  auto form = make_form();
  form->load_properties();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path = folder + std::wstring(c.name, c.name + std::strlen(c.name));
    form->files().select_path(path);
    pump(*form);
    UpdateWindow(form->get_window());
    RECT area{};
    GetWindowRect(form->get_window(), &area);
    std::vector<COLORREF> idle;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) idle.push_back(ce::testing::ScreenPixel(x, y));
    form->on_command(nullptr, L"Play");
    // The form's own timer ends what cannot play.
    for (int i = 0; i < 10 && form->play_session().is_playing(); ++i) {
      Sleep(100);
      pump(*form);
    }
    EXPECT_FALSE(form->play_session().is_playing());
    EXPECT_FALSE(form->panel_play().get_visible_flag());
    EXPECT_TRUE(form->button(L"Record").get_visible_flag());
    pump(*form);
    UpdateWindow(form->get_window());
    int changed = 0;
    std::size_t i = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) changed += ce::testing::ScreenPixel(x, y) != idle[i++];
    EXPECT_EQ(changed, 0) << "the screen is the idle one again";
  }
}

}  // namespace
