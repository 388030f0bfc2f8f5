// Juggler: lists the running programs' main windows, eight to a page, and
// switches to one or closes it. Windows of every program on the device are
// listed (the platform publishes each program's top-level windows).
#pragma once

#include "common/dialog_window.h"
#include "tool_logic.h"

namespace tessivo {

inline constexpr int kCmdCloseApp = 40037;
inline constexpr int kCmdSwitchTo = 40040;
inline constexpr int kJugglerMaxEntries = 64;
inline constexpr int kJugglerRowsPerPage = 8;

struct JugglerEntry {
  HWND window = nullptr;
  WCHAR title[128] = {};
  HICON icon = nullptr;
  bool firstOfTitle = false;
};

class CJugglerLogic : public CToolLogic {
 public:
  CJugglerLogic();
  ~CJugglerLogic() override;

  // Lists the top-level windows again (the old entries' icons destroyed);
  // of entries with equal titles only the first keeps its flag.
  void Collect();
  // Appends window when it is a program's main window that the list shows;
  // false once the list is full (which stops the enumeration).
  bool ConsiderWindow(HWND window);
  void SwitchTo(int entry);
  // Closes the entry's window, and every listed window with its title when
  // it is still listed.
  void CloseApp(int entry);

  int Count() const { return m_count; }
  const JugglerEntry& Entry(int i) const { return m_entries[i]; }
  int Selection() const { return m_selection; }
  int Page() const { return m_page; }
  // Rows on the current page: the entries left from it, and a ninth
  // ("More...") when more than eight are left.
  int RowsOnPage() const;
  int SelectedEntry() const { return m_selection + m_page * kJugglerRowsPerPage; }

  void OnPaint(HDC dc, HWND hwnd) override;

 protected:
  void ClearEntries();
  void CloseWindow(HWND window);
  void NextPage();

  JugglerEntry m_entries[kJugglerMaxEntries];
  int m_count = 0;
  HFONT m_font = nullptr;
  int m_selection = 0;
  int m_page = 0;
  bool m_swallowEnter = false;
};

class CJugglerDialog : public suite::CDialogWindow<CJugglerLogic, CJugglerDialog> {
 public:
  CJugglerDialog();
  UINT TemplateId() const { return 167; }
  // The Enter key that asked for the dialog must not switch programs: its
  // key-up is swallowed, also when the open dialog is only brought forward.
  INT_PTR Show(HWND parent);
  BOOL OnInitDialog(HWND hwnd) override;

 protected:
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
};

}  // namespace tessivo
