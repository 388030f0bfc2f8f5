// Chimer: the reminder list read from a pinned notification store, the
// record rules (time order, 1024 records, timer slots), the playing round
// (muted device, the "Quiet then louder" ramp, a dismissed reminder), and
// the dialog's Done and Cancel.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ce/mmsystem.h"
#include "ce/notify.h"
#include "ce/testing.h"
#include "chimer.h"
#include "reminder_player.h"
#include "test_host.h"

namespace tessivo {
namespace {

using test::RunSteps;
using test::TestHost;

constexpr std::uint64_t kStart2026 = 134000000000000000ull;  // a day of 2026 (FILETIME units)

SYSTEMTIME Time(WORD hour, WORD minute, WORD second = 0) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 5;
  t.wDay = 14;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

void ClearStore() {
  DWORD needed = 0;
  CeGetUserNotificationHandles(nullptr, 0, &needed);
  std::vector<HANDLE> handles(needed);
  if (needed != 0 && CeGetUserNotificationHandles(handles.data(), needed, &needed)) {
    for (HANDLE h : handles) CeClearUserNotification(h);
  }
}

HANDLE AddNotification(const wchar_t* application, const SYSTEMTIME& local, DWORD actions) {
  std::wstring app = application;
  CE_NOTIFICATION_TRIGGER trigger{};
  trigger.dwSize = sizeof(trigger);
  trigger.dwType = CNT_TIME;
  trigger.lpszApplication = app.data();
  trigger.stStartTime = local;
  trigger.stEndTime = local;
  CE_USER_NOTIFICATION user{};
  user.ActionFlags = actions;
  return CeSetUserNotificationEx(nullptr, &trigger, &user);
}

SYSTEMTIME ToUtc(const SYSTEMTIME& local) {
  FILETIME a{}, b{};
  SystemTimeToFileTime(&local, &a);
  LocalFileTimeToFileTime(&a, &b);
  SYSTEMTIME utc{};
  FileTimeToSystemTime(&b, &utc);
  return utc;
}

// A 16-bit mono WAV of `ms` milliseconds at 8 kHz in the device's \Windows.
void WriteSound(const wchar_t* path, unsigned ms) {
  const std::vector<std::uint8_t> samples(static_cast<std::size_t>(ms) * 16, 0x10);
  const auto image = ce::testing::MakeWav({1, 8000, 16}, samples);
  CreateDirectoryW(L"\\Windows", nullptr);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr);
  CloseHandle(file);
}

// The device volume each play started with, one entry a play.
std::vector<std::uint32_t> PlayVolumes() {
  std::vector<std::uint32_t> volumes;
  std::uint64_t stream = 0;
  for (const auto& buffer : ce::testing::TakePlayedAudio()) {
    if (buffer.stream == stream) continue;
    stream = buffer.stream;
    volumes.push_back(buffer.volume);
  }
  return volumes;
}

class Chimer : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearStore();
    m_host.options.NT = 1;
  }
  void TearDown() override {
    ClearStore();
    CChimerDialog::DeleteInstance();
    waveOutSetVolume(nullptr, 0xFFFFFFFF);
  }
  TestHost m_host;
};

TEST(ChimerRules, RampMinuteTimerAndVolumes) {
  const struct {
    DWORD seconds, soundMs;
    int step, level;
  } ramps[] = {{10, 1500, 44, 35}, {10, 20000, 0, 255}, {0, 1500, 0, 255}, {59, 0, 1, 137}};
  for (const auto& r : ramps) {
    int step = -1, level = -1;
    RampStart(r.seconds, r.soundMs, &step, &level);
    EXPECT_EQ(step, r.step) << r.seconds << " " << r.soundMs;
    EXPECT_EQ(level, r.level) << r.seconds << " " << r.soundMs;
  }
  SYSTEMTIME at = Time(12, 0, 37);
  at.wMilliseconds = 250;
  EXPECT_EQ(MinuteTimerDelay(at), 32750u);
  EXPECT_EQ(MinuteTimerDelay(Time(12, 0, 0)), 70000u);
  EXPECT_EQ(VolumeFromLevels(0x2020), 0x20202020u);
  EXPECT_EQ(VolumeFromLevels(0x5050), 0x50505050u);
  EXPECT_EQ(VolumeFromLevels(0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(VolumeFromLevels(35 * 257), 0x23232323u);
}

TEST_F(Chimer, RecordsKeepTimeOrderAndStopAt1024) {
  CReminderPlayer player(nullptr, false);
  for (int i = 0; i < kMaxReminders; ++i) {
    SYSTEMTIME t = Time(static_cast<WORD>(23 - i / 60 % 24), static_cast<WORD>(i % 60), static_cast<WORD>(i / 1440));
    t.wDay = static_cast<WORD>(1 + i / 60 / 24);
    ASSERT_TRUE(player.AddOrUpdate(t, kReminderCalendar, reinterpret_cast<HANDLE>(0x1000 + i), true));
  }
  EXPECT_FALSE(player.AddOrUpdate(Time(1, 1), kReminderCalendar, reinterpret_cast<HANDLE>(0x9000), true));
  EXPECT_EQ(player.Count(), kMaxReminders);
  for (int i = 1; i < player.Count(); ++i) {
    FILETIME a{}, b{};
    const SYSTEMTIME earlier = player.Record(i - 1).due, later = player.Record(i).due;
    SystemTimeToFileTime(&earlier, &a);
    SystemTimeToFileTime(&later, &b);
    ASSERT_LT(CompareFileTime(&a, &b), 0) << i;
  }
  // Without a time or a handle nothing is kept; the same time updates.
  CReminderPlayer small(nullptr, false);
  EXPECT_FALSE(small.AddOrUpdate(SYSTEMTIME{}, 0, reinterpret_cast<HANDLE>(1), true));
  EXPECT_FALSE(small.AddOrUpdate(Time(9, 0), 0, nullptr, true));
  EXPECT_TRUE(small.AddOrUpdate(Time(9, 0), 0, reinterpret_cast<HANDLE>(1), true));
  EXPECT_TRUE(small.AddOrUpdate(Time(9, 0), 0, reinterpret_cast<HANDLE>(2), false));
  EXPECT_EQ(small.Count(), 1);
  EXPECT_FALSE(small.Record(0).sound);
}

TEST_F(Chimer, ThePinnedStoreGivesTheReminderListAndSlots) {
  const HANDLE meeting = AddNotification(L"\\Windows\\calendar.exe", Time(10, 30), PUN_SOUND | PUN_DIALOG);
  const HANDLE task = AddNotification(L"tasks.exe", Time(9, 0), PUN_SOUND);
  const HANDLE alarm = AddNotification(L"Windows\\Clock.exe", Time(7, 15), PUN_SOUND | PUN_LED);
  AddNotification(L"\\Windows\\calendar.exe", Time(8, 0), PUN_LED);  // asks for no sound
  ASSERT_NE(meeting, nullptr);
  CReminderPlayer player(m_host.BarWindow(), false);
  player.Rescan();
  ASSERT_EQ(player.Count(), 3);
  const struct {
    HANDLE handle;
    int kind;
    SYSTEMTIME local;
  } expected[] = {{alarm, kReminderAlarm, Time(7, 15)},
                  {task, kReminderTask, Time(9, 0)},
                  {meeting, kReminderCalendar, Time(10, 30)}};
  for (int i = 0; i < 3; ++i) {
    const ReminderRecord r = player.Record(i);
    EXPECT_EQ(r.notification, expected[i].handle) << i;
    EXPECT_EQ(r.kind, expected[i].kind) << i;
    const SYSTEMTIME utc = ToUtc(expected[i].local);
    EXPECT_EQ(r.due.wHour, utc.wHour) << i;
    EXPECT_EQ(r.due.wMinute, utc.wMinute) << i;
    EXPECT_EQ(r.slot, -1);
  }
  // Each started reminder takes the smallest slot no other record holds.
  player.StartReminder(0);
  player.StartReminder(1);
  player.StartReminder(2);
  EXPECT_EQ(player.Record(0).slot, 0);
  EXPECT_EQ(player.Record(1).slot, 1);
  EXPECT_EQ(player.Record(2).slot, 2);
  // The alarm asked for its sound: the alarm setting's file.
  WCHAR sound[MAX_PATH];
  player.SoundName(sound);
  EXPECT_STREQ(sound, L"\\Windows\\Alarm4.wav");  // the last request: the meeting's calendar sound

  ASSERT_TRUE(CeClearUserNotification(task));
  player.Rescan();
  ASSERT_EQ(player.Count(), 2);
  EXPECT_EQ(player.Record(1).notification, meeting);
  const HANDLE late = AddNotification(L"tasks.exe", Time(11, 0), PUN_SOUND);
  player.Rescan();
  ASSERT_EQ(player.Count(), 3);
  player.StartReminder(2);
  EXPECT_EQ(player.Record(2).notification, late);
  EXPECT_EQ(player.Record(2).slot, 1);
}

TEST_F(Chimer, AMutedDeviceDropsTheRequestUnlessAskedToPlay) {
  ce::testing::UseVirtualClock(0, kStart2026);
  WriteSound(L"\\Windows\\Short.wav", 200);
  lstrcpyW(m_host.options.NWC, L"Short");
  m_host.options.NT1 = 1;
  const HANDLE meeting = AddNotification(L"\\Windows\\calendar.exe", Time(10, 30), PUN_SOUND);
  CReminderPlayer player(nullptr, false);
  player.Rescan();
  ce::testing::TakePlayedAudio();
  for (DWORD playWhenMuted : {0u, 1u}) {
    m_host.options.NM = playWhenMuted;
    waveOutSetVolume(nullptr, 0);
    player.RequestSound(0);
    ASSERT_TRUE(player.PlayRequestPending());
    player.PlayRequested();
    EXPECT_FALSE(player.PlayRequestPending());
    EXPECT_EQ(PlayVolumes().empty(), playWhenMuted == 0) << playWhenMuted;
    DWORD volume = 1;
    waveOutGetVolume(nullptr, &volume);
    EXPECT_EQ(volume, 0u);
  }
  (void)meeting;
  ce::testing::UseRealClock();
}

TEST_F(Chimer, QuietThenLouderRampsAndADismissedReminderStopsAfterThePlay) {
  ce::testing::UseVirtualClock(0, kStart2026);
  WriteSound(L"\\Windows\\Ramp.wav", 1500);
  lstrcpyW(m_host.options.NWC, L"Ramp");
  m_host.options.NV = 3;
  m_host.options.NT1 = 10;
  const HANDLE meeting = AddNotification(L"\\Windows\\calendar.exe", Time(10, 30), PUN_SOUND);
  CReminderPlayer player(nullptr, false);
  player.Rescan();
  waveOutSetVolume(nullptr, 0x80008000);
  ce::testing::TakePlayedAudio();
  player.RequestSound(0);
  player.PlayRequested();
  // Quiet first; then n = 10000 / 2000 = 5 plays fit, step 44 from 35.
  const std::vector<std::uint32_t> expected = {0x20202020u, VolumeFromLevels(79 * 257), VolumeFromLevels(123 * 257),
                                               VolumeFromLevels(167 * 257), VolumeFromLevels(211 * 257)};
  EXPECT_EQ(PlayVolumes(), expected);
  DWORD volume = 0;
  waveOutGetVolume(nullptr, &volume);
  EXPECT_EQ(volume, 0x80008000u);

  // Dismissed (the notification gone): the play under way is the last.
  player.RequestSound(0);
  ASSERT_TRUE(CeClearUserNotification(meeting));
  player.PlayRequested();
  EXPECT_EQ(PlayVolumes().size(), 1u);
  ce::testing::UseRealClock();
}

TEST_F(Chimer, DoneStoresTheControlsCancelPutsThemBack) {
  WriteSound(L"\\Windows\\Alarm2.wav", 100);
  WriteSound(L"\\Windows\\Chime.Two.wav", 100);
  CReminderPlayer player(m_host.BarWindow(), false);
  m_host.player = &player;
  m_host.options.NT = 0;
  for (bool done : {true, false}) {
    SCOPED_TRACE(done);
    m_host.options.NT = 0;
    lstrcpyW(m_host.options.NWT, L"Alarm2");
    m_host.options.NT1 = 10;
    RunSteps({[done] {
      HWND dialog = CChimerDialog::Existing()->Window();
      WCHAR text[64] = {};
      EXPECT_TRUE(CToolLogic::GetListText(dialog, kIdTaskSound, text, 64));
      EXPECT_STREQ(text, L"Alarm2");
      // Names lose the part from the last ".".
      EXPECT_EQ(CToolLogic::FindListString(dialog, kIdTaskSound, L"Chime"), -1);
      EXPECT_GE(CToolLogic::FindListString(dialog, kIdTaskSound, L"Chime.Two"), 0);
      EXPECT_EQ(CToolLogic::GetListSelection(dialog, kIdVolume), 3);
      CheckDlgButton(dialog, kIdChimerEnable, BST_CHECKED);
      CToolLogic::SetListSelection(dialog, kIdTaskSound,
                                   CToolLogic::FindListString(dialog, kIdTaskSound, L"Chime.Two"));
      CToolLogic::SetListSelection(dialog, kIdPlaySeconds, 30);
      if (done) {
        PostMessageW(dialog, WM_COMMAND, kCmdDone, 0);
      } else {
        // Live edits made meanwhile go back with Cancel.
        GetToolHost()->Options().NT1 = 45;
        PostMessageW(dialog, WM_COMMAND, kCmdCancel, 0);
      }
    }});
    CChimerDialog::Instance()->Show(nullptr);
    EXPECT_EQ(m_host.options.NT, done ? 1u : 0u);
    EXPECT_STREQ(m_host.options.NWT, done ? L"Chime.Two" : L"Alarm2");
    EXPECT_EQ(m_host.options.NT1, done ? 30u : 10u);
    EXPECT_EQ(m_host.saved.NT1, m_host.options.NT1);
  }
  m_host.player = nullptr;
}

TEST_F(Chimer, RepeatTimersAreSetOnTheBarEvenFromThePlayerThreadAndNotWithoutRepeats) {
  // A reminder already due: the player's own thread starts it.
  const HANDLE due = AddNotification(L"\\Windows\\calendar.exe", Time(0, 0), PUN_SOUND);
  ASSERT_NE(due, nullptr);
  for (DWORD repeat : {5u, 0u}) {
    SCOPED_TRACE(repeat);
    m_host.options.NT2 = repeat;
    CReminderPlayer player(m_host.BarWindow(), false);
    player.Rescan();
    ASSERT_EQ(player.Count(), 1);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
          static_cast<CReminderPlayer*>(p)->CheckDue();
          return 0;
        },
        &player, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(player.Record(0).slot, 0);
    EXPECT_TRUE(player.Record(0).played);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_EQ(KillTimer(m_host.BarWindow(), kRepeatTimerBase) != FALSE, repeat != 0);
    EXPECT_EQ(KillTimer(m_host.BarWindow(), kStopTimerBase) != FALSE, repeat != 0);
  }
}

DWORD ReminderOptions() {
  HKEY key = nullptr;
  RegOpenKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Notifications\\Reminders", 0, KEY_READ, &key);
  DWORD value = 0xDEAD, size = sizeof(value), type = 0;
  RegQueryValueExW(key, L"Options", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return value;
}

TEST_F(Chimer, TheBarStartAndTheDialogSwitchThePlatformSoundAndTheMinuteTimer) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"ControlPanel\\Notifications\\Reminders", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            0);
  const DWORD options = 0x31;
  RegSetValueExW(key, L"Options", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&options), sizeof(options));
  RegCloseKey(key);
  AddNotification(L"tasks.exe", Time(9, 0), PUN_SOUND);
  CReminderPlayer player(m_host.BarWindow(), false);
  m_host.player = &player;
  // Start-up with Chimer on: the platform's own sound off, the list read,
  // the minute timer set.
  player.OnBarStart();
  EXPECT_EQ(ReminderOptions(), 0x30u);
  EXPECT_EQ(player.Count(), 1);
  EXPECT_TRUE(KillTimer(m_host.BarWindow(), kMinuteTimer));
  // Turned off in the dialog: the platform's sound back, the timer gone.
  player.ArmMinuteTimer(m_host.BarWindow());
  RunSteps({[] {
    HWND dialog = CChimerDialog::Existing()->Window();
    CheckDlgButton(dialog, kIdChimerEnable, BST_UNCHECKED);
    PostMessageW(dialog, WM_COMMAND, kCmdDone, 0);
  }});
  CChimerDialog::Instance()->Show(nullptr);
  EXPECT_EQ(m_host.options.NT, 0u);
  EXPECT_EQ(ReminderOptions(), 0x31u);
  EXPECT_FALSE(KillTimer(m_host.BarWindow(), kMinuteTimer));
  m_host.player = nullptr;
}

TEST_F(Chimer, TheAlarmSoundsAreWrittenWhereMissingAndTheThreadStops) {
  CreateDirectoryW(L"\\Windows", nullptr);
  for (const wchar_t* sound : {L"\\Windows\\Alarm1.wav", L"\\Windows\\Alarm2.wav", L"\\Windows\\Alarm4.wav"}) {
    DeleteFileW(sound);
  }
  WriteSound(L"\\Windows\\Alarm3.wav", 100);
  WIN32_FILE_ATTRIBUTE_DATA kept{};
  ASSERT_TRUE(GetFileAttributesExW(L"\\Windows\\Alarm3.wav", GetFileExInfoStandard, &kept));
  InstallAlarmSounds(GetModuleHandleW(nullptr));
  for (const wchar_t* sound : {L"\\Windows\\Alarm1.wav", L"\\Windows\\Alarm2.wav", L"\\Windows\\Alarm4.wav"}) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(sound, GetFileExInfoStandard, &data));
    EXPECT_GT(data.nFileSizeLow, 10000u);  // a second or more of sound
  }
  WIN32_FILE_ATTRIBUTE_DATA after{};
  ASSERT_TRUE(GetFileAttributesExW(L"\\Windows\\Alarm3.wav", GetFileExInfoStandard, &after));
  EXPECT_EQ(after.nFileSizeLow, kept.nFileSizeLow);
  EXPECT_FALSE(test::DeviceFileExists(L"\\Windows\\Alarm1.wav.new"));

  // The player's own thread runs and ends when the player goes.
  const DWORD before = GetTickCount();
  { CReminderPlayer player(m_host.BarWindow()); }
  EXPECT_LT(GetTickCount() - before, 5000u);
}

}  // namespace
}  // namespace tessivo
