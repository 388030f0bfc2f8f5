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
#include <regex>
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
  const int rows = form->files().get_row_count();
  for (const wchar_t* format : {L"WAV_low", L"MP3_low"}) {
    asked.clear();
    form->on_command(nullptr, format);
    form->on_command(nullptr, L"Record");
    EXPECT_FALSE(form->record_session().is_recording()) << format;
    // Said on the skinned message form, as the recorder's other messages.
    EXPECT_EQ(asked, std::vector<std::wstring>{L"Record|No microphone was found: nothing can be recorded.|MessageOk"})
        << format;
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

// A WAV recording of the signal in the main memory's recordings folder.
void put_recording(const std::wstring& name, double seconds) {
  os::create_directory_tree(L"\\My Documents\\My Vocamo");
  std::vector<std::uint8_t> samples;
  for (double v : reference(8000, seconds)) {
    const auto s = static_cast<std::int16_t>(std::lround(v * 32767));
    samples.push_back(static_cast<std::uint8_t>(s & 0xFF));
    samples.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
  }
  const auto wav = ce::testing::MakeWav({1, 8000, 16}, samples);
  os::File file(L"\\My Documents\\My Vocamo\\" + name, 1);
  file.write(wav.data(), static_cast<std::uint32_t>(wav.size()));
}

// The soft keys the shell's bar shows for the form, left then right.
std::vector<std::wstring> soft_keys(vocamo::FormMain& form) {
  PostMessageW(form.get_window(), WM_NULL, 0, 0);
  pump(form);
  std::vector<std::wstring> out;
  const auto* bar = dynamic_cast<skinner::MenuManagerImplPocket*>(&form.get_impl().get_menu_manager());
  if (bar == nullptr) return out;
  for (const auto& button :
       ce::testing::MenuBarButtons(bar->get_bar()).value_or(std::vector<ce::testing::MenuBarButton>{}))
    if (!button.hidden) out.push_back(button.caption);
  return out;
}

enum class Running { Idle, Playing, PlayingPaused, Recording, RecordingPaused };

const char* name_of(Running state) {
  switch (state) {
    case Running::Idle:
      return "idle";
    case Running::Playing:
      return "playing";
    case Running::PlayingPaused:
      return "playing, paused";
    case Running::Recording:
      return "recording";
    default:
      return "recording, paused";
  }
}

// What runs, and that the screen shows it and nothing else: the panel of
// what runs, the soft keys, the list, and the display's title naming the
// file that plays or records.
void expect_shows(vocamo::FormMain& form, Running state, const std::string& where) {
  SCOPED_TRACE(where);
  const bool playing = state == Running::Playing || state == Running::PlayingPaused;
  const bool recording = state == Running::Recording || state == Running::RecordingPaused;
  const bool paused = state == Running::PlayingPaused || state == Running::RecordingPaused;
  ASSERT_EQ(form.play_session().is_playing(), playing);
  ASSERT_EQ(form.record_session().is_recording(), recording);
  EXPECT_EQ(form.is_paused(), paused);
  EXPECT_EQ(form.panel_play().get_visible_flag(), playing);
  EXPECT_EQ(form.panel_record().get_visible_flag(), recording);
  EXPECT_EQ(form.files().get_enabled_flag(), !playing && !recording);
  const std::vector<std::wstring> idle_keys{L"Record", L"Menu"};
  const std::vector<std::wstring> running_keys{L"Stop", paused ? L"Resume" : L"Pause"};
  EXPECT_EQ(soft_keys(form), playing || recording ? running_keys : idle_keys);
  if (playing || recording) {
    EXPECT_FALSE(form.update_display());
    ASSERT_TRUE(!playing || form.play_session().chain() != nullptr);
    vocamo::PanelMedia& panel = playing ? static_cast<vocamo::PanelMedia&>(form.panel_play()) : form.panel_record();
    const std::wstring file = playing ? os::path_file_name(form.play_session().chain()->get_title())
                                      : os::path_file_name(form.files().get_selected_path());
    EXPECT_EQ(panel.display().title().get_text(), file);
    EXPECT_NE(file, L"");
  }
}

TEST_F(VocamoForm, EveryCommandInEveryStateLeavesTheScreenShowingWhatRuns) {
  for (const wchar_t* name : {L"b1.wav", L"b2.wav", L"b3.wav"}) put_recording(name, 20);
  auto form = make_form();
  form->load_properties();
  form->on_command(nullptr, L"WAV_low");
  pump(*form);
  const auto reach = [&](Running state) {
    form->on_command(nullptr, L"Stop");
    form->files().select_path(L"\\My Documents\\My Vocamo\\b2.wav");
    if (state == Running::Playing || state == Running::PlayingPaused) form->on_command(nullptr, L"Play");
    if (state == Running::Recording || state == Running::RecordingPaused) {
      form->on_command(nullptr, L"Record");
      // Long enough that Play, which plays it, is still playing when looked at.
      Sleep(1500);
    }
    if (state == Running::PlayingPaused || state == Running::RecordingPaused) form->on_command(nullptr, L"Pause");
  };
  using R = Running;
  const std::vector<std::wstring> commands = {L"Play", L"Record", L"Pause", L"Resume", L"Stop", L"Prev", L"Next"};
  const struct {
    Running from;
    Running after[7];  // in the order of `commands`
  } table[] = {
      {R::Idle, {R::Playing, R::Recording, R::Idle, R::Idle, R::Idle, R::Playing, R::Playing}},
      {R::Playing, {R::Playing, R::Recording, R::PlayingPaused, R::PlayingPaused, R::Idle, R::Playing, R::Playing}},
      {R::PlayingPaused, {R::Playing, R::Recording, R::Playing, R::Playing, R::Idle, R::Playing, R::Playing}},
      {R::Recording,
       {R::Playing, R::Recording, R::RecordingPaused, R::RecordingPaused, R::Idle, R::Recording, R::Recording}},
      {R::RecordingPaused,
       {R::Playing, R::Recording, R::Recording, R::Recording, R::Idle, R::RecordingPaused, R::RecordingPaused}},
  };
  for (const auto& row : table) {
    for (std::size_t c = 0; c < commands.size(); ++c) {
      const std::string where =
          std::string(name_of(row.from)) + ", then " + std::string(commands[c].begin(), commands[c].end());
      reach(row.from);
      expect_shows(*form, row.from, where + " (before)");
      form->on_command(nullptr, commands[c]);
      expect_shows(*form, row.after[c], where);
    }
  }
  // Stepping from the middle row plays its neighbours; past the ends it stops.
  reach(R::Playing);
  form->on_command(nullptr, L"Next");
  EXPECT_EQ(os::path_file_name(form->play_session().chain()->get_title()), L"b3.wav");
  reach(R::Playing);
  form->on_command(nullptr, L"Prev");
  EXPECT_EQ(os::path_file_name(form->play_session().chain()->get_title()), L"b1.wav");
  form->on_command(nullptr, L"Prev");
  expect_shows(*form, R::Idle, "prev before the first row");

  // As a person does it: Up to the display panel, then Left and Right,
  // during a recording: it goes on, its name and running clock on show.
  reach(R::Recording);
  const std::wstring recording = form->files().get_selected_path();
  for (UINT key : {VK_UP, VK_LEFT, VK_RIGHT}) {
    PostMessageW(form->get_window(), WM_KEYDOWN, key, 0);
    PostMessageW(form->get_window(), WM_KEYUP, key, 0);
    pump(*form);
  }
  Sleep(1200);
  expect_shows(*form, R::Recording, "keys during a recording");
  EXPECT_EQ(form->files().get_selected_path(), recording);
  EXPECT_NE(form->panel_record().display().clock().get_text(), vocamo::format_duration(0));
  form->on_command(nullptr, L"Stop");
}

// The pixels of a control of the form as the screen shows them.
std::vector<COLORREF> pixels_of(vocamo::FormMain& form, const wchar_t* name) {
  std::vector<COLORREF> out;
  for (skinner::Control* child : form.get_children()) {
    if (child->get_name() != name) continue;
    const skinner::Rect rect = child->get_rect();
    const skinner::Point at = form.get_window_position();
    for (int y = rect.y; y < rect.y + rect.height; ++y)
      for (int x = rect.x; x < rect.x + rect.width; ++x) out.push_back(ce::testing::ScreenPixel(at.x + x, at.y + y));
  }
  return out;
}

int count_changed(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  int changed = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) changed += a[i] != b[i] ? 1 : 0;
  return changed;
}

TEST_F(VocamoForm, RefreshListShowsTheDateAndSizeOfTheSelectedRowAnew) {
  auto form = make_form();
  form->load_properties();
  form->set_active(true);
  pump(*form);
  // An empty list at first, then a file found by the refresh on the row
  // already selected, then that file grown: each time the frames show it.
  std::vector<COLORREF> date = pixels_of(*form, L"frmDate");
  std::vector<COLORREF> size = pixels_of(*form, L"frmSize");
  ASSERT_FALSE(date.empty());
  for (double seconds : {1.0, 3.0}) {
    SCOPED_TRACE(seconds);
    put_recording(L"memo001.wav", seconds);
    form->on_command(nullptr, L"Refresh_list");
    pump(*form);
    EXPECT_EQ(form->files().get_selection(), 0);
    EXPECT_EQ(
        form->frame_text(L"frmSize"),
        vocamo::format_size(static_cast<std::int32_t>(os::FileInfo(form->files().get_selected_path()).get_size())));
    const std::vector<COLORREF> date_now = pixels_of(*form, L"frmDate");
    const std::vector<COLORREF> size_now = pixels_of(*form, L"frmSize");
    if (seconds == 1.0) {
      EXPECT_GT(count_changed(date, date_now), 20) << "no date shown";
    }
    EXPECT_GT(count_changed(size, size_now), 10) << "no new size shown";
    date = date_now;
    size = size_now;
  }
}

TEST_F(VocamoForm, AnEmptyOrDamagedSettingsSkinIsRefusedAtTheStartAsOtherSkinsAre) {
  // The program's folder copied (its skin and language), its settings skin
  // then spoilt.
  for (const wchar_t* made :
       {L"\\program", L"\\program\\skins", L"\\program\\skins\\default", L"\\program\\skins\\settings"})
    CreateDirectoryW(made, nullptr);
  for (const wchar_t* file : {L"\\skins\\default\\default.skin", L"\\English.lng"})
    ASSERT_TRUE(
        CopyFileW((os::expand_path(L"%app_path%") + file).c_str(), (std::wstring(L"\\program") + file).c_str(), FALSE));
  const std::string folder = device_.HostPath("program");
  std::string whole;
  {
    os::File in(os::expand_path(L"%app_path%/skins/settings/settings.skin"), 0);
    whole.resize(in.get_size());
    ASSERT_EQ(in.read(whole.data(), static_cast<std::uint32_t>(whole.size())), whole.size());
  }
  const std::string settings_skin = folder + "/skins/settings/settings.skin";
  ASSERT_GT(whole.size(), 400u);
  ::setenv("DEVICE_PROGRAM_FOLDER", folder.c_str(), 1);
  for (const std::string& spoilt : {std::string(), std::string("not a skin at all"), whole.substr(0, 200)}) {
    SCOPED_TRACE(spoilt.size());
    std::ofstream(settings_skin, std::ios::binary | std::ios::trunc) << spoilt;
    ASSERT_EQ(os::FileInfo(os::expand_path(L"%app_path%/skins/settings/settings.skin")).get_size(), spoilt.size());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(vocamo::run_recorder(nullptr, L""), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Warning: Settings skin not found or it is incompatible with this version of Vocamo"),
              std::string::npos)
        << said;
    EXPECT_TRUE(read_settings().empty());
  }
  ::setenv("DEVICE_PROGRAM_FOLDER", VO_DATA_DIR, 1);
  // The program's window class goes with the program, as at its end.
  UnregisterClassW(L"SkinnerClass_Vocamo", nullptr);
}

TEST_F(VocamoForm, AFullDeviceEndsTheRecordingSaysSoAndLeavesNoFileWithoutSound) {
  // Room for nothing, then for about two seconds of sound: the recording
  // ends by itself, the person is told, and only a file with sound stays.
  const struct {
    const char* free_bytes;
    bool file_stays;
  } table[] = {{"0", false}, {"40000", true}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.free_bytes);
    ::setenv("DEVICE_STORAGE_CARD_FREE_BYTES", row.free_bytes, 1);
    auto form = make_form();
    form->on_command(nullptr, L"WAV_low");
    const int rows = form->files().get_row_count();
    asked.clear();
    form->on_command(nullptr, L"Record");
    ASSERT_TRUE(form->record_session().is_recording());
    const std::wstring path = form->files().get_selected_path();
    for (int i = 0; i < 100 && form->record_session().is_recording(); ++i) {
      Sleep(100);
      form->on_timer(form->get_refresh_timer());
    }
    EXPECT_FALSE(form->record_session().is_recording());
    EXPECT_TRUE(form->button(L"Record").get_visible_flag());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              L"Record|The recording was stopped: it could not be written. The memory may be full.|MessageOk");
    EXPECT_EQ(os::FileInfo(path).exists(), row.file_stays);
    EXPECT_EQ(form->files().get_row_count(), rows + (row.file_stays ? 1 : 0));
    if (row.file_stays) {
      EXPECT_FALSE(decode(host_of(device_, path)).empty());
    }
    os::delete_file(path);
    ::unsetenv("DEVICE_STORAGE_CARD_FREE_BYTES");
  }
}

// Every text a person meets: the main form with its bar, menus and list
// menu, the about box, both message forms, and the messages the recorder
// gives (no microphone, a full card, no space for a move, the warnings of
// the start).
std::vector<std::wstring> every_text(vocamo::FormMain& form, PopupAnswer& popups, std::vector<std::wstring>& asked,
                                     std::deque<std::wstring>& answers) {
  std::vector<std::wstring> out;
  const auto title_of = [](HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return std::wstring(text);
  };
  const auto texts_of = [&](skinner::Form& shown) {
    shown.load_properties();
    PostMessageW(shown.get_window(), WM_NULL, 0, 0);
    pump(shown);
    out.push_back(L"title:" + title_of(shown.get_window()));
    for (skinner::Control* child : shown.get_children()) {
      if (auto* button = dynamic_cast<skinner::ControlButton*>(child)) out.push_back(button->get_text());
      if (auto* frame = dynamic_cast<skinner::ControlFrame*>(child)) out.push_back(frame->get_text());
    }
    const auto* bar = dynamic_cast<skinner::MenuManagerImplPocket*>(&shown.get_impl().get_menu_manager());
    if (bar != nullptr)
      for (const auto& key :
           ce::testing::MenuBarButtons(bar->get_bar()).value_or(std::vector<ce::testing::MenuBarButton>{}))
        out.push_back(L"key:" + key.caption);
  };
  texts_of(form);
  for (const wchar_t* name : {L"Record", L"Menu", L"Pause", L"Resume", L"Stop"}) {
    skinner::MenuItem item;
    form.button(name).get_menu_item(item);
    out.push_back(item.caption);
  }
  skinner::MenuItem popup;
  form.button(L"Menu").get_menu_item(popup);
  popup.items.clear();
  form.get_menu_manager().fill_popup(popup);
  for (const auto& item : popup.items) {
    out.push_back(item.caption);
    for (const auto& sub : item.items) out.push_back(sub.caption);
  }
  for (const auto& item : form.panel_record().boost()->items) out.push_back(item);
  form.files().show_context_menu(0);
  out.insert(out.end(), popups.captions.begin(), popups.captions.end());
  {
    vocamo::AboutForm about(&form, &form.settings_skin(), L"About", L"Zentra Vocamo v1.0");
    texts_of(about);
  }
  for (const wchar_t* buttons : {L"MessageOk", L"MessageYesNo"}) {
    vocamo::FormMessage message(&form, &form.settings_skin(), form.translate(L"Delete_file"),
                                form.translate(L"Confirm_deleting"), buttons);
    texts_of(message);
  }
  // The messages, through the form's own paths.
  asked.clear();
  ::unsetenv("DEVICE_MIC");
  form.on_command(nullptr, L"Record");
  ::setenv("DEVICE_STORAGE_CARD_FREE_BYTES", "100", 1);
  std::wstring card;
  form.files().get_location_folder(1, card);
  form.files().select_path(L"\\My Documents\\My Vocamo\\memo001.wav");
  answers = {L"btnYes"};
  form.on_command(nullptr, L"Location_" + card);
  ::unsetenv("DEVICE_STORAGE_CARD_FREE_BYTES");
  form.tell(L"Record", L"Sorry_cannot_write");
  form.tell(L"Warning", L"Alternative_skin_incompatible");
  form.tell(L"Warning", L"Settings_skin_incompatible");
  out.insert(out.end(), asked.begin(), asked.end());
  return out;
}

TEST_F(VocamoForm, InGermanNoFormShowsAnEnglishTextAndEveryMessageIsAWholeSentence) {
  put_recording(L"memo001.wav", 1);
  auto form = make_form();
  form->load_properties();
  pump(*form);
  PopupAnswer popups(form->get_window());
  const auto language = [&](const wchar_t* name) {
    return L"Language_" + os::path_join(os::expand_path(L"%app_path%"), name);
  };
  const std::vector<std::wstring> english = every_text(*form, popups, asked, answers);
  form->on_command(nullptr, language(L"Deutsch.lng"));
  const std::vector<std::wstring> german = every_text(*form, popups, asked, answers);
  ASSERT_EQ(german.size(), english.size());
  // Only names, dates, sizes and words both languages spell alike may stay.
  const std::vector<std::wstring> alike = {L"",
                                           L"title:",
                                           L"key:",
                                           L"OK",
                                           L"key:OK",
                                           L"Pause",
                                           L"Vocamo",
                                           L"title:Vocamo",
                                           L"www.example.org",
                                           L"Zentra Vocamo v1.0",
                                           L"memo001.wav",
                                           L"Storage Card",
                                           L"Deutsch",
                                           L"English"};
  const std::wregex date_or_size(L"\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d|\\d+(,\\d)?[BKM]");
  for (std::size_t i = 0; i < english.size(); ++i) {
    if (std::find(alike.begin(), alike.end(), english[i]) != alike.end()) continue;
    if (std::regex_match(english[i], date_or_size)) continue;
    EXPECT_NE(german[i], english[i]) << "an English text in German: "
                                     << std::string(english[i].begin(), english[i].end());
  }
  // The messages: each a whole sentence, in the skinned message form.
  const std::vector<std::wstring> expected_messages = {
      L"Record|No microphone was found: nothing can be recorded.|MessageOk",
      L"Move file|Do you want to move\n\"memo001.wav\"?|MessageYesNo",
      L"Move file|There is not enough free space for this file.|MessageOk",
      L"Record|The recording was stopped: it could not be written. The memory may be full.|MessageOk",
      L"Warning|Alternative skin is incompatible with this version of Vocamo|MessageOk",
      L"Warning|Settings skin not found or it is incompatible with this version of Vocamo|MessageOk"};
  ASSERT_GE(english.size(), expected_messages.size());
  EXPECT_EQ(std::vector<std::wstring>(english.end() - static_cast<long>(expected_messages.size()), english.end()),
            expected_messages);
  const std::wstring german_no_memory = german[german.size() - 4];
  EXPECT_EQ(german_no_memory, L"Datei verschieben|Für diese Datei ist nicht genug freier Platz.|MessageOk");
}

TEST_F(VocamoForm, OnEveryScreenTheFormFillsTheSpaceBetweenTheShellsBars) {
  // Upright and sideways VGA screens at 96 and 192 dots per inch, and the
  // QVGA one: no unpainted (black) row lies between the bars and the form.
  const struct {
    const char* width;
    const char* height;
    const char* dpi;
  } screens[] = {{"480", "640", "96"}, {"640", "480", "96"}, {"480", "640", "192"}, {"240", "320", "96"}};
  for (const auto& screen : screens) {
    SCOPED_TRACE(std::string(screen.width) + "x" + screen.height + " at " + screen.dpi);
    ::setenv("DEVICE_SCREEN_WIDTH", screen.width, 1);
    ::setenv("DEVICE_SCREEN_HEIGHT", screen.height, 1);
    ::setenv("DEVICE_SCREEN_DPI", screen.dpi, 1);
    ce::testing::ReloadScreen();
    skinner::forget_device_caps();
    skinner::install_device_info();
    skinner::Properties::create_named(skin_, os::expand_path(L"%app_path%/skins/default/default.skin"), L"",
                                      skinner::get_screen_size());
    auto form = make_form();
    form->load_properties();
    form->set_active(true);
    pump(*form);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const int top = GetSystemMetrics(SM_CYCAPTION);
    const int bottom = height - GetSystemMetrics(SM_CYMENU);
    int black = 0;
    for (int y : {top, top + 1, top + 10, bottom - 10, bottom - 2, bottom - 1})
      for (int x = 0; x < width; x += 7) black += ce::testing::ScreenPixel(x, y) == RGB(0, 0, 0) ? 1 : 0;
    EXPECT_EQ(black, 0);
    EXPECT_EQ(form->get_window_position().y, top);
    EXPECT_EQ(form->get_window_position().y + form->get_window_size().y, bottom);
  }
  ::unsetenv("DEVICE_SCREEN_WIDTH");
  ::unsetenv("DEVICE_SCREEN_HEIGHT");
  ::unsetenv("DEVICE_SCREEN_DPI");
  ce::testing::ReloadScreen();
  skinner::forget_device_caps();
  skinner::install_device_info();
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

TEST_F(VocamoForm, WithoutASkinTheWarningIsInTheLanguageTheSettingsName) {
  CreateDirectoryW(L"\\no-skins", nullptr);
  for (const wchar_t* language : {L"\\English.lng", L"\\Deutsch.lng"})
    ASSERT_TRUE(CopyFileW((os::expand_path(L"%app_path%") + language).c_str(),
                          (std::wstring(L"\\no-skins") + language).c_str(), FALSE));
  const std::string folder = device_.HostPath("no-skins");
  ::setenv("DEVICE_PROGRAM_FOLDER", folder.c_str(), 1);
  const struct {
    const char* settings;
    const char* said;
  } table[] = {
      {"<Settings/>", "Warning: Default skin not found or it is incompatible with this version of Vocamo"},
      {"<Settings Language=\"%app_path%/Deutsch.lng\"/>",
       "Warnung: Die Standard-Skin fehlt oder passt nicht zu dieser Version von Vocamo"},
  };
  for (const auto& row : table) {
    {
      os::File file(os::expand_path(settings_path()), 1);
      ASSERT_TRUE(file.is_ok());
      file.write(row.settings, static_cast<std::uint32_t>(std::strlen(row.settings)));
    }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(vocamo::run_recorder(nullptr, L""), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(row.said), std::string::npos) << said;
    EXPECT_EQ(read_settings(), row.settings);  // not written
  }
  ::setenv("DEVICE_PROGRAM_FOLDER", VO_DATA_DIR, 1);
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
