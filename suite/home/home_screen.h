// The home screen's content: a title bar with the time across the top, then
// the layout's plug-ins stacked in order, each at the height it asks for,
// over the scheme's background. It draws into a back buffer of its own and
// copies that to the window; it moves the selection between the plug-ins
// that take it and passes them keys, actions, paints, colour changes and
// timer ticks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ce/homeplugin.h"
#include "ce/windef.h"
#include "common/com_ptr.h"
#include "home_colors.h"
#include "home_layout.h"
#include "hosted_plugin.h"
#include "host_environment.h"

namespace home {

class HomeScreen {
 public:
  // `window` receives the plug-ins' redraw requests and is invalidated when
  // something changes; it may be null (benchmarks). `dpi` scales the title
  // bar and the plain blocks.
  HomeScreen(HWND window, int width, int height, int dpi);
  ~HomeScreen();
  HomeScreen(const HomeScreen&) = delete;
  HomeScreen& operator=(const HomeScreen&) = delete;

  // Puts the layout in force in the scheme's colours: the plug-ins shown so
  // far are saved and released, the new ones created in order.
  void Load(const HomeLayout& layout, const HomeScheme& scheme);
  void Unload();
  // New colours and background.
  void ChangeColors(const HomeScheme& scheme);
  // A colour change: new colours, then PE_SYSCOLORCHANGE to every plug-in.
  void OnSysColorChange(const HomeScheme& scheme);

  // Draws the parts of the screen that meet `area` into the back buffer and
  // copies them to `target` (the window's DC, or any DC of the screen's size).
  void Paint(HDC target, const RECT& area);

  void OnKey(WORD key);
  // The pen on the screen: a tap, or with `hold` press and hold. The
  // plug-in under the pen is selected and told the point, so it acts on
  // what lies there.
  void OnPen(POINT point, bool hold);
  void OnTimer();
  void OnInvalidate(HPLUGIN plugin, DWORD what);

  // What is shown, for tests: each item's area and what it is.
  struct Item {
    std::wstring clsidText;
    RECT rect;
    HostedPlugin::State state;
    bool selectable;
  };
  std::vector<Item> Items() const;
  // The selected item's index in Items(), or -1.
  int Selected() const;
  RECT TitleRect() const;
  const ColorTable& GetColors() const { return m_colors; }
  // True while a call into a plug-in is under way (a plug-in's own modal
  // loop may bring messages back here); the layout must not change then.
  bool Busy() const { return m_depth != 0; }
  HostEnvironment* GetEnvironment() const { return m_environment.Get(); }

 private:
  void Layout();
  void Invalidate(const RECT* rect);
  void PaintTitle(HDC dc);
  void PaintItem(std::size_t index);
  // Drops the plug-ins that failed, keeping the selection where it can.
  void SweepFailed();
  void Select(int index);
  void SendToAll(DWORD kind);

  HWND m_window;
  int m_width;
  int m_height;
  int m_dpi;
  suite::ComPtr<HostEnvironment> m_environment;
  HPLUGIN m_nextHandle = 1;
  std::vector<std::unique_ptr<HostedPlugin>> m_plugins;
  std::vector<RECT> m_rects;
  int m_selected = -1;
  ColorTable m_colors;
  std::wstring m_background;
  HBITMAP m_backgroundPicture = nullptr;
  int m_lastMinute = -1;
  int m_depth = 0;

  HDC m_buffer = nullptr;
  HBITMAP m_bufferBitmap = nullptr;
  HGDIOBJ m_bufferOld = nullptr;
  HFONT m_titleFont = nullptr;
};

}  // namespace home
