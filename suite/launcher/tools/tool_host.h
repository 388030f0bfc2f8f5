// What the launcher's tool dialogs need of the bar that owns them: the
// module whose resources hold their templates, menus, strings and sounds,
// the bar window, the settings they edit and how those are written, and
// the bar's look for their headers. The bar implements ToolHost once and
// hands it over with SetToolHost before any dialog opens.
#pragma once

#include "ce/windows.h"

namespace tessivo {

class CReminderPlayer;

// The tools' settings, kept in the bar's settings object under the value
// names of its registry key (the defaults are the bar's first-run values).
struct ToolOptions {
  // Sweepkit: clean "\Temp", the cookies, the temporary internet files;
  // clean every hour without asking.
  DWORD CT = 1;
  DWORD CC = 1;
  DWORD CTIF = 0;
  DWORD AC = 0;
  // Juggler's button and menu (Tuneup edits it), and two options beside it;
  // CWA lets Juggler list the "ActiveSync" window.
  DWORD CW = 1;
  DWORD CWS = 0;
  DWORD CWA = 0;
  // Chimer: enabled; play even when the device is muted; sound names (file
  // names in "\Windows" without ".wav") for calendar entries, tasks and
  // alarms; volume choice 0..3; play time in seconds; repeat interval and
  // stop after, in minutes.
  DWORD NT = 0;
  DWORD NM = 1;
  WCHAR NWC[MAX_PATH] = L"Alarm4";
  WCHAR NWT[MAX_PATH] = L"Alarm2";
  WCHAR NWL[MAX_PATH] = L"Alarm3";
  DWORD NV = 3;
  DWORD NT1 = 10;
  DWORD NT2 = 5;
  DWORD NT3 = 30;
};

// The bar's header picture and the font and colour its title is drawn in.
struct HeaderLook {
  HBITMAP bitmap = nullptr;
  HFONT font = nullptr;
  COLORREF titleColour = RGB(255, 255, 255);
};

class ToolHost {
 public:
  virtual ~ToolHost() = default;
  // The plug-in module: dialog templates, menu bars, strings, icons, sounds.
  virtual HINSTANCE Module() = 0;
  // The bar's hidden window (timers of the reminder player; the default
  // parent of a dialog).
  virtual HWND BarWindow() = 0;
  // The live settings the dialogs edit.
  virtual ToolOptions& Options() = 0;
  // Writes the tools' settings (the bar settings' option save).
  virtual void SaveOptions() = 0;
  // Writes every launcher setting (lines, icon items and the options).
  virtual void SaveAll() = 0;
  virtual HeaderLook Header() = 0;
  // The two scheme colours of the bar's gradient, left and right.
  virtual void GradientColours(COLORREF* left, COLORREF* right) = 0;
  // The bar's width in pixels (where Juggler taps the title bar's close).
  virtual int BarWidth() = 0;
  // The reminder player the bar window owns; null while there is none.
  virtual CReminderPlayer* ReminderPlayer() = 0;
};

// The one host of the module; null until the bar sets it.
void SetToolHost(ToolHost* host);
ToolHost* GetToolHost();

}  // namespace tessivo
