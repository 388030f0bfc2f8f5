#include "reminder_player.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "ce/crt.h"
#include "ce/mmsystem.h"
#include "ce/notify.h"
#include "tool_host.h"

namespace tessivo {

namespace {

constexpr wchar_t kRemindersKey[] = L"ControlPanel\\Notifications\\Reminders";
constexpr wchar_t kFallbackSound[] = L"\\Windows\\Alarm1.wav";
// The longest a timer period may be (the platform takes a UINT of ms).
constexpr ULONGLONG kLongestTimerMs = 0x7FFFFFFF;

constexpr wchar_t kRelayClass[] = L"TessivoReminderRelay";
constexpr UINT kRelaySetTimer = WM_APP + 1;   // wParam the timer, lParam the period
constexpr UINT kRelayKillTimer = WM_APP + 2;  // wParam the timer

UINT MinutesToMs(DWORD minutes) {
  return static_cast<UINT>(std::min<ULONGLONG>(static_cast<ULONGLONG>(minutes) * 60000, kLongestTimerMs));
}

ULONGLONG Stamp(const SYSTEMTIME& time) {
  FILETIME file{};
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) { return Stamp(a) == Stamp(b); }

bool IsZeroTime(const SYSTEMTIME& t) { return t.wYear == 0 && t.wMonth == 0 && t.wDay == 0; }

// The notification's bytes (header first); empty when it is gone.
std::vector<BYTE> ReadNotification(HANDLE notification) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD needed = 0;
    CeGetUserNotification(notification, 0, &needed, nullptr);
    if (needed < sizeof(CE_NOTIFICATION_INFO_HEADER)) return {};
    std::vector<BYTE> bytes(needed);
    if (CeGetUserNotification(notification, needed, &needed, bytes.data())) return bytes;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
  }
  return {};
}

std::vector<HANDLE> NotificationHandles() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD needed = 0;
    if (CeGetUserNotificationHandles(nullptr, 0, &needed)) return {};
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    std::vector<HANDLE> handles(needed);
    if (CeGetUserNotificationHandles(handles.data(), needed, &needed)) {
      handles.resize(needed);
      return handles;
    }
  }
  return {};
}

// The sound file for a setting: a plain name of a file in "\Windows";
// anything that would reach another folder gives the fallback sound.
void SoundFile(LPCWSTR name, LPWSTR out) {
  const int length = lstrlenW(name);
  const bool plain = length > 0 && length + 14 < static_cast<int>(MAX_PATH) && wcschr(name, L'\\') == nullptr &&
                     wcschr(name, L'/') == nullptr && wcsstr(name, L"..") == nullptr;
  if (!plain) {
    lstrcpyW(out, kFallbackSound);
    return;
  }
  lstrcpyW(out, L"\\Windows\\");
  lstrcatW(out, name);
  lstrcatW(out, L".wav");
}

}  // namespace

void RampStart(DWORD playSeconds, DWORD soundMs, int* step, int* level) {
  const ULONGLONG period = static_cast<ULONGLONG>(soundMs) + 500;
  const ULONGLONG n = static_cast<ULONGLONG>(playSeconds) * 1000 / period;
  if (n != 0) {
    *step = static_cast<int>(223 / n);
    *level = static_cast<int>(255 - n * static_cast<ULONGLONG>(*step));
  } else {
    *step = 0;
    *level = 255;
  }
}

UINT MinuteTimerDelay(const SYSTEMTIME& utc) {
  const UINT intoMinute = std::min<UINT>(utc.wSecond, 59) * 1000 + std::min<UINT>(utc.wMilliseconds, 999);
  return 70000 - intoMinute;
}

DWORD VolumeFromLevels(DWORD levels) {
  const DWORD left = (levels & 0xFF) * 257;
  const DWORD right = ((levels >> 8) & 0xFF) * 257;
  return left | (right << 16);
}

void InstallAlarmSounds(HINSTANCE module) {
  for (int i = 1; i <= 4; ++i) {
    WCHAR path[MAX_PATH];
    wsprintfW(path, L"\\Windows\\Alarm%d.wav", i);
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) continue;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(i), L"WAVE");
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
    if (bytes == nullptr || size == 0) continue;
    // Written beside it and renamed into place, so a half-written sound is
    // never there.
    WCHAR temporary[MAX_PATH];
    wsprintfW(temporary, L"\\Windows\\Alarm%d.wav.new", i);
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) continue;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!ok || !MoveFileW(temporary, path)) DeleteFileW(temporary);
  }
}

CReminderPlayer::CReminderPlayer(HWND barWindow, bool withThread) : m_bar(barWindow) {
  InitializeCriticalSection(&m_lock);
  RegOpenKeyExW(HKEY_CURRENT_USER, kRemindersKey, 0, KEY_ALL_ACCESS, &m_reminders);
  GetSystemTime(&m_lastCheck);
  if (m_bar != nullptr) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RelayProc;
    wc.lpszClassName = kRelayClass;
    RegisterClassW(&wc);  // already there from an earlier player: fine
    m_relay = CreateWindowExW(0, kRelayClass, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    if (m_relay != nullptr) SetWindowLongPtrW(m_relay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_bar));
  }
  if (withThread) {
    m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (m_thread != nullptr) SetThreadPriority(m_thread, 4);
  }
}

CReminderPlayer::~CReminderPlayer() {
  Stop();
  if (m_relay != nullptr) DestroyWindow(m_relay);
  if (m_reminders != nullptr) RegCloseKey(m_reminders);
  if (m_stopEvent != nullptr) CloseHandle(m_stopEvent);
  DeleteCriticalSection(&m_lock);
}

void CReminderPlayer::Stop() {
  if (m_thread == nullptr) return;
  m_stopRequest = true;
  // The thread waits on the event between checks and between plays: it
  // ends at once, or within one sound's length, and restores the volume
  // itself.
  if (m_stopEvent != nullptr) SetEvent(m_stopEvent);
  if (WaitForSingleObject(m_thread, 20000) != WAIT_OBJECT_0) TerminateThread(m_thread, 0);
  CloseHandle(m_thread);
  m_thread = nullptr;
  m_stopRequest = false;
  if (m_stopEvent != nullptr) ResetEvent(m_stopEvent);
}

DWORD WINAPI CReminderPlayer::ThreadMain(LPVOID self) { return static_cast<CReminderPlayer*>(self)->Run(); }

DWORD CReminderPlayer::Run() {
  for (;;) {
    // Idle between the checks, five seconds apart, until asked to stop.
    if (m_stopRequest || WaitForSingleObject(m_stopEvent, 5000) != WAIT_TIMEOUT) return 1;
    CheckDue();
    if (m_rescanRequest) {
      Rescan();
      m_rescanRequest = false;
    }
    if (m_playRequest) PlayRequested();
  }
}

void CReminderPlayer::SetPlatformReminderSound(BOOL disable) {
  if (m_reminders == nullptr) return;
  DWORD options = 0;
  DWORD type = 0;
  DWORD size = sizeof(options);
  if (RegQueryValueExW(m_reminders, L"Options", nullptr, &type, reinterpret_cast<LPBYTE>(&options), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return;
  }
  options = disable ? (options | 1) : (options & ~DWORD{1});
  RegSetValueExW(m_reminders, L"Options", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&options), sizeof(options));
}

void CReminderPlayer::Rescan() {
  const std::vector<HANDLE> handles = NotificationHandles();
  EnterCriticalSection(&m_lock);
  int kept = 0;
  for (int i = 0; i < m_count; ++i) {
    if (std::find(handles.begin(), handles.end(), m_records[i].notification) == handles.end()) {
      StopSlotLocked(m_records[i].slot);
      continue;
    }
    m_records[kept++] = m_records[i];
  }
  m_count = kept;
  LeaveCriticalSection(&m_lock);

  for (HANDLE handle : handles) {
    const std::vector<BYTE> bytes = ReadNotification(handle);
    if (bytes.empty()) continue;
    const auto* header = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(bytes.data());
    const CE_NOTIFICATION_TRIGGER* trigger = header->pcent;
    const CE_USER_NOTIFICATION* user = header->pceun;
    if (trigger == nullptr || user == nullptr || (user->ActionFlags & PUN_SOUND) == 0) continue;
    const wchar_t* application = trigger->lpszApplication;
    if (application == nullptr || application[0] == 0) continue;
    // The start time is the device's local time.
    FILETIME local{};
    FILETIME utcFile{};
    SYSTEMTIME utc{};
    if (!SystemTimeToFileTime(&trigger->stStartTime, &local) || !LocalFileTimeToFileTime(&local, &utcFile) ||
        !FileTimeToSystemTime(&utcFile, &utc)) {
      continue;
    }
    int kind = kReminderCalendar;
    if (_wcsicmp(application, L"TASKS.EXE") == 0) kind = kReminderTask;
    if (_wcsicmp(application, L"Windows\\Clock.exe") == 0 || _wcsicmp(application, L"\\Windows\\Clock.exe") == 0) {
      kind = kReminderAlarm;
    }
    AddOrUpdate(utc, kind, handle, true);
  }
}

bool CReminderPlayer::AddOrUpdate(const SYSTEMTIME& utc, int kind, HANDLE notification, bool sound) {
  if (IsZeroTime(utc) || notification == nullptr) return false;
  EnterCriticalSection(&m_lock);
  int match = -1;
  for (int i = 0; i < m_count && match < 0; ++i) {
    if (SameTime(m_records[i].due, utc)) match = i;
  }
  for (int i = 0; i < m_count && match < 0; ++i) {
    if (m_records[i].notification == notification) match = i;
  }
  if (match >= 0) {
    ReminderRecord& record = m_records[match];
    const bool changed = record.sound != sound;
    record.sound = sound;
    if (changed && !sound) StopSlotLocked(record.slot);
    LeaveCriticalSection(&m_lock);
    if (changed && sound) RequestSound(match);
    return true;
  }
  if (m_count >= kMaxReminders) {
    LeaveCriticalSection(&m_lock);
    return false;
  }
  const ULONGLONG due = Stamp(utc);
  int at = m_count;
  for (int i = 0; i < m_count; ++i) {
    if (Stamp(m_records[i].due) > due) {
      at = i;
      break;
    }
  }
  for (int i = m_count; i > at; --i) m_records[i] = m_records[i - 1];
  m_records[at] = ReminderRecord{notification, kind, utc, false, -1, sound};
  ++m_count;
  LeaveCriticalSection(&m_lock);
  return true;
}

void CReminderPlayer::CheckDue() {
  ToolHost* host = GetToolHost();
  if (host == nullptr || host->Options().NT == 0) return;
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const ULONGLONG stamp = Stamp(now);
  for (int i = 0;; ++i) {
    EnterCriticalSection(&m_lock);
    const bool inList = i < m_count;
    const bool due = inList && Stamp(m_records[i].due) <= stamp;
    const bool start = due && !m_records[i].played;
    LeaveCriticalSection(&m_lock);
    if (!due) break;
    if (start) StartReminder(i);
  }
  EnterCriticalSection(&m_lock);
  const bool newMinute =
      now.wMinute != m_lastCheck.wMinute || now.wHour != m_lastCheck.wHour || now.wDay != m_lastCheck.wDay;
  m_lastCheck = now;
  LeaveCriticalSection(&m_lock);
  if (newMinute) m_rescanRequest = true;
}

void CReminderPlayer::StartReminder(int index) {
  ToolHost* host = GetToolHost();
  EnterCriticalSection(&m_lock);
  if (index < 0 || index >= m_count) {
    LeaveCriticalSection(&m_lock);
    return;
  }
  ReminderRecord& record = m_records[index];
  record.played = true;
  bool used[kMaxSlots] = {};
  for (int i = 0; i < m_count; ++i) {
    if (i != index && m_records[i].slot >= 0 && m_records[i].slot < kMaxSlots) used[m_records[i].slot] = true;
  }
  int slot = 0;
  while (slot < kMaxSlots && used[slot]) ++slot;
  record.slot = slot < kMaxSlots ? slot : -1;
  const int given = record.slot;
  LeaveCriticalSection(&m_lock);
  RequestSound(index);
  // The repeats start one period later; nothing waits on this thread.
  if (given >= 0 && host != nullptr && host->Options().NT2 != 0 && m_bar != nullptr) {
    SetBarTimer(kRepeatTimerBase + static_cast<UINT_PTR>(given), MinutesToMs(host->Options().NT2));
    SetBarTimer(kStopTimerBase + static_cast<UINT_PTR>(given), MinutesToMs(host->Options().NT3));
  }
}

void CReminderPlayer::RequestSound(int index) {
  EnterCriticalSection(&m_lock);
  if (index < 0 || index >= m_count) {
    LeaveCriticalSection(&m_lock);
    return;
  }
  const ReminderRecord record = m_records[index];
  LeaveCriticalSection(&m_lock);
  if (!WantsSound(record.notification)) return;
  WCHAR file[MAX_PATH];
  ToolHost* host = GetToolHost();
  if (host == nullptr) return;
  const ToolOptions& options = host->Options();
  switch (record.kind) {
    case kReminderCalendar:
      SoundFile(options.NWC, file);
      break;
    case kReminderTask:
      SoundFile(options.NWT, file);
      break;
    case kReminderAlarm:
      SoundFile(options.NWL, file);
      break;
    default:
      lstrcpyW(file, kFallbackSound);
      break;
  }
  EnterCriticalSection(&m_lock);
  lstrcpyW(m_sound, file);
  LeaveCriticalSection(&m_lock);
  m_playing = record.notification;
  m_playRequest = true;
}

void CReminderPlayer::ArmMinuteTimer(HWND window) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  if (window == m_bar)
    SetBarTimer(kMinuteTimer, MinuteTimerDelay(now));
  else if (window != nullptr)
    SetTimer(window, kMinuteTimer, MinuteTimerDelay(now), nullptr);
}

void CReminderPlayer::StopSlotLocked(int slot) {
  if (slot < 0 || m_bar == nullptr) return;
  KillBarTimer(kRepeatTimerBase + static_cast<UINT_PTR>(slot));
  KillBarTimer(kStopTimerBase + static_cast<UINT_PTR>(slot));
}

void CReminderPlayer::StopSlot(int slot) {
  EnterCriticalSection(&m_lock);
  StopSlotLocked(slot);
  LeaveCriticalSection(&m_lock);
}

void CReminderPlayer::StopAll() {
  m_playRequest = false;
  if (m_bar != nullptr) KillBarTimer(kMinuteTimer);
  EnterCriticalSection(&m_lock);
  for (int i = 0; i < m_count; ++i) StopSlotLocked(m_records[i].slot);
  LeaveCriticalSection(&m_lock);
}

void CReminderPlayer::SetBarTimer(UINT_PTR id, UINT period) {
  if (m_bar == nullptr) return;
  if (GetWindowThreadProcessId(m_bar, nullptr) == GetCurrentThreadId()) {
    SetTimer(m_bar, id, period, nullptr);
  } else if (m_relay != nullptr) {
    PostMessageW(m_relay, kRelaySetTimer, id, static_cast<LPARAM>(period));
  }
}

void CReminderPlayer::KillBarTimer(UINT_PTR id) {
  if (m_bar == nullptr) return;
  if (GetWindowThreadProcessId(m_bar, nullptr) == GetCurrentThreadId()) {
    KillTimer(m_bar, id);
  } else if (m_relay != nullptr) {
    PostMessageW(m_relay, kRelayKillTimer, id, 0);
  }
}

LRESULT CALLBACK CReminderPlayer::RelayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto bar = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == kRelaySetTimer && bar != nullptr) {
    SetTimer(bar, wParam, static_cast<UINT>(lParam), nullptr);
    return 0;
  }
  if (message == kRelayKillTimer && bar != nullptr) {
    KillTimer(bar, wParam);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CReminderPlayer::OnBarStart() {
  ToolHost* host = GetToolHost();
  if (host == nullptr || host->Options().NT == 0) return;
  SetPlatformReminderSound(FALSE);
  Rescan();
  ArmMinuteTimer(m_bar);
}

bool CReminderPlayer::OnBarTimer(UINT_PTR id) {
  if (id == kMinuteTimer) {
    CheckDue();
    ArmMinuteTimer(m_bar);
    return true;
  }
  if (id >= kRepeatTimerBase && id < kRepeatTimerBase + 1000) {
    ToolHost* host = GetToolHost();
    if (host == nullptr || host->Options().NT == 0) return true;
    const int slot = static_cast<int>(id - kRepeatTimerBase);
    int index = -1;
    EnterCriticalSection(&m_lock);
    for (int i = 0; i < m_count && index < 0; ++i) {
      if (m_records[i].slot == slot) index = i;
    }
    LeaveCriticalSection(&m_lock);
    if (index >= 0) RequestSound(index);
    return true;
  }
  if (id >= kStopTimerBase && id < kStopTimerBase + 1000) {
    StopSlot(static_cast<int>(id - kStopTimerBase));
    return true;
  }
  return false;
}

bool CReminderPlayer::NotificationExists(HANDLE notification) const {
  if (notification == nullptr) return false;
  const std::vector<HANDLE> handles = NotificationHandles();
  return std::find(handles.begin(), handles.end(), notification) != handles.end();
}

bool CReminderPlayer::WantsSound(HANDLE notification) const {
  const std::vector<BYTE> bytes = ReadNotification(notification);
  if (bytes.empty()) return false;
  const auto* header = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(bytes.data());
  return header->pceun != nullptr && (header->pceun->ActionFlags & PUN_SOUND) != 0;
}

void CReminderPlayer::PlayRequested() {
  ToolHost* host = GetToolHost();
  if (host == nullptr) {
    m_playRequest = false;
    return;
  }
  const ToolOptions options = host->Options();
  const DWORD start = GetTickCount();
  DWORD saved = 0;
  waveOutGetVolume(nullptr, &saved);
  if (saved == 0 && options.NM == 0) {
    m_playRequest = false;
    m_rescanRequest = false;
    m_playing = nullptr;
    return;
  }
  switch (options.NV) {
    case 1:
      waveOutSetVolume(nullptr, VolumeFromLevels(0x5050));
      break;
    case 2:
      waveOutSetVolume(nullptr, VolumeFromLevels(0xFFFF));
      break;
    case 3:
      waveOutSetVolume(nullptr, VolumeFromLevels(0x2020));
      break;
    default:
      break;
  }
  WCHAR sound[MAX_PATH];
  SoundName(sound);
  const DWORD before = GetTickCount();
  sndPlaySoundW(sound, SND_SYNC);
  const DWORD length = GetTickCount() - before;
  Sleep(500);
  int step = 0;
  int level = 255;
  if (options.NV == 3) {
    RampStart(options.NT1, length, &step, &level);
    waveOutSetVolume(nullptr, VolumeFromLevels(static_cast<DWORD>(level) * 257));
  }
  const ULONGLONG playMs = static_cast<ULONGLONG>(options.NT1) * 1000;
  while (!m_stopRequest && GetTickCount() - start < playMs && NotificationExists(m_playing)) {
    if (options.NV == 3) {
      level = std::min(level + step, 255);
      waveOutSetVolume(nullptr, VolumeFromLevels(static_cast<DWORD>(level) * 257));
    }
    sndPlaySoundW(sound, SND_SYNC);
    if (m_stopEvent != nullptr) {
      WaitForSingleObject(m_stopEvent, 500);
    } else {
      Sleep(500);
    }
  }
  waveOutSetVolume(nullptr, saved);
  m_playRequest = false;
  m_playing = nullptr;
}

int CReminderPlayer::Count() const {
  EnterCriticalSection(&m_lock);
  const int count = m_count;
  LeaveCriticalSection(&m_lock);
  return count;
}

ReminderRecord CReminderPlayer::Record(int index) const {
  EnterCriticalSection(&m_lock);
  const ReminderRecord record = index >= 0 && index < m_count ? m_records[index] : ReminderRecord{};
  LeaveCriticalSection(&m_lock);
  return record;
}

void CReminderPlayer::SoundName(LPWSTR out) const {
  EnterCriticalSection(&m_lock);
  lstrcpyW(out, m_sound);
  LeaveCriticalSection(&m_lock);
}

}  // namespace tessivo
