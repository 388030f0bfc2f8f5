// COptionsDialog: the meters' settings dialog: four pages (General,
// Customize, Speech and the title-bar meters) whose controls change the
// settings as they are used; "Done" writes them, the Back key and closing
// put the values the dialog opened with back.
#pragma once

#include "ce/windows.h"
#include "meter_dialog.h"
#include "meter_settings.h"
#include "obj_meter.h"

namespace pelmora {

// Menu 204's commands.
inline constexpr WORD kCmdDone = 40005;
inline constexpr WORD kCmdGeneral = 40020;
inline constexpr WORD kCmdCustomize = 40019;
inline constexpr WORD kCmdSpeech = 40021;
inline constexpr WORD kCmdTitleBar = 40022;

// The update intervals of the "Update (sec):" list.
inline constexpr int kUpdateSeconds[] = {1, 5, 10, 30, 60, 120, 300};

// "%d.%d MB" of a card size in kilobytes: whole megabytes and tenths.
void CardSizeText(std::uint32_t totalKb, wchar_t* out, int outChars);

class COptionsDialog : public suite::CDialogWindow<CMeterDialog, COptionsDialog> {
 public:
  static COptionsDialog& Get() { return *Instance(); }

  // Runs the dialog on `page` (0 General ... 3 title bar); when it is open
  // already, brings it to the front instead. Returns the end code (-1 when
  // it was open already or could not be made).
  INT_PTR Show(HWND parent, int page);
  UINT TemplateId() const { return kOptionsTemplate; }
  BOOL OnInitDialog(HWND hwnd) override;
  // Done and the shell's OK write the settings; IDCANCEL puts the opening
  // values back.
  void OnOK(HWND hwnd, int id) override;

  bool IsOpen() const { return Window() != nullptr; }
  HWND Page(int index) const { return index >= 0 && index < 4 ? m_pages[index] : nullptr; }
  int ShownPage() const { return m_shown; }
  // The cards the General page lists (slots of the remembered card table).
  int CardCount() const { return m_cardCount; }

 protected:
  // Page and Done commands; closing puts the opening values back.
  bool WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  // The Back key: the opening values back, nothing written.
  void Cancel(HWND hwnd) override;
  void OnDestroy(HWND hwnd) override;

 private:
  friend class suite::CDialogWindow<CMeterDialog, COptionsDialog>;
  COptionsDialog() = default;
  // The options title (string 10) and "No repeat" (string 19).
  void LoadStrings();
  static INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void ShowPage(int index);
  void FillPage(int index, HWND page);
  void FillCards(HWND page);
  void PaintCard(HWND page);
  void OnPageCommand(HWND page, int index, WORD id, WORD code);
  void Remember();
  void PutBack();
  void ApplyLayout();

  // What the dialog changes, as it was at the opening.
  struct Values {
    DWORD bs, ur, pim, d[kBankCount], disableNetMon, vbl, vbc, vml, vsl, vblv, vmlv, vfreq, bt, tbb, mtb, tbm;
    std::uint8_t pictures[kCardSlots];
  };

  wchar_t m_title[40] = {};
  wchar_t m_noRepeat[40] = {};
  HWND m_pages[4] = {};
  int m_card = 0;
  int m_firstPage = 0;
  int m_shown = 0;
  HWND m_netCheck = nullptr;
  int m_cardSlots[kCardSlots] = {};
  int m_cardCount = 0;
  Values m_saved{};
  MeterPicture m_cardPicture;
};

}  // namespace pelmora
