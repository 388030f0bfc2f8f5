// CReminderPlayer: Chimer's half that watches the device's user
// notifications and plays the chosen sound for due calendar entries, tasks
// and alarms, from a thread of its own. The bar window owns it and drives
// its timers (103 for the minute check, 2000 + slot to repeat a reminder,
// 3000 + slot to stop repeating it).
//
// The record list is shared by the UI thread (timers, the dialog, the
// start-up scan) and the player thread (checks and scans every five
// seconds): a critical section guards it. Timers are set and killed on the
// bar window's own thread only, as the window layer requires. The request flags are single
// atomic words written by one side and cleared by the other.
#pragma once

#include <atomic>

#include "ce/windows.h"

namespace tessivo {

inline constexpr int kMaxReminders = 1024;
inline constexpr UINT_PTR kMinuteTimer = 103;
inline constexpr UINT_PTR kRepeatTimerBase = 2000;
inline constexpr UINT_PTR kStopTimerBase = 3000;
inline constexpr int kMaxSlots = 256;

enum ReminderKind { kReminderCalendar = 0, kReminderTask = 1, kReminderAlarm = 2 };

struct ReminderRecord {
  HANDLE notification = nullptr;
  int kind = kReminderCalendar;
  SYSTEMTIME due{};  // UTC
  bool played = false;
  int slot = -1;  // timer slot 0..255, -1 for none
  bool sound = false;
};

// The volume ramp of "Quiet then louder": how many plays of a sound of
// soundMs fit into playSeconds (each followed by half a second), and from
// that the step per play and the level after the first play (0..255).
void RampStart(DWORD playSeconds, DWORD soundMs, int* step, int* level);
// Milliseconds from a UTC time to ten seconds after the next whole minute.
UINT MinuteTimerDelay(const SYSTEMTIME& utc);
// A device volume (16 bits a channel, left in the low word) from two 8-bit
// channel levels (left in the low byte, right in the high byte).
DWORD VolumeFromLevels(DWORD levels);
// Writes the alarm sounds of the module ("WAVE" resources 1 to 4) to
// "\Windows\Alarm1.wav" to "\Windows\Alarm4.wav" where they are missing.
void InstallAlarmSounds(HINSTANCE module);

class CReminderPlayer {
 public:
  // barWindow receives the timers. withThread false leaves the player
  // thread out (the tests run its steps themselves).
  explicit CReminderPlayer(HWND barWindow, bool withThread = true);
  virtual ~CReminderPlayer();
  CReminderPlayer(const CReminderPlayer&) = delete;
  CReminderPlayer& operator=(const CReminderPlayer&) = delete;

  // Asks the thread to end and waits for it; the volume is restored.
  void Stop();
  // Sets (disable) or clears bit 0 of the platform's reminder "Options".
  void SetPlatformReminderSound(BOOL disable);
  // Reads the user notifications again: records of vanished ones go, those
  // that ask for a sound and name an application are added or updated.
  void Rescan();
  // Refused (false) at kMaxReminders records, or without a time or handle.
  bool AddOrUpdate(const SYSTEMTIME& utc, int kind, HANDLE notification, bool sound);
  // While Chimer is on: starts each due reminder not yet played; asks for a
  // rescan when the minute changed since the last check.
  void CheckDue();
  void StartReminder(int index);
  // Asks the thread to play the record's sound (when its notification
  // still asks for one).
  void RequestSound(int index);
  void ArmMinuteTimer(HWND window);
  void StopSlot(int slot);
  void StopAll();

  // The bar window's start-up (with Chimer on) and its timers; true when
  // the timer was the player's.
  void OnBarStart();
  bool OnBarTimer(UINT_PTR id);

  // One round of the thread's playing (its steps after a play request).
  void PlayRequested();

  int Count() const;
  ReminderRecord Record(int index) const;
  bool PlayRequestPending() const { return m_playRequest.load(); }
  void SoundName(LPWSTR out) const;

 private:
  static DWORD WINAPI ThreadMain(LPVOID self);
  DWORD Run();
  bool NotificationExists(HANDLE notification) const;
  // Whether the notification is there and asks for a sound.
  bool WantsSound(HANDLE notification) const;
  void StopSlotLocked(int slot);
  // Timers live on the bar window's thread: from another thread (the
  // player's own) the call goes there through the relay window.
  void SetBarTimer(UINT_PTR id, UINT period);
  void KillBarTimer(UINT_PTR id);
  static LRESULT CALLBACK RelayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_bar;
  HWND m_relay = nullptr;  // made on the bar's thread, with the player
  HKEY m_reminders = nullptr;
  HANDLE m_thread = nullptr;
  mutable CRITICAL_SECTION m_lock;
  ReminderRecord m_records[kMaxReminders];
  int m_count = 0;
  SYSTEMTIME m_lastCheck{};  // under m_lock

  std::atomic<bool> m_stopRequest{false};
  HANDLE m_stopEvent = nullptr;  // set with m_stopRequest: wakes the thread at once
  std::atomic<bool> m_rescanRequest{false};
  std::atomic<bool> m_playRequest{false};
  std::atomic<HANDLE> m_playing{nullptr};
  WCHAR m_sound[MAX_PATH] = L"\\Windows\\Alarm1.wav";  // under m_lock
};

}  // namespace tessivo
