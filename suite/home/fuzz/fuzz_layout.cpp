// The layout and colour-scheme reader over arbitrary text: malformed XML,
// oversized attributes, unknown colours and too many entries must be
// refused or skipped without reading out of bounds, and what is accepted
// must keep to the reader's limits.
//   home_fuzz_layout [-runs=N] [file...]
#include <cstdlib>
#include <string>

#include "ce/objbase.h"
#include "ce/strconv.h"
#include "fuzz_driver.h"
#include "home_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  static const HRESULT initialised = CoInitializeEx(nullptr, 0);
  (void)initialised;
  const std::wstring text = ce::WideFromUtf8(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto kind : {home::FileKind::Layout, home::FileKind::ColorScheme}) {
    home::HomeLayout layout;
    if (!home::ReadHomeText(text, kind, layout)) continue;
    if (layout.plugins.size() > home::kMaxPlugins) std::abort();
    if (layout.background.size() > home::kMaxPathChars) std::abort();
    for (const auto& plugin : layout.plugins) {
      if (plugin.clsidText.size() != 38) std::abort();
    }
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const std::string seeds[] = {
      "<?xml version=\"1.0\"?><home><background bgimage=\"\\Windows\\b.bmp\" valign=\"bottom\"/>"
      "<scheme><color name=\"COLOR_WINDOW\" value=\"#102030\"/><color name=\"COLOR_HOMERULE\" value=\"#FFFFFF\"/>"
      "<color name=\"COLOR_NOPE\" value=\"#000000\"/><color name=\"COLOR_STATIC\" value=\"#12\"/></scheme>"
      "<plugin clsid=\"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}\"/><plugin/><plugin clsid=\"nonsense\"/>"
      "<plugin clsid=\"{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}\"/></home>",
      "<colorscheme><title lang=\"0x0409\"><label>x</label></title><background bgimage=\"a\"/>"
      "<scheme><color name=\"COLOR_TRAYTEXT\" value=\"#0000FF\"/></scheme></colorscheme>",
      "<home><plugin clsid=\"{" + std::string(2000, 'A') + "}\"/><background bgimage=\"" + std::string(300, 'x') +
          "\"/></home>",
      "<home><scheme><color name=\"COLOR_WINDOW\" value=\"#FFFFFF",
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  return {
      "<home>",    "</home>",      "<plugin clsid=\"",       "<scheme>",      "<color name=\"",
      "value=\"#", "COLOR_WINDOW", "<background bgimage=\"", "<colorscheme>", "{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}",
      "\"/>"};
}
