// Windows of another program on the same device: a child process makes a
// window and answers; this process finds it and talks to it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "backend/headless/headless_display.h"
#include "ce/strconv.h"
#include "gdi/screen.h"
#include "ce/winbase.h"
#include "ce/winreg.h"
#include "ce/winuser.h"
#include "kernel/clock.h"
#include "kernel/device.h"
#include "user/input.h"
#include "headless_device.h"
#include "scoped_setting.h"

namespace {

namespace clock = ce::kernel::clock;

int g_report = -1;        // the child's pipe to the test
int g_raisedAtStart = 0;  // the child's raise count as it started (a fork copies the test's)

// How often the program's (headless) screen was brought to the front.
int RaiseCount() {
  auto* display = dynamic_cast<ce::backend::HeadlessDisplay*>(&ce::gdi::Screen::Current()->display());
  return display ? display->raiseCount() : -1;
}

void Report(const std::string& line) {
  const std::string text = line + "\n";
  (void)!::write(g_report, text.data(), text.size());
}

LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA: {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!copy) return -1;
      // UTF-16 text of cbData / 2 characters, as the device sends it.
      std::u16string text(copy->cbData / 2, u'\0');
      if (copy->cbData) std::memcpy(text.data(), copy->lpData, text.size() * 2);
      Report("copydata " + std::to_string(copy->dwData) + " " + ce::Utf8FromWide(ce::WideFromUtf16(text)) + " from " +
             std::to_string(wParam));
      return static_cast<LRESULT>(copy->cbData) + 1000;
    }
    case WM_USER + 1:
      Report("posted " + std::to_string(wParam) + " " + std::to_string(lParam));
      return 0;
    case WM_USER + 2:
      Sleep(3000);  // slower than the sender waits
      return 1;
    case WM_USER + 3:
      ::_exit(0);        // the program ends before it answers
    case WM_USER + 4: {  // what the sender wrote to the registry just before
      DWORD value = 0;
      DWORD size = sizeof value;
      const LONG status =
          RegQueryValueExW(HKEY_CURRENT_USER, L"ForPeer", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
      Report(status == ERROR_SUCCESS ? "registry " + std::to_string(value) : std::string("registry missing"));
      return 0;
    }
    case WM_USER + 5:
      DestroyWindow(hwnd);
      return 0;
    case WM_KEYDOWN:
      Report("key " + std::to_string(wParam));
      return 0;
    case WM_ACTIVATE:
      // Brought forward: its screen was raised first.
      if (LOWORD(wParam) != WA_INACTIVE) Report("activated, raised " + std::to_string(RaiseCount() - g_raisedAtStart));
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Starts a child program with a top-level window "Peer"/"Peer window" that
// runs its message loop; returns its pid and the read end of its reports.
pid_t StartPeer(int* reports) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    g_report = pipeFds[1];
    g_raisedAtStart = RaiseCount();
    WNDCLASSW wc{};
    wc.lpfnWndProc = PeerProc;
    wc.lpszClassName = L"Peer";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"Peer", L"Peer window", 0, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
    Report(hwnd ? "ready" : "failed");
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  *reports = pipeFds[0];
  return child;
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

// A line of the child's reports, or "<nothing>" when none comes within
// far more time than any step takes.
std::string ReadLineWithin(int fd) {
  pollfd ready{fd, POLLIN, 0};
  if (::poll(&ready, 1, 30000) <= 0) return "<nothing>";
  return ReadLine(fd);
}

std::vector<WPARAM> g_ownKeys;  // keys that reached this program's window

LRESULT CALLBACK OwnProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) g_ownKeys.push_back(wParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class CrossProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::UseRealClock();  // the other program lives on the host's time
    child = StartPeer(&reports);
    ASSERT_GT(child, 0);
    ASSERT_EQ(ReadLine(reports), "ready");
  }
  void TearDown() override {
    if (child > 0) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
    }
    if (reports >= 0) ::close(reports);
  }
  pid_t child = -1;
  int reports = -1;
};

TEST_F(CrossProcess, FindsThePeersWindowAndItsNames) {
  HWND peer = FindWindowW(L"PEER", L"Peer window");
  ASSERT_NE(peer, nullptr);
  EXPECT_EQ(FindWindowW(L"Peer", L""), nullptr) << "its title is not empty";
  EXPECT_TRUE(IsWindow(peer));
  wchar_t text[64];
  EXPECT_EQ(GetClassNameW(peer, text, 64), 4);
  EXPECT_STREQ(text, L"Peer");
  EXPECT_EQ(GetWindowTextW(peer, text, 64), 11);
  EXPECT_STREQ(text, L"Peer window");
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(peer, &pid), 0u);
  EXPECT_EQ(pid, static_cast<DWORD>(child));
  RECT r{};
  EXPECT_TRUE(GetWindowRect(peer, &r));
  EXPECT_EQ(r.right, 100);
  EXPECT_EQ(GetParent(peer), nullptr);
  EXPECT_EQ(GetWindowLongW(peer, GWL_STYLE) & static_cast<LONG>(WS_VISIBLE), 0);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongPtrW(peer, GWLP_WNDPROC), 0) << "another program's procedure is not ours to see";
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  struct Search {
    HWND peer;
    bool seen;
  } search{peer, false};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t name[39];
        if (GetClassNameW(hwnd, name, 39) && std::wstring(name) == L"Peer") s->seen = hwnd == s->peer;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  EXPECT_TRUE(search.seen);
}

TEST_F(CrossProcess, CopyDataIsSentAndAnsweredAndPostsArrive) {
  HWND peer = FindWindowW(L"Peer", nullptr);
  ASSERT_NE(peer, nullptr);
  const std::u16string text = u"Hello \u00e9t\u00e9";
  COPYDATASTRUCT copy{0, static_cast<DWORD>(text.size() * 2), const_cast<char16_t*>(text.data())};
  const HWND sender = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x1234 << 2));
  EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&copy)),
            static_cast<LRESULT>(text.size() * 2 + 1000));
  EXPECT_EQ(ReadLine(reports), "copydata 0 Hello \xc3\xa9t\xc3\xa9 from " + std::to_string(0x1234 << 2));

  EXPECT_TRUE(PostMessageW(peer, WM_USER + 1, 5, -6));
  EXPECT_EQ(ReadLine(reports), "posted 5 -6");
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)));
  EXPECT_EQ(GetLastError(), ERROR_MESSAGE_SYNC_ONLY);

  EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<ULONG_PTR>(peer) | 1)));
  EXPECT_EQ(ReadLine(reports), "activated, raised 1");
}

// Keys go to the window in front of the device, whichever program holds
// it: once this program brought the peer forward, the keys it takes go to
// the peer; when the peer's window goes, this program comes forward again
// (its screen raised) and keeps its keys.
TEST_F(CrossProcess, KeysFollowTheWindowInFrontAcrossPrograms) {
  HWND peer = FindWindowW(L"Peer", nullptr);
  ASSERT_NE(peer, nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = OwnProc;
  wc.lpszClassName = L"Own";
  RegisterClassW(&wc);
  HWND own = CreateWindowExW(0, L"Own", L"Own window", 0, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(own, nullptr);
  ShowWindow(own, SW_SHOW);
  g_ownKeys.clear();
  const auto press = [](int key) {
    ce::test::KeyDown(key);
    ce::test::KeyUp(key);
    ce::test::PumpUntilIdle();
  };
  press(VK_F1);
  EXPECT_EQ(g_ownKeys, std::vector<WPARAM>{VK_F1});

  ASSERT_TRUE(SetForegroundWindow(peer));
  EXPECT_EQ(ReadLineWithin(reports), "activated, raised 1");
  press(VK_F2);
  EXPECT_EQ(ReadLineWithin(reports), "key " + std::to_string(VK_F2)) << "the key went to the program in front";
  EXPECT_EQ(g_ownKeys, std::vector<WPARAM>{VK_F1});

  // The person gives this program's window the desktop's keyboard: its keys
  // are its own again, until the peer is brought forward once more.
  ce::backend::InputEvent focus;
  focus.kind = ce::backend::InputKind::Focus;
  ce::user::FeedInput(focus);
  press(VK_F4);
  EXPECT_EQ(g_ownKeys, (std::vector<WPARAM>{VK_F1, VK_F4}));
  ASSERT_TRUE(SetForegroundWindow(peer));  // already active there: raised only
  press(VK_F2);
  EXPECT_EQ(ReadLineWithin(reports), "key " + std::to_string(VK_F2));

  const int raised = RaiseCount();
  ASSERT_TRUE(PostMessageW(peer, WM_USER + 5, 0, 0));
  ::waitpid(child, nullptr, 0);
  child = -1;
  ce::test::PumpUntilIdle();
  EXPECT_EQ(RaiseCount(), raised + 1) << "this program came forward when the peer's window went";
  press(VK_F3);
  EXPECT_EQ(g_ownKeys, (std::vector<WPARAM>{VK_F1, VK_F4, VK_F3}));
  DestroyWindow(own);
}

// A program that writes to the registry and then posts to another program
// has its change in the file before the other program gets the message.
TEST_F(CrossProcess, RegistryChangesAreWrittenBeforeAMessageLeaves) {
  HWND peer = FindWindowW(L"Peer", nullptr);
  ASSERT_NE(peer, nullptr);
  for (DWORD value : {GetTickCount() | 1u, GetTickCount() & ~1u}) {
    ASSERT_EQ(RegSetValueExW(HKEY_CURRENT_USER, L"ForPeer", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    EXPECT_TRUE(PostMessageW(peer, WM_USER + 4, 0, 0));
    EXPECT_EQ(ReadLine(reports), "registry " + std::to_string(value));
  }
}

TEST_F(CrossProcess, ASlowPeerTimesOutAndAGonePeerIsForgotten) {
  ce::test::ScopedSetting timeout("DEVICE_SEND_TIMEOUT_MS", "300");
  HWND peer = FindWindowW(L"Peer", nullptr);
  ASSERT_NE(peer, nullptr);
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, WM_USER + 2, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  child = -1;
  EXPECT_EQ(FindWindowW(L"Peer", nullptr), nullptr);
  EXPECT_FALSE(IsWindow(peer));
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, WM_USER + 1, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostMessageW(peer, WM_USER + 1, 0, 0));
}

TEST_F(CrossProcess, APeerEndingBeforeItAnswersFailsTheSendAtOnce) {
  ce::test::ScopedSetting timeout("DEVICE_SEND_TIMEOUT_MS", "20000");
  HWND peer = FindWindowW(L"Peer", nullptr);
  ASSERT_NE(peer, nullptr);
  const auto start = std::chrono::steady_clock::now();
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, WM_USER + 3, 0, 0), 0);
  EXPECT_TRUE(GetLastError() == ERROR_INVALID_WINDOW_HANDLE || GetLastError() == ERROR_TIMEOUT) << GetLastError();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "not held for the time-out";
  ::waitpid(child, nullptr, 0);
  child = -1;
  EXPECT_FALSE(PostMessageW(peer, WM_USER + 1, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

}  // namespace

namespace {

// A program's list of windows is outside data: only well-formed lines whose
// handles belong to that program's slot are believed.
TEST(CrossProcessData, MalformedWindowListsAreReadSafely) {
  clock::UseRealClock();
  const std::string folder = ce::device::RuntimeFolder() + "/windows";
  ::mkdir(folder.c_str(), 0700);
  // Slot 77 looks alive: its lock is held (here, by this test).
  const int lock = ::open((folder + "/slot-77.lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  const unsigned good = (77u << 24) | (5u << 2);
  const unsigned otherSlot = (76u << 24) | (5u << 2);
  char line[128];
  std::snprintf(line, sizeof line, "%x\t0\t10000000\t0\t1\t0\t0\t10\t10\tGood%%09Class\tT%%25itle\n", good);
  std::ofstream(folder + "/slot-77.windows") << "pid\t12345\n"
                                             << "garbage\n"
                                             << "\t\t\t\t\t\t\t\t\t\t\n"
                                             << "zz\t0\t0\t0\t1\t0\t0\t1\t1\tBad\tx\n"
                                             << "4d000016\t0\t0\t0\t1\t0\t0\t1\t1\tLowBits\tx\n"
                                             << "4d000014\t0\t0\t0\t1\t99999999999\t0\t1\t1\tHuge\tx\n"
                                             << std::hex << otherSlot << "\t0\t0\t0\t1\t0\t0\t1\t1\tOtherSlot\tx\n"
                                             << line << "%\t%zz\n";
  int count = 0;
  EnumWindows(
      [](HWND, LPARAM param) -> BOOL {
        ++*reinterpret_cast<int*>(param);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  EXPECT_EQ(count, 1);
  HWND found = FindWindowW(L"Good\tClass", L"T%itle");
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(found), good);
  EXPECT_EQ(FindWindowW(L"OtherSlot", nullptr), nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(found, &pid);
  EXPECT_EQ(pid, 12345u);

  // Once the program is gone its files go too.
  ::close(lock);
  EXPECT_EQ(FindWindowW(L"Good\tClass", nullptr), nullptr);
  EXPECT_NE(::access((folder + "/slot-77.windows").c_str(), F_OK), 0);
}

// Requests on a program's socket are outside data too: junk, short or
// oversized requests are dropped and the program goes on answering.
TEST(CrossProcessData, JunkOnTheSocketIsDropped) {
  clock::UseRealClock();
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"Listener";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"Listener", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  const int slot = static_cast<int>((reinterpret_cast<ULONG_PTR>(hwnd) >> 24) & 0x7F);
  ASSERT_NE(slot, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = ce::device::RuntimeFolder() + "/windows/slot-" + std::to_string(slot) + ".sock";
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const std::string junk[] = {std::string(), std::string("x"), std::string(200, '\xff'),
                              std::string("CEWM") + std::string(36, '\x7f')};
  for (const std::string& bytes : junk) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (!bytes.empty()) (void)!::write(fd, bytes.data(), bytes.size());
    ::shutdown(fd, SHUT_WR);
    char reply[16];
    EXPECT_LE(::read(fd, reply, sizeof reply), 0) << "no answer to junk";
    ::close(fd);
  }
  EXPECT_TRUE(IsWindow(hwnd));
  DestroyWindow(hwnd);
}

}  // namespace
