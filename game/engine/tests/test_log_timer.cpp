// The message log ("message.log", UTF-16LE with CR LF lines) and ssTimer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce/strconv.h"
#include "ce/winbase.h"
#include "engine/file.h"
#include "engine/log.h"
#include "engine/timer.h"

namespace {

std::wstring ReadLog(const wchar_t* path) {
  ssFile f;
  if (!f.Open(path, kFileModeRead, 0)) return L"(missing)";
  std::vector<std::uint8_t> bytes(f.GetSize());
  f.Read(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return ce::WideFromUtf16LE(bytes.data(), bytes.size());
}

class Log : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLogState();
    CreateDirectoryW(L"\\Logs", nullptr);
  }
  void TearDown() override { ResetLogState(); }
  const wchar_t* m_Path = L"\\Logs\\message.log";
};

TEST_F(Log, HeaderThenTraceLinesInUtf16) {
  OpenLog(L"\\Logs", L"Kestrune log", 0);
  EXPECT_EQ(ReadLog(m_Path), L"Kestrune log\r\n\r\n");
  WriteLog(2, L"ksMain::Init %d %d", 240, 320);
  EXPECT_EQ(ReadLog(m_Path), L"Kestrune log\r\n\r\n") << "nothing without tracing";
  WriteTrace(L"UseGDI=%d", 1);
  EnableTrace();
  WriteLog(2, L"Could not load texture %s", L"Wall0.tga");
  WriteLog(kLogLevelSilent, L"never");
  WriteLog(2, L"%3.2f|%03d|%S", 1.5, 7, "narrow");
  EXPECT_EQ(ReadLog(m_Path),
            L"Kestrune log\r\n\r\nUseGDI=1\r\nTRACE ON\r\nCould not load texture Wall0.tga\r\n1.50|007|narrow\r\n");

  // Little-endian, no byte-order mark.
  ssFile f;
  ASSERT_TRUE(f.Open(m_Path, kFileModeRead, 0));
  std::uint8_t first[4];
  ASSERT_EQ(f.Read(first, 4), 4u);
  EXPECT_EQ(first[0], 'K');
  EXPECT_EQ(first[1], 0);
  EXPECT_EQ(first[2], 'e');
}

TEST_F(Log, AbortIsRecordedWithoutTracing) {
  OpenLog(L"\\Logs", L"h", 0);
  WriteAbortLog(L"out of %s (%d%%)", L"memory", 5);
  EXPECT_EQ(ReadLog(m_Path), std::wstring(L"h\r\n\r\n") + kAbortBanner + L"\r\nout of memory (5%)\r\n");
  EXPECT_EQ(std::wstring(kAbortBanner).find(std::wstring(26, L'*') + L"\r\n"), 2u);
}

TEST_F(Log, AbortWithTracingWritesItTwice) {
  OpenLog(L"\\Logs", L"h", 0);
  EnableTrace();
  WriteAbortLog(L"100%s", L" done");
  std::wstring banner = kAbortBanner;
  EXPECT_EQ(ReadLog(m_Path),
            L"h\r\n\r\nTRACE ON\r\n" + banner + L"\r\n100 done\r\n\r\n\r\n" + banner + L"\r\n100 done\r\n");
}

TEST_F(Log, LongLinesAreCut) {
  OpenLog(L"\\Logs", L"h", 0);
  std::wstring longText(2000, L'x');
  WriteTrace(L"%s", longText.c_str());
  std::wstring log = ReadLog(m_Path);
  EXPECT_EQ(log, L"h\r\n\r\n" + std::wstring(kLogLineChars - 1, L'x') + L"\r\n");
}

TEST_F(Log, LinesAlsoGoToTheDebugOutputWhileTheLogIsOn) {
  ::testing::internal::CaptureStderr();
  WriteTrace(L"before the log is open");
  OpenLog(L"\\Logs", L"header", 0);
  EnableTrace();
  WriteLog(2, L"Could not load texture %s", L"Wall0.tga");
  WriteAbortLog(L"stopped");
  const std::string banner = "\n**************************\nABORT - Program terminating\n";
  EXPECT_EQ(
      ::testing::internal::GetCapturedStderr(),
      "TRACE ON\nCould not load texture Wall0.tga\n" + banner.substr(1) + "stopped\n" + banner.substr(1) + "stopped\n");
}

TEST_F(Log, ALogThatCannotBeCreatedStaysOff) {
  OpenLog(L"\\No Such Folder", L"h", 0);
  // A folder made later does not bring the log back.
  CreateDirectoryW(L"\\No Such Folder", nullptr);
  OpenLog(L"\\No Such Folder", L"h", 0);
  WriteTrace(L"line");
  EXPECT_EQ(GetFileAttributesW(L"\\No Such Folder\\message.log"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Log, WithoutOpenLogNothingIsWritten) {
  EnableTrace();
  WriteLog(2, L"nothing");
  WriteTrace(L"nothing");
  EXPECT_EQ(GetFileAttributesW(L"\\message.log"), INVALID_FILE_ATTRIBUTES);
}

class FakeTimer : public ssTimer {
 public:
  std::uint32_t m_Ticks = 0;
  std::uint32_t GetTicks() override { return m_Ticks; }
};

TEST(Timer, ElapsedDeltaStopAndRewind) {
  FakeTimer t;
  t.m_Ticks = 1000;
  t.Start();
  EXPECT_TRUE(t.Running());
  t.m_Ticks = 1250;
  EXPECT_EQ(t.Elapsed(), 250u);
  EXPECT_EQ(t.Now(), 1250u);
  t.Stop();
  EXPECT_FALSE(t.Running());
  t.m_Ticks = 1400;
  EXPECT_EQ(t.Elapsed(), 400u) << "Stop does not stop the clock";
  t.Rewind100();
  EXPECT_EQ(t.Elapsed(), 500u);

  EXPECT_EQ(t.Delta(), 1400u) << "the first Delta gives the full tick count";
  t.m_Ticks = 1433;
  EXPECT_EQ(t.Delta(), 33u);
  EXPECT_EQ(t.Delta(), 0u);
  t.Reset();
  EXPECT_EQ(t.Delta(), 1433u);
  EXPECT_EQ(t.Elapsed(), 533u) << "Reset keeps the start time";
}

TEST(Timer, WrapsWithTheTickCount) {
  FakeTimer t;
  t.m_Ticks = 0xFFFFFF00u;
  t.Start();
  t.Delta();
  t.m_Ticks = 0x40;
  EXPECT_EQ(t.Elapsed(), 0x140u);
  EXPECT_EQ(t.Delta(), 0x140u);
}

TEST(Timer, RealClockMovesForward) {
  ssTimer t;
  std::uint32_t before = t.Elapsed();
  t.Sleep(2);
  EXPECT_GE(t.Elapsed(), before);
  EXPECT_LE(t.Elapsed(), 60000u);
}

}  // namespace
