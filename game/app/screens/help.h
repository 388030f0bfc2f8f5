// The help pages: HelpMainDlg offers Controls (the key assignment screen),
// Game Rules (a rule text per game type), Quick Play and Career Play (one
// page of text each). Every page's Back returns to the page below.
#pragma once

#include <string>
#include <vector>

#include "ui/dlg.h"

class ksMain;
class ssInput;
class ChoiceList;
class StaticText;

class HelpMainDlg final : public Dlg {
 public:
  enum Id { kControls = 2, kGameRules = 3, kQuickPlay = 4, kCareerPlay = 5, kBack = 6 };
  static constexpr int kScreenId = 1012;
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* m_App = nullptr;
};

// A help text longer than its label, shown a page at a time: Down or Right
// (or a tap on the text) turns to the next page, Up or Left back; a small
// "page of pages" label shows where the reader is while there is more than
// one page.
class HelpPager {
 public:
  void Attach(StaticText* text, StaticText* counter) {
    m_Text = text;
    m_Counter = counter;
  }
  // Cuts the text into the label's pages and shows the first.
  void SetText(const wchar_t* text);
  // Moves by one page; false when there is no page that way.
  bool Turn(int step);
  int Page() const { return m_Page; }
  int PageCount() const { return static_cast<int>(m_Pages.size()); }

 private:
  void Show();
  StaticText* m_Text = nullptr;
  StaticText* m_Counter = nullptr;
  std::vector<std::wstring> m_Pages;
  int m_Page = 0;
};

// The career and quick play pages: a title and one text.
class HelpTextDlg : public Dlg {
 public:
  static constexpr int kText = 2;
  static constexpr int kBack = 3;
  static constexpr int kPageCounter = 7;
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* m_App = nullptr;
  HelpPager& Pager() { return m_Pager; }

 protected:
  HelpTextDlg(int id, std::uint32_t flags, const wchar_t* font, const wchar_t* title, RECT titleRect, int backLabel,
              const wchar_t* text);

 private:
  int m_ScreenId;
  std::uint32_t m_ScreenFlags;
  const wchar_t* m_FontName;
  const wchar_t* m_Title;
  RECT m_TitleRect;
  int m_BackLabel;
  const wchar_t* m_Text;
  StaticText* m_Label = nullptr;
  HelpPager m_Pager;
};

class HelpCareerDlg final : public HelpTextDlg {
 public:
  static constexpr int kScreenId = 1015;
  HelpCareerDlg();
};

class HelpQuickPlayDlg final : public HelpTextDlg {
 public:
  static constexpr int kScreenId = 4;
  HelpQuickPlayDlg();
};

class HelpRulesDlg final : public Dlg {
 public:
  static constexpr int kScreenId = 1013;
  enum Id { kGameType = 2, kBack = 3, kText = 4, kPageCounter = 7 };
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* m_App = nullptr;
  HelpPager& Pager() { return m_Pager; }

 private:
  void OnGameTypeChanged();
  ChoiceList* m_List = nullptr;
  StaticText* m_Text = nullptr;
  HelpPager m_Pager;
};
