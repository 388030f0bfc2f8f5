#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winreg.h"
#include "kernel/clock.h"
#include "kernel/handles.h"
#include "kernel/registry_format.h"
#include "kernel/registry_store.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

namespace clock = ce::kernel::clock;
using Bytes = std::vector<std::uint8_t>;

class Registry : public ::testing::Test {
 protected:
  ce::test::TempDevice device_;

  HKEY Create(HKEY root, const wchar_t* path, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition), ERROR_SUCCESS)
        << ce::Utf8FromWide(path);
    return key;
  }
  static LONG SetDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  static LONG SetText(HKEY key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * 2));
  }
  static DWORD GetDword(HKEY key, const wchar_t* name) {
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    return value;
  }
  std::string FileText() const { return device_.ReadHostFile(".runtime/registry.dat"); }
};

TEST(RegistryHeader, ValuesMatchTheDevice) {
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(HKEY_CLASSES_ROOT), 0x80000000u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(HKEY_CURRENT_USER), 0x80000001u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE), 0x80000002u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(HKEY_USERS), 0x80000003u);
  const std::pair<DWORD, DWORD> values[] = {
      {REG_SZ, 1},
      {REG_EXPAND_SZ, 2},
      {REG_BINARY, 3},
      {REG_DWORD, 4},
      {REG_MULTI_SZ, 7},
      {KEY_READ, 0x20019},
      {KEY_ALL_ACCESS, 0xF003F},
      {KEY_WRITE, 0x20006},
      {REG_CREATED_NEW_KEY, 1},
      {REG_OPENED_EXISTING_KEY, 2},
      {ERROR_MORE_DATA, 234},
      {ERROR_NO_MORE_ITEMS, 259},
      {ERROR_KEY_DELETED, 1018},
      {ERROR_REGISTRY_CORRUPT, 1015},
  };
  for (const auto& [actual, expected] : values) EXPECT_EQ(actual, expected);
}

TEST_F(Registry, CreatesNestedPathsAndOpensThemAnyCase) {
  DWORD disposition = 0;
  HKEY key = Create(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  key = Create(HKEY_CURRENT_USER, L"software\\TARNWELL\\pelmora", &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(SetDword(key, L"BS", 2), ERROR_SUCCESS);
  RegCloseKey(key);

  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"\\Software\\Tarnwell\\PELMORA\\", 0, KEY_READ, &opened), ERROR_SUCCESS)
      << "a leading or trailing backslash is tolerated";
  EXPECT_EQ(GetDword(opened, L"bs"), 2u) << "value names ignore case too";
  RegCloseKey(opened);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Tarnwell", 0, KEY_READ, &opened), ERROR_SUCCESS)
      << "the intermediate key exists";
  RegCloseKey(opened);

  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Missing", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarnwell", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND)
      << "roots are separate";
}

TEST_F(Registry, QueryReportsSizesTypesAndMissingValues) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Zentra");
  ASSERT_EQ(SetDword(key, L"Log", 7), ERROR_SUCCESS);

  BYTE one = 0;
  DWORD size = 1;
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Log", nullptr, &type, &one, &size), ERROR_MORE_DATA);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(GetDword(key, L"Log"), 7u);

  size = 0;
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Log", nullptr, &type, nullptr, &size), ERROR_SUCCESS) << "size alone";
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegQueryValueExW(key, L"Log", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS) << "existence alone";
  EXPECT_EQ(RegQueryValueExW(key, L"Nope", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExW(key, L"Log", nullptr, &type, &one, nullptr), ERROR_INVALID_PARAMETER);

  // The default value answers to a null and to an empty name.
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetText(key, nullptr, L"Vocamo"), ERROR_SUCCESS);
  wchar_t text[16] = {};
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExW(key, L"", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(text), L"Vocamo");
  EXPECT_EQ(size, 14u);
  RegCloseKey(key);
}

TEST_F(Registry, TextSizesAreUtf16Bytes) {
  HKEY key = Create(HKEY_CLASSES_ROOT, L"CLSID\\{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}");
  ASSERT_EQ(RegSetValueExW(key, L"abc", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"abc"), 8), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, nullptr, L"Tessivo"), ERROR_SUCCESS);

  DWORD size = 0;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExW(key, L"abc", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  ASSERT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 16u) << "(length + 1) x 2";

  // A wchar_t buffer is passed as its real size: four characters here.
  wchar_t buffer[5] = {L'x', L'x', L'x', L'x', L'#'};
  size = 4 * sizeof(wchar_t);
  ASSERT_EQ(RegQueryValueExW(key, L"abc", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  EXPECT_EQ(buffer[4], L'#') << "nothing written past four characters";
  EXPECT_EQ(size, 8u) << "the size returned is the device's";

  size = 8;  // the device's count: too small for four wchar_t on this host
  type = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"abc", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4 * sizeof(wchar_t)) << "what this call needs";
  EXPECT_EQ(type, REG_SZ);

  // A string where a DWORD was expected never overruns the DWORD.
  ASSERT_EQ(RegSetValueExW(key, L"one", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4), ERROR_SUCCESS);
  struct {
    DWORD value = 0xDEADBEEF;
    DWORD guard = 0x600D600D;
  } dword;
  size = sizeof dword.value;
  EXPECT_EQ(RegQueryValueExW(key, L"one", nullptr, &type, reinterpret_cast<BYTE*>(&dword.value), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(dword.value, 0xDEADBEEFu);
  EXPECT_EQ(dword.guard, 0x600D600Du);

  // A count that overstates the string (sizeof of a wchar_t literal) stops
  // at its terminator; an odd count drops the half character.
  const wchar_t literal[] = L"abc";
  ASSERT_EQ(RegSetValueExW(key, L"sized", 0, REG_SZ, reinterpret_cast<const BYTE*>(literal), sizeof literal),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExW(key, L"sized", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  ASSERT_EQ(RegSetValueExW(key, L"odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(literal), 7), ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExW(key, L"odd", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 6u);
  const wchar_t list[] = L"one\0two\0";
  ASSERT_EQ(RegSetValueExW(key, L"list", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list), sizeof list),
            ERROR_SUCCESS);
  ASSERT_EQ(RegQueryValueExW(key, L"list", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 18u) << "two strings and the closing terminator";
  RegCloseKey(key);
}

TEST_F(Registry, ValuesOfEveryTypeSurviveTheFileExactly) {
  struct Case {
    const wchar_t* name;
    DWORD type;
    Bytes bytes;
  };
  const Case cases[] = {
      {L"sz", REG_SZ, {'h', 0, 0xAC, 0x20, 0, 0}},
      {L"expand", REG_EXPAND_SZ, {'%', 0, 'x', 0, '%', 0, 0, 0}},
      {L"multi", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {L"emptymulti", REG_MULTI_SZ, {0, 0, 0, 0}},
      {L"dword", REG_DWORD, {1, 2, 3, 4}},
      {L"shortdword", REG_DWORD, {9, 9}},
      {L"binary", REG_BINARY, {0x90, 0, 0, 0, 1, 0, 0, 0, 0xFF}},
      {L"empty", REG_BINARY, {}},
      {L"unterminated", REG_SZ, {'a', 0, 'b', 0}},
      {L"odd", REG_SZ, {'a', 0, 'b'}},
      {L"lonesurrogate", REG_SZ, {0x00, 0xD8, 0, 0}},
      {L"quote\"%\n", 0x1234, {1}},
  };
  ce::kernel::registry::Roots roots = ce::kernel::registry::MakeEmptyRoots();
  auto key = std::make_shared<ce::kernel::registry::Key>();
  key->name = L"Odd name %41 [x] \u00e9\t";
  key->depth = 1;
  for (const auto& c : cases) key->values.push_back({c.name, c.type, c.bytes});
  roots[1]->subkeys.push_back(key);
  roots[3]->values.push_back({L"", REG_SZ, {'r', 0, 0, 0}});

  const std::string text = ce::kernel::registry::FormatRegistryText(roots);
  const auto parsed = ce::kernel::registry::ParseRegistryText(text);
  ASSERT_TRUE(parsed.ok) << parsed.line << ": " << parsed.reason << "\n" << text;
  ASSERT_EQ(parsed.roots[1]->subkeys.size(), 1u);
  const auto& back = *parsed.roots[1]->subkeys[0];
  EXPECT_EQ(back.name, key->name);
  ASSERT_EQ(back.values.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(back.values[i].name, cases[i].name);
    EXPECT_EQ(back.values[i].type, cases[i].type) << ce::Utf8FromWide(cases[i].name);
    EXPECT_EQ(back.values[i].data, cases[i].bytes) << ce::Utf8FromWide(cases[i].name);
  }
  ASSERT_EQ(parsed.roots[3]->values.size(), 1u);
  EXPECT_EQ(ce::kernel::registry::FormatRegistryText(parsed.roots), text) << "writing is stable";
}

TEST_F(Registry, FileReadsLikeTheKeys) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Zentra");
  ASSERT_EQ(SetDword(key, L"Log", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, L"Path", L"\\My Documents\\100%"), ERROR_SUCCESS);
  const BYTE blob[] = {0x0c, 0x00, 0xff};
  ASSERT_EQ(RegSetValueExW(key, L"BL", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  RegCloseKey(key);
  // The device's own backlight values stand first in every device's file.
  const std::string text = FileText();
  const std::string header =
      "# The device registry. Every change rewrites this whole file.\n"
      "device-registry 1\n"
      "[HKEY_CURRENT_USER\\ControlPanel]\n"
      "[HKEY_CURRENT_USER\\ControlPanel\\Backlight]\n";
  EXPECT_EQ(text.substr(0, header.size()), header);
  const std::string ours =
      "[HKEY_CURRENT_USER\\Software]\n"
      "[HKEY_CURRENT_USER\\Software\\Zentra]\n"
      "\"Log\" = dword 0x00000001\n"
      "\"Path\" = sz \"\\My Documents\\100%25\"\n"
      "\"BL\" = binary 0c 00 ff\n";
  EXPECT_EQ(text.substr(text.size() - std::min(text.size(), ours.size())), ours);
}

TEST_F(Registry, DeletesValuesAndWholeSubtrees) {
  HKEY key = Create(HKEY_CLASSES_ROOT, L"CLSID\\{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}\\InprocServer32");
  HKEY parent = Create(HKEY_CLASSES_ROOT, L"CLSID\\{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}");
  ASSERT_EQ(SetDword(parent, L"x", 1), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteValueW(parent, L"X"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(parent, L"x"), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{f3be7fff-7812-4002-b584-3c0950c6bea3}"), ERROR_SUCCESS)
      << "a key with subkeys goes with them";
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}"), ERROR_FILE_NOT_FOUND);
  HKEY opened = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}\\InprocServer32", 0,
                          KEY_READ, &opened),
            ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);

  // Handles to the deleted keys stay handles, but every call says so.
  EXPECT_EQ(SetDword(key, L"y", 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegQueryValueExW(parent, L"y", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCreateKeyExW(parent, L"sub", 0, nullptr, 0, 0, nullptr, &opened, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L""), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, EnumeratesInCreationOrderWithSizeRules) {
  HKEY key = Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Launcher\\Items");
  for (const wchar_t* name : {L"zeta", L"Alpha", L"abc"}) RegCloseKey(Create(key, name));
  ASSERT_EQ(SetDword(key, L"Order", 10), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, L"", L"default"), ERROR_SUCCESS);

  std::vector<std::wstring> names;
  wchar_t name[64];
  for (DWORD i = 0;; ++i) {
    DWORD size = 64;
    const LONG status = RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(size, std::wcslen(name));
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"zeta", L"Alpha", L"abc"}));

  DWORD size = 3;  // "abc" needs four with its terminator
  EXPECT_EQ(RegEnumKeyExW(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegEnumKeyExW(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(RegEnumKeyExW(key, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);

  DWORD type = 0;
  DWORD value = 0;
  DWORD dataSize = sizeof value;
  size = 64;
  ASSERT_EQ(RegEnumValueW(key, 0, name, &size, nullptr, &type, reinterpret_cast<BYTE*>(&value), &dataSize),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(name), L"Order");
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 10u);
  size = 64;
  dataSize = 4;  // the default value's text is eight wchar_t
  EXPECT_EQ(RegEnumValueW(key, 1, name, &size, nullptr, &type, reinterpret_cast<BYTE*>(&value), &dataSize),
            ERROR_MORE_DATA);
  EXPECT_EQ(std::wstring(name), L"") << "the default value enumerates with an empty name";
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(dataSize, 8 * sizeof(wchar_t));
  wchar_t text[8];
  dataSize = sizeof text;
  size = 64;
  ASSERT_EQ(RegEnumValueW(key, 1, name, &size, nullptr, &type, reinterpret_cast<BYTE*>(text), &dataSize),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(text), L"default");
  EXPECT_EQ(dataSize, 16u);
  size = 64;
  EXPECT_EQ(RegEnumValueW(key, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
}

TEST_F(Registry, BadHandlesAndBadNamesAreRefused) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software");
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  struct Other : ce::kernel::KernelObject {
    Other() : KernelObject(ce::kernel::HandleKind::Event) {}
  };
  HANDLE event = ce::kernel::InsertHandle(std::make_shared<Other>());
  HKEY opened = nullptr;
  for (HKEY bad : {key, static_cast<HKEY>(nullptr), reinterpret_cast<HKEY>(0x12345678), static_cast<HKEY>(event),
                   reinterpret_cast<HKEY>(0x80000004)}) {
    EXPECT_EQ(RegOpenKeyExW(bad, L"x", 0, KEY_READ, &opened), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(bad, L"x", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(bad, L"x", 1), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(RegCloseKey(static_cast<HKEY>(event)), ERROR_INVALID_HANDLE) << "not a key: left open";
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS) << "predefined keys close quietly";

  const std::wstring longest(255, L'k');
  const std::wstring tooLong(256, L'k');
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, longest.c_str(), 0, nullptr, 0, 0, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(opened);
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, 0, nullptr, &opened, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, KEY_READ, &opened), ERROR_INVALID_PARAMETER);
  const std::wstring longValue(16384, L'v');
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, longValue.c_str(), 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, longValue.substr(1).c_str(), 1), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"x", 0, nullptr, 0, 0, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(HKEY_CURRENT_USER, L"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, SeesChangesOtherProcessesWrote) {
  HKEY keep = Create(HKEY_CURRENT_USER, L"Software\\Keep");
  HKEY lose = Create(HKEY_CURRENT_USER, L"Software\\Lose");
  ASSERT_EQ(SetDword(keep, L"a", 1), ERROR_SUCCESS);
  ASSERT_EQ(RegFlushKey(keep), ERROR_SUCCESS);  // written before the other process writes

  // What another process would leave: a whole new file in place of the old.
  device_.WriteHostFile(".runtime/registry.dat.new",
                        "device-registry 1\n"
                        "[HKEY_CURRENT_USER\\Software\\Keep]\n"
                        "\"a\" = dword 0x00000002\n"
                        "[HKEY_CURRENT_USER\\Software\\New]\n");
  std::filesystem::rename(device_.HostPath(".runtime/registry.dat.new"), device_.HostPath(".runtime/registry.dat"));

  EXPECT_EQ(GetDword(keep, L"a"), 2u) << "an open key follows the new file";
  EXPECT_EQ(SetDword(lose, L"a", 1), ERROR_KEY_DELETED) << "its key is gone from the new file";
  HKEY opened = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\New", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
  RegCloseKey(keep);
  RegCloseKey(lose);
}

TEST_F(Registry, CorruptFileIsRefusedAndLeftAlone) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Zentra");
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);  // no write-back reads the file before the report is caught
  const std::string corrupt = "device-registry 1\n[HKEY_CURRENT_USER\\Software\\Zentra]\n\"Log\" = dword zz\n";
  device_.WriteHostFile(".runtime/registry.dat", corrupt);

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SetDword(key, L"Log", 1), ERROR_REGISTRY_CORRUPT);
  const std::string report = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(device_.HostPath(".runtime/registry.dat") + ":3:"), std::string::npos) << report;

  HKEY opened = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"New", 0, nullptr, 0, 0, nullptr, &opened, nullptr),
            ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &opened), ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software"), ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(RegQueryValueExW(key, L"Log", nullptr, nullptr, nullptr, nullptr), ERROR_REGISTRY_CORRUPT);
  EXPECT_EQ(device_.ReadHostFile(".runtime/registry.dat"), corrupt) << "never overwritten";

  // Repaired by hand: the registry works again, open handles included.
  device_.WriteHostFile(".runtime/registry.dat", "device-registry 1\n[HKEY_CURRENT_USER\\Software\\Zentra]\n");
  EXPECT_EQ(SetDword(key, L"Log", 1), ERROR_SUCCESS);
  RegCloseKey(key);
}

// The registry's files are the device's own: device paths cannot reach
// them, so a program deleting or overwriting "\registry.dat" changes an
// ordinary file of its own and the registry goes on working.
TEST_F(Registry, DevicePathsCannotReachItsFiles) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Zentra");
  ASSERT_EQ(SetDword(key, L"a", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, L"a", 2), ERROR_SUCCESS);  // under the lock: its file exists too

  EXPECT_FALSE(DeleteFileW(L"\\registry.dat"));
  EXPECT_FALSE(DeleteFileW(L"\\registry.lock"));
  for (const wchar_t* path : {L"\\.runtime\\registry.dat", L"\\.RUNTIME\\registry.lock", L"\\.runtime"}) {
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(path)) << ce::Utf8FromWide(path);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << ce::Utf8FromWide(path);
    EXPECT_EQ(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  }
  HANDLE file = CreateFileW(L"\\registry.dat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "garbage", 7, &written, nullptr));
  CloseHandle(file);
  EXPECT_EQ(GetDword(key, L"a"), 2u);
  EXPECT_EQ(SetDword(key, L"b", 3), ERROR_SUCCESS);
  EXPECT_TRUE(DeleteFileW(L"\\registry.dat"));
  EXPECT_EQ(GetDword(key, L"b"), 3u);
  RegCloseKey(key);
  EXPECT_NE(FileText().find("Zentra"), std::string::npos);
}

// A device an earlier build used keeps its registry in the root: the first
// start moves it into the runtime folder. A temporary file a killed writer
// left behind is removed at the next start.
TEST_F(Registry, FirstStartMovesTheOldFileInAndDropsAStaleTemporary) {
  const std::string old = "device-registry 1\n[HKEY_CURRENT_USER\\Software\\Old]\n\"v\" = dword 0x00000007\n";
  device_.WriteHostFile("registry.dat", old);
  device_.WriteHostFile("registry.lock", "");
  device_.WriteHostFile(".runtime/registry.dat.tmp", "device-registry 1\n[HKEY_CURR");

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Old", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key, L"v"), 7u);
  RegCloseKey(key);
  // Moved, then the device's own backlight values added.
  EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Old]\n\"v\" = dword 0x00000007\n"), std::string::npos);
  EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\ControlPanel\\Backlight]"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(device_.HostPath("registry.dat")));
  EXPECT_FALSE(std::filesystem::exists(device_.HostPath("registry.lock")));
  EXPECT_FALSE(std::filesystem::exists(device_.HostPath(".runtime/registry.dat.tmp")));
  EXPECT_EQ(GetFileAttributesW(L"\\registry.dat"), INVALID_FILE_ATTRIBUTES);
}

// Once the registry lives in the runtime folder, a file of that name the
// device made in its root is its own and stays where it is.
TEST_F(Registry, ARootFileNamedLikeTheRegistryIsLeftAloneLater) {
  device_.WriteHostFile(".runtime/registry.dat", "device-registry 1\n[HKEY_CURRENT_USER\\Software\\New]\n");
  device_.WriteHostFile("registry.dat", "my own notes");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\New", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(device_.ReadHostFile("registry.dat"), "my own notes");
}

TEST(RegistryFormat, FaultsNameTheirLine) {
  struct Case {
    const char* text;
    std::size_t line;
  };
  const Case cases[] = {
      {"", 1},
      {"hello\n", 1},
      {"# c\ndevice-registry 1\n\"v\" = dword 0x1\n", 3},
      {"device-registry 1\n[HKEY_NOWHERE\\x]\n", 2},
      {"device-registry 1\n[HKEY_USERS\\a\\\\b]\n", 2},
      {"device-registry 1\n[HKEY_USERS\\a%5Cb]\n", 2},
      {"device-registry 1\n[HKEY_USERS\\a]\n[HKEY_USERS\\A]\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = dword 0x1\n\"V\" = binary\n", 4},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = binary 0g\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = binary -1\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = sz \"x%4\"\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = sz \"\xff\"\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = sz \"x\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = multi_sz \"\"\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = dword 0x100000000\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = qword 1\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = sz \"x\" extra\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a]\n\"v\" = type x 00\n", 3},
      {"device-registry 1\n[HKEY_USERS\\a\n", 2},
  };
  for (const auto& c : cases) {
    const auto result = ce::kernel::registry::ParseRegistryText(c.text);
    EXPECT_FALSE(result.ok) << c.text;
    EXPECT_EQ(result.line, c.line) << c.text << " -> " << result.reason;
    EXPECT_FALSE(result.reason.empty());
  }
  std::string deep = "device-registry 1\n[HKEY_USERS";
  for (int i = 0; i < 513; ++i) deep += "\\k";
  EXPECT_FALSE(ce::kernel::registry::ParseRegistryText(deep + "]\n").ok) << "nested too deep";
  EXPECT_TRUE(ce::kernel::registry::ParseRegistryText("device-registry 1\r\n[HKEY_USERS\\a]\r\n").ok)
      << "CR LF line ends";
}

TEST_F(Registry, TwoProcessesWritingEndWithBoth) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Shared");
  constexpr int kRounds = 40;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  const wchar_t* prefix = child == 0 ? L"child" : L"parent";
  bool allSet = true;
  for (int i = 0; i < kRounds; ++i) {
    const std::wstring name = prefix + std::to_wstring(i);
    allSet = allSet && SetDword(key, name.c_str(), static_cast<DWORD>(i)) == ERROR_SUCCESS;
  }
  if (child == 0) ::_exit(allSet && RegFlushKey(key) == ERROR_SUCCESS ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(allSet);
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_EQ(GetDword(key, (L"child" + std::to_wstring(i)).c_str()), static_cast<DWORD>(i));
    EXPECT_EQ(GetDword(key, (L"parent" + std::to_wstring(i)).c_str()), static_cast<DWORD>(i));
  }
  RegCloseKey(key);
}

TEST_F(Registry, ThreadsWritingAtOnceLoseNothing) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([key, t] {
      for (int i = 0; i < 25; ++i) {
        const std::wstring name = L"t" + std::to_wstring(t) + L"_" + std::to_wstring(i);
        HKEY own = nullptr;
        ASSERT_EQ(RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, 0, nullptr, &own, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(key, name.c_str(), static_cast<DWORD>(i)), ERROR_SUCCESS);
        ASSERT_EQ(RegCloseKey(own), ERROR_SUCCESS);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  DWORD count = 0;
  wchar_t name[32];
  for (DWORD size = 32; RegEnumKeyExW(key, count, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       size = 32) {
    ++count;
  }
  EXPECT_EQ(count, 100u);
  EXPECT_EQ(GetDword(key, L"t3_24"), 24u);
  RegCloseKey(key);
}

TEST_F(Registry, FailedWriteKeepsTheOldFileAndThePendingChange) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Full");
  ASSERT_EQ(SetDword(key, L"kept", 1), ERROR_SUCCESS);
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  const std::string before = FileText();

  // A child whose files may not grow past the current size stands in for a
  // full disk. Its changes stay in memory, pending, when they cannot be
  // written, and the file stays as it was.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(before.size() / 2), static_cast<rlim_t>(before.size() / 2)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::vector<BYTE> big(4096, 0xAB);
    int code = 0;
    if (RegSetValueExW(key, L"big", 0, REG_BINARY, big.data(), static_cast<DWORD>(big.size())) != ERROR_SUCCESS ||
        SetDword(key, L"kept", 2) != ERROR_SUCCESS) {
      code |= 1;
    }
    if (RegFlushKey(key) == ERROR_SUCCESS) code |= 2;
    if (RegQueryValueExW(key, L"big", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        GetDword(key, L"kept") != 2) {
      code |= 4;
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "bits: 1 a change refused, 2 a failed write claimed success, 4 a change lost";
  EXPECT_EQ(FileText(), before);
  EXPECT_FALSE(std::filesystem::exists(device_.HostPath(".runtime/registry.dat.tmp")));
  EXPECT_EQ(GetDword(key, L"kept"), 1u);
  RegCloseKey(key);
}

// Under the virtual clock, the file changes only when the clock passes the
// write-back delay, a key is flushed, or the last key handle closes; a burst
// of changes is one write of the file.
class RegistryWriteBack : public Registry {
 protected:
  void SetUp() override { clock::UseVirtualClock(0, ce::kernel::kFileTimeUnixEpoch); }
  void TearDown() override { clock::UseRealClock(); }

  ino_t FileIdentity() const {
    struct stat info {};
    return ::stat(device_.HostPath(".runtime/registry.dat").c_str(), &info) == 0 ? info.st_ino : 0;
  }
  bool FileHas(const std::string& text) const { return FileText().find(text) != std::string::npos; }
  // The write-back runs on a thread of its own once the clock has passed.
  bool EventuallyHas(const std::string& text) const {
    for (int tries = 0; tries < 3000 && !FileHas(text); ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return FileHas(text);
  }
};

TEST_F(RegistryWriteBack, ABurstIsOneWriteOfTheFile) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Burst");
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  const ino_t first = FileIdentity();
  ASSERT_NE(first, 0u);
  for (DWORD i = 0; i < 500; ++i) ASSERT_EQ(SetDword(key, (L"v" + std::to_wstring(i)).c_str(), i), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(key, L"v7"), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key, L"v499"), 499u) << "the program sees its changes at once";
  EXPECT_EQ(FileIdentity(), first) << "nothing written before the delay";

  ASSERT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  const ino_t second = FileIdentity();
  EXPECT_NE(second, first);
  EXPECT_TRUE(FileHas("\"v499\" = dword 0x000001f3\n"));
  EXPECT_FALSE(FileHas("\"v7\""));
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  EXPECT_EQ(FileIdentity(), second) << "nothing pending, nothing written";

  ASSERT_EQ(SetDword(key, L"late", 5), ERROR_SUCCESS);
  clock::Advance(ce::kernel::registry::kWriteBackDelayMs - 1);
  EXPECT_FALSE(FileHas("late"));
  clock::Advance(1);
  EXPECT_TRUE(EventuallyHas("\"late\" = dword 0x00000005")) << "written once the delay has passed";

  ASSERT_EQ(SetDword(key, L"closed", 6), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(FileHas("\"closed\" = dword 0x00000006")) << "the last handle closed writes back";
  EXPECT_EQ(RegFlushKey(reinterpret_cast<HKEY>(key)), ERROR_INVALID_HANDLE);
}

// Another process replaced the file while changes were pending: they are
// made again on what it wrote, and both end up in the file.
TEST_F(RegistryWriteBack, PendingChangesAreMadeAgainOnAnotherProcessesFile) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Mine");
  HKEY gone = Create(HKEY_CURRENT_USER, L"Software\\Gone");
  ASSERT_EQ(SetDword(gone, L"old", 1), ERROR_SUCCESS);
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);

  ASSERT_EQ(SetDword(key, L"a", 1), ERROR_SUCCESS);
  HKEY made = Create(key, L"New\\Deeper");
  ASSERT_EQ(SetDword(made, L"b", 2), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Dropped"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetDword(gone, L"lost", 3), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(gone, L"old"), ERROR_SUCCESS);

  // The other process's file: our key with its own value, "Gone" removed,
  // "Theirs" and "Dropped" added.
  device_.WriteHostFile(".runtime/registry.dat.new",
                        "device-registry 1\n"
                        "[HKEY_CURRENT_USER\\Software\\Mine]\n"
                        "\"theirs\" = dword 0x00000009\n"
                        "[HKEY_CURRENT_USER\\Software\\Theirs]\n"
                        "[HKEY_CURRENT_USER\\Software\\Dropped]\n");
  std::filesystem::rename(device_.HostPath(".runtime/registry.dat.new"), device_.HostPath(".runtime/registry.dat"));
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Dropped"), ERROR_SUCCESS);

  EXPECT_EQ(GetDword(key, L"a"), 1u);
  EXPECT_EQ(GetDword(key, L"theirs"), 9u);
  EXPECT_EQ(GetDword(made, L"b"), 2u) << "a key made here keeps its handle";
  EXPECT_EQ(SetDword(gone, L"x", 1), ERROR_KEY_DELETED) << "their removal stands";
  ASSERT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  const auto parsed = ce::kernel::registry::ParseRegistryText(FileText());
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(FileHas("[HKEY_CURRENT_USER\\Software\\Mine]\n\"theirs\" = dword 0x00000009\n\"a\" = dword 0x00000001\n"))
      << FileText();
  EXPECT_TRUE(FileHas("[HKEY_CURRENT_USER\\Software\\Mine\\New\\Deeper]\n\"b\" = dword 0x00000002\n"));
  EXPECT_TRUE(FileHas("[HKEY_CURRENT_USER\\Software\\Theirs]"));
  EXPECT_FALSE(FileHas("Gone"));
  EXPECT_FALSE(FileHas("Dropped"));
  RegCloseKey(made);
  RegCloseKey(gone);
  RegCloseKey(key);
}

// Switching devices writes what is pending to the device it was made on.
TEST_F(RegistryWriteBack, PendingChangesStayWithTheirDevice) {
  ASSERT_EQ(SetDword(HKEY_CURRENT_USER, L"first", 1), ERROR_SUCCESS);
  {
    ce::test::TempDevice other;
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, L"second", 2), ERROR_SUCCESS);
    EXPECT_TRUE(FileHas("\"first\" = dword 0x00000001"));
  }
  EXPECT_FALSE(FileHas("second"));
  EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, L"second", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetDword(HKEY_CURRENT_USER, L"first"), 1u);
}

// Other programs: the test program in its own program folder.
class RegistryPrograms : public Registry {
 protected:
  ce::test::ScopedSetting folders_{"DEVICE_PROGRAM_FOLDERS", std::string("Child=") + CE_CHILD_PROGRAM_FOLDER};
  ce::test::ScopedSetting clock_{"DEVICE_CLOCK", "real"};

  PROCESS_INFORMATION Start(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessW(L"\\Program Files\\Child\\Child.exe", line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, nullptr, &info))
        << GetLastError();
    return info;
  }
  // The counter in the file as it stands, parsed on its own: 0 before any.
  DWORD CounterInFile() {
    const std::string text = FileText();
    if (text.empty()) return 0;  // no file yet
    const auto parsed = ce::kernel::registry::ParseRegistryText(text);
    EXPECT_TRUE(parsed.ok) << "the file is whole";
    if (!parsed.ok) return 0;
    auto* counter = ce::kernel::registry::FindSubkey(*parsed.roots[1], L"Software");
    if (counter) counter = ce::kernel::registry::FindSubkey(*counter, L"Counter");
    const auto* n = counter ? ce::kernel::registry::FindValue(*counter, L"n") : nullptr;
    DWORD value = 0;
    if (n && n->data.size() == sizeof value) std::memcpy(&value, n->data.data(), sizeof value);
    return value;
  }
};

TEST_F(RegistryPrograms, ExitWritesBackWhatIsPending) {
  const PROCESS_INFORMATION info = Start(L"registry-set fromChild");
  ASSERT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  EXPECT_EQ(code, 9u);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Child", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key, L"fromChild"), 1u);
  RegCloseKey(key);
}

// A program killed (SIGKILL) at any moment, while it writes all the time,
// leaves a whole file; each one started after goes on from what it holds.
TEST_F(RegistryPrograms, AKilledWriterNeverDamagesTheFile) {
  DWORD seen = 0;
  for (int round = 0; round < 5; ++round) {
    const PROCESS_INFORMATION info = Start(L"registry-count");
    // Killed once its write-back has reached the file, at a moment that
    // falls anywhere within its writes.
    const DWORD before = seen;
    for (int tries = 0; tries < 3000 && CounterInFile() <= before; ++tries) Sleep(10);
    seen = CounterInFile();
    ASSERT_GT(seen, before) << "round " << round << ": its changes never reached the file";
    Sleep(static_cast<DWORD>(round * 37 % 100));
    ASSERT_TRUE(TerminateProcess(info.hProcess, 1));
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0);
    CloseHandle(info.hProcess);
    const DWORD after = CounterInFile();
    EXPECT_GE(after, seen) << "round " << round;
    seen = after;
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Counter", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key, L"n"), seen);
  RegCloseKey(key);
}

}  // namespace
