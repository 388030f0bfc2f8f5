// User notifications: the device's store of scheduled reminders and the
// programs they name. The store is one file in the device's runtime folder
// ("notifications.txt"), shared by every program of the device and rewritten
// whole (a temporary file renamed over it) under a lock. The platform keeps
// and answers the registrations; nothing is run, shown or sounded when their
// time comes. A store that cannot be read as a whole (a damaged or foreign
// file) is taken as empty, with a warning, and is replaced at the next change.
#pragma once

#include "ce/minwindef.h"

#pragma GCC visibility push(default)

// Trigger kinds.
inline constexpr DWORD CNT_EVENT = 1;        // a system event (dwEvent) runs the application
inline constexpr DWORD CNT_TIME = 2;         // the application runs at stStartTime
inline constexpr DWORD CNT_PERIOD = 3;       // the notification is shown from stStartTime to stEndTime
inline constexpr DWORD CNT_CLASSICTIME = 4;  // the user is notified at stStartTime

// Action flags of a user notification.
inline constexpr DWORD PUN_LED = 0x01;
inline constexpr DWORD PUN_VIBRATE = 0x02;
inline constexpr DWORD PUN_DIALOG = 0x04;
inline constexpr DWORD PUN_SOUND = 0x08;
inline constexpr DWORD PUN_REPEAT = 0x10;
inline constexpr DWORD PUN_PRIVATE = 0x20;

// Status in the information header.
inline constexpr DWORD CNS_SIGNALLED = 0x1;

struct CE_USER_NOTIFICATION {
  DWORD ActionFlags;
  TCHAR* pwszDialogTitle;
  TCHAR* pwszDialogText;
  TCHAR* pwszSound;
  DWORD nMaxSound;
  DWORD dwReserved;
};
using PCE_USER_NOTIFICATION = CE_USER_NOTIFICATION*;

// Times are local times of the device.
struct CE_NOTIFICATION_TRIGGER {
  DWORD dwSize;  // sizeof(CE_NOTIFICATION_TRIGGER)
  DWORD dwType;  // CNT_*
  DWORD dwEvent;
  TCHAR* lpszApplication;
  TCHAR* lpszArguments;
  SYSTEMTIME stStartTime;
  SYSTEMTIME stEndTime;
};
using PCE_NOTIFICATION_TRIGGER = CE_NOTIFICATION_TRIGGER*;

// What CeGetUserNotification writes at the start of the caller's buffer; the
// trigger, the user notification (pceun is null without one) and their texts
// follow it in the same buffer.
struct CE_NOTIFICATION_INFO_HEADER {
  HANDLE hNotification;
  DWORD dwStatus;
  CE_NOTIFICATION_TRIGGER* pcent;
  CE_USER_NOTIFICATION* pceun;
};
using PCE_NOTIFICATION_INFO_HEADER = CE_NOTIFICATION_INFO_HEADER*;

// Adds a notification (notification null) or replaces the one given, and
// answers its handle; null with ERROR_INVALID_PARAMETER for a trigger of the
// wrong size or kind, without an application, with a date that is not a
// date, or a timed kind without its user notification (CNT_PERIOD,
// CNT_CLASSICTIME); ERROR_INVALID_HANDLE for a handle not in the store.
// Texts are kept up to 1024 characters each.
HANDLE CeSetUserNotificationEx(HANDLE notification, CE_NOTIFICATION_TRIGGER* trigger,
                               CE_USER_NOTIFICATION* userNotification);
// Removes a notification from the store; FALSE with ERROR_INVALID_HANDLE when
// it is not there.
BOOL CeClearUserNotification(HANDLE notification);
// Writes the handles of the store, oldest first, and their count into
// *needed. With room for fewer than all (a count of 0 is the size query):
// FALSE with ERROR_INSUFFICIENT_BUFFER, *needed still set.
BOOL CeGetUserNotificationHandles(HANDLE* handles, DWORD count, LPDWORD needed);
// Writes the information header and what it points at into buffer, and the
// bytes that takes into *needed. A short buffer (0 is the size query):
// FALSE with ERROR_INSUFFICIENT_BUFFER; an unknown handle: ERROR_INVALID_HANDLE.
BOOL CeGetUserNotification(HANDLE notification, UINT bufferSize, LPDWORD needed, LPBYTE buffer);

#pragma GCC visibility pop
