#include <gtest/gtest.h>

#include "form_fixture.h"
#include "skinner/canvas.h"
#include "skinner/control_button.h"
#include "skinner/control_edit.h"
#include "skinner/control_frame.h"
#include "skinner/control_grid.h"
#include "skinner/control_progress.h"
#include "skinner/control_scroll_bar.h"

namespace {

using skinner::ControlButton;
using skinner::KeyCode;
using skinner::Point;
using skinner::PointerKind;
using skinner::Rect;
using skintest::RecordingForm;

// A grid of numbered rows in one or more columns.
class NumberGrid : public skinner::ControlGrid, public skinner::GridSelectionStrategySingleRow {
 public:
  NumberGrid(skinner::Container& container, const std::wstring& name) : ControlGrid(container, name) {}
  int get_row_count() override { return rows; }
  int get_column_count() override { return static_cast<int>(widths.size()); }
  int get_column_width(int column) override { return widths[static_cast<std::size_t>(column)]; }
  void draw_cell(int, int row, skinner::Canvas&, Point, Point, bool, bool) override { drawn.push_back(row); }

  int rows = 0;
  std::vector<int> widths{-1};
  std::vector<int> drawn;
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    skintest::UseDevice({});
    ce::testing::UseVirtualClock(1000, 0);
    handle.reset(skintest::CompileSkin(skintest::kSkin, {240, 320}));
    form = std::make_unique<RecordingForm>(nullptr, &handle, L"Main");
  }
  void TearDown() override {
    edit.reset();
    grid.reset();
    bar.reset();
    sbar.reset();
    check.reset();
    form.reset();
    ce::testing::UseRealClock();
  }
  void Load() {
    form->load_properties();
    form->set_active(true);
    skintest::Pump(*form);
    form->events.clear();
  }
  void Advance(std::uint64_t ms) {
    for (std::uint64_t t = 0; t < ms; t += 10) {
      ce::testing::AdvanceClock(10);
      skintest::Pump(*form);
    }
  }
  ControlButton& ok() { return *static_cast<ControlButton*>(form->find_control(L"btnOk")); }

  skinner::Properties handle;
  std::unique_ptr<RecordingForm> form;
  std::unique_ptr<skinner::ControlEdit> edit;
  std::unique_ptr<NumberGrid> grid;
  std::unique_ptr<skinner::ControlProgress> bar;
  std::unique_ptr<skinner::ControlScrollBar> sbar;
  std::unique_ptr<skinner::ControlCheckBox> check;
};

TEST_F(Controls, AButtonClicksOnlyWhenItsLastPressEndsOnIt) {
  Load();
  ControlButton& b = ok();
  const Point inside{20, 20}, outside{200, 300};
  // Down on it, up outside: no click.
  b.on_pointer_down(PointerKind::Tap, inside, false);
  b.on_pointer_up(PointerKind::Tap, outside, false);
  EXPECT_FALSE(b.is_pressed());
  // The action key still down holds the press past the pointer's release.
  b.on_key_down(KeyCode::Enter);
  b.on_pointer_down(PointerKind::Tap, inside, false);
  b.on_pointer_up(PointerKind::Tap, inside, false);
  EXPECT_TRUE(form->events.empty());
  b.on_key_up(KeyCode::Enter);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:btnOk"}));
  // A key press that loses the focus ends without a click.
  form->events.clear();
  b.on_key_down(KeyCode::Enter);
  b.on_focus_lost();
  EXPECT_FALSE(b.is_pressed());
  // Disabled: the look is 3 and the pointer does not click, a held press does.
  b.set_enabled(false);
  EXPECT_EQ(b.current_look(), 3);
  b.on_pointer_down(PointerKind::Tap, inside, false);
  b.on_pointer_up(PointerKind::Tap, inside, false);
  EXPECT_TRUE(form->events.empty());
  b.set_pressed(true);
  b.set_pressed(false);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:btnOk"}));
  // Keyword tables: an unknown word keeps the value.
  EXPECT_EQ(skinner::action_from_keyword(L"BUTTON_OK", 3), 14);
  EXPECT_EQ(skinner::action_from_keyword(L"button_ok", 3), 3);
  EXPECT_EQ(skinner::h_alignment_from_keyword(L"MIDDLE", 1), 1);
  EXPECT_EQ(skinner::v_alignment_from_keyword(L"BOTTOM", 1), 2);
}

TEST_F(Controls, ACheckBoxFlipsBeforeItsClickIsReported) {
  check = std::make_unique<skinner::ControlCheckBox>(*form, L"chk");
  Load();
  bool checked_when_reported = false;
  form->on_command_hook = nullptr;
  EXPECT_FALSE(check->is_checked());
  check->click_at_centre();
  checked_when_reported = check->is_checked();
  EXPECT_TRUE(checked_when_reported);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:chk"}));
  check->click_at_centre();
  EXPECT_FALSE(check->is_checked());
}

TEST_F(Controls, EditKeysMoveTheCaretByWordsAndKeepWhatIsNotSelected) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  edit->set_focus();
  edit->set_text(L"one  two");
  form->events.clear();
  // Backspace with a selection made leftwards removes only the selection.
  edit->set_selection(7, 5);
  edit->on_key_down(KeyCode::Backspace);
  EXPECT_EQ(edit->get_text(), L"one  o");
  EXPECT_EQ(edit->get_caret(), 5u);
  // Without a selection it removes the character before the caret.
  edit->on_key_down(KeyCode::Backspace);
  EXPECT_EQ(edit->get_text(), L"one o");
  // Shift+Left at 0 changes nothing; Home and End move both ends.
  edit->set_selection(0, 0);
  edit->on_key_down(KeyCode::Left);
  EXPECT_EQ(edit->get_caret(), 0u);
  edit->on_key_down(KeyCode::End);
  EXPECT_EQ(edit->get_caret(), 5u);
  EXPECT_EQ(edit->get_anchor(), 5u);
  // Delete at the end does nothing; before a character it removes it.
  edit->on_key_down(KeyCode::Delete);
  EXPECT_EQ(edit->get_text(), L"one o");
  edit->set_selection(3, 3);
  edit->on_key_down(KeyCode::Delete);
  EXPECT_EQ(edit->get_text(), L"oneo");
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"text:edit", L"text:edit", L"text:edit"}));
  // A selection beyond the text is brought back inside it.
  edit->set_selection(40, 90);
  EXPECT_EQ(edit->get_anchor(), 4u);
  EXPECT_EQ(edit->get_caret(), 4u);
  edit->on_key_down(KeyCode::Backspace);
  EXPECT_EQ(edit->get_text(), L"one");
}

TEST_F(Controls, EditTextInputClipboardAndWordSelection) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  edit->set_focus();
  edit->set_text(L"alpha  beta");
  // A double tap in a word selects it with the blanks after it.
  const Rect r = edit->get_rect();
  skinner::Canvas canvas;
  edit->draw(canvas, r);  // no canvas: only the widths are measured
  edit->on_pointer_down(PointerKind::Tap, Point{r.x + 4, r.y + 5}, true);
  edit->on_pointer_up(PointerKind::Tap, Point{r.x + 4, r.y + 5}, true);
  EXPECT_EQ(edit->get_anchor(), 0u);
  EXPECT_EQ(edit->get_caret(), 7u);
  // Copy, then paste over a selection; pasted control characters are dropped.
  edit->copy();
  edit->set_selection(11, 11);
  edit->paste();
  EXPECT_EQ(edit->get_text(), L"alpha  betaalpha  ");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const wchar_t pasted[] = L"a\tb\r\nc";
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE, sizeof(pasted));
  std::copy(std::begin(pasted), std::end(pasted), static_cast<wchar_t*>(LocalLock(block)));
  LocalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  edit->set_text(L"");
  edit->paste();
  EXPECT_EQ(edit->get_text(), L"abc");
  // Typed text replaces the selection; an empty text clears everything.
  edit->set_selection(0, 1);
  edit->on_text(L'X');
  EXPECT_EQ(edit->get_text(), L"Xbc");
  form->events.clear();
  edit->insert_text(L"");
  EXPECT_EQ(edit->get_text(), L"");
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"text:edit"}));
}

// Keys with Ctrl or Shift held, posted to the form window as a person types
// them, so the modifier state comes from the window's key messages.
void Chord(skinner::Form& form, UINT modifier, UINT vk) {
  PostMessageW(form.get_window(), WM_KEYDOWN, modifier, 0);
  PostMessageW(form.get_window(), WM_KEYDOWN, vk, 0);
  PostMessageW(form.get_window(), WM_KEYUP, vk, 0);
  PostMessageW(form.get_window(), WM_KEYUP, modifier, 0);
  skintest::Pump(form);
}

TEST_F(Controls, EditCtrlAndShiftShortcutsCopyCutPasteAndMoveByWords) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  edit->set_focus();
  edit->set_text(L"one two");
  edit->set_selection(0, 3);
  Chord(*form, VK_CONTROL, 'C');  // copies "one"
  edit->set_selection(7, 7);
  Chord(*form, VK_CONTROL, 'V');
  EXPECT_EQ(edit->get_text(), L"one twoone");
  edit->set_selection(3, 7);
  Chord(*form, VK_CONTROL, 'X');  // cuts " two"
  EXPECT_EQ(edit->get_text(), L"oneone");
  Chord(*form, VK_SHIFT, VK_INSERT);
  EXPECT_EQ(edit->get_text(), L"one twoone");
  edit->set_selection(0, 3);
  Chord(*form, VK_CONTROL, VK_INSERT);  // copies "one"
  Chord(*form, VK_SHIFT, VK_DELETE);    // and Shift+Delete cuts it
  EXPECT_EQ(edit->get_text(), L" twoone");
  // Ctrl+Left and Ctrl+Right jump over words; Ctrl with another letter is not the edit's.
  edit->set_text(L"one  two three");
  edit->set_selection(7, 7);
  Chord(*form, VK_CONTROL, VK_LEFT);
  EXPECT_EQ(edit->get_caret(), 5u);
  Chord(*form, VK_CONTROL, VK_RIGHT);
  EXPECT_EQ(edit->get_caret(), 9u);
  EXPECT_EQ(edit->get_anchor(), 9u);
  form->events.clear();
  Chord(*form, VK_CONTROL, 'B');
  EXPECT_EQ(edit->get_text(), L"one  two three");
  EXPECT_TRUE(form->events.empty());
}

TEST_F(Controls, TheCaretBlinksOnTheVirtualClockWhileFocused) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  edit->set_focus();
  EXPECT_TRUE(edit->caret_visible());
  Advance(260);
  EXPECT_FALSE(edit->caret_visible());
  Advance(250);
  EXPECT_TRUE(edit->caret_visible());
  ok().set_focus();
  EXPECT_FALSE(edit->caret_visible());
}

TEST_F(Controls, GridColumnsShareTheFreeWidthTheLastTakingWhatIsLeft) {
  grid = std::make_unique<NumberGrid>(*form, L"grid");
  grid->widths = {-1, 30, -1};
  grid->rows = 2;
  Load();
  grid->set_rect({0, 100}, {161, 100});  // no bars needed: 131 free pixels
  EXPECT_EQ(grid->get_column_positions(), (std::vector<int>{0, 65, 95, 161}));
  grid->widths = {300, -1};  // fixed columns wider than the grid
  grid->relayout();
  EXPECT_EQ(grid->get_column_positions()[2] - grid->get_column_positions()[1], 0);
}

TEST_F(Controls, GridKeysMoveTheSelectionAndScrollItIntoView) {
  grid = std::make_unique<NumberGrid>(*form, L"grid");
  grid->rows = 1000;
  Load();
  grid->set_focus();
  EXPECT_EQ(grid->get_vertical().get_page(), 5);  // 100 pixels of 20-pixel rows
  // With no selection both Up and Down select the first row.
  EXPECT_TRUE(grid->on_key_down(KeyCode::Up));
  EXPECT_EQ(grid->get_selection(), 0);
  EXPECT_FALSE(grid->on_key_down(KeyCode::Up));                      // row 0: not handled
  for (int i = 0; i < 7; ++i) grid->on_key_down(KeyCode::PageDown);  // one row each
  EXPECT_EQ(grid->get_selection(), 7);
  EXPECT_EQ(grid->get_first_row(), 3);  // the last visible row
  grid->on_key_down(KeyCode::End);
  EXPECT_EQ(grid->get_selection(), 999);
  EXPECT_EQ(grid->get_first_row(), 995);
  EXPECT_FALSE(grid->on_key_down(KeyCode::Down));
  grid->on_key_down(KeyCode::Home);
  EXPECT_EQ(grid->get_first_row(), 0);
  EXPECT_EQ(form->events.back(), L"choice:grid");
  // Rows removed around the selection.
  grid->set_selection(10);
  grid->rows_removed(2, 3);
  EXPECT_EQ(grid->get_selection(), 7);
  grid->rows_removed(5, 5);
  EXPECT_EQ(grid->get_selection(), -1);
  // Only the visible rows are drawn.
  grid->drawn.clear();
  skinner::Canvas canvas;
  grid->get_painter().draw(canvas, grid->get_rect());
  EXPECT_EQ(grid->drawn.size(), 5u);
}

TEST_F(Controls, GridTapsClickRowsHoldsOpenTheirMenuAndZeroHeightHitsNothing) {
  grid = std::make_unique<NumberGrid>(*form, L"grid");
  grid->rows = 3;
  grid->set_gestures(true);
  Load();
  const Rect p = grid->get_painter().get_rect();
  skintest::Tap(*form, p.x + 5, p.y + 25);
  EXPECT_EQ(grid->get_selection(), 1);
  EXPECT_EQ(form->events.back(), L"item:grid:1");
  // Press and hold: the row is selected while the pen is down; its menu
  // comes when the pen lifts (a menu already open would take the lift for
  // a choice), at the hold's point, with no tap.
  PostMessageW(form->get_window(), WM_LBUTTONDOWN, MK_LBUTTON, skintest::PointParam(p.x + 5, p.y + 45));
  skintest::Pump(*form);
  EXPECT_EQ(grid->get_selection(), 2);
  EXPECT_EQ(form->events.back(), L"choice:grid");
  form->events.clear();
  PostMessageW(form->get_window(), WM_MOUSEMOVE, MK_LBUTTON, skintest::PointParam(p.x + 5, p.y + 65));
  PostMessageW(form->get_window(), WM_LBUTTONUP, 0, skintest::PointParam(p.x + 5, p.y + 65));
  skintest::Pump(*form);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"itemmenu:grid:2"}));
  EXPECT_EQ(GetCapture(), nullptr);
  // Below the last row: no row is selected.
  skintest::Tap(*form, p.x + 5, p.y + 90);
  EXPECT_EQ(grid->get_selection(), 2);
  EXPECT_EQ(form->events.back(), L"item:grid:3");  // the row count: no row
}

TEST_F(Controls, GridInPlaceEditsEndByEnterEscapeOrAPressElsewhere) {
  grid = std::make_unique<NumberGrid>(*form, L"grid");
  grid->rows = 20;
  Load();
  auto field = std::make_unique<skinner::ControlEdit>(grid->get_inner(), L"edit");
  field->load_properties();
  grid->set_focus();
  grid->start_inplace_edit(field.get(), 0, 12);
  grid->relayout();
  // The edited row comes into view and the field stands on its cell.
  EXPECT_EQ(grid->get_first_row(), 12 - grid->get_vertical().get_page() + 1);
  EXPECT_EQ(field->get_position(), grid->get_cell_position(0, 12));
  EXPECT_TRUE(field->get_visible_flag());
  // Keys other than Enter and Esc reach the field.
  field->set_selection(0, 0);
  EXPECT_TRUE(grid->on_text(L'Z'));
  EXPECT_EQ(field->get_text(), L"Zhello world");
  EXPECT_TRUE(grid->on_key_down(KeyCode::Enter));
  EXPECT_EQ(grid->get_inplace_control(), nullptr);
  EXPECT_FALSE(field->get_visible_flag());
  grid->start_inplace_edit(field.get(), 0, 1);
  EXPECT_TRUE(grid->on_key_down(KeyCode::Esc));
  EXPECT_EQ(grid->get_inplace_control(), nullptr);
  // A press outside the field ends the edit as accepted.
  grid->start_inplace_edit(field.get(), 0, 1);
  grid->relayout();
  const Rect p = grid->get_painter().get_rect();
  grid->on_pointer_down(PointerKind::Tap, Point{p.x + 5, p.y + p.height - 2}, false);
  EXPECT_EQ(grid->get_inplace_control(), nullptr);
  std::vector<std::wstring> ends;
  for (const auto& e : form->events)
    if (e.rfind(L"editdone:", 0) == 0) ends.push_back(e);
  EXPECT_EQ(ends, (std::vector<std::wstring>{L"editdone:grid:12:1", L"editdone:grid:1:0", L"editdone:grid:1:1"}));
  field.reset();
}

TEST_F(Controls, GridRowsWithoutHeightAreNeitherHitNorDrawn) {
  grid = std::make_unique<NumberGrid>(*form, L"flat");
  grid->rows = 5;
  Load();
  const Rect p = grid->get_painter().get_rect();
  skintest::Tap(*form, p.x + 5, p.y + 5);
  EXPECT_EQ(grid->get_selection(), -1);
  skinner::Canvas canvas;
  grid->get_painter().draw(canvas, grid->get_rect());
  EXPECT_TRUE(grid->drawn.empty());
  EXPECT_TRUE(grid->on_key_down(KeyCode::Down));  // keys still select
  EXPECT_EQ(grid->get_selection(), 0);
}

TEST_F(Controls, ScrollBarsClampTheirValueAndRepeatWhileHeld) {
  sbar = std::make_unique<skinner::ControlScrollBar>(*form, L"sbar");
  Load();
  sbar->set_range(0, 100);
  sbar->set_page(20);
  form->events.clear();
  sbar->set_value(95);
  EXPECT_EQ(sbar->get_value(), 80);
  sbar->set_value(95);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"scroll:sbar"}));
  // Held step button of a 0..10 bar: one at once, the next after 0.6 s, then every 0.1 s.
  sbar->set_range(0, 10);
  sbar->set_page(1);
  sbar->set_value(0);
  auto& max = sbar->get_button(skinner::ControlScrollBar::kMax);
  const Rect m = max.get_rect();
  form->on_pointer_down(PointerKind::Tap, Point{m.x + 1, m.y + 1});
  EXPECT_EQ(sbar->get_value(), 1);
  Advance(500);
  EXPECT_EQ(sbar->get_value(), 1);
  Advance(110);
  EXPECT_EQ(sbar->get_value(), 2);
  Advance(200);
  EXPECT_EQ(sbar->get_value(), 4);
  form->on_pointer_up(PointerKind::Tap, Point{m.x + 1, m.y + 1});
  Advance(300);
  EXPECT_EQ(sbar->get_value(), 4);
  // A track with no room for the thumb drags to the minimum, never backwards.
  sbar->set_rect(sbar->get_position(), Point{10, 15});
  sbar->track_thumb(Point{sbar->get_position().x, sbar->get_position().y + 14});
  EXPECT_EQ(sbar->get_value(), 0);
}

TEST_F(Controls, AutoScrollShowsTheBarsTheContentNeeds) {
  grid = std::make_unique<NumberGrid>(*form, L"grid");
  Load();
  const struct {
    Point content;
    bool vertical;
    bool horizontal;
  } table[] = {
      {{240, 100}, false, false},  // exactly as tall: no bar
      {{235, 101}, true, true},    // wider only once the vertical bar took its width
      {{241, 50}, false, true},
  };
  for (const auto& row : table) {
    grid->layout_content(grid->get_painter(), row.content);
    EXPECT_EQ(grid->get_vertical().get_visible_flag(), row.vertical) << row.content.x << "x" << row.content.y;
    EXPECT_EQ(grid->get_horizontal().get_visible_flag(), row.horizontal) << row.content.x << "x" << row.content.y;
  }
}

TEST_F(Controls, ProgressBarsReportWhereThePointerIsAndMoveOnlyWhenSet) {
  bar = std::make_unique<skinner::ControlProgress>(*form, L"bar");
  Load();
  const Rect r = bar->get_rect();
  ASSERT_EQ(r, (Rect{10, 210, 110, 10}));
  const struct {
    int dx;
    int percent;
  } taps[] = {{5, 0}, {105, 100}, {55, 50}, {-20, 0}, {300, 100}};
  for (const auto& t : taps) EXPECT_EQ(static_cast<int>(bar->value_at_point({r.x + t.dx, r.y}) * 100 + 0.5), t.percent);
  bar->on_pointer_down(PointerKind::Tap, {r.x + 55, r.y}, false);
  bar->on_pointer_move({r.x + 105, r.y});
  bar->on_pointer_up(PointerKind::Tap, {r.x + 5, r.y}, false);
  bar->on_pointer_move({r.x + 5, r.y});
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"track:bar:50", L"track:bar:100"}));
  EXPECT_EQ(bar->get_value(), 0.0);
  bar->set_value(1.7);
  EXPECT_EQ(bar->get_value(), 1.0);
  bar->set_value_in_range(5, 5, 3);
  EXPECT_EQ(bar->get_value(), 0.0);
}

TEST_F(Controls, FramesWrapAtBlanksAndAtTheBreakMarker) {
  handle.reset(skintest::CompileSkin(
      std::string(skintest::kSkin) + "form Wrapped\n  size Size 100 100\n"
                                     "  control f class Frame\n    size Size 60 40\n    int Wrap 1\n"
                                     "    int AutoSize 1\n    text Text \"one\\\\ntwo\"\n"
                                     "  control g class Frame\n    size Size 60 40\n    text Text \"one\\\\ntwo\"\n",
      {240, 320}));
  RecordingForm wrapped(nullptr, &handle, L"Wrapped");
  wrapped.load_properties();
  auto& f = *static_cast<skinner::ControlFrame*>(wrapped.find_control(L"f"));
  auto& g = *static_cast<skinner::ControlFrame*>(wrapped.find_control(L"g"));
  EXPECT_EQ(f.get_lines(), (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_EQ(g.get_lines(), (std::vector<std::wstring>{L"one\\ntwo"}));
  // A word wider than the wrap width stays whole, without an empty line.
  f.set_text(L"abcdefghijklmnopqrstuvwxyz abc");
  ASSERT_EQ(f.get_lines().size(), 2u);
  EXPECT_EQ(f.get_lines()[0], L"abcdefghijklmnopqrstuvwxyz");
  // Auto size never shrinks below the skin size.
  EXPECT_GE(f.get_preferred_size().x, 60);
  f.set_text(L"a");
  EXPECT_EQ(f.get_preferred_size(), (Point{60, 40}));
}

}  // namespace
