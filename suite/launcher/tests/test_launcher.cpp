// The launcher bar on the headless device: the program scan and document
// mapping, the icon items kept in the registry, the icon area's layout and
// hit codes, scrolling, the date line, the default icon set, and starting a
// program from a tap and from the keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "bar_settings.h"
#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "launcher_state.h"
#include "obj_bar.h"
#include "obj_icons.h"
#include "program_list.h"
#include "scoped_setting.h"
#include "tool_hooks.h"

namespace tessivo {
int g_redraws = 0;
std::vector<std::wstring> g_tools;
void RequestRedraw() { ++g_redraws; }
void ShowOptionsDialog(HWND) { g_tools.push_back(L"options"); }
void ShowIconsDialog(HWND) { g_tools.push_back(L"icons"); }
void ShowSweepkit(HWND, LPCWSTR text) { g_tools.push_back(std::wstring(L"sweepkit ") + text); }
void ShowTuneup(HWND) { g_tools.push_back(L"tuneup"); }
void ShowChimer(HWND) { g_tools.push_back(L"chimer"); }
void RunJuggler(HWND) { g_tools.push_back(L"juggler"); }
void StartTuneup() {}
void StartSweepkit() {}
void HourlyClean() { g_tools.push_back(L"clean"); }
void StartChimer(HWND) {}
void ChimerMinuteCheck(HWND) {}
void ChimerPlay(HWND, int) {}
void ChimerStop(HWND, int) {}
void EndChimer() {}
std::vector<int> g_details;
void ShowIconDetails(HWND, int y) { g_details.push_back(y); }
void InstallToolHost() {}
}  // namespace tessivo

namespace {

using namespace tessivo;

constexpr const wchar_t* kKey = L"SOFTWARE\\Tarnwell\\Tessivo";
constexpr const wchar_t* kChild = L"\\Program Files\\Child\\Child.exe";

void MakeFolders(const std::wstring& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == L'\\') CreateDirectoryW(path.substr(0, pos).c_str(), nullptr);
  }
}

void WriteDeviceFile(const std::wstring& path, const std::string& bytes) {
  MakeFolders(path.substr(0, path.rfind(L'\\')));
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << ce::Utf8FromWide(path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadDeviceFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  char buffer[512];
  DWORD read = 0;
  ReadFile(file, buffer, sizeof buffer, &read, nullptr);
  CloseHandle(file);
  return std::string(buffer, read);
}

// A shortcut file as the device keeps them: "<length>#<target> [parameters]",
// the target quoted.
std::string Shortcut(const std::string& target, const std::string& parameters = "") {
  const std::string text = "\"" + target + "\"" + (parameters.empty() ? "" : " " + parameters);
  return std::to_string(text.size()) + "#" + text;
}

// Waits (on the host's clock) for the child program's report.
std::string WaitForReport(const std::wstring& path) {
  for (int i = 0; i < 200; ++i) {
    const std::string text = ReadDeviceFile(path);
    if (!text.empty()) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return {};
}

HKEY OpenKey() {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  return key;
}

bool HasValue(HKEY key, const std::wstring& name) {
  DWORD size = 0;
  return RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
}

const ProgramEntry* FindEntry(const std::wstring& name) {
  const int index = ProgramList().FindByName(name.c_str());
  return index < 0 ? nullptr : &ProgramList().Entry(index);
}

// A device with the child program installed and shortcuts and documents
// under the storage root's Start Menu and My Documents.
class LauncherDevice : public ::testing::Test {
 protected:
  ce::test::ScopedSetting m_folders{"DEVICE_PROGRAM_FOLDERS", std::string("Child=") + CHILD_PROGRAM_FOLDER};
  ce::test::ScopedSetting m_clock{"DEVICE_CLOCK", "real"};

  void SetUp() override {
    WriteDeviceFile(L"\\Storage\\Windows\\Start Menu\\Child Tool.lnk", Shortcut("\\Program Files\\Child\\Child.exe"));
    WriteDeviceFile(L"\\Storage\\Windows\\Start Menu\\Games\\board game.lnk",
                    Shortcut("\\Program Files\\Child\\Child.exe"));
    WriteDeviceFile(L"\\Storage\\Windows\\Start Menu\\icon.lnk", Shortcut("\\Program Files\\Child\\Child.exe"));
    WriteDeviceFile(L"\\Storage\\Windows\\Start Menu\\Broken.lnk", Shortcut("\\Program Files\\Nowhere\\x.exe"));
    WriteDeviceFile(L"\\Storage\\My Documents\\report.RTF", "text");
    WriteDeviceFile(L"\\Storage\\My Documents\\my notes.pwi", "notes");
    WriteDeviceFile(L"\\Storage\\My Documents\\Sheets\\budget.pxl", "cells");
    WriteDeviceFile(L"\\Storage\\My Documents\\a.x", "short");
    WriteDeviceFile(L"\\Storage\\My Documents\\README", "no dot");
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    // The module's settings start afresh: nothing of another test's items.
    BarSettings().Open();
    BarSettings().SetDefaultLayout();
    BarSettings().options = ToolOptions{};
    ProgramList().Prepare();
    ProgramList().Rebuild();
  }
};

// The suite's install folder comes from the meters' "InstallDir" when it
// fits 259 characters, else the fixed folder; a longer value never runs
// past the buffer (it overwrote the stack).
TEST(ProgramListInstallFolder, ReadFromTheMetersSettingsWhenItFits) {
  const struct {
    std::wstring value;
    std::wstring folder;
  } cases[] = {
      {L"\\Program Files\\Elsewhere", L"\\Program Files\\Elsewhere"},
      {L"\\" + std::wstring(258, L'a'), L"\\" + std::wstring(258, L'a')},
      {L"\\" + std::wstring(259, L'b'), L"\\Program Files\\Tarnwell\\Quorvist"},
      {L"\\" + std::wstring(300, L'c'), L"\\Program Files\\Tarnwell\\Quorvist"},
      {L"\\" + std::wstring(2000, L'd'), L"\\Program Files\\Tarnwell\\Quorvist"},
      {L"", L"\\Program Files\\Tarnwell\\Quorvist"},
  };
  for (const auto& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.value.c_str()),
                   static_cast<DWORD>((c.value.size() + 1) * 2));
    RegCloseKey(key);
    CProgramList list;
    list.Prepare();
    EXPECT_EQ(list.InstallFolder(), c.folder) << c.value.size();
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\Pelmora");
}

TEST_F(LauncherDevice, ScanFindsProgramsAndMapsDocuments) {
  struct Expected {
    const wchar_t* name;
    const wchar_t* path;
    const wchar_t* parameters;
  };
  const Expected cases[] = {
      {L"Child Tool", L"\\Storage\\Windows\\Start Menu\\Child Tool.lnk", L""},
      {L"Board Game", L"\\Storage\\Windows\\Start Menu\\Games\\board game.lnk", L""},
      {L"WORD: Report", L"\\Windows\\pword.exe", L"\\Storage\\My Documents\\report.RTF"},
      {L"NOTES: My Notes", L"\\Windows\\notes.exe", L"\\Storage\\My Documents\\my notes.pwi"},
      {L"EXCEL: Budget", L"\\Windows\\pxl.exe", L"\\Storage\\My Documents\\Sheets\\budget.pxl"},
      {L"Date And Time", L"\\Windows\\settings.exe", L"clock.cpl.xml"},
      {L"- Sweepkit -", L"- Sweepkit -", L""},
      {L"- Tuneup -", L"- Tuneup -", L""},
      {L"* Custom Program Link *", L"", L""},
  };
  for (const Expected& c : cases) {
    const ProgramEntry* entry = FindEntry(c.name);
    ASSERT_NE(entry, nullptr) << ce::Utf8FromWide(c.name);
    EXPECT_EQ(entry->name, c.name) << "title-cased";
    EXPECT_EQ(entry->path, c.path) << ce::Utf8FromWide(c.name);
    EXPECT_EQ(entry->parameters, c.parameters) << ce::Utf8FromWide(c.name);
    if (entry->path != L"") {
      EXPECT_NE(entry->icon, nullptr) << ce::Utf8FromWide(c.name);
    }
  }
  // Ten settings pages, five special items, the two empty ones, five files.
  EXPECT_EQ(ProgramList().Count(), 10 + 5 + 2 + 5);
  for (const wchar_t* skipped : {L"Icon", L"Broken", L"A", L"README"}) {
    EXPECT_EQ(FindEntry(skipped), nullptr) << ce::Utf8FromWide(skipped);
  }
}

// A rescan asks the shell again only for files that changed: an unchanged
// shortcut keeps its icon, a rewritten one gets a new one, a removed one
// leaves the list.
TEST_F(LauncherDevice, ARescanReusesTheIconsOfUnchangedFiles) {
  const ProgramEntry* tool = FindEntry(L"Child Tool");
  ASSERT_NE(tool, nullptr);
  const HICON first = tool->icon;
  const HICON game = FindEntry(L"Board Game")->icon;
  ProgramList().Rebuild();
  EXPECT_EQ(FindEntry(L"Child Tool")->icon, first);
  EXPECT_EQ(FindEntry(L"Board Game")->icon, game);

  // Written again a second later: asked again.
  HANDLE file = CreateFileW(L"\\Storage\\Windows\\Start Menu\\Child Tool.lnk", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME written{};
  GetFileTime(file, nullptr, nullptr, &written);
  written.dwLowDateTime += 10000000;
  if (written.dwLowDateTime < 10000000) ++written.dwHighDateTime;
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  DeleteFileW(L"\\Storage\\Windows\\Start Menu\\Games\\board game.lnk");
  ProgramList().Rebuild();
  ASSERT_NE(FindEntry(L"Child Tool"), nullptr);
  EXPECT_NE(FindEntry(L"Child Tool")->icon, nullptr);
  EXPECT_NE(FindEntry(L"Child Tool")->icon, first) << "a changed file is looked at again";
  EXPECT_EQ(FindEntry(L"Board Game"), nullptr);
}

TEST(ProgramListLimits, FileTitlesAndTheThousandthEntry) {
  struct Title {
    const wchar_t* path;
    bool ok;
    const wchar_t* title;
  };
  for (const Title& t :
       {Title{L"\\a\\b.txt", true, L"b"}, Title{L"\\a\\b.c.txt", true, L"b.c"}, Title{L"\\a\\noext", false, L""},
        Title{L"\\a.b\\noext", false, L""}, Title{L"bare.txt", false, L""}}) {
    std::wstring title;
    EXPECT_EQ(GetFileTitle(t.path, title), t.ok) << ce::Utf8FromWide(t.path);
    if (t.ok) {
      EXPECT_EQ(title, t.title);
    }
  }
  CProgramList list;
  for (int i = 0; i < kMaxProgramEntries; ++i) ASSERT_TRUE(list.AddEntry(L"n", L"", nullptr, nullptr, 0));
  EXPECT_FALSE(list.AddEntry(L"one too many", L"\\x", L"params", nullptr, 0));
  EXPECT_EQ(list.Count(), kMaxProgramEntries);
}

TEST_F(LauncherDevice, IconItemsKeptInTheRegistry) {
  CBarSettings& settings = BarSettings();
  EXPECT_FALSE(settings.Load()) << "a first run has nothing stored";
  settings.numLines = 1;
  settings.date = 1;
  settings.Item(0).Set(kChild, L"report \\a.txt", L"Child", nullptr, 0);
  settings.Item(1).Set(L"- Sweepkit -", nullptr, L"- Sweepkit -", nullptr, 240);
  settings.Item(5).Set(L"\\Windows\\pword.exe", L"\\doc.txt", L"WORD: Doc", nullptr, 0);
  ASSERT_TRUE(settings.SaveIcons());
  HKEY key = OpenKey();
  for (const wchar_t* name : {L"F0", L"P0", L"N0", L"I0", L"F1", L"N1", L"I1", L"F5", L"P5", L"NumLines", L"Date",
                              L"NS", L"SW", L"CD", L"Updated", L"NWC"}) {
    EXPECT_TRUE(HasValue(key, name)) << ce::Utf8FromWide(name);
  }
  EXPECT_FALSE(HasValue(key, L"P1")) << "no parameters, no value";

  // The user empties slot 5 and drops slot 0's parameters.
  settings.Item(5).Clear();
  settings.Item(0).SetParameters(L"");
  ASSERT_TRUE(settings.SaveIcons());
  for (const wchar_t* name : {L"F5", L"P5", L"N5", L"I5", L"P0"}) {
    EXPECT_FALSE(HasValue(key, name)) << ce::Utf8FromWide(name) << " must be gone";
  }

  // Slot 2 has a path and a name but no icon number: it counts as missing.
  const std::wstring path = L"\\x.exe";
  RegSetValueExW(key, L"F2", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(WCHAR)));
  RegSetValueExW(key, L"N2", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);

  CBarSettings reloaded;
  ASSERT_TRUE(reloaded.Load());
  EXPECT_EQ(reloaded.numLines, 1u);
  EXPECT_EQ(reloaded.date, 1u);
  EXPECT_EQ(reloaded.Item(0).Path(), kChild);
  EXPECT_FALSE(reloaded.Item(0).HasParameters());
  EXPECT_EQ(reloaded.Item(1).ResourceIcon(), 240);
  EXPECT_NE(reloaded.Item(1).Icon(), nullptr);
  EXPECT_FALSE(reloaded.Item(2).HasPath()) << "no \"I2\": loaded empty";
  EXPECT_FALSE(reloaded.Item(5).HasPath()) << "an emptied slot stays empty";
}

// The settings key stays open for the module's life; deleted meanwhile
// (the settings removed, another device), it is made again before the next
// save instead of swallowing it.
TEST(BarSettingsKey, AKeyDeletedUnderTheOpenHandleIsMadeAgain) {
  CBarSettings settings;
  ASSERT_TRUE(settings.IsOpen());
  ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
  settings.numLines = 2;
  settings.date = 1;
  settings.Item(0).Set(kChild, nullptr, L"Child", nullptr, 0);
  ASSERT_TRUE(settings.SaveIcons());
  CBarSettings stored;
  ASSERT_TRUE(stored.Load());
  EXPECT_EQ(stored.numLines, 2u);
  EXPECT_EQ(stored.Item(0).Name(), L"Child");
  RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
}

TEST_F(LauncherDevice, LoadNeedsLinesAndDateAndBringsLineCountsInRange) {
  HKEY key = OpenKey();
  auto put = [&](const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  };
  put(L"NumLines", 2);
  CBarSettings settings;
  EXPECT_FALSE(settings.Load()) << "\"Date\" missing";
  EXPECT_EQ(settings.numLines, 0u);
  put(L"Date", 1);
  put(L"NumLines", 0xFFFFFFF0u);
  put(L"NS", 7);
  put(L"SW", 900);
  const BYTE one = 1;
  const std::wstring text = L"\\x.exe";
  RegSetValueExW(key, L"F0", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  RegSetValueExW(key, L"N0", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  RegSetValueExW(key, L"I0", 0, REG_BINARY, &one, 1);
  RegCloseKey(key);
  ASSERT_TRUE(settings.Load());
  EXPECT_EQ(settings.numLines, 10u);
  EXPECT_EQ(settings.ns, 0u);
  EXPECT_EQ(settings.sw, 0u);
}

// The icon area at 96 DPI on a 240-pixel screen.
class IconArea : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    State().screenWidth = 240;
    CBarSettings& settings = BarSettings();
    settings.SetDefaultLayout();
    for (int i = 0; i < kIconItemCount; ++i) {
      settings.Item(i).Set(L"\\p.exe", nullptr, (L"item " + std::to_wstring(i)).c_str(), nullptr, 0);
    }
    Icons().Reset();
  }
  void Lay(bool date, BOOL allLines = FALSE) {
    Icons().Draw(nullptr, 0, 100, date, TRUE, State().firstLine, allLines, TRUE);
  }
};

TEST_F(IconArea, HitCodesOfTheDateIconsAndArrows) {
  BarSettings().numLines = 1;
  BarSettings().sw = 1;
  Lay(true);
  struct Hit {
    int x, y, code;
  };
  // Static line: date over the first four icon places, then icons from 0.
  // Scrolling line: icons, then the arrow column split at 240 - 15.
  for (const Hit& h : {Hit{10, 110, kCodeDate}, Hit{70, 110, 0}, Hit{87, 110, 1}, Hit{2, 128, 10},
                       Hit{212, 128, kCodeDown}, Hit{230, 128, kCodeUp}, Hit{200, 160, kCodeNothing}}) {
    EXPECT_EQ(Icons().ButtonClick(h.x, h.y, FALSE), h.code) << h.x << "," << h.y;
  }
}

TEST_F(IconArea, WideScreensAndManyLinesStayInsideTheCellTable) {
  State().screenWidth = 1200;
  BarSettings().numLines = 8;
  BarSettings().ns = 2;
  BarSettings().sw = 2;
  Lay(true, TRUE);
  EXPECT_EQ(Icons().RectCount(), CObjIcons::kMaxRects) << "the 160th position ends the layout";
  EXPECT_LE(Icons().Rows(), CObjIcons::kCellRows);
  EXPECT_LE(Icons().Columns(), CObjIcons::kCellColumns);
  // Keyboard moves keep working over the whole table.
  State().tappedIndex = 0;
  for (int i = 0; i < 400; ++i) Icons().SelectNextColumn();
  for (int i = 0; i < 40; ++i) Icons().SelectNextRow();
  SUCCEED();
}

TEST_F(IconArea, KeyboardRightSkipsTheDateAndNoIconNeverGetsAFrame) {
  BarSettings().numLines = 1;
  BarSettings().date = 1;
  Lay(true);
  State().tappedIndex = kCodeDate;
  ASSERT_TRUE(Icons().SelectNextColumn());
  EXPECT_EQ(State().tappedIndex, 0) << "past the date's four cells";
  ASSERT_TRUE(Icons().SelectPrevColumn());
  EXPECT_EQ(State().tappedIndex, kCodeDate);

  ProgramList().Prepare();
  BarSettings().Item(3).Set(L"", nullptr, ProgramList().NoIconText().c_str(), nullptr, 0);
  State().tappedIndex = 3;
  Icons().ResetSelection();
  Lay(true);
  POINT point;
  EXPECT_FALSE(Icons().GetSelectedPoint(&point));
  State().tappedIndex = 4;
  Lay(true);
  EXPECT_TRUE(Icons().GetSelectedPoint(&point));
}

// On the bar the arrows pass over slots that show nothing (an empty slot,
// a "no icon" one), both ways; the icons dialog, which fills slots, stops
// on them.
TEST_F(IconArea, TheBarsMovesPassOverSlotsThatShowNothing) {
  BarSettings().numLines = 1;
  ProgramList().Prepare();
  BarSettings().Item(2).Clear();
  BarSettings().Item(3).Set(L"", nullptr, ProgramList().NoIconText().c_str(), nullptr, 0);
  Lay(false);
  State().tappedIndex = 1;
  ASSERT_TRUE(Icons().SelectNextColumn());
  EXPECT_EQ(State().tappedIndex, 4);
  ASSERT_TRUE(Icons().SelectPrevColumn());
  EXPECT_EQ(State().tappedIndex, 1);
  Lay(false, TRUE);
  ASSERT_TRUE(Icons().SelectNextColumn());
  EXPECT_EQ(State().tappedIndex, 2) << "the icons dialog stops on an empty slot to fill it";
}

TEST_F(IconArea, ScrollingWrapsBothWays) {
  BarSettings().ns = 5;
  BarSettings().sw = 2;
  HDC screen = GetDC(nullptr);
  Bar().CreateBackBuffer(screen);
  Bar().CreateScrollBuffer(screen);
  ReleaseDC(nullptr, screen);
  struct Step {
    BOOL forward;
    int from, to;
  };
  for (const Step& s : {Step{TRUE, 1, 3}, Step{TRUE, 3, 5}, Step{TRUE, 5, 1}, Step{FALSE, 1, 4}, Step{FALSE, 4, 2},
                        Step{FALSE, 2, 4}}) {
    State().firstLine = s.from;
    Bar().Scroll(s.forward);
    EXPECT_EQ(State().firstLine, s.to) << (s.forward ? "forward from " : "back from ") << s.from;
  }
  const int redraws = g_redraws;
  BarSettings().ns = 1;
  BarSettings().sw = 1;
  State().firstLine = 1;
  Bar().Scroll(TRUE);
  EXPECT_EQ(State().firstLine, 1);
  EXPECT_EQ(g_redraws, redraws) << "one scrolling line: no scroll, no redraw";
}

TEST_F(IconArea, DateLineShowsTheDay) {
  ce::testing::UseVirtualClock(100000, 134100000000000000ull);  // a Tuesday
  BarSettings().date = 1;
  Bar().CreateResources();
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, 40);
  SelectObject(dc, bitmap);
  RECT all = {0, 0, 240, 40};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  Bar().Paint(dc, 0, 0, 240, 40, FALSE, nullptr);
  SYSTEMTIME now;
  GetLocalTime(&now);
  WCHAR text[64];
  ASSERT_GT(GetDateFormatW(0, 0, &now, L"ddd',' MMM d", text, 64), 0);
  EXPECT_EQ(std::wstring(text).find(L", "), 3u) << ce::Utf8FromWide(text);
  // The text is drawn inside the date's place, nowhere near the icons.
  int inked = 0;
  for (int y = 2; y < 20; ++y) {
    for (int x = 0; x < 64; ++x) inked += (GetPixel(dc, x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  EXPECT_GT(inked, 20);
  EXPECT_EQ(Icons().ButtonClick(20, 10, FALSE), kCodeDate);
  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  ce::testing::UseRealClock();
}

TEST_F(LauncherDevice, DefaultSetPlacesNamedItemsThenTheRestInListOrder) {
  CBarSettings& settings = BarSettings();
  settings.SetDefaultLayout();
  Bar().CreateResources();
  Bar().BuildDefaultItems(nullptr);
  const CProgramList& list = ProgramList();
  EXPECT_EQ(settings.Item(3).Name(), L"- Juggler -") << "a default name found in the list";
  EXPECT_EQ(settings.Item(7).Name(), L"- Power Off -");
  // Slot 0 ("Contacts") is not in the list: it takes the first entry.
  EXPECT_EQ(settings.Item(0).Name(), list.Entry(0).name);
  // No entry is placed twice while unused ones remain, and the custom link
  // entry is skipped.
  std::vector<std::wstring> placed;
  for (int slot = 0; slot < list.Count() - 1; ++slot) {
    const std::wstring key = settings.Item(slot).Path() + L"|" + settings.Item(slot).Parameters();
    EXPECT_EQ(std::count(placed.begin(), placed.end(), key), 0) << slot;
    EXPECT_NE(settings.Item(slot).Name(), list.CustomLinkText()) << slot;
    placed.push_back(key);
  }
  for (int slot = 0; slot < kIconItemCount; ++slot) EXPECT_FALSE(settings.Item(slot).Name().empty()) << slot;
}

// Starting what an icon stands for: a tap on it, and the keys moving the
// selection onto it followed by the action key.
TEST_F(LauncherDevice, TapAndKeysStartTheProgram) {
  CBarSettings& settings = BarSettings();
  settings.numLines = 1;
  settings.ns = 0;
  settings.sw = 0;
  settings.Item(0).Set(kChild, L"report \\tapped.txt", L"Child", nullptr, 0);
  settings.Item(2).Set(kChild, L"report \\keyed.txt", L"Child", nullptr, 0);
  settings.Item(1).Set(L"- Sweepkit -", nullptr, L"- Sweepkit -", nullptr, 0);
  State().screenWidth = 240;
  Bar().CreateResources();
  Icons().Reset();
  Icons().Draw(nullptr, 0, 40, FALSE, TRUE, 1, FALSE, TRUE);

  Bar().AppLaunch(5, 45);  // the first icon
  const std::string tapped = WaitForReport(L"\\tapped.txt");
  EXPECT_NE(tapped.find("Child.exe"), std::string::npos) << tapped;
  EXPECT_NE(tapped.find("report \\tapped.txt"), std::string::npos) << tapped;

  g_tools.clear();
  Bar().AppLaunch(20, 45);  // the special item opens its tool
  ASSERT_EQ(g_tools.size(), 1u);
  EXPECT_EQ(g_tools[0], L"sweepkit - Sweepkit -");

  State().tappedIndex = 0;
  Icons().Draw(nullptr, 0, 40, FALSE, TRUE, 1, FALSE, TRUE);
  Bar().OnKeyRight();
  Icons().Draw(nullptr, 0, 40, FALSE, TRUE, 1, FALSE, TRUE);
  Bar().OnKeyRight();
  Icons().Draw(nullptr, 0, 40, FALSE, TRUE, 1, FALSE, TRUE);
  EXPECT_EQ(State().tappedIndex, 2);
  Bar().OnAction();
  const std::string keyed = WaitForReport(L"\\keyed.txt");
  EXPECT_NE(keyed.find("report \\keyed.txt"), std::string::npos) << keyed;
}

// The pen on the bar, as the home screen passes it: each icon it lands on
// takes the selection and starts; the arrows scroll; press and hold on an
// icon opens its details instead; an empty slot takes nothing.
TEST_F(LauncherDevice, ThePenActsOnTheIconItLandsOn) {
  CBarSettings& settings = BarSettings();
  settings.numLines = 1;
  settings.ns = 2;
  settings.sw = 1;
  const wchar_t* tools[] = {L"- Sweepkit -", L"- Chimer -", L"- Juggler -", L"- Tuneup -"};
  for (int i = 0; i < 4; ++i) settings.Item(i).Set(tools[i], nullptr, tools[i], nullptr, 0);
  State().screenWidth = 240;
  Bar().CreateResources();
  Icons().Reset();
  const int top = 40;
  Icons().Draw(nullptr, 0, top, FALSE, TRUE, 1, FALSE, TRUE);
  const std::wstring opened[] = {L"sweepkit - Sweepkit -", L"chimer", L"juggler", L"tuneup"};
  for (int i = 0; i < 4; ++i) {
    const RECT& r = Icons().Rect(i);
    g_tools.clear();
    State().tappedIndex = 3 - i;  // the keys left the selection elsewhere
    Bar().OnPen((r.left + r.right) / 2, (r.top + r.bottom) / 2, FALSE);
    EXPECT_EQ(State().tappedIndex, i);
    ASSERT_EQ(g_tools.size(), 1u) << i;
    EXPECT_EQ(g_tools[0], opened[i]);
  }
  // An empty slot on the line takes nothing.
  const RECT& empty = Icons().Rect(6);
  g_tools.clear();
  Bar().OnPen((empty.left + empty.right) / 2, (empty.top + empty.bottom) / 2, FALSE);
  EXPECT_EQ(State().tappedIndex, 3);
  EXPECT_TRUE(g_tools.empty());
  // The down arrow of the scrolling line scrolls it.
  const int arrowY = top + S(2) + S(18) + S(8);
  HDC screen = GetDC(nullptr);
  Bar().CreateScrollBuffer(screen);
  Bar().CreateBackBuffer(screen);
  ReleaseDC(nullptr, screen);
  Bar().OnPen(State().screenWidth - S(25), arrowY, FALSE);
  EXPECT_EQ(State().tappedIndex, kCodeDown);
  EXPECT_EQ(State().firstLine, 2);
  // Press and hold opens the details of the icon, and starts nothing.
  g_tools.clear();
  g_details.clear();
  const RECT& held = Icons().Rect(1);
  Bar().OnPen(held.left + 2, held.top + 4, TRUE);
  EXPECT_EQ(State().tappedIndex, 1);
  EXPECT_TRUE(g_tools.empty());
  ASSERT_EQ(g_details.size(), 1u);
  EXPECT_EQ(g_details[0], top + S(2)) << "the icon line's top";
}

TEST_F(LauncherDevice, LaunchRulesForShortcutsFoldersAndTheDate) {
  CBarSettings& settings = BarSettings();
  settings.numLines = 1;
  settings.ns = 0;
  settings.sw = 0;
  // A shortcut opens through the shell: its target gets the shortcut's own
  // parameters, never the item's.
  WriteDeviceFile(L"\\run.LNK", Shortcut("\\Program Files\\Child\\Child.exe", "report \\linked.txt"));
  settings.Item(0).Set(L"\\run.LNK", L"report \\wrong.txt", L"Run", nullptr, 0);
  // A folder item starts the file explorer with the folder.
  const std::wstring explorer = kChild;
  std::wcsncpy(settings.explore, explorer.c_str(), kTextCapacity - 1);
  settings.Item(1).Set(L"report \\folder.txt", nullptr, L"Folder: Reports", nullptr, 0);
  Bar().CreateResources();
  Icons().Reset();
  Icons().Draw(nullptr, 0, 0, FALSE, TRUE, 1, FALSE, TRUE);
  Bar().AppLaunch(5, 5);
  Bar().AppLaunch(20, 5);
  EXPECT_NE(WaitForReport(L"\\linked.txt").find("report \\linked.txt"), std::string::npos);
  EXPECT_NE(WaitForReport(L"\\folder.txt").find("report \\folder.txt"), std::string::npos);
  EXPECT_EQ(ReadDeviceFile(L"\\wrong.txt"), "");
}

TEST_F(LauncherDevice, BarWindowMessages) {
  Bar().CreateResources();
  g_tools.clear();
  HWND window = nullptr;
  Bar().HandleMessage(window, WM_LaunchTSIcons, 0, 0);
  Bar().HandleMessage(window, WM_LaunchSweepkit, 0, 0);
  Bar().HandleMessage(window, WM_LaunchChimer, 0, 0);
  Bar().HandleMessage(window, WM_LaunchJuggler, 0, 0);
  Bar().HandleMessage(window, WM_USER, kRunSpecialItem, 1);
  Bar().HandleMessage(window, WM_USER, kRunSpecialItem, 6);
  Bar().HandleMessage(window, WM_USER, kRunSpecialItem, 0);  // no action of the bar's
  Bar().HandleMessage(window, WM_USER, kRunSpecialItem, 7);  // out of range
  Bar().HandleMessage(window, WM_USER, kRunSpecialItem, -1);
  EXPECT_EQ(g_tools, (std::vector<std::wstring>{L"icons", L"sweepkit - Sweepkit -", L"chimer", L"juggler", L"tuneup",
                                                L"juggler"}));
  Bar().HandleMessage(window, WM_LaunchTSOptions, 0, 0);
  HKEY key = OpenKey();
  EXPECT_TRUE(HasValue(key, L"NumLines")) << "the options are saved after the dialog";
  RegCloseKey(key);
}

}  // namespace
