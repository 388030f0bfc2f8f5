// The setup program and the home screen as two programs of one device,
// each started as the host starts it (as "./setup.sh run" does), with an
// input script of its own: the home screen runs, the setup program is
// started with a script for each step, and the test checks the layout file,
// the "Scheme" setting, the home screen's plug-ins and what reached the
// plug-ins' windows. What the setup program told its user is read from its
// standard error, where the headless device writes each message box.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ce/kernel/file.h"
#include "ce/strconv.h"
#include "ce/testing.h"
#include "ce/winbase.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "scoped_setting.h"

extern char** environ;

namespace {

using ce::test::ScopedSetting;

// How long a wait for another program's state may last: far more than any
// step takes on a busy machine, and reached only when something is broken.
constexpr DWORD kPatienceMs = 60000;
constexpr wchar_t kFolder[] = L"\\Storage\\Application Data\\Home";
constexpr wchar_t kStart[] = L"\\Storage\\Application Data\\Home\\start.home.xml";
constexpr wchar_t kFirst[] = L"\\Storage\\Application Data\\Home\\QV.home.xml";
constexpr wchar_t kSecond[] = L"\\Storage\\Application Data\\Home\\QV1.home.xml";

const std::string K = "{837FC251-FE69-43ad-84E0-EBCEDEBA0884}";
const std::string L = "{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}";
const std::string M = "{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}";
const std::string E = "{79EFB752-CB70-446d-B317-499723482B3D}";

const char kAdded[] = "New Home Screen layout has been successfully updated";
const char kFailed[] = "Unable to Add Quorvist to current Home Screen.";

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

// The CLSIDs of a layout file's plug-ins, in order.
std::vector<std::string> Plugins(const std::wstring& path) {
  const std::string text = ReadDeviceFile(path);
  std::vector<std::string> out;
  const std::string open = "<plugin clsid=\"";
  for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
    at += open.size();
    const size_t end = text.find('"', at);
    if (end == std::string::npos) break;
    out.push_back(text.substr(at, end - at));
    at = end;
  }
  return out;
}

// How many threads a process of the host runs.
std::size_t Threads(DWORD pid) {
  std::size_t count = 0;
  DIR* tasks = ::opendir(("/proc/" + std::to_string(pid) + "/task").c_str());
  if (tasks == nullptr) return 0;
  while (const dirent* entry = ::readdir(tasks)) count += entry->d_name[0] != '.' ? 1 : 0;
  ::closedir(tasks);
  return count;
}

std::string Layout(const std::vector<std::string>& plugins) {
  std::string xml = "<?xml version=\"1.0\"?><home><scheme><color name=\"COLOR_GRADLEFT\" value=\"#204080\"/></scheme>";
  for (const std::string& clsid : plugins) xml += "<plugin clsid=\"" + clsid + "\"/>";
  return xml + "</home>";
}

std::wstring HomeValue(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Home", 0, KEY_READ, &key) != ERROR_SUCCESS) return L"";
  wchar_t text[400] = {};
  DWORD size = 2 * 399;  // the device's bytes, two a character
  DWORD type = 0;
  const LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? text : L"";
}

void SetValue(HKEY root, const wchar_t* path, const wchar_t* name, const std::wstring* text, DWORD number) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  if (text != nullptr) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                   static_cast<DWORD>((text->size() + 1) * 2));
  } else {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  }
  RegCloseKey(key);
}

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Stand-ins for the plug-ins' hidden windows: what they were posted.
struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Received> g_received;
LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= 1300 && message < 1500) {
    g_received.push_back({message, wParam, lParam});
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageW(&msg);
  }
}

// A program of the device started from its host folder with its own input
// script, its standard error going to a file.
class Program {
 public:
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }

  bool Start(const std::string& name, const std::string& script, const std::string& errors) {
    const std::string path = std::string(SETUP_PROGRAM_FOLDER) + "/" + name;
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
      if (std::string_view(*e).rfind("DEVICE_SCRIPT=", 0) != 0) env.emplace_back(*e);
    }
    env.push_back("DEVICE_SCRIPT=" + script);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = path;
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int status = ::posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) m_pid = 0;
    return status == 0;
  }

  // Waits up to `ms` for the program to end, calling `each` every 10 ms
  // meanwhile; false when it still runs.
  bool Wait(DWORD ms, const std::function<void()>& each = {}) {
    const DWORD until = GetTickCount() + ms;
    while (m_pid > 0) {
      int status = 0;
      const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
      if (done == m_pid) {
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = 0;
        return true;
      }
      if (GetTickCount() > until) return false;
      if (each) each();
      Sleep(10);
    }
    return true;
  }

  DWORD pid() const { return static_cast<DWORD>(m_pid); }
  int exitCode() const { return m_exitCode; }

 private:
  pid_t m_pid = 0;
  int m_exitCode = -1;
};

struct SetupRun {
  int exitCode = -1;
  std::string shown;      // the setup program's standard error
  HWND window = nullptr;  // its main window, as seen while it ran
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* folder : {L"\\Storage", L"\\Storage\\Application Data", kFolder}) {
      CreateDirectoryW(folder, nullptr);
    }
    WriteDeviceFile(kStart, Layout({K, E}));
    const std::wstring start = kStart;
    const std::wstring none;
    SetValue(HKEY_CURRENT_USER, L"ControlPanel\\Home", L"Scheme", &start, 0);
    SetValue(HKEY_CURRENT_USER, L"ControlPanel\\Home", L"ColorScheme", &none, 0);
    // Not the first use: no welcome box.
    SetValue(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\QVX", L"FirstUse", nullptr, 1);
    WNDCLASSW wc{};
    wc.lpfnWndProc = StandInProc;
    for (const wchar_t* name : {L"PelmoraWnd", L"TessivoWnd"}) {
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
    g_received.clear();
  }

  void TearDown() override {
    for (HWND w : m_standIns) DestroyWindow(w);
    if (m_home.pid() != 0) {
      if (HWND desktop = GetDesktopWindow()) PostMessageW(desktop, WM_CLOSE, 0, 0);
      EXPECT_TRUE(m_home.Wait(kPatienceMs)) << "the home screen did not end";
    }
  }

  std::string Script(const std::string& name, const std::string& text) {
    const std::string path = ce::testing::DeviceRoot() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
  }

  void StartHome() {
    ASSERT_TRUE(m_home.Start("Home", Script("home.script", "wait 600000\n"), ce::testing::DeviceRoot() + "/home.err"));
    for (DWORD tries = 0; tries < kPatienceMs / 10 && GetDesktopWindow() == nullptr; ++tries) {
      ASSERT_FALSE(m_home.Wait(10)) << "Home ended";
    }
    ASSERT_NE(GetDesktopWindow(), nullptr);
  }

  // The visible top-level windows of the home screen's program.
  std::vector<HWND> HomeWindows() const {
    struct Search {
      DWORD process;
      std::vector<HWND> found;
    } search{m_home.pid(), {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD process = 0;
          GetWindowThreadProcessId(window, &process);
          if (process == s->process && IsWindowVisible(window)) s->found.push_back(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // Remembers the home screen's windows as they are now; the ones that
  // appear after are collected in m_newHomeWindows.
  void WatchHomeWindows() {
    m_knownHomeWindows = HomeWindows();
    m_newHomeWindows.clear();
  }
  // Waits up to `ms` for a new window of the home screen's program.
  bool WaitForNewHomeWindow(DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    for (NoteNewHomeWindows(); m_newHomeWindows.empty() && GetTickCount() < until; NoteNewHomeWindows()) Sleep(20);
    return !m_newHomeWindows.empty();
  }
  void NoteNewHomeWindows() {
    for (HWND window : HomeWindows()) {
      if (std::find(m_knownHomeWindows.begin(), m_knownHomeWindows.end(), window) == m_knownHomeWindows.end()) {
        m_knownHomeWindows.push_back(window);
        m_newHomeWindows.push_back(window);
      }
    }
  }
  // Closes the dialogs that appeared in the home screen and waits for them
  // to go.
  void CloseNewHomeWindows() {
    for (HWND window : m_newHomeWindows) PostMessageW(window, WM_CLOSE, 0, 0);
    for (DWORD tries = 0; tries < kPatienceMs / 10; ++tries) {
      bool open = false;
      for (HWND window : m_newHomeWindows) open = open || IsWindow(window);
      if (!open) return;
      Sleep(10);
    }
    ADD_FAILURE() << "a dialog in the home screen did not close";
  }

  void StandIn(const wchar_t* className) {
    m_standIns.push_back(CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  }

  // Runs the setup program on the script until it ends, serving this
  // test's windows meanwhile.
  // With `untilAnswered` the script only waits at its end: once the
  // add/remove dialog has told its outcome, the test closes the program (a
  // home screen that is slow to reload keeps its dialog up for a while).
  SetupRun RunSetup(const std::string& script, const std::function<void(HWND)>& onceShown = {},
                    bool untilAnswered = false) {
    SetupRun run;
    DWORD answeredAt = 0;
    const std::string errors = ce::testing::DeviceRoot() + "/setup.err";
    Program setup;
    EXPECT_TRUE(setup.Start("Quorvist", Script("setup.script", script), errors));
    const bool ended = setup.Wait(kPatienceMs, [&] {
      Pump();
      if (run.window == nullptr) {
        run.window = FindWindowW(L"QVXOPTIONS", L"Quorvist");
        if (run.window != nullptr && onceShown) onceShown(run.window);
      }
      if (m_home.pid() != 0) NoteNewHomeWindows();
      if (m_whileSetupRuns) m_whileSetupRuns();
      if (untilAnswered && run.window != nullptr) {
        if (answeredAt == 0) {
          const std::string shown = ReadHostFile(errors);
          if (shown.find(kAdded) != std::string::npos || shown.find(kFailed) != std::string::npos) {
            answeredAt = GetTickCount();
          }
        } else if (GetTickCount() - answeredAt > 300) {
          // The dialogs have ended; the list window closes the program.
          PostMessageW(run.window, WM_CLOSE, 0, 0);
          answeredAt = GetTickCount();
        }
      }
    });
    EXPECT_TRUE(ended) << "the setup program did not end";
    Pump();
    run.exitCode = setup.exitCode();
    run.shown = ReadHostFile(errors);
    return run;
  }

  ScopedSetting m_clock{"DEVICE_CLOCK", "real"};
  ScopedSetting m_width{"DEVICE_SCREEN_WIDTH", "240"};
  ScopedSetting m_height{"DEVICE_SCREEN_HEIGHT", "320"};
  Program m_home;
  // Called every 10 ms while the setup program runs.
  std::function<void()> m_whileSetupRuns;
  std::vector<HWND> m_knownHomeWindows;
  std::vector<HWND> m_newHomeWindows;
  std::vector<HWND> m_standIns;
};

// The first item's dialog: "Add" or "Remove" for both plug-ins, then time
// for the home screen to reload.
constexpr char kAddBoth[] = "wait 300\nkey 1\nwait 500\nsoftkey left\nwait 120000\n";
constexpr char kRemoveBoth[] = "wait 300\nkey 1\nwait 500\ncheck 1005\nsoftkey right\nwait 120000\n";

TEST_F(EndToEnd, AddsBothPlugInsOpensTheirDialogsAndRemovesThem) {
  StartHome();
  ASSERT_EQ(FindWindowW(L"PelmoraWnd", nullptr), nullptr) << "the meters are not on the home screen yet";

  const SetupRun added = RunSetup(kAddBoth, {}, true);
  EXPECT_EQ(added.exitCode, 0);
  EXPECT_NE(added.shown.find(kAdded), std::string::npos) << added.shown;
  EXPECT_EQ(HomeValue(L"Scheme"), kFirst);
  EXPECT_EQ(Plugins(kFirst), (std::vector<std::string>{K, L, M, E}));
  EXPECT_EQ(Plugins(kStart), (std::vector<std::string>{K, E})) << "the old layout is left as it was";
  // The home screen read the new layout: the meters plug-in runs in it.
  EXPECT_NE(FindWindowW(L"PelmoraWnd", nullptr), nullptr);

  // The meters' help goes to the plug-in in the home screen, which opens
  // the help file; the launcher bar's options go to its window: the
  // plug-in's in the home screen, which opens its dialog there, or a
  // stand-in here when the launcher bar is not built.
  const bool launcherBuilt = FindWindowW(L"TessivoWnd", nullptr) != nullptr;
  if (!launcherBuilt) StandIn(L"TessivoWnd");
  // The meters plug-in installed its help document, and the help item has
  // the home screen's shell show it: a headless device has no viewer, so a
  // message says where the file is.
  const std::string help = ReadDeviceFile(L"\\Storage\\Application Data\\Home\\qveng.htp");
  EXPECT_NE(help.find("<h3>Pelmora</h3>"), std::string::npos) << help;
  WatchHomeWindows();
  const SetupRun dialogs = RunSetup("wait 300\nkey 9\nwait 500\nkey 2\nwait 1000\n");
  EXPECT_EQ(dialogs.exitCode, 0);
  EXPECT_EQ(dialogs.shown.find("Unable to find"), std::string::npos) << dialogs.shown;
  const std::string requests = ReadHostFile(ce::testing::DeviceRuntimeFolder() + "/shell-requests.log");
  EXPECT_NE(requests.find("Application Data\\Home\\qveng.htp"), std::string::npos) << requests;
  const std::string homeTold = ReadHostFile(ce::testing::DeviceRoot() + "/home.err");
  EXPECT_NE(homeTold.find("Documents: This device has no viewer for \"\\Storage\\Application Data\\Home\\qveng.htp\""),
            std::string::npos)
      << homeTold;
  if (launcherBuilt) {
    EXPECT_TRUE(WaitForNewHomeWindow(kPatienceMs)) << "the launcher bar's options open in the home screen";
    CloseNewHomeWindows();
  } else {
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, 1424u);
    EXPECT_EQ(reinterpret_cast<HWND>(g_received[0].wParam), dialogs.window);
    EXPECT_EQ(g_received[0].lParam, 0);
  }
  // The launcher bar's icons, the meters' options and Drainlog and the
  // launcher's tools open in the home screen, one after the other.
  for (const char* key : {"3", "4", "5", "6", "7", "8"}) {
    if (!launcherBuilt && (*key == '3' || *key > '5')) continue;
    WatchHomeWindows();
    const SetupRun opened = RunSetup(std::string("wait 300\nkey ") + key + "\nwait 1000\n");
    EXPECT_EQ(opened.exitCode, 0);
    EXPECT_TRUE(WaitForNewHomeWindow(kPatienceMs)) << "item " << key << " opens its dialog in the home screen";
    CloseNewHomeWindows();
  }

  // The threads the home screen runs with the plug-ins (and whatever the
  // dialogs above started in the platform): the meters' worker among them.
  const std::size_t threadsWithPlugIns = Threads(m_home.pid());
  const SetupRun removed = RunSetup(kRemoveBoth, {}, true);
  EXPECT_EQ(removed.exitCode, 0);
  EXPECT_NE(removed.shown.find(kAdded), std::string::npos) << removed.shown;
  EXPECT_EQ(HomeValue(L"Scheme"), kSecond) << "the two layout files take turns";
  EXPECT_EQ(Plugins(kSecond), (std::vector<std::string>{K, E}));
  EXPECT_EQ(Plugins(kFirst), (std::vector<std::string>{K, L, M, E}));

  // Nothing of the removed plug-ins stays in the home screen: neither
  // their windows nor their threads, and their items say they are gone.
  for (HWND w : m_standIns) DestroyWindow(w);
  m_standIns.clear();
  EXPECT_EQ(FindWindowW(L"PelmoraWnd", nullptr), nullptr);
  EXPECT_EQ(FindWindowW(L"TessivoWnd", nullptr), nullptr);
  for (DWORD tries = 0; tries < kPatienceMs / 10 && Threads(m_home.pid()) >= threadsWithPlugIns; ++tries) Sleep(10);
  EXPECT_LT(Threads(m_home.pid()), threadsWithPlugIns) << "the meters' worker ended";
  const SetupRun gone = RunSetup("wait 300\nkey 4\nwait 300\nkey 2\nwait 300\n");
  EXPECT_NE(gone.shown.find(": Unable to find Pelmora or one of it's components"), std::string::npos) << gone.shown;
  EXPECT_NE(gone.shown.find(": Unable to find Tessivo or one of it's components"), std::string::npos) << gone.shown;
}

TEST_F(EndToEnd, ALayoutThatCannotBeWrittenLeavesTheOldOneAndSaysSo) {
  StartHome();
  WriteDeviceFile(kFirst, Layout({K}));
  ASSERT_TRUE(SetFileAttributesW(kFirst, FILE_ATTRIBUTE_READONLY));
  const SetupRun run = RunSetup(kAddBoth, {}, true);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.shown.find(kFailed), std::string::npos) << run.shown;
  EXPECT_EQ(run.shown.find(kAdded), std::string::npos) << run.shown;
  EXPECT_EQ(HomeValue(L"Scheme"), kStart);
  EXPECT_EQ(ReadDeviceFile(kFirst), Layout({K}));
  EXPECT_EQ(FindWindowW(L"PelmoraWnd", nullptr), nullptr) << "the home screen kept its layout";
  SetFileAttributesW(kFirst, FILE_ATTRIBUTE_NORMAL);
}

// The first start welcomes the user once the list is painted, in a box
// with an empty caption; the Enter that closes the box is released over the
// list (the script's lone key release here, as the headless box answers at
// once) and runs the first item: the add/remove dialog opens.
TEST_F(EndToEnd, TheWelcomesEnterOpensTheAddRemoveDialog) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tarnwell\\QVX", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  RegDeleteValueW(key, L"FirstUse");
  RegCloseKey(key);
  bool dialogSeen = false;
  m_whileSetupRuns = [&] { dialogSeen = dialogSeen || FindWindowW(nullptr, L"Add/Remove plug-ins") != nullptr; };
  const SetupRun run = RunSetup("wait 300\nkeyup return\nwait 1500\nkey escape\nwait 300\nsoftkey left\nwait 300\n");
  m_whileSetupRuns = nullptr;
  EXPECT_EQ(run.exitCode, 0);
  const std::size_t welcome = run.shown.find(": Welcome to Quorvist.");
  ASSERT_NE(welcome, std::string::npos) << run.shown;
  EXPECT_TRUE(welcome == 0 || run.shown[welcome - 1] == '\n') << run.shown << " (with an empty caption)";
  EXPECT_TRUE(dialogSeen) << run.shown;
}

TEST_F(EndToEnd, EachItemReachesItsPlugInsWindowAndASecondStartEnds) {
  StandIn(L"PelmoraWnd");
  StandIn(L"TessivoWnd");
  std::string script = "wait 1500\n";
  for (char key = '2'; key <= '9'; ++key) script += std::string("key ") + key + "\nwait 150\n";
  script += "wait 200\n";
  int secondExit = -1;
  bool firstStillThere = false;
  const SetupRun run = RunSetup(script, [&](HWND) {
    // A second start while the first runs only brings the first forward.
    Program second;
    ASSERT_TRUE(second.Start("Quorvist", Script("second.script", "wait 100\n"), ce::testing::DeviceRoot() + "/2.err"));
    EXPECT_TRUE(second.Wait(kPatienceMs));
    secondExit = second.exitCode();
    firstStillThere = FindWindowW(L"QVXOPTIONS", L"Quorvist") != nullptr;
  });
  EXPECT_EQ(secondExit, 0);
  EXPECT_TRUE(firstStillThere);
  EXPECT_EQ(run.exitCode, 0);
  ASSERT_NE(run.window, nullptr);
  const UINT expected[] = {1424, 1425, 1324, 1326, 1426, 1427, 1428, 1325};
  ASSERT_EQ(g_received.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(g_received[i].message, expected[i]) << i;
    EXPECT_EQ(reinterpret_cast<HWND>(g_received[i].wParam), run.window) << i;
    EXPECT_EQ(g_received[i].lParam, 0) << i;
  }
}

}  // namespace
