#include "vocamo_main.h"

#include "ce/windows.h"
#include "form_main.h"
#include "liba/string_translator.h"
#include "os/application.h"
#include "os/path.h"
#include "os/xml.h"
#include "recording_repair.h"
#include "skinner/device_caps.h"
#include "skinner/properties.h"

namespace vocamo {

namespace {

constexpr const wchar_t* kAlternativeSkin = L"%app_path%/skins/alternative/alternative.skin";
constexpr const wchar_t* kDefaultSkin = L"%app_path%/skins/default/default.skin";
constexpr const wchar_t* kEnglish = L"%app_path%/English.lng";

std::wstring settings_path() { return os::path_join(L"%app_path%", L"Settings.xml"); }

// The warning that no usable skin was found, in the language the settings
// name (English when they name none, or one that cannot be read); there is
// no skin yet to translate it.
void warn_no_skin() {
  std::wstring language;
  os::get_xml_attribute(os::find_xml_child(os::load_xml_document(settings_path()), L"Settings"), L"Language", language);
  liba::StringTranslator texts;
  if (language.empty() || !texts.load(os::expand_path(language))) texts.load(os::expand_path(kEnglish));
  const std::wstring text = texts.translate(
      L"Default_skin_incompatible", L"Default skin not found or it is incompatible with this version of Vocamo");
  MessageBoxW(nullptr, text.c_str(), texts.translate(L"Warning", L"Warning").c_str(), MB_OK);
}

}  // namespace

int run_recorder(HINSTANCE instance, const std::wstring& command_line) {
  os::Application application(instance, kAppName);
  if (application.is_already_running(command_line)) return 0;
  // A recording that a crash cut off is mended before the list reads it.
  repair_unfinished(kUnfinishedMarker);

  skinner::install_device_info();
  const skinner::Point screen = skinner::get_screen_size();
  skinner::Properties skin;
  skin.reset(skinner::Properties::create_for_device(os::expand_path(kAlternativeSkin), screen));
  bool alternative_refused = false;
  if (!skinner::Properties::match_screen(skin, kSkinVersion, screen)) {
    alternative_refused = skinner::Properties::is_valid(skin);
    skinner::Properties::create_named(skin, os::expand_path(kDefaultSkin), L"", screen);
  }
  if (!skinner::Properties::match_screen(skin, kSkinVersion, screen)) {
    warn_no_skin();
    return 0;
  }

  FormMain form(nullptr, &skin);
  application.release_instance_lock();
  form.load_settings(settings_path());
  // The about box and every message need the settings skin: without a
  // usable one the start ends as it does without a default skin, told in
  // the language chosen, and writes no settings.
  if (!form.has_settings_skin()) {
    MessageBoxW(nullptr, form.translate(L"Settings_skin_incompatible").c_str(), form.translate(L"Warning").c_str(),
                MB_OK);
    return 0;
  }
  if (alternative_refused) form.tell(L"Warning", L"Alternative_skin_incompatible");
  form.run();
  form.save_settings(settings_path());
  return 0;
}

}  // namespace vocamo
