// The colour-scheme reader over arbitrary files, read both as a
// colour-scheme file and as a home layout: malformed XML, oversized
// attributes, unknown colours and odd values must be refused or skipped
// without reading out of bounds, and the background path always stays a
// terminated text within its field.
//   suite_common_fuzz_color_scheme [-runs=N] [file...]
#include <cstdlib>
#include <cwchar>
#include <string>

#include "ce/windows.h"
#include "common/color_scheme.h"
#include "fuzz_driver.h"

namespace {

const wchar_t* const kPath = L"\\My Documents\\fuzz.scheme.xml";

void WriteInput(const std::uint8_t* data, std::size_t size) {
  HANDLE file = CreateFileW(kPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) std::abort();
  DWORD written = 0;
  if (size > 0) WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  WriteInput(data, size);
  for (const BOOL colorSchemeFile : {TRUE, FALSE}) {
    suite::CColorScheme scheme;
    scheme.ParseFile(kPath, FALSE, colorSchemeFile);
    wchar_t background[suite::CColorScheme::kPathCapacity + 8];
    std::wmemset(background, L'#', suite::CColorScheme::kPathCapacity + 8);
    scheme.GetBgImage(background);
    if (std::wmemchr(background, L'\0', suite::CColorScheme::kPathCapacity) == nullptr) std::abort();
  }
  // The same bytes as one colour value, against every name.
  const std::wstring value(reinterpret_cast<const char*>(data),
                           reinterpret_cast<const char*>(data) + (size < 16 ? size : 16));
  suite::CColorScheme scheme;
  for (const wchar_t* name : suite::CColorScheme::kColorNames) scheme.SetColorByName(name, value.c_str());
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const std::string seeds[] = {
      "<?xml version=\"1.0\"?><colorscheme><title lang=\"0x0409\">vrn</title>"
      "<background bgimage=\"\\Windows\\b.bmp\" valign=\"bottom\"/><scheme>"
      "<color name=\"COLOR_WINDOW\" value=\"#102030\"/><color name=\"COLOR_HOMERULE\" value=\"#FFFFFF\"/>"
      "<color name=\"COLOR_NOPE\" value=\"#000000\"/><color name=\"COLOR_STATIC\" value=\"#12\"/>"
      "<color name=\"COLOR_MENU\" value=\"#GGGGGG\"/><color value=\"#000000\"/><color name=\"COLOR_MENU\"/>"
      "</scheme></colorscheme>",
      "<home><background bgimage=\"" + std::string(300, 'x') + "\"/><scheme><color name=\"" + std::string(100, 'C') +
          "\" value=\"#" + std::string(500, 'F') + "\"/></scheme></home>",
      "<home><scheme><color name=\"COLOR_WINDOW\" value=\"#FFFFFF",
      "#0000FF",
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  return {"<colorscheme>",          "</colorscheme>", "<home>",       "<scheme>",
          "<color name=\"",         "value=\"#",      "COLOR_WINDOW", "COLOR_ALERTRULE",
          "<background bgimage=\"", "\"/>",           "&amp;",        "<![CDATA["};
}
