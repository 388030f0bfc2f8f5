// The recorder's own skins and language files, as the build made them.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "liba/error.h"
#include "liba/string_translator.h"
#include "os/file.h"
#include "os/path.h"
#include "skin_dump.h"
#include "skinner/bitmap.h"
#include "skinner/picture.h"
#include "skinner/properties.h"

namespace {

using skinner::PropertiesImpl;

std::string HostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The host file copied into the device; answers the device path.
std::wstring OnDevice(const std::string& host, const std::wstring& device) {
  os::create_directory(os::path_directory(device));
  const std::string bytes = HostFile(host);
  os::File f(device, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return device;
}

struct Fatal {
  std::wstring where;
  std::wstring what;
};

skinner::Point g_workarea;
bool g_smartphone = false;

class RecorderSkins : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = liba::set_fatal_message_box([](const std::wstring& text, const std::wstring& caption) {
      throw Fatal{caption, text};
    });
  }
  void TearDown() override {
    liba::set_fatal_message_box(previous_);
    skinner::set_device_info({});
  }
  liba::FatalMessageBox previous_ = nullptr;
};

const char* const kSkins[] = {"default", "settings"};

std::string Source(const std::string& skin) {
  return HostFile(std::string(VO_RESOURCES_DIR) + "/skins/" + skin + ".txt");
}
std::string Zip(const std::string& skin) { return std::string(VO_DATA_DIR) + "/skins/" + skin + "/" + skin + ".skin"; }

TEST_F(RecorderSkins, DumpOfEachCompiledSkinGivesBackItsSource) {
  for (const char* skin : kSkins) {
    const std::string zip = HostFile(Zip(skin));
    const std::vector<std::uint8_t> blob = skindump::SkinFromFile({zip.begin(), zip.end()});
    std::string text;
    std::string error;
    ASSERT_TRUE(skindump::Dump(blob, text, error)) << skin << ": " << error;
    EXPECT_EQ(text, Source(skin)) << skin;
  }
}

// Every form, control and kind the recorder asks for, and every picture the
// skins name, is there; a missing one would end the program.
TEST_F(RecorderSkins, HoldEverythingTheRecorderLooksUp) {
  const struct {
    const char* skin;
    const wchar_t* form;
    std::vector<const wchar_t*> controls;
  } forms[] = {
      {"default",
       L"FormMain",
       {L"MenuMain", L"Menu", L"Record", L"Pause", L"Resume", L"Stop", L"frmFolder", L"frmDate", L"frmSize",
        L"lstFiles_playsize", L"lstFiles_recordsize", L"lstFiles_bigsize", L"lstFiles", L"panelPlay", L"panelRecord"}},
      {"default", L"PlayPanel", {L"panelDisplay", L"panelLevels", L"panelPosition"}},
      {"default", L"RecordPanel", {L"panelDisplay", L"panelLevels", L"panelBoost"}},
      {"default", L"DisplayPanel", {L"frmClock", L"frmTitle", L"frmInfo"}},
      {"default", L"LevelsPanel", {L"pbLeft", L"pbRight", L"pbVolume", L"chkVolume", L"chkVAS"}},
      {"default", L"PositionPanel", {L"btnLeft", L"btnRight", L"pbPosition"}},
      {"default", L"BoostPanel", {L"btnLeft", L"btnRight", L"frmText"}},
      {"settings", L"About", {L"MenuMain", L"frmProduct", L"frmCopyright", L"btnLink", L"btnOk"}},
      {"settings", L"MessageOk", {L"MenuMain", L"btnCaption", L"frmText", L"btnOk"}},
      {"settings", L"MessageYesNo", {L"MenuMain", L"btnCaption", L"frmText", L"btnYes", L"btnNo"}},
  };
  for (const char* skin : kSkins) {
    const std::wstring path =
        OnDevice(Zip(skin), L"%my_documents%/skins/" + std::wstring(skin, skin + std::strlen(skin)) + L"/" +
                                std::wstring(skin, skin + std::strlen(skin)) + L".skin");
    // Upright and sideways screens of a Pocket PC and of a Smartphone; the
    // work area leaves out the bars above and below.
    for (const bool smartphone : {false, true}) {
      for (const skinner::Point screen :
           {skinner::Point{240, 320}, skinner::Point{480, 640}, skinner::Point{320, 240}, skinner::Point{640, 480}}) {
        const int scale = screen.x > screen.y ? screen.x / 320 : screen.x / 240;
        const int bar = !smartphone ? 26 * scale : screen.x == 240 ? 27 : screen.x == 480 ? 54 : 0;
        g_workarea = {screen.x, screen.y - 2 * bar};
        g_smartphone = smartphone;
        skinner::set_device_info({[] { return g_smartphone; }, nullptr, [] { return g_workarea; }});
        PropertiesImpl p(path, L"", screen);
        ASSERT_TRUE(p.is_valid()) << skin;
        EXPECT_TRUE(p.match_screen(L"Vocamo_1.00", screen)) << skin;
        EXPECT_EQ(p.get_scale(), scale);
        // On a Pocket PC the main form fills the work area (the about box
        // is two pixels shorter, to fit a Smartphone's as well).
        const wchar_t* main = std::string(skin) == "default" ? L"FormMain" : L"About";
        const int upright = std::string(skin) == "default" ? 268 : 266;
        const skinner::Point design = screen.x > screen.y ? skinner::Point{320 * scale, 188 * scale}
                                                          : skinner::Point{240 * scale, upright * scale};
        if (!smartphone) {
          EXPECT_EQ(p.read_scaled_point(L"", main, main, L"Size", {}), design) << skin << " " << screen.x;
        }
        for (const auto& f : forms) {
          if (std::string(f.skin) != skin) continue;
          try {
            for (const wchar_t* control : f.controls) p.get_control_kind(f.form, control);
          } catch (const Fatal& fatal) {
            ADD_FAILURE() << "missing in " << skin << ": " << std::string(fatal.what.begin(), fatal.what.end())
                          << (smartphone ? " on a Smartphone " : " on a Pocket PC ") << screen.x;
          }
        }
      }
    }
    skinner::set_device_info({nullptr, nullptr, [] { return g_workarea; }});
    // Every picture loads from the archive at scales 1 and 2.
    const std::string source = Source(skin);
    const std::regex picture("picture \\w+ \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(source.begin(), source.end(), picture); it != std::sregex_iterator(); ++it) {
      const std::string descriptor = (*it)[1];
      for (const double scale : {1.0, 2.0}) {
        skinner::Picture p;
        ASSERT_TRUE(p.load(std::wstring(descriptor.begin(), descriptor.end()), path, scale)) << descriptor;
        ASSERT_NE(p.get_bitmap(), nullptr);
        EXPECT_TRUE(p.get_bitmap()->is_loaded()) << skin << ": " << descriptor;
      }
    }
  }
  // The panels name their templates, the list its scroll bars and edit.
  PropertiesImpl p(L"%my_documents%/skins/default/default.skin", L"", {240, 320});
  const struct {
    const wchar_t* form;
    const wchar_t* control;
    const wchar_t* key;
    const wchar_t* value;
  } texts[] = {{L"FormMain", L"panelPlay", L"FormTemplate", L"PlayPanel"},
               {L"FormMain", L"panelRecord", L"FormTemplate", L"RecordPanel"},
               {L"FormMain", L"lstFiles", L"FormTemplate", L"FilesPanel"},
               {L"FormMain", L"lstFiles", L"KindScroll", L"ScrollV"},
               {L"PlayPanel", L"panelLevels", L"FormTemplate", L"LevelsPanel"},
               {L"RecordPanel", L"panelBoost", L"FormTemplate", L"BoostPanel"}};
  for (const auto& t : texts) {
    const std::wstring kind = p.get_control_kind(t.form, t.control);
    EXPECT_EQ(p.read_text(kind, t.control, t.form, t.key, L""), t.value);
  }
  try {
    for (const wchar_t* kind : {L"EditInList", L"ScrollV", L"ScrollH", L"ScrollUp", L"ScrollDown", L"ScrollLeft",
                                L"ScrollRight", L"ScrollSpace", L"ScrollThumb"}) {
      p.read_int(kind, L"", L"", L"Unused", 0);
    }
  } catch (const Fatal& fatal) {
    ADD_FAILURE() << "missing kind " << std::string(fatal.what.begin(), fatal.what.end());
  }
}

TEST_F(RecorderSkins, LanguagesHoldTheSameKeysInEitherEncoding) {
  const std::wstring english = OnDevice(std::string(VO_DATA_DIR) + "/English.lng", L"%my_documents%/English.lng");
  const std::wstring german = OnDevice(std::string(VO_DATA_DIR) + "/Deutsch.lng", L"%my_documents%/Deutsch.lng");
  const std::wstring ansi = OnDevice(std::string(VO_FIXTURES_DIR) + "/Deutsch-ansi.lng", L"%my_documents%/A.lng");
  const std::string utf16 = HostFile(std::string(VO_DATA_DIR) + "/English.lng");
  EXPECT_EQ(utf16.substr(0, 2), "\xFF\xFE");
  liba::StringTranslator e, g, a;
  ASSERT_TRUE(e.parse(english));
  ASSERT_TRUE(g.parse(german));
  ASSERT_TRUE(a.parse(ansi));
  EXPECT_EQ(a.table(), g.table());
  EXPECT_EQ(g.translate(L"Menu_Delete"), L"L\u00F6schen");
  EXPECT_EQ(e.translate(L"Sorry_file_exists"), L"A file of this name exists already:");
  for (const auto& [key, text] : e.table())
    EXPECT_TRUE(g.table().count(key) != 0) << std::string(key.begin(), key.end());
  for (const wchar_t* key : {L"Record", L"Record_prefix", L"Menu_Exit", L"Boost_on3", L"menuSoftButtonOk",
                             L"on_picture_failed_to_load", L"Sorry_cannot_move", L"menuSelectAll"}) {
    EXPECT_NE(e.translate(key, L""), L"") << std::string(key, key + std::wcslen(key));
  }
  // The skin's texts follow the language.
  PropertiesImpl p(OnDevice(Zip("settings"), L"%my_documents%/settings.skin"), L"", {240, 320});
  ASSERT_TRUE(p.set_language(german));
  EXPECT_EQ(p.read_text(L"Btn", L"btnYes", L"MessageYesNo", L"Text", L""), L"Ja");
  EXPECT_EQ(p.read_text(L"", L"frmCopyright", L"About", L"Text", L""), L"Vom Vocamo-Team");
  ASSERT_TRUE(p.set_language(english));
  EXPECT_EQ(p.read_text(L"Btn", L"btnYes", L"MessageYesNo", L"Text", L""), L"Yes");
}

}  // namespace
