// The XML wrapper's reading over arbitrary text: every element's
// attributes, children and markup are copied into small buffers of many
// capacities. A copy must either fit, terminated, or leave the buffer as it
// was; a guard after each buffer must never change.
//   suite_common_fuzz_xml_attributes [-runs=N] [file...]
#include <cstdlib>
#include <cwchar>
#include <string>

#include "ce/strconv.h"
#include "common/xml_document.h"
#include "fuzz_driver.h"

namespace {

constexpr int kGuard = 8;

// Runs `copy` into a buffer of `capacity` characters followed by a guard.
template <typename Copy>
void Checked(int capacity, Copy copy) {
  wchar_t buffer[64 + kGuard];
  std::wmemset(buffer, L'?', 64 + kGuard);
  const BOOL ok = copy(buffer, capacity);
  for (int i = capacity; i < 64 + kGuard; ++i) {
    if (buffer[i] != L'?') std::abort();  // written past its capacity
  }
  if (ok && std::wmemchr(buffer, L'\0', static_cast<std::size_t>(capacity)) == nullptr) std::abort();
  if (!ok && buffer[0] != L'?') std::abort();  // a refusal leaves the buffer
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  const std::wstring text = ce::WideFromUtf8(std::string(reinterpret_cast<const char*>(data), size));
  suite::CXmlReader reader;
  if (!reader.Load(text.c_str(), FALSE, FALSE, FALSE)) return 0;
  const int count = reader.SelectNodes(L"//*");
  for (int i = 0; i < count && i < 200 && reader.NextNode(); ++i) {
    for (const wchar_t* name : {L"name", L"value", L"clsid", L"bgimage", L"lang"}) {
      for (int capacity : {1, 2, 7, 16, 64}) {
        Checked(capacity, [&](wchar_t* b, int c) { return reader.GetAttribute(name, b, c); });
      }
      BOOL ok = FALSE;
      reader.GetAttributeInt(name, &ok);
    }
    const int children = reader.GetChildCount();
    for (int k = 0; k < children && k < 20; ++k) {
      Checked(k % 2 == 0 ? 5 : 64, [&](wchar_t* b, int c) { return reader.GetChildText(k, b, c); });
    }
    Checked(3, [&](wchar_t* b, int c) { return reader.GetXml(b, c); });
    Checked(64, [&](wchar_t* b, int c) { return reader.GetXml(b, c); });
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const std::string seeds[] = {
      "<home><plugin clsid=\"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}\" value=\"12\"/><plugin/>text<b>x</b></home>",
      "<colorscheme><color name=\"COLOR_WINDOW\" value=\"#102030\" lang=\"-7\"/></colorscheme>",
      "<a name=\"" + std::string(100, 'n') + "\" value=\"" + std::string(63, 'v') + "\" clsid=\"" +
          std::string(64, 'c') + "\">" + std::string(70, 't') + "</a>",
      "<a value=\"&#x10FFFF;&lt;&amp;\"><![CDATA[x]]><!-- c --><?pi d?></a>",
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  return {"<a ", "</a>", "name=\"", "value=\"", "clsid=\"", "bgimage=\"", "\"/>", "&amp;", "<![CDATA[", "<!--"};
}
