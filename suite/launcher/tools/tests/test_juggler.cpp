// Juggler: the running programs' main windows, gathered across real
// processes of the device (peer programs started through the platform),
// the windows it leaves out, the paging keys, and closing every window of
// a title.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "juggler.h"
#include "test_host.h"

namespace tessivo {
namespace {

using test::RunSteps;
using test::TestHost;

constexpr wchar_t kPeer[] = L"\\Program Files\\JugglerPeer\\JugglerPeer.exe";

struct Peer {
  HANDLE process = nullptr;
  HWND window = nullptr;
};

// A program takes its window slot among the device's programs once, on the
// device root it first makes a window on, and keeps it. The peers run on the
// test program's own root; were the slot taken on a test's private device
// (Sweepkit's, Tuneup's), a peer there could hold the same slot number and
// be taken for this program. So the slot is taken before any test runs.
class TakeWindowSlotFirst : public ::testing::Environment {
 public:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"JugglerSlotProbe";
    RegisterClassW(&wc);
    DestroyWindow(CreateWindowExW(0, L"JugglerSlotProbe", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
  }
};
[[maybe_unused]] ::testing::Environment* const kTakeWindowSlotFirst =
    ::testing::AddGlobalTestEnvironment(new TakeWindowSlotFirst);

class Juggler : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DEVICE_PROGRAM_FOLDERS", "JugglerPeer=" JUGGLER_PEER_FOLDER, 1);
    ::setenv("DEVICE_CLOCK", "real", 1);
  }
  void TearDown() override {
    for (Peer& peer : m_peers) {
      TerminateProcess(peer.process, 0);
      WaitForSingleObject(peer.process, 10000);
      CloseHandle(peer.process);
    }
    for (HWND w : m_local) DestroyWindow(w);
    CJugglerDialog::DeleteInstance();
    ::unsetenv("DEVICE_PROGRAM_FOLDERS");
    ::unsetenv("DEVICE_CLOCK");
  }
  // Starts a peer program showing one window; waits until it is published.
  Peer& Start(const std::wstring& kind, const std::wstring& title) {
    std::wstring line = kind + L" " + title;
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(CreateProcessW(kPeer, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info))
        << GetLastError();
    Peer peer{info.hProcess, nullptr};
    struct Search {
      DWORD processId;
      HWND found;
    } search{info.dwProcessId, nullptr};
    for (int tries = 0; tries < 3000 && search.found == nullptr; ++tries) {
      EnumWindows(
          [](HWND w, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process != s->processId) return TRUE;
            s->found = w;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&search));
      if (search.found == nullptr) Sleep(10);
    }
    peer.window = search.found;
    EXPECT_NE(peer.window, nullptr);
    m_peers.push_back(peer);
    return m_peers.back();
  }
  // A top-level window of this program.
  HWND Local(const wchar_t* title, DWORD style = WS_VISIBLE, DWORD exStyle = 0, HWND parent = nullptr) {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.lpszClassName = L"JugglerLocal";
      RegisterClassW(&wc);
      registered = true;
    }
    HWND w = CreateWindowExW(exStyle, L"JugglerLocal", title, style, 0, 0, 50, 20, parent, nullptr, nullptr, nullptr);
    m_local.push_back(w);
    return w;
  }
  static std::vector<std::wstring> Titles(const CJugglerLogic& logic) {
    std::vector<std::wstring> titles;
    for (int i = 0; i < logic.Count(); ++i) titles.emplace_back(logic.Entry(i).title);
    return titles;
  }
  static int Find(const CJugglerLogic& logic, HWND window) {
    for (int i = 0; i < logic.Count(); ++i) {
      if (logic.Entry(i).window == window) return i;
    }
    return -1;
  }

  TestHost m_host;
  std::list<Peer> m_peers;  // references stay valid as peers are added
  std::vector<HWND> m_local;
};

TEST_F(Juggler, ListsMainWindowsOfOtherProgramsAndLeavesTheRestOut) {
  const Peer& shown = Start(L"plain", L"Peer Notes");
  const Peer& hidden = Start(L"hidden", L"Peer Hidden");
  const Peer& tool = Start(L"tool", L"Peer Tool");
  const Peer& popup = Start(L"popup", L"Peer Popup");
  const Peer& tray = Start(L"plain", L"Tray");
  HWND owner = Local(L"Local Main");
  Local(L"Local Child", WS_VISIBLE | WS_CHILD, 0, owner);
  for (const wchar_t* skipped : {L"Tessivo", L"", L"MS_SIPBUTTON", L"Phone"}) Local(skipped);
  HWND sync = Local(L"ActiveSync");

  CJugglerLogic logic;
  logic.Collect();
  EXPECT_GE(Find(logic, shown.window), 0);
  EXPECT_GE(Find(logic, owner), 0);
  for (HWND left : {hidden.window, tool.window, popup.window, tray.window, sync}) EXPECT_EQ(Find(logic, left), -1);
  const auto titles = Titles(logic);
  for (const wchar_t* skipped : {L"Local Child", L"Tessivo", L"", L"MS_SIPBUTTON", L"Phone"}) {
    EXPECT_EQ(std::count(titles.begin(), titles.end(), skipped), 0);
  }
  // The peer's icon comes from its program file.
  EXPECT_NE(logic.Entry(Find(logic, shown.window)).icon, nullptr);

  m_host.options.CWA = 1;
  logic.Collect();
  EXPECT_GE(Find(logic, sync), 0);
}

TEST_F(Juggler, CloseAppClosesEveryWindowOfTheTitle) {
  const Peer& first = Start(L"plain", L"Twin");
  const Peer& second = Start(L"plain", L"Twin");
  const Peer& other = Start(L"plain", L"Single");
  CJugglerLogic logic;
  logic.Collect();
  const int a = Find(logic, first.window);
  const int b = Find(logic, second.window);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_NE(logic.Entry(a).firstOfTitle, logic.Entry(b).firstOfTitle);
  logic.CloseApp(b);
  EXPECT_EQ(WaitForSingleObject(first.process, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(second.process, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(other.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(Juggler, CloseAppLeavesTheHomeScreenOpen) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = DESKTOP_WINDOW_CLASS;
  RegisterClassW(&wc);
  HWND home =
      CreateWindowExW(0, DESKTOP_WINDOW_CLASS, L"Home", WS_VISIBLE, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  m_local.push_back(home);
  CJugglerLogic logic;
  logic.Collect();
  const int listed = Find(logic, home);
  ASSERT_GE(listed, 0);
  logic.CloseApp(listed);
  EXPECT_TRUE(IsWindow(home));
}

TEST_F(Juggler, TheListHoldsAtMostSixtyFourWindows) {
  for (int i = 0; i < 70; ++i) Local((L"Window " + std::to_wstring(i)).c_str());
  CJugglerLogic logic;
  logic.Collect();
  EXPECT_EQ(logic.Count(), kJugglerMaxEntries);
}

TEST_F(Juggler, KeysPageAndTheOpeningEnterIsSwallowed) {
  for (int i = 0; i < 12; ++i) Local((L"Window " + std::to_wstring(i)).c_str());
  RunSteps({[] {
              CJugglerDialog* juggler = CJugglerDialog::Existing();
              HWND dialog = juggler->Window();
              ASSERT_GT(juggler->Count(), 8);
              EXPECT_EQ(juggler->RowsOnPage(), 9);
              // The Enter key-up that opened the dialog does nothing.
              SendMessageW(dialog, WM_KEYUP, VK_DOWN, 0);
              SendMessageW(dialog, WM_KEYUP, VK_RETURN, 0);
              EXPECT_EQ(juggler->Selection(), 1);
              EXPECT_EQ(juggler->Page(), 0);
              // Up from the first row wraps to "More...".
              SendMessageW(dialog, WM_KEYUP, VK_UP, 0);
              SendMessageW(dialog, WM_KEYUP, VK_UP, 0);
              EXPECT_EQ(juggler->Selection(), 8);
              SendMessageW(dialog, WM_CHAR, L'9', 0);
              EXPECT_EQ(juggler->Page(), 1);
              EXPECT_EQ(juggler->Selection(), 0);
              const int rows = juggler->RowsOnPage();
              EXPECT_LE(rows, 8);
              // "9" with eight or fewer entries left does nothing.
              SendMessageW(dialog, WM_CHAR, L'2', 0);
              EXPECT_EQ(juggler->Selection(), 1);
              SendMessageW(dialog, WM_CHAR, L'9', 0);
              EXPECT_EQ(juggler->Page(), 1);
              EXPECT_EQ(juggler->Selection(), 1);
              EXPECT_EQ(juggler->SelectedEntry(), 9);
              // Back turns to the previous page, then ends.
              PostMessageW(dialog, WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_ESCAPE));
            },
            [] {
              EXPECT_EQ(CJugglerDialog::Existing()->Page(), 0);
              PostMessageW(CJugglerDialog::Existing()->Window(), WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_ESCAPE));
            }});
  EXPECT_EQ(CJugglerDialog::Instance()->Show(nullptr), 0);
  EXPECT_EQ(CJugglerDialog::Existing()->Window(), nullptr);
}

}  // namespace
}  // namespace tessivo
