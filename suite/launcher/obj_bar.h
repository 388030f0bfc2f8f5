// CObjBar: the launcher bar itself. It owns the drawing resources (fonts,
// the header picture, the scroll arrows, the buffers), paints through the
// icon area, scrolls, moves the keyboard selection, starts what an icon
// stands for, runs the special items that open the suite's own tools,
// builds the default icon set from the program list, and handles the
// messages of the bar's hidden window.
#pragma once

#include <string>

#include "ce/windows.h"

namespace tessivo {

class CIconItem;

// Messages of the bar window.
inline constexpr UINT WM_InitExeLists = 1054;
inline constexpr UINT WM_LaunchTSOptions = 1424;
inline constexpr UINT WM_LaunchTSIcons = 1425;
inline constexpr UINT WM_LaunchSweepkit = 1426;
inline constexpr UINT WM_LaunchChimer = 1427;
inline constexpr UINT WM_LaunchJuggler = 1428;
// WM_USER with this wParam runs special item lParam (0..6).
inline constexpr WPARAM kRunSpecialItem = 291;
inline constexpr WORD kStartUpCommand = 1000;

// Timers of the bar window.
inline constexpr UINT_PTR kTimerIconRetry = 101;
inline constexpr UINT_PTR kTimerHourlyClean = 102;
inline constexpr UINT_PTR kTimerChimerMinute = 103;

// The 29 names the default icon set looks for, in slot order.
inline constexpr int kDefaultNameCount = 29;
extern const wchar_t* const kDefaultItemNames[kDefaultNameCount];

class CObjBar {
 public:
  CObjBar() = default;
  virtual ~CObjBar();
  CObjBar(const CObjBar&) = delete;
  CObjBar& operator=(const CObjBar&) = delete;

  // Resources, pictures and a cleared selection; run once the bar window
  // exists.
  BOOL Start(HWND window);
  int CreateResources();
  void FreeResources();
  void LoadImages(HWND window);
  void CreateBackBuffer(HDC dc);
  // The scroll arrows, the program list's folders, the settings (or, on a
  // first run, the default layout and icon set) and the hourly timer.
  void LoadBar(HWND window);
  void RebuildProgramList();

  int GetHeight() const;
  BOOL GetSelectability() const { return 1; }
  BOOL Paint(HDC dc, int left, int top, int right, int bottom, BOOL selected, HWND window);
  void CreateScrollBuffer(HDC dc);
  void Scroll(BOOL forward);

  BOOL OnKeyLeft();
  BOOL OnKeyRight();
  BOOL OnKeyUp();
  BOOL OnKeyDown();
  BOOL OnAction();
  // The pen at (x, y) of the host's screen: the icon, arrow or date under
  // it takes the selection; a tap then acts on it, press and hold on an
  // icon opens its details.
  BOOL OnPen(int x, int y, BOOL hold);
  BOOL OnSysColorChange();
  BOOL OnTimer() { return 1; }

  // A y in the shown grid moved into the full, unscrolled grid.
  int HeightChange(int y) const;
  // Starts what the icon at (x, y) stands for.
  void AppLaunch(int x, int y);
  BOOL RunSpecialItem(LPCWSTR text);
  void OpenDiaristPage(const CIconItem& item);
  void BuildDefaultItems(HWND window);
  int PickItem(int slot);
  // The first program-list entry that no slot before `slot` holds (other
  // than `skip`); when all are used, the match cursor, which then moves on.
  int NextUnusedEntry(int slot, int skip = -1);

  // The bar window's messages (start-up, timers, the tools' messages).
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND Window() const { return m_window; }
  const std::wstring& SweepkitItem() const { return m_sweepkitItem; }
  const std::wstring& TuneupItem() const { return m_tuneupItem; }
  const std::wstring& ChimerItem() const { return m_chimerItem; }
  const std::wstring& JugglerItem() const { return m_jugglerItem; }
  const std::wstring& PowerOffItem() const { return m_powerOffItem; }
  const std::wstring& SoftResetItem() const { return m_softResetItem; }
  DWORD LastScrollTick() const { return m_lastScrollTick; }
  BOOL RetryFlag() const { return m_retryIcons; }

 private:
  void OnStartUp(HWND window);
  void OnTimerMessage(HWND window, UINT_PTR id);
  HWND DialogParent(HWND window, WPARAM wParam) const;
  void LoadScrollBitmaps();

  std::wstring m_sweepkitItem;
  std::wstring m_tuneupItem;
  std::wstring m_chimerItem;
  std::wstring m_jugglerItem;
  std::wstring m_powerOffItem;
  std::wstring m_softResetItem;
  HBRUSH m_background = nullptr;
  HKEY m_systemFontKey = nullptr;
  int m_matchCursor = 0;
  DWORD m_lastScrollTick = 0;
  HBITMAP m_scrollBitmap = nullptr;
  HDC m_scrollDc = nullptr;
  HGDIOBJ m_scrollPrevious = nullptr;
  HBITMAP m_backBitmap = nullptr;
  HDC m_backDc = nullptr;
  HGDIOBJ m_backPrevious = nullptr;
  BOOL m_selected = 1;
  HWND m_window = nullptr;
  BOOL m_retryIcons = 1;
};

CObjBar& Bar();

}  // namespace tessivo
