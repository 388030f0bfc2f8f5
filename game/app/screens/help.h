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
  ksMain* app = nullptr;
};

// A help text longer than its label, shown a page at a time: Down or Right
// (or a tap on the text) turns to the next page, Up or Left back; a small
// "page of pages" label shows where the reader is while there is more than
// one page.
class HelpPager {
 public:
  void Attach(StaticText* text, StaticText* counter) {
    text_ = text;
    counter_ = counter;
  }
  // Cuts the text into the label's pages and shows the first.
  void SetText(const wchar_t* text);
  // Moves by one page; false when there is no page that way.
  bool Turn(int step);
  int Page() const { return page_; }
  int PageCount() const { return static_cast<int>(pages_.size()); }

 private:
  void Show();
  StaticText* text_ = nullptr;
  StaticText* counter_ = nullptr;
  std::vector<std::wstring> pages_;
  int page_ = 0;
};

// The career and quick play pages: a title and one text.
class HelpTextDlg : public Dlg {
 public:
  static constexpr int kText = 2;
  static constexpr int kBack = 3;
  static constexpr int kPageCounter = 7;
  bool Build(ssDisplay* display, ssInput* input);
  LRESULT WndProc(UINT message, WPARAM p1, LPARAM p2) override;
  ksMain* app = nullptr;
  HelpPager& Pager() { return pager_; }

 protected:
  HelpTextDlg(int id, std::uint32_t flags, const wchar_t* font, const wchar_t* title, RECT titleRect, int backLabel,
              const wchar_t* text);

 private:
  int id_;
  std::uint32_t flags_;
  const wchar_t* font_;
  const wchar_t* title_;
  RECT titleRect_;
  int backLabel_;
  const wchar_t* text_;
  StaticText* label_ = nullptr;
  HelpPager pager_;
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
  ksMain* app = nullptr;
  HelpPager& Pager() { return pager_; }

 private:
  void OnGameTypeChanged();
  ChoiceList* list_ = nullptr;
  StaticText* text_ = nullptr;
  HelpPager pager_;
};
