// Runs the compiled-skin loader, every typed lookup and a form's controls
// (declared ones made, laid out, given pointer and keys) over images mutated
// deterministically from a few compiled skins (or over the files named on
// the command line). Wild links, cycles, unterminated names and huge or
// negative lengths must answer defaults: a hang shows as the test's time-out,
// a bad memory access under the sanitizer build.
//   vo_skinner_fuzz_skin [-runs=N] [file...]
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_driver.h"
#include "liba/error.h"
#include "os/file.h"
#include "skin_compiler.h"
#include "skinner/container.h"
#include "skinner/control.h"
#include "skinner/control_factory.h"
#include "skinner/properties.h"

namespace {

struct Fatal {};

const std::wstring kZip = L"%my_documents%/fuzz.zip";
const std::wstring kLanguage = L"%my_documents%/fuzz.lng";

const wchar_t* const kForms[] = {L"Form", L"Form_L", L"F", L"Form"};
const wchar_t* const kControls[] = {L"", L"btn", L"ctl", L"F"};
const wchar_t* const kKinds[] = {L"", L"Kind", L"Base"};
const wchar_t* const kKeys[] = {L"X", L"Text", L"Size", L"Devices", L""};

// What the declared controls become: plain controls.
skinner::Control* MakePlain(skinner::Container& container, const std::wstring& name) {
  return new skinner::Control(container, name);
}

// A form stand-in that ignores what controls ask of it.
struct Host : skinner::FormHost {
  void invalidate(const skinner::Rect&) override {}
  std::uint32_t set_timer(double) override { return 1; }
  void kill_timer(std::uint32_t) override {}
  bool is_key_pressed(skinner::KeyCode) const override { return false; }
  void on_picture_failed_to_load(const skinner::Picture&) override {}
};

// The form's controls from the skin: declared ones made, all laid out by
// their anchors, the pointer and keys routed through them.
void BuildForm(skinner::Properties& handle, const std::wstring& form, ks_fuzz::Random& random) {
  Host host;
  skinner::Container container(&host, &handle, form);
  skinner::Control own(container, L"btn", skinner::NamingMode::NamedWithoutKind);
  container.load_properties();
  container.set_rect({0, 0},
                     {static_cast<std::int32_t>(random.Below(500)), static_cast<std::int32_t>(random.Below(500))});
  container.set_active(true);
  for (int i = 0; i < 4; ++i) {
    const skinner::Point at{static_cast<std::int32_t>(random.Below(300)), static_cast<std::int32_t>(random.Below(300))};
    container.on_pointer_move(at);
    container.on_pointer_down(skinner::PointerKind::Tap, at);
    container.on_key_down(skinner::KeyCode::Tab);
    container.on_pointer_up(skinner::PointerKind::Tap, at);
  }
  container.get_preferred_size();
  container.load_properties();
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool setup = [] {
    liba::set_fatal_message_box([](const std::wstring&, const std::wstring&) { throw Fatal{}; });
    for (const wchar_t* name : {L"Button", L"ButtonSystem", L"Frame"}) skinner::set_control_maker(name, &MakePlain);
    WriteFile(kLanguage, "Press Push\nform.Form.Text Title\nform.Form.btn.Text Go\nform.F.X.Text z\n");
    return true;
  }();
  (void)setup;
  ks_fuzz::Random random = ks_fuzz::RandomFor(data, size);
  const skinner::Point screens[] = {{0, 0}, {240, 320}, {480, 600}, {-5, 7}};
  const skinner::Point screen = screens[random.Below(4)];
  std::vector<std::uint8_t> blob(data, data + size);
  const bool zipped = random.Below(16) == 0;
  if (zipped) WriteFile(kZip, skinc::StoredZip({{"a.skin", std::string(blob.begin(), blob.end())}}));
  skinner::Properties handle;
  handle.reset(zipped ? new skinner::PropertiesImpl(kZip, L"", screen)
                      : new skinner::PropertiesImpl(std::move(blob), screen));
  skinner::PropertiesImpl& p = *handle.get();
  p.match_screen(L"", {480, 640});
  if (random.Below(4) == 0) p.set_language(kLanguage);
  // Names mostly from the seeds, so most lookups reach the trees; the first
  // fatal error ends the input, as it would end the program.
  try {
    for (int i = 0; i < 16; ++i) {
      const std::wstring form = kForms[random.Below(std::size(kForms))];
      const std::wstring control = random.Below(3) == 0 ? form : kControls[random.Below(std::size(kControls))];
      const std::wstring kind = kKinds[random.Below(std::size(kKinds))];
      const std::wstring key = kKeys[random.Below(std::size(kKeys))];
      p.read_int(kind, control, form, key, 0);
      p.read_scaled_point(kind, control, form, key, {});
      p.read_colour(kind, control, form, key, {});
      p.read_text(kind, control, form, key, L"");
      p.read_picture_text(kind, control, form, key, L"");
      p.read_font_text(kind, control, form, key, L"");
      p.get_control_kind(form, control);
      const int n = p.get_declared_count(form);
      for (int k = -1; k <= n && k < 64; ++k) p.get_declared_control(form, k);
    }
    BuildForm(handle, kForms[random.Below(std::size(kForms))], random);
  } catch (const Fatal&) {}
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const char* const sources[] = {
      "skin \"S\"\nsizes 240x320 320x240\n"
      "kind Base\n  int X 1\n  text Text \"Press\"\n  colour X 1 2 3\n"
      "kind Kind : Base\n  size X 4 5\n  picture X \"0 0 1 1 2 2 3 3 s a\"\n  font X \"12 0 0 0 Sans\"\n"
      "form Form\n  size Size 200 200\n  text Text \"Press\"\n"
      "  control btn : Kind class Button\n    text Text \"Press\"\n    int X 9\n"
      "    text AnchorX \"RATIO\"\n    text AnchorY \"BOTH_SIDE\"\n    size Position 10 20\n    size Size 30 40\n"
      "  control ctl class Frame\n    text AnchorX \"MAX_SIDE\"\n    int ZOrder 3\n    int Visible 0\n"
      "  child F : Base\n"
      "form Form_L\n  size Size 320 200\n  text Devices \"P\"\n  int Fullscreen 1\n",
      "skin \"S\"\nform F\n  int X 7\n  text Text \"x\"\n",
  };
  std::vector<std::vector<std::uint8_t>> seeds;
  for (const char* source : sources) {
    std::vector<std::uint8_t> blob;
    std::string error;
    skinc::Compile(source, blob, error);
    seeds.push_back(blob);
  }
  return seeds;
}

std::vector<std::string> KsFuzzDictionary() {
  // The header's size, a node head, a link past any image, a negative length.
  return {ks_fuzz::LittleEndian(200, 4), ks_fuzz::LittleEndian(72, 4), ks_fuzz::LittleEndian(0xFFFFFFF0u, 4),
          ks_fuzz::LittleEndian(0x80000000u, 4), std::string(2, '\0')};
}
