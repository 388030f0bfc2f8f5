// Runs the language-file loader over files mutated deterministically from a
// few sound ones (or over the files named on the command line): odd byte
// counts after the mark, a lone mark, NULs, long lines, '=' at every place.
//   vo_skinner_fuzz_language [-runs=N] [file...]
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_driver.h"
#include "liba/string_translator.h"
#include "os/file.h"

namespace {

const std::wstring kPath = L"%my_documents%/fuzz.lng";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    os::File f(kPath, 1);
    f.write(data, static_cast<std::uint32_t>(size));
  }
  liba::StringTranslator t(kPath);
  t.parse(kPath);  // a second load merges over the first
  const std::wstring fallback = L"-";
  for (const auto& [key, value] : t.table()) {
    if (key.empty() || &t.translate(key, fallback) != &value) __builtin_trap();
  }
  if (&t.translate(L"\x1F\x1F no such key", fallback) != &fallback) __builtin_trap();
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  std::string wide = "\xFF\xFE";
  for (const char c : std::string("key value\r\nempty=\r\n// note\r\nk= v\r\nlast")) {
    wide.push_back(c);
    wide.push_back('\0');
  }
  return {
      ks_fuzz::Bytes("menuOk OK\nmenuMenu Menu\r\nspaced= two\n//c\n/ slash\nlone\n\nnext\ncaf\xE9 \x80\n"),
      ks_fuzz::Bytes(wide),
      ks_fuzz::Bytes("\xFF\xFE"),
      ks_fuzz::Bytes("\xFF\xFE\x61"),
  };
}

std::vector<std::string> KsFuzzDictionary() { return {"\xFF\xFE", "=", "//", "\r\n", std::string(1, '\0')}; }
