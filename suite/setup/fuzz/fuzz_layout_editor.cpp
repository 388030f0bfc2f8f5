// The layout editor over arbitrary current layouts: whatever it reads, it
// either fails and leaves "Scheme" alone, or writes a layout that reads
// back with the plug-ins added (both there) or removed (neither there, in
// any spelling).
//   setup_fuzz_layout_editor [-runs=N] [file...]
#include <cstdlib>
#include <string>

#include "ce/objbase.h"
#include "ce/windows.h"
#include "common/xml_document.h"
#include "fuzz_driver.h"
#include "home_layout_editor.h"

namespace {

const wchar_t* const kCurrent = L"\\My Documents\\fuzz.home.xml";

void WriteInput(const std::uint8_t* data, std::size_t size) {
  HANDLE file = CreateFileW(kCurrent, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) std::abort();
  DWORD written = 0;
  if (size > 0) WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

void SetScheme(const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    std::abort();
  }
  RegSetValueExW(key, L"Scheme", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * 2));
  RegCloseKey(key);
}

// How many plug-in elements of the written layout name the launcher bar
// and the meters, in any spelling.
void Count(const std::wstring& path, int* launcher, int* meters) {
  suite::CXmlReader reader;
  if (!reader.Load(path.c_str(), TRUE, FALSE, FALSE) || !reader.SelectNode(L"/home")) std::abort();
  const int count = reader.SelectNodes(L"//home//plugin");
  for (int i = 0; i < count && reader.NextNode(); ++i) {
    wchar_t clsid[64] = {};
    if (!reader.GetAttribute(L"clsid", clsid, 64)) continue;
    if (setup::SameClsid(clsid, setup::kLauncherClsid)) ++*launcher;
    if (setup::SameClsid(clsid, setup::kMetersClsid)) ++*meters;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64 * 1024) return 0;
  static const bool ready = [] {
    CoInitializeEx(nullptr, 0);
    for (const wchar_t* folder :
         {L"\\My Documents", L"\\Storage", L"\\Storage\\Application Data", L"\\Storage\\Application Data\\Home"}) {
      CreateDirectoryW(folder, nullptr);
    }
    return true;
  }();
  (void)ready;
  WriteInput(data, size);
  setup::CHomeLayoutEditor* editor = setup::CHomeLayoutEditor::GetInstance();
  for (const BOOL remove : {FALSE, TRUE}) {
    SetScheme(kCurrent);
    editor->SetRequest(setup::kChoiceBoth, remove);
    if (!editor->ApplyLayout()) continue;
    int launcher = 0;
    int meters = 0;
    Count(editor->NewFile(), &launcher, &meters);
    if (remove && (launcher != 0 || meters != 0)) std::abort();
    if (!remove && (launcher == 0 || meters == 0)) std::abort();
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> KsFuzzSeeds() {
  const std::string seeds[] = {
      "<?xml version=\"1.0\"?><home><default font=\"Tahoma\"/><background bgimage=\"\"/>"
      "<scheme><color name=\"COLOR_WINDOW\" value=\"#102030\"/></scheme>"
      "<plugin clsid=\"{837FC251-FE69-43ad-84E0-EBCEDEBA0884}\"/>"
      "<plugin clsid=\"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}\"/><plugin/>"
      "<plugin clsid=\"{79EFB752-CB70-446d-B317-499723482B3D}\"/>"
      "<plugin clsid=\"{f3be7fff-7812-4002-b584-3c0950c6bea3}\"/></home>",
      "<home><plugin clsid=\"{" + std::string(2000, 'A') + "}\"/><home><plugin clsid=\"x\"/></home></home>",
      "<colorscheme><plugin clsid=\"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}\"/></colorscheme>",
      "<home><plugin clsid=\"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}",
  };
  std::vector<std::vector<std::uint8_t>> bytes;
  for (const std::string& seed : seeds) bytes.push_back(ks_fuzz::Bytes(seed));
  return bytes;
}

std::vector<std::string> KsFuzzDictionary() {
  return {"<home>",
          "</home>",
          "<plugin clsid=\"",
          "\"/>",
          "<plugin/>",
          "<default/>",
          "<scheme>",
          "{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}",
          "{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}",
          "{837FC251-FE69-43ad-84E0-EBCEDEBA0884}",
          "{79EFB752-CB70-446d-B317-499723482B3D}"};
}
