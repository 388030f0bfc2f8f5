// CObjMenuList: the setup program's main window, a numbered list of nine
// items over the home scheme's gradient. The first item opens the add/remove
// dialog; the others open the plug-ins' dialogs, which run in the home
// screen's program, by posting a message to the plug-in's hidden window.
#pragma once

#include <string>

#include "ce/aygshell.h"
#include "ce/windows.h"
#include "setup_ids.h"

namespace setup {

class CObjMenuList {
 public:
  // The rows' height and the text's indent at 96 DPI; the list scales them
  // (and its font) with the screen's density.
  static constexpr int kRowHeight = 18;
  static constexpr int kTextIndent = 4;
  static int RowHeight();

  static CObjMenuList* GetInstance();
  static void DeleteInstance();
  ~CObjMenuList();

  // Makes and shows the main window. FALSE when another copy runs (it is
  // brought to the front) or the window cannot be made.
  BOOL InitInstance(HINSTANCE module, int show);
  // Item 0 opens the add/remove dialog; the others post their message to
  // the plug-in's window, or say that the plug-in is missing.
  void RunItem(int index);

  HWND Window() const { return m_window; }
  int Selected() const { return m_selected; }
  const std::wstring& ItemText(int index) const { return m_items[index]; }

 private:
  CObjMenuList() = default;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate(HWND window);
  void InitList();
  void LoadColors();
  void FindPluginWindows();
  void ShowFirstUse();
  void Paint(HDC dc);
  void Done();
  void Select(int index);
  std::wstring LoadText(UINT id) const;

  HINSTANCE m_module = nullptr;
  HWND m_window = nullptr;
  HWND m_menuBar = nullptr;
  HWND m_launcherWindow = nullptr;
  HWND m_metersWindow = nullptr;
  HFONT m_font = nullptr;
  std::wstring m_items[kItemCount];
  int m_selected = 0;
  // Enter acts on its key-up only after its key-down came here too: the
  // Enter that closed a message box must not run an item.
  bool m_enterDown = false;
  COLORREF m_gradLeft = 0;
  COLORREF m_gradRight = 0;
  SHACTIVATEINFO m_activate{};
};

}  // namespace setup
