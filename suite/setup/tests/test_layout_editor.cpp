// The home layout editor on layout files: what each request writes, which
// file it goes to, the "Scheme" switch and the reload request, failures
// that leave the home screen as it was, and the progress dialog on the
// virtual clock with a stand-in desktop window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ce/kernel/file.h"
#include "ce/objbase.h"
#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "common/string_helper.h"
#include "common/xml_document.h"
#include "home_layout_editor.h"

namespace {

using setup::CHomeLayoutEditor;

constexpr wchar_t kFolder[] = L"\\Storage\\Application Data\\Home";
constexpr wchar_t kFirst[] = L"\\Storage\\Application Data\\Home\\QV.home.xml";
constexpr wchar_t kSecond[] = L"\\Storage\\Application Data\\Home\\QV1.home.xml";
constexpr wchar_t kStart[] = L"\\Storage\\Application Data\\Home\\start.home.xml";

// Short names for the plug-ins in the cases.
const std::wstring K = setup::kKeptFirstClsid;
const std::wstring L = setup::kLauncherClsid;
const std::wstring M = setup::kMetersClsid;
const std::wstring E = setup::kMovedLastClsid;
const std::wstring X = L"{0BADF00D-1111-2222-3333-444444444444}";
// A plug-in element without a CLSID.
const std::wstring kNoClsid = L"-";

std::string Narrow(const std::wstring& text) { return ce::Utf8FromWide(text); }

void WriteDeviceFile(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  CloseHandle(file);
}

std::string ReadDeviceFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string text(1 << 16, '\0');
  DWORD read = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  CloseHandle(file);
  text.resize(read);
  return text;
}

std::string Layout(const std::vector<std::wstring>& plugins) {
  std::string xml =
      "<?xml version=\"1.0\"?><home><author>Someone</author><title lang=\"0x0409\">Mine</title>"
      "<default font=\"Tahoma\"/><background bgimage=\"\"/>"
      "<scheme><color name=\"COLOR_GRADLEFT\" value=\"#102030\"/></scheme>";
  for (const std::wstring& clsid : plugins) {
    xml += clsid == kNoClsid ? "<plugin/>" : "<plugin clsid=\"" + Narrow(clsid) + "\"/>";
  }
  return xml + "</home>";
}

std::wstring Scheme() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
  wchar_t text[400] = {};
  DWORD size = 2 * 399;  // the device's bytes, two a character
  DWORD type = 0;
  const LONG status = RegQueryValueExW(key, L"Scheme", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? text : L"";
}

void SetScheme(const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegSetValueExW(key, L"Scheme", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * 2));
  RegCloseKey(key);
}

// The children of "home" in a written layout: element names, with the text
// or the CLSID where they have one ("author=...", "plugin={...}").
std::vector<std::string> Children(const std::wstring& path) {
  suite::CXmlReader reader;
  std::vector<std::string> out;
  if (!reader.Load(path.c_str(), TRUE, FALSE, FALSE) || !reader.SelectNode(L"/home")) return {"<unreadable>"};
  const int count = reader.SelectNodes(L"*");
  for (int i = 0; i < count && reader.NextNode(); ++i) {
    wchar_t xml[4096] = {};
    reader.GetXml(xml, 4096);
    std::string text = Narrow(xml);
    const std::size_t nameEnd = text.find_first_of(" />", 1);
    std::string entry = text.substr(1, nameEnd - 1);
    wchar_t clsid[64] = {};
    if (reader.GetAttribute(L"clsid", clsid, 64)) {
      entry += "=" + Narrow(clsid);
    } else if (reader.GetChildCount() == 1 && reader.GetChildText(0, xml, 4096)) {
      entry += "=" + Narrow(xml);
    }
    out.push_back(entry);
  }
  return out;
}

std::vector<std::string> Plugins(const std::wstring& path) {
  std::vector<std::string> out;
  for (const std::string& child : Children(path)) {
    if (child.rfind("plugin", 0) == 0) out.push_back(child.size() > 7 ? child.substr(7) : "-");
  }
  return out;
}

std::vector<std::string> Names(const std::vector<std::wstring>& clsids) {
  std::vector<std::string> out;
  for (const std::wstring& c : clsids) out.push_back(Narrow(c));
  return out;
}

// A stand-in for the home screen's desktop window: counts its reload
// requests and, when told to, tells every window it reloaded.
int g_reloadRequests = 0;
bool g_answerReloads = false;
BOOL CALLBACK PostColorChange(HWND window, LPARAM) {
  PostMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}
LRESULT CALLBACK DesktopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTINGCHANGE && wParam == 0xF2 && lParam == 0) {
    ++g_reloadRequests;
    if (g_answerReloads) EnumWindows(PostColorChange, 0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class LayoutEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    suite::CStringHelper::GetInstance()->SetInstance(GetModuleHandleW(nullptr));
    for (const wchar_t* folder : {L"\\Storage", L"\\Storage\\Application Data", kFolder}) {
      CreateDirectoryW(folder, nullptr);
    }
    for (const wchar_t* file : {kFirst, kSecond}) {
      SetFileAttributesW(file, FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(file);
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = DesktopProc;
    wc.lpszClassName = DESKTOP_WINDOW_CLASS;
    RegisterClassW(&wc);
    m_desktop = CreateWindowExW(0, DESKTOP_WINDOW_CLASS, L"Home", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_desktop, nullptr);
    g_reloadRequests = 0;
    g_answerReloads = false;
  }
  void TearDown() override {
    DestroyWindow(m_desktop);
    CHomeLayoutEditor::DeleteInstance();
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    CoUninitialize();
  }

  static BOOL Apply(int choice, BOOL remove) {
    CHomeLayoutEditor* editor = CHomeLayoutEditor::GetInstance();
    editor->SetRequest(choice, remove);
    return editor->ApplyLayout();
  }

  HWND m_desktop = nullptr;
};

TEST_F(LayoutEditor, WritesTheHeaderAndCopiesTheLayoutsOwnParts) {
  WriteDeviceFile(kStart, Layout({K, X}));
  SetScheme(kStart);
  ASSERT_TRUE(Apply(setup::kChoiceBoth, FALSE));
  const std::vector<std::string> expected = {"author=Tarnwell",
                                             "contacturl=http://www.example.com/",
                                             "title=Quorvist",
                                             "version=1.0",
                                             "default",
                                             "background",
                                             "scheme=color",
                                             "plugin=" + Narrow(K),
                                             "plugin=" + Narrow(L),
                                             "plugin=" + Narrow(M),
                                             "plugin=" + Narrow(X)};
  EXPECT_EQ(Children(kFirst), expected);
  const std::string text = ReadDeviceFile(kFirst);
  EXPECT_NE(text.find("lang=\"0x0409\""), std::string::npos) << text;
  EXPECT_NE(text.find("#102030"), std::string::npos) << "the scheme is copied whole";
  EXPECT_EQ(Scheme(), kFirst);
  EXPECT_EQ(g_reloadRequests, 1);
  EXPECT_EQ(ReadDeviceFile(kStart), Layout({K, X})) << "the old layout stays as it was";
}

TEST_F(LayoutEditor, AddsAndRemovesThePlugInsAsAsked) {
  // Lower-case spellings of the suite's CLSIDs, as another tool may write.
  const std::wstring l = L"{9053e85c-7f84-4DBE-a3b7-c20ffe6ba90d}";
  const std::wstring m = L"{f3be7fff-7812-4002-b584-3c0950c6bea3}";
  const struct {
    const char* what;
    std::vector<std::wstring> before;
    int choice;
    BOOL remove;
    std::vector<std::wstring> after;
  } cases[] = {
      {"add both", {K, X, E}, setup::kChoiceBoth, FALSE, {K, L, M, X}},
      {"add both with the launcher there", {K, L, X}, setup::kChoiceBoth, FALSE, {K, M, L, X}},
      {"add the launcher", {K}, setup::kChoiceLauncher, FALSE, {K, L}},
      {"add the meters", {}, setup::kChoiceMeters, FALSE, {M}},
      {"the host's plug-in goes to the end, once", {K, E, X, E}, setup::kChoiceLauncher, FALSE, {K, L, X}},
      {"remove the meters", {K, L, M, E}, setup::kChoiceMeters, TRUE, {K, L, E}},
      {"remove the launcher", {K, L, M, E}, setup::kChoiceLauncher, TRUE, {K, M, E}},
      {"remove both", {K, L, M, E}, setup::kChoiceBoth, TRUE, {K, E}},
      {"remove both, every copy", {L, M, X, L}, setup::kChoiceBoth, TRUE, {X}},
      {"the kept plug-in only when first", {L, K, M}, setup::kChoiceBoth, TRUE, {K}},
      {"other spellings are the same plug-ins", {K, l}, setup::kChoiceBoth, FALSE, {K, M, l}},
      {"other spellings are removed", {l, m, X}, setup::kChoiceBoth, TRUE, {X}},
      {"an element without a CLSID is copied", {K, kNoClsid, L}, setup::kChoiceBoth, FALSE, {K, M, kNoClsid, L}},
      {"and kept on removal", {kNoClsid, L, M}, setup::kChoiceBoth, TRUE, {kNoClsid}},
      {"a CLSID too long to be one is copied",
       {K, L + std::wstring(1000, L'A')},
       setup::kChoiceLauncher,
       FALSE,
       {K, L, kNoClsid}},
  };
  for (const auto& c : cases) {
    WriteDeviceFile(kStart, Layout(c.before));
    SetScheme(kStart);
    ASSERT_TRUE(Apply(c.choice, c.remove)) << c.what;
    std::vector<std::string> expected = Names(c.after);
    // The moved plug-in ends every added layout that had one.
    if (!c.remove && std::find(c.before.begin(), c.before.end(), E) != c.before.end()) expected.push_back(Narrow(E));
    EXPECT_EQ(Plugins(kFirst), expected) << c.what;
  }
}

TEST_F(LayoutEditor, TheTwoLayoutFilesTakeTurns) {
  WriteDeviceFile(kStart, Layout({K}));
  SetScheme(kStart);
  ASSERT_TRUE(Apply(setup::kChoiceBoth, FALSE));
  EXPECT_EQ(CHomeLayoutEditor::GetInstance()->NewFile(), kFirst);
  EXPECT_EQ(Scheme(), kFirst);
  ASSERT_TRUE(Apply(setup::kChoiceBoth, TRUE));
  EXPECT_EQ(Scheme(), kSecond);
  EXPECT_EQ(Plugins(kSecond), Names({K}));
  ASSERT_TRUE(Apply(setup::kChoiceMeters, FALSE));
  EXPECT_EQ(Scheme(), kFirst);
  EXPECT_EQ(Plugins(kFirst), Names({K, M}));

  // A "Scheme" naming the first file in other letters is that file: the
  // editor must not write over the layout in use.
  SetScheme(L"\\STORAGE\\application data\\home\\qv.HOME.xml");
  ASSERT_TRUE(Apply(setup::kChoiceLauncher, FALSE));
  EXPECT_EQ(Scheme(), kSecond);
  EXPECT_EQ(Plugins(kSecond), Names({K, L, M}));
  EXPECT_EQ(Plugins(kFirst), Names({K, M}));
  EXPECT_EQ(g_reloadRequests, 4);
}

TEST_F(LayoutEditor, MakesTheLayoutFolderWhenTheDeviceHasNone) {
  WriteDeviceFile(L"\\Windows\\mine.home.xml", Layout({K}));
  SetScheme(L"\\Windows\\mine.home.xml");
  DeleteFileW(kStart);
  ASSERT_TRUE(RemoveDirectoryW(kFolder));
  ASSERT_TRUE(RemoveDirectoryW(L"\\Storage\\Application Data"));
  ASSERT_TRUE(Apply(setup::kChoiceMeters, FALSE));
  EXPECT_EQ(Plugins(kFirst), Names({K, M}));
}

TEST_F(LayoutEditor, AFailureLeavesTheHomeScreenOnItsLayout) {
  struct Case {
    const char* what;
    std::string layout;  // empty: no file
    std::wstring scheme;
  };
  const Case cases[] = {
      {"no Scheme", Layout({K}), L""},
      {"a missing file", "", kStart},
      {"malformed XML", "<home><plugin clsid=", kStart},
      {"no home element", "<colorscheme><plugin clsid=\"x\"/></colorscheme>", kStart},
      {"a Scheme too long to read", Layout({K}), std::wstring(L"\\") + std::wstring(300, L'a')},
  };
  for (const Case& c : cases) {
    DeleteFileW(kStart);
    if (!c.layout.empty()) WriteDeviceFile(kStart, c.layout);
    SetScheme(c.scheme);
    const std::wstring before = Scheme();
    EXPECT_FALSE(Apply(setup::kChoiceBoth, FALSE)) << c.what;
    EXPECT_EQ(Scheme(), before) << c.what;
    EXPECT_EQ(ReadDeviceFile(kFirst), "<missing>") << c.what;
  }
  EXPECT_EQ(g_reloadRequests, 0);

  // The layout to write is read-only: the old file stays whole, nothing
  // changes and nothing is asked of the home screen.
  WriteDeviceFile(kStart, Layout({K}));
  SetScheme(kStart);
  WriteDeviceFile(kFirst, "old layout");
  ASSERT_TRUE(SetFileAttributesW(kFirst, FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(Apply(setup::kChoiceBoth, FALSE));
  EXPECT_EQ(ReadDeviceFile(kFirst), "old layout");
  EXPECT_EQ(Scheme(), kStart);
  EXPECT_EQ(g_reloadRequests, 0);
  EXPECT_EQ(GetFileAttributesW((std::wstring(kFirst) + L".new").c_str()), INVALID_FILE_ATTRIBUTES)
      << "no partial file is left";
}

// The progress dialog waits for the home screen's reload on the virtual
// clock: its answer is a success, silence for 30 s or a failed write a
// failure, each reported once.
TEST_F(LayoutEditor, TheProgressDialogEndsOnTheReloadTheTimeOutOrAFailure) {
  ce::testing::UseVirtualClock(1000, 0);
  WriteDeviceFile(kStart, Layout({K}));
  struct Case {
    const char* what;
    bool answer;
    bool readOnly;
    BOOL result;
    const char* message;
    int requests;
    DWORD minMs;
    DWORD maxMs;
  } cases[] = {
      {"reloaded", true, false, TRUE, "New Home Screen layout has been successfully updated", 1, 0, 1000},
      {"never reloaded", false, false, FALSE, "Unable to Add Quorvist to current Home Screen.", 1, 30000, 31000},
      {"not written", true, true, FALSE, "Unable to Add Quorvist to current Home Screen.", 0, 0, 1000},
  };
  for (const Case& c : cases) {
    SetScheme(kStart);
    SetFileAttributesW(kFirst, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kFirst);
    if (c.readOnly) {
      WriteDeviceFile(kFirst, "old layout");
      SetFileAttributesW(kFirst, FILE_ATTRIBUTE_READONLY);
    }
    g_answerReloads = c.answer;
    g_reloadRequests = 0;
    const DWORD start = GetTickCount();
    ::testing::internal::CaptureStderr();
    const BOOL result =
        CHomeLayoutEditor::GetInstance()->Run(nullptr, GetModuleHandleW(nullptr), setup::kChoiceBoth, FALSE);
    const std::string shown = ::testing::internal::GetCapturedStderr();
    const DWORD took = GetTickCount() - start;
    EXPECT_EQ(result, c.result) << c.what;
    EXPECT_NE(shown.find(c.message), std::string::npos) << c.what << ": " << shown;
    EXPECT_EQ(g_reloadRequests, c.requests) << c.what;
    EXPECT_GE(took, c.minMs) << c.what;
    EXPECT_LE(took, c.maxMs) << c.what;
  }
  SetFileAttributesW(kFirst, FILE_ATTRIBUTE_NORMAL);
  ce::testing::UseRealClock();
}

}  // namespace
