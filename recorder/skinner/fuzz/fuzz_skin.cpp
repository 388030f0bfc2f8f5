// Runs the compiled-skin loader and every typed lookup over images mutated
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
#include "skinner/properties.h"

namespace {

struct Fatal {};

const std::wstring kZip = L"%my_documents%/fuzz.zip";
const std::wstring kLanguage = L"%my_documents%/fuzz.lng";

const wchar_t* const kForms[] = {L"Form", L"Form_L", L"F", L"Form"};
const wchar_t* const kControls[] = {L"", L"btn", L"ctl", L"F"};
const wchar_t* const kKinds[] = {L"", L"Kind", L"Base"};
const wchar_t* const kKeys[] = {L"X", L"Text", L"Size", L"Devices", L""};

void WriteFile(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool setup = [] {
    liba::set_fatal_message_box([](const std::wstring&, const std::wstring&) { throw Fatal{}; });
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
  skinner::PropertiesImpl p =
      zipped ? skinner::PropertiesImpl(kZip, L"", screen) : skinner::PropertiesImpl(std::move(blob), screen);
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
      "  control ctl class Frame\n  child F : Base\n"
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
