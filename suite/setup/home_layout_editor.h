// CHomeLayoutEditor: writes a new home layout from the current one with the
// suite's plug-ins added or removed, points the home screen's "Scheme"
// setting at it, asks the home screen to reload, and waits in a progress
// dialog until the home screen has reloaded (it tells every window with
// WM_SYSCOLORCHANGE) or 30 seconds have passed.
//
// The new layout goes to the layout file the home screen does not use now
// ("QV.home.xml" and "QV1.home.xml" take turns), written beside it and
// renamed into place, and "Scheme" changes only once it is there: a layout
// that cannot be read or written leaves the home screen on its current one
// and is reported as a failure.
#pragma once

#include <string>

#include "ce/windows.h"
#include "common/xml_document.h"

namespace setup {

// Plug-in CLSIDs in the spelling the layouts are written with.
inline constexpr wchar_t kLauncherClsid[] = L"{9053E85C-7F84-4dbe-A3B7-C20FFE6BA90D}";
inline constexpr wchar_t kMetersClsid[] = L"{F3BE7FFF-7812-4002-B584-3C0950C6BEA3}";
// A plug-in of the home screen that stays in first place.
inline constexpr wchar_t kKeptFirstClsid[] = L"{837FC251-FE69-43ad-84E0-EBCEDEBA0884}";
// A plug-in of the home screen moved to the end when plug-ins are added.
inline constexpr wchar_t kMovedLastClsid[] = L"{79EFB752-CB70-446d-B317-499723482B3D}";

// What the add/remove dialog asks for.
enum Choice : int { kChoiceLauncher = 0, kChoiceMeters = 1, kChoiceBoth = 2 };

// Whether two CLSID texts name the same class: GUID texts are compared
// without regard to letter case.
bool SameClsid(const wchar_t* a, const wchar_t* b);

class CHomeLayoutEditor {
 public:
  static constexpr UINT kTimeoutTimer = 1001;
  static constexpr UINT kDotsTimer = 1002;
  static constexpr UINT kTimeoutMs = 30000;
  static constexpr UINT kDotsMs = 500;
  static constexpr UINT kMsgApply = WM_USER + 100;  // 1124
  static constexpr int kMaxDots = 4;
  // The longest "Scheme" value read, in characters.
  static constexpr int kSchemeChars = 256;

  static CHomeLayoutEditor* GetInstance();
  static void DeleteInstance();

  // Runs the progress dialog over `parent` with the module's resources.
  // TRUE when the home screen took the new layout, FALSE after a failure
  // or the time-out (each shown to the user).
  BOOL Run(HWND parent, HINSTANCE module, int choice, BOOL remove);

  // What ApplyLayout does; Run sets it from its arguments.
  void SetRequest(int choice, BOOL remove);
  // Reads the current layout, writes the new one, switches "Scheme" and
  // asks the home screen to reload. TRUE on success.
  BOOL ApplyLayout();
  // The device path of the layout the last ApplyLayout wrote.
  const std::wstring& NewFile() const { return m_newFile; }

 private:
  CHomeLayoutEditor() = default;

  static INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnProgressMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void InitProgress(HWND dialog);
  void ShowDots(HWND dialog);
  void Finish(HWND dialog, BOOL success);

  BOOL ReadCurrentLayout(LPCWSTR path);
  BOOL BuildNewLayout(LPCWSTR path);
  BOOL AppendTextElement(LPCWSTR name, LPCWSTR attribute, LPCWSTR value, LPCWSTR text);
  BOOL AppendPlugin(LPCWSTR clsid);
  BOOL CopyFromCurrent(LPCWSTR query);
  // The current node of the reader as a copy under the new "home".
  BOOL CopyReaderNode();

  suite::CXmlReader m_reader;
  suite::CXmlDocument m_document;
  HINSTANCE m_module = nullptr;
  HWND m_menuBar = nullptr;
  int m_choice = kChoiceBoth;
  BOOL m_remove = FALSE;
  BOOL m_launcherPresent = FALSE;
  BOOL m_metersPresent = FALSE;
  BOOL m_firstPluginKept = FALSE;
  std::wstring m_newFile;
  int m_dots = 0;
  BOOL m_finished = FALSE;
};

}  // namespace setup
