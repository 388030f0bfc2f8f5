// Sweepkit: empties the temporary folder, the browser's cookies and its
// temporary internet files, from its dialog or silently every hour. Only
// those folders are ever touched: a folder named by the registry is taken
// only when, compared by its canonical path (separators, "." and "..",
// letter case and links resolved by the device), it is one of those
// folders or lies below one, and holds or lies in none of the system's or
// the user's folders; else the fixed folder is cleaned.
#pragma once

#include "common/dialog_window.h"
#include "tool_logic.h"

namespace suite {
class IssUtility;
}

namespace tessivo {

// Controls and commands of the dialog.
inline constexpr int kIdCleanTemp = 1013;
inline constexpr int kIdCleanCookies = 1014;
inline constexpr int kIdCleanInternetFiles = 1015;
inline constexpr int kIdCleanCommand = 1016;
inline constexpr int kIdAutoClean = 1017;
inline constexpr int kCmdClean = 40033;

class CSweepkitLogic : public CToolLogic {
 public:
  // messageTitle: the caption of the result box (empty: none is shown).
  explicit CSweepkitLogic(LPCWSTR messageTitle = nullptr);

  // Strings 127 to 129, the result texts.
  void LoadTexts() override;
  void OnPaint(HDC dc, HWND hwnd) override;

  // Cleans the folders the settings choose. With a parent and a message
  // title, the result text shows in a message box. Returns the result of
  // the last folder's walk (0 when it ended well).
  DWORD Clean(HWND parent);
  // Deletes everything below folder (which stays), adding the number of
  // files deleted and their bytes. Stops at the first entry that cannot be
  // deleted and returns its error; 0 when the folder is emptied. Links are
  // neither entered nor deleted.
  DWORD DeleteTree(LPCWSTR folder, DWORD* count, ULONGLONG* bytes);
  // The result text for count files of `bytes` bytes.
  void ResultText(DWORD count, ULONGLONG bytes, LPWSTR text, int capacity) const;
  // The folders Clean empties now, as it chooses them (empty when a
  // setting is off or no safe folder exists).
  void ChooseFolders(LPWSTR temp, LPWSTR cookies, LPWSTR internetFiles) const;
  // Whether folder may be emptied: an existing folder that is one of the
  // cleanable folders or lies below one, on the device's own store, holding
  // none of the system's folders, in or over none of the user's or the
  // programs' folders, all compared by canonical path. Its canonical path
  // goes into `canonical` (MAX_PATH characters) when given.
  static bool CleanableFolder(LPCWSTR folder, LPWSTR canonical);
  static bool IsCleanableFolder(LPCWSTR folder);

  LPCWSTR LastResultText() const { return m_lastText; }

 protected:
  void SetMessageTitle(LPCWSTR title);

  suite::IssUtility* m_utility;
  WCHAR m_messageTitle[64] = {};
  WCHAR m_textNone[MAX_PATH] = {};
  WCHAR m_textOne[MAX_PATH] = {};
  WCHAR m_textMany[MAX_PATH] = {};
  WCHAR m_lastText[MAX_PATH] = {};
};

class CSweepkitDialog : public suite::CDialogWindow<CSweepkitLogic, CSweepkitDialog> {
 public:
  CSweepkitDialog();
  UINT TemplateId() const { return 501; }
  void StampOpenTime() override;
  BOOL OnInitDialog(HWND hwnd) override;
  // IDOK and the menu bar's "Cancel" (40028) keep the choices; IDCANCEL
  // puts the copy back.
  void OnOK(HWND hwnd, int id) override;

 protected:
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void Cancel(HWND hwnd) override;

 private:
  // The three folder check boxes into the settings, which are written.
  void StoreChoices(HWND hwnd);

  DWORD m_copy[4] = {};  // CT, CC, CTIF, AC at opening
};

// The bar's hourly clean: the chosen folders, without a message.
DWORD CleanSilently();

}  // namespace tessivo
