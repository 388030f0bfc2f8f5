// The registry file's parser: any text is either refused with a line and a
// reason, or read into keys that write back to text which reads again into
// the same keys (the written text is stable from then on).
//   ce_fuzz_registry [-runs=N] [file...]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_driver.h"
#include "kernel/registry_format.h"

namespace {

using ce::kernel::registry::FormatRegistryText;
using ce::kernel::registry::ParseRegistryText;

[[noreturn]] void Fail(const char* what, const std::string& text) {
  std::fprintf(stderr, "%s:\n%s\n", what, text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = ParseRegistryText(text);
  if (!parsed.ok) {
    if (parsed.line == 0 || parsed.reason.empty()) Fail("refused without a line or a reason", std::string(text));
    return 0;
  }
  const std::string written = FormatRegistryText(parsed.roots);
  const auto again = ParseRegistryText(written);
  if (!again.ok) Fail(("the written text does not read back: " + again.reason).c_str(), written);
  if (FormatRegistryText(again.roots) != written) Fail("the written text changes when read and written again", written);
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const char* const seeds[] = {
      "# comment\n"
      "device-registry 1\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}]\n"
      "\"\" = sz \"Pelmora\"\n"
      "[HKEY_CURRENT_USER\\Software\\Zentra]\n"
      "\"Log\" = dword 0x00000001\n"
      "\"BL\" = binary 90 00 00 00 01 00 00 00\n"
      "\"Names\" = multi_sz \"one\" \"two\"\n"
      "\"Odd\" = type 1 61 00 62\n",
      "device-registry 1\r\n"
      "[HKEY_LOCAL_MACHINE]\r\n"
      "\"Path\" = expand_sz \"%25windir%25\\x%0a\"\r\n"
      "  [HKEY_USERS\\a\\b\\c\\d]  \r\n"
      "\"\xC3\xA9t\xC3\xA9\" = multi_sz\n"
      "\"e\" = binary\n"
      "[HKEY_USERS\\a]\n"
      "\"q%22\" = sz \"\xF0\x9F\x8E\xB1\"\n",
      "device-registry 1\n[HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER\\a\\B]\n\"x\" = type 4294967295 ff\n",
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const char* seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  return {"device-registry 1\n",
          "[HKEY_CLASSES_ROOT\\",
          "[HKEY_CURRENT_USER\\",
          "[HKEY_LOCAL_MACHINE]",
          "[HKEY_USERS\\",
          "]\n",
          "\" = sz \"",
          "\" = expand_sz \"",
          "\" = multi_sz \"",
          "\" = dword 0x",
          "\" = binary ",
          "\" = type ",
          "%25",
          "%0a",
          "%22",
          "\\",
          "\xF0\x9F\x8E\xB1",
          "\xED\xA0\x80"};
}
