#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "ce/winreg.h"
#include "liba/error.h"
#include "liba/text_stream.h"
#include "liba/thread.h"
#include "os/file.h"
#include "os/log.h"
#include "os/path.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

const std::wstring kLogPath = L"%app_full_name%.txt";

void SetLogSwitch(DWORD value) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Zentra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, L"Log", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  RegCloseKey(key);
}

void RemoveLogSwitch() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Zentra", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"Log");
    RegCloseKey(key);
  }
}

// The bytes of a file, also while the log holds it open for writing.
std::string Bytes(const std::wstring& path) {
  HANDLE h = CreateFileW(os::expand_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out(GetFileSize(h, nullptr), '\0');
  DWORD done = 0;
  ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &done, nullptr);
  CloseHandle(h);
  out.resize(done);
  return out;
}

std::string Utf16(const std::wstring& text) {
  std::vector<std::uint8_t> bytes;
  ce::AppendUtf16LE(bytes, text);
  return std::string(bytes.begin(), bytes.end());
}

const std::string kMark = "\xFF\xFE";

// The log lives beside the program: give the program a folder of its own
// rather than the build directory, which other test processes share. A
// death test's child keeps the folder and device it inherits from its
// parent, so what it writes shows to the test.
class OwnProgramFolder {
 public:
  OwnProgramFolder() {
    if (!GTEST_FLAG_GET(internal_run_death_test).empty()) return;
    folder_.emplace();
    setting_.emplace("DEVICE_PROGRAM_FOLDER", folder_->root());
    device_.emplace();  // made last, so it resets the device with the setting
  }

 private:
  std::optional<ce::test::TempDevice> folder_;
  std::optional<ce::test::ScopedSetting> setting_;
  std::optional<ce::test::TempDevice> device_;
};

class LogTest : public ::testing::Test {
 protected:
  OwnProgramFolder program_;
  void SetUp() override {
    os::delete_file(kLogPath);
    RemoveLogSwitch();
    os::get_log();  // off again
  }
  void TearDown() override {
    RemoveLogSwitch();
    os::get_log();
  }
};

TEST_F(LogTest, OffWritesNothingAnywhere) {
  os::get_log() << L"nothing " << std::wstring(L"at all") << L"\n";
  os::get_log().flush();
  EXPECT_EQ(Bytes(kLogPath), "<missing>");
  SetLogSwitch(0);
  os::get_log() << L"still nothing\n";
  EXPECT_EQ(Bytes(kLogPath), "<missing>");
}

TEST_F(LogTest, SwitchedOnWhileRunningAndRestartedEmpty) {
  SetLogSwitch(1);
  os::get_log() << L"first " << std::wstring(L"line ü") << L"\n";
  os::get_log() << L"" << L"second\n";
  EXPECT_EQ(Bytes(kLogPath), kMark + Utf16(L"first line ü\nsecond\n"));

  SetLogSwitch(0);
  os::get_log() << L"dropped\n";
  SetLogSwitch(7);  // any non-zero value
  os::get_log() << L"again\n";
  EXPECT_EQ(Bytes(kLogPath), kMark + Utf16(L"again\n"));
}

TEST_F(LogTest, FinishedLinesAlsoGoToTheDebugOutputWhileOn) {
  ::testing::internal::CaptureStderr();
  os::get_log() << L"off\n";
  SetLogSwitch(1);
  os::get_log() << L"one " << std::wstring(L"line ü") << L"\n";
  os::get_log() << L"two\nthree";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "one line \xC3\xBC\ntwo\n");
  ::testing::internal::CaptureStderr();
  SetLogSwitch(0);
  os::get_log() << L"dropped\n";  // switching off hands on the unfinished line
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "three\n");
  EXPECT_EQ(Bytes(kLogPath), kMark + Utf16(L"one line ü\ntwo\nthree"));
}

TEST_F(LogTest, AStreamKeptFromBeforeASwitchIsHarmless) {
  SetLogSwitch(1);
  liba::TextOStream<wchar_t>& old = os::get_log();
  old << L"a\n";
  SetLogSwitch(0);
  os::get_log();
  old << L"late\n";  // the retired log has let go of its file
  old.flush();
  EXPECT_EQ(Bytes(kLogPath), kMark + Utf16(L"a\n"));
}

TEST(TextOStreamFile, StartsWithTheMarkAndFailsSilently) {
  {
    os::TextOStreamFile<wchar_t> out(L"%my_documents%/t.txt");
    out << L"x\ny";
    out.flush();
  }
  EXPECT_EQ(Bytes(L"%my_documents%/t.txt"), kMark + Utf16(L"x\ny"));
  os::TextOStreamFile<wchar_t> nowhere(L"\\No Such Folder\\t.txt");
  nowhere << L"lost";
  EXPECT_EQ(Bytes(L"\\No Such Folder\\t.txt"), "<missing>");
}

// The message box of a fatal error, seen from outside the dying process.
void RecordBox(const std::wstring& text, const std::wstring& caption) {
  os::File f(L"%app_path%/box.txt", 1);
  const std::string line = Utf16(text + L"|" + caption);
  f.write(line.data(), static_cast<std::uint32_t>(line.size()));
}

TEST(FatalError, LogsShowsTheBoxAndExitsWithCodeOne) {
  // The death test's child works on this device and sees the registry the
  // test sets up.
  OwnProgramFolder program;
  os::delete_file(kLogPath);
  os::delete_file(L"%app_path%/box.txt");
  SetLogSwitch(1);
  EXPECT_EXIT(
      {
        liba::set_fatal_message_box(&RecordBox);
        liba::fatal_error(L"Application::Application", L"instance != 0");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(Bytes(kLogPath), kMark + Utf16(L"Snag: instance != 0 @ Application::Application\n"));
  EXPECT_EQ(Bytes(L"%app_path%/box.txt"), Utf16(L"instance != 0|Application::Application"));

  // An empty place: nothing between " @ " and the line end, an empty caption.
  os::delete_file(kLogPath);
  EXPECT_EXIT(
      {
        liba::set_fatal_message_box(&RecordBox);
        liba::fatal_error(L"", L"Some active objects still live while scheduler is terminating");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(Bytes(kLogPath),
            kMark + Utf16(L"Snag: Some active objects still live while scheduler is terminating @ \n"));
  EXPECT_EQ(Bytes(L"%app_path%/box.txt"), Utf16(L"Some active objects still live while scheduler is terminating|"));

  // With the log off only the box remains.
  os::delete_file(kLogPath);
  RemoveLogSwitch();
  EXPECT_EXIT(
      {
        liba::set_fatal_message_box(&RecordBox);
        liba::fatal_error(L"w", L"off");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(Bytes(kLogPath), "<missing>");
  EXPECT_EQ(Bytes(L"%app_path%/box.txt"), Utf16(L"off|w"));
}

void NoBox(const std::wstring&, const std::wstring&) {}

// A child forked (without exec) while another thread keeps taking a lock
// still gets through the fatal path and ends with code 1: nothing on the way
// waits for a lock the other thread may have held at the fork.
TEST(FatalError, EndsInAChildForkedWhileAnotherThreadTakesLocks) {
  OwnProgramFolder program;
  SetLogSwitch(1);
  os::get_log() << L"parent\n";
  struct Other {
    std::atomic<bool> stop{false};
    liba::CriticalSection busy;
    std::thread thread{[this] {
      while (!stop) {
        liba::Lock hold(busy);
      }
    }};
    ~Other() {
      stop = true;
      thread.join();
    }
  } other;
  for (int i = 0; i < 40; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      liba::set_fatal_message_box(&NoBox);
      liba::fatal_error(L"child", L"forked");
    }
    int status = 0;
    bool ended = false;
    for (int waited = 0; waited < 1000 && !ended; ++waited) {
      ended = ::waitpid(pid, &status, WNOHANG) == pid;
      if (!ended) ::usleep(10000);
    }
    if (!ended) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << "the child of fork " << i << " hangs on its way out";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "fork " << i;
  }
}

}  // namespace
