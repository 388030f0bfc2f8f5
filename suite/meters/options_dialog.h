// COptionsDialog: the meters' settings dialog: four pages (General,
// Customize, Speech and the title-bar meters) whose controls change the
// settings as they are used; "Done" writes them, the Back key and closing
// put the values the dialog opened with back.
#pragma once

#include "ce/windows.h"
#include "dialog_bases.h"
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

class COptionsDialog : public COptionsDialogBase {
 public:
  static COptionsDialog& Get();

  // Runs the dialog on `page` (0 General ... 3 title bar); when it is open
  // already, brings it to the front instead. Returns the end code (-1 when
  // it was open already or could not be made).
  INT_PTR Show(HWND parent, int page);
  void OnInitDialog(HWND hwnd) override;

  bool IsOpen() const { return m_dialog != nullptr; }
  HWND Page(int index) const { return index >= 0 && index < 4 ? m_pages[index] : nullptr; }
  int ShownPage() const { return m_shown; }
  // The cards the General page lists (slots of the remembered card table).
  int CardCount() const { return m_cardCount; }

 private:
  COptionsDialog() = default;
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
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

  HWND m_pages[4] = {};
  int m_card = 0;
  int m_firstPage = 0;
  int m_shown = 0;
  HWND m_dialog = nullptr;
  HWND m_netCheck = nullptr;
  int m_cardSlots[kCardSlots] = {};
  int m_cardCount = 0;
  Values m_saved{};
  MeterPicture m_cardPicture;
};

}  // namespace pelmora
