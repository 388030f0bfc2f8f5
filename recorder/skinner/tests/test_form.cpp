#include <gtest/gtest.h>

#include "form_fixture.h"
#include "skinner/control_button.h"
#include "skinner/control_button_impl.h"
#include "skinner/control_edit.h"
#include "skinner/control_menu_main.h"
#include "skinner/menu_manager_impl.h"

namespace {

using skinner::ControlButton;
using skinner::Form;
using skinner::KeyCode;
using skinner::Point;
using skintest::DeviceSetup;
using skintest::RecordingForm;

TEST(KeyCodes, VirtualKeysMapToTheFrameworksCodes) {
  const struct {
    std::uint32_t vk;
    KeyCode code;
  } table[] = {{0x08, KeyCode::Backspace}, {0x09, KeyCode::Tab},      {0x0D, KeyCode::Enter},  {0x10, KeyCode::Shift},
               {0x11, KeyCode::Ctrl},      {0x12, KeyCode::Alt},      {0x1B, KeyCode::Esc},    {0x20, KeyCode::Space},
               {0x21, KeyCode::PageUp},    {0x22, KeyCode::PageDown}, {0x23, KeyCode::End},    {0x24, KeyCode::Home},
               {0x25, KeyCode::Left},      {0x26, KeyCode::Up},       {0x27, KeyCode::Right},  {0x28, KeyCode::Down},
               {0x2D, KeyCode::Insert},    {0x2E, KeyCode::Delete},   {0x30, KeyCode::Digit0}, {0x39, KeyCode::Digit9},
               {0x41, KeyCode::A},         {0x5A, KeyCode::Z},        {0x5D, KeyCode::Apps},   {0x2F, KeyCode::None},
               {0x3A, KeyCode::None},      {0x70, KeyCode::None},     {0xFFFF, KeyCode::None}};
  for (const auto& row : table) EXPECT_EQ(skinner::key_code_from_virtual_key(row.vk), row.code) << row.vk;
}

// Hooks that write what they see and may swallow it.
struct Hook : skinner::ControlSubclass {
  Hook(std::vector<std::string>& seen, std::string name, bool swallow, LRESULT result)
      : seen_(seen), name_(std::move(name)), swallow_(swallow), result_(result) {}
  LRESULT window_proc(UINT message, WPARAM, LPARAM, bool& pass_on) override {
    if (message == WM_USER + 7) {
      seen_.push_back(name_);
      if (swallow_) pass_on = false;
    }
    return result_;
  }
  std::vector<std::string>& seen_;
  std::string name_;
  bool swallow_;
  LRESULT result_;
};

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 7) return 99;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST(ControlSubclass, HooksSeeMessagesLastFirstAndTheEarliestSwallowerWins) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = PlainProc;
  wc.lpszClassName = L"HookedPlain";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, L"HookedPlain", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<std::string> seen;
  {
    Hook first(seen, "first", false, 1), second(seen, "second", false, 2);
    first.subclass(window);
    second.subclass(window);
    // Nobody swallows: the window's own procedure answers.
    EXPECT_EQ(SendMessageW(window, WM_USER + 7, 0, 0), 99);
    EXPECT_EQ(seen, (std::vector<std::string>{"second", "first"}));
    Hook third(seen, "third", true, 3), fourth(seen, "fourth", true, 4);
    third.subclass(window);
    fourth.subclass(window);
    seen.clear();
    EXPECT_EQ(SendMessageW(window, WM_USER + 7, 0, 0), 3);  // both swallow: the earlier one's answer
    EXPECT_EQ(seen, (std::vector<std::string>{"fourth", "third", "second", "first"}));
    EXPECT_EQ(skinner::ControlSubclass::hook_count(window), 4u);
  }
  // Every hook gone: the window's own procedure is back.
  EXPECT_EQ(skinner::ControlSubclass::hook_count(window), 0u);
  EXPECT_EQ(GetWindowLongPtrW(window, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&PlainProc));
  Hook last(seen, "last", true, 5);
  last.subclass(window);
  DestroyWindow(window);  // drops its hooks
  EXPECT_EQ(skinner::ControlSubclass::hook_count(window), 0u);
  EXPECT_EQ(last.get_hooked_window(), nullptr);
  UnregisterClassW(L"HookedPlain", nullptr);
}

TEST(WorkArea, FollowsThePlatformAndTheShellsBars) {
  // On a Pocket PC the work area lies between the shell's bars, which are
  // as high as the screen's density makes them (26 pixels at 96 dots per
  // inch, 52 at 192), whatever the screen's width.
  const struct {
    DeviceSetup device;
    Point position;
    Point size;
  } table[] = {
      {{"PocketPC", 240, 320}, {0, 26}, {240, 268}},         {{"PocketPC", 480, 640, 5, 192}, {0, 52}, {480, 536}},
      {{"PocketPC", 640, 480, 5, 192}, {0, 52}, {640, 376}}, {{"PocketPC", 480, 640}, {0, 26}, {480, 588}},
      {{"PocketPC", 640, 480}, {0, 26}, {640, 428}},         {{"SmartPhone", 176, 220}, {0, 20}, {176, 180}},
      {{"Smartphone", 240, 320}, {0, 27}, {240, 266}},       {{"Smartphone", 200, 300}, {0, 0}, {200, 300}},
  };
  for (const auto& row : table) {
    skintest::UseDevice(row.device);
    Point position, size;
    skinner::get_workarea(position, size, true);
    EXPECT_EQ(position, row.position) << row.device.platform << " " << row.device.width;
    EXPECT_EQ(size, row.size) << row.device.platform << " " << row.device.width;
  }
  skintest::UseDevice({});
}

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(DeviceSetup{}); }
  void TearDown() override {
    Close();
    skintest::UseDevice({});
  }
  void Open(const DeviceSetup& device) {
    skintest::UseDevice(device);
    handle.reset(skintest::CompileSkin(skintest::kSkin, {device.width, device.height}));
    form = std::make_unique<RecordingForm>(nullptr, &handle, L"Main");
  }
  void Close() {
    edit.reset();
    extra.clear();
    menu.reset();
    form.reset();
    skintest::Pump(*placeholder());
  }
  // A form that outlives the others, only to pump the queue with.
  Form* placeholder() {
    static skinner::Properties p;
    static Form* f = nullptr;
    if (f == nullptr) {
      p.reset(skintest::CompileSkin(skintest::kSkin, {240, 320}));
      f = new Form(nullptr, &p, L"Message");
    }
    return f;
  }
  void Load() {
    form->load_properties();
    form->set_active(true);
    skintest::Pump(*form);
  }
  ControlButton& button(const wchar_t* name) { return *static_cast<ControlButton*>(form->find_control(name)); }

  skinner::Properties handle;
  std::unique_ptr<RecordingForm> form;
  std::unique_ptr<skinner::ControlEdit> edit;
  std::unique_ptr<skinner::ControlMenuMain> menu;
  std::vector<std::unique_ptr<skinner::Control>> extra;
};

TEST_F(FormTest, TimersComeFromOneCounterAndTickOnTheFormWindow) {
  const std::uint32_t first = form->set_timer(0.5);
  const std::uint32_t second = form->set_timer(1.0);
  EXPECT_GE(first, 1u);
  EXPECT_EQ(second, first + 1);
  RecordingForm other(nullptr, &handle, L"Message");
  EXPECT_EQ(other.set_timer(0.25), second + 1);  // shared by all forms, never reused
  form->kill_timer(first);
  form->kill_timer(second);
  other.kill_timer(second + 1);
  form->kill_timer(0);  // ignored
}

TEST_F(FormTest, StartPositionZeroPutsTheFormAtTheOriginWithItsDesignSize) {
  Load();
  EXPECT_EQ(form->get_window_position(), (Point{0, 0}));
  EXPECT_EQ(form->get_window_size(), (Point{240, 266}));
  // Mode 1 centres on the work area.
  RecordingForm message(form.get(), &handle, L"Message");
  message.load_properties();
  EXPECT_EQ(message.get_window_position(), (Point{20, 26 + 84}));
  EXPECT_EQ(message.get_window_size(), (Point{200, 100}));
}

TEST_F(FormTest, ATapClicksAButtonAndALostCaptureEndsThePressWithoutAClick) {
  Load();
  skintest::Tap(*form, 20, 20);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:btnOk"}));
  form->events.clear();
  PostMessageW(form->get_window(), WM_LBUTTONDOWN, MK_LBUTTON, skintest::PointParam(20, 20));
  skintest::Pump(*form);
  EXPECT_TRUE(button(L"btnOk").is_pressed());
  EXPECT_EQ(GetCapture(), form->get_window());
  SendMessageW(form->get_window(), WM_CAPTURECHANGED, 0, 0);
  EXPECT_FALSE(button(L"btnOk").is_pressed());
  EXPECT_EQ(form->get_capture(), nullptr);
  PostMessageW(form->get_window(), WM_LBUTTONUP, 0, skintest::PointParam(20, 20));
  skintest::Pump(*form);
  EXPECT_TRUE(form->events.empty());
}

TEST_F(FormTest, PocketPcKeysBecomeTextFirstAndKeyCodesWhenTheTextIsNotTaken) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  edit->set_focus();
  edit->set_selection(0, 0);
  skintest::Key(*form, 'A');
  EXPECT_EQ(edit->get_text(), L"ahello world");
  // Enter on the focused button: a key code only, and a click at its release.
  button(L"btnOk").set_focus();
  form->events.clear();
  skintest::Key(*form, VK_RETURN);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:btnOk"}));
  // The down arrow is no text: the focus moves on.
  skintest::Key(*form, VK_DOWN);
  EXPECT_NE(form->get_focused(), &button(L"btnOk"));
}

TEST_F(FormTest, ARefusedCloseChangesNothingAndAnAcceptedOneEndsTheLoop) {
  Load();
  skintest::Later later(form->get_window());
  form->closable = false;
  later.post([&] {
    form->close();
    EXPECT_TRUE(IsWindowVisible(form->get_window()));
    form->closable = true;
    form->close();
  });
  form->run();  // returns only through the second close
  EXPECT_FALSE(IsWindowVisible(form->get_window()));
  EXPECT_FALSE(form->is_running());
}

TEST_F(FormTest, ANestedFormDisablesTheOthersAndTheOuterOneComesBackCurrent) {
  skintest::Later later(form->get_window());
  RecordingForm message(form.get(), &handle, L"Message");
  skintest::Later inner(message.get_window());
  bool checked = false;
  later.post([&] {
    EXPECT_EQ(Form::current(), form.get());
    skintest::Pump(*form);  // painted: nothing pending
    EXPECT_EQ(form->get_impl().get_pending_size(), (Point{0, 0}));
    inner.post([&] {
      EXPECT_EQ(Form::current(), &message);
      EXPECT_FALSE(IsWindowEnabled(form->get_window()));
      EXPECT_TRUE(IsWindowEnabled(message.get_window()));
      checked = true;
      message.close();
    });
    message.run();
    EXPECT_EQ(Form::current(), form.get());
    EXPECT_TRUE(IsWindowEnabled(form->get_window()));
    // What the nested form covered is painted again: all of the owner.
    EXPECT_EQ(form->get_impl().get_pending_position(), (Point{0, 0}));
    EXPECT_EQ(form->get_impl().get_pending_size(), form->get_window_size());
    form->close();
  });
  form->run();
  EXPECT_TRUE(checked);
  EXPECT_EQ(Form::current(), nullptr);
}

TEST_F(FormTest, APictureFailureIsShownOnceByTheTopFormAndClosesTheChain) {
  skintest::Later later(form->get_window());
  RecordingForm message(form.get(), &handle, L"Message");
  skintest::Later inner(message.get_window());
  skinner::Picture missing;
  ASSERT_TRUE(missing.load(L"0 0 1 1 2 2 3 3 s nothing", L"\\none.zip", 1.0));
  later.post([&] {
    inner.post([&] { message.on_picture_failed_to_load(missing); });
    message.run();
  });
  ::testing::internal::CaptureStderr();
  form->run();  // both loops end through the report
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown.find("Out of memory"), shown.rfind("Out of memory")) << shown;
  EXPECT_NE(shown.find("name=nothing"), std::string::npos) << shown;
  EXPECT_NE(shown.find("scale=1.000000"), std::string::npos) << shown;
  EXPECT_FALSE(message.is_running());
  EXPECT_FALSE(IsWindowVisible(form->get_window()));
}

TEST_F(FormTest, AFocusedEditAsksForTheInputPanelAndLetsItGo) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  auto sip_on = [] {
    SIPINFO info{};
    info.cbSize = sizeof(info);
    return SHSipInfo(SPI_GETSIPINFO, 0, &info, 0) && (info.fdwFlags & SIPF_ON) != 0;
  };
  edit->set_focus();
  skintest::Pump(*form);
  EXPECT_TRUE(sip_on());
  button(L"btnOk").set_focus();
  skintest::Pump(*form);
  EXPECT_FALSE(sip_on());
}

TEST_F(FormTest, TheInputPanelLeavesTheFocusedControlInView) {
  edit = std::make_unique<skinner::ControlEdit>(*form, L"edit");
  Load();
  // An edit near the bottom of a form that keeps its size and place.
  button(L"btnOk").set_focus();
  skintest::Pump(*form);
  edit->set_skin_rect({10, 230}, {100, 20});
  form->apply_start_position();
  const Point at = form->get_window_position();
  edit->set_focus();
  skintest::Pump(*form);
  SIPINFO sip{};
  sip.cbSize = sizeof(sip);
  ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0));
  ASSERT_NE(sip.fdwFlags & SIPF_ON, 0u);
  // Lifted just enough: the edit's bottom on the panel's top edge.
  const Point lifted = form->get_window_position();
  EXPECT_EQ(lifted.y + edit->get_rect().y + edit->get_rect().height, sip.rcVisibleDesktop.bottom);
  EXPECT_LT(lifted.y, at.y);
  // The panel down again, the form is back where it was.
  button(L"btnOk").set_focus();
  skintest::Pump(*form);
  EXPECT_EQ(form->get_window_position(), at);
}

TEST_F(FormTest, AScreenChangeSendsTheResolutionCommandBeforeThePlacing) {
  Load();
  SendMessageW(form->get_window(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  SendMessageW(form->get_window(), skinner::kMessageSettingChange, 0x3002, 0);
  EXPECT_EQ(form->events,
            (std::vector<std::wstring>{L"command:-:#ScreenResolution#", L"command:-:#ScreenResolution#"}));
}

TEST_F(FormTest, PocketPcButtonVariantsShowTheTitleAndTheShellsButtons) {
  Load();
  // The caption is the window title and is drawn where the skin puts it,
  // but never takes the focus.
  extra.push_back(std::make_unique<ControlButton>(*form, L"caption"));
  extra.push_back(std::make_unique<ControlButton>(*form, L"sys"));
  extra.push_back(std::make_unique<ControlButton>(*form, L"ok"));
  form->load_properties();
  auto& title = static_cast<ControlButton&>(*extra[0]);
  wchar_t text[32] = {};
  GetWindowTextW(form->get_window(), text, 32);
  EXPECT_STREQ(text, L"Sample");
  EXPECT_TRUE(title.get_impl()->draws_itself());
  EXPECT_FALSE(title.get_want_focus());
  title.set_text(L"Other");
  GetWindowTextW(form->get_window(), text, 32);
  EXPECT_STREQ(text, L"Other");
  // The system menu button still has an object serving it.
  auto& sys = static_cast<ControlButton&>(*extra[1]);
  ASSERT_NE(sys.get_impl(), nullptr);
  EXPECT_FALSE(sys.get_impl()->draws_itself());
  EXPECT_FALSE(sys.hit_test(sys.get_position()));
  // OK on a version 5 shell: the title bar's OK button, pressing it clicks.
  EXPECT_TRUE(ce::testing::DoneButtonShown(form->get_window()));
  form->events.clear();
  EXPECT_TRUE(ce::testing::PressDoneButton(form->get_window()));
  skintest::Pump(*form);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:ok"}));
  extra.pop_back();
  EXPECT_FALSE(ce::testing::DoneButtonShown(form->get_window()));
}

// The soft keys' captions on the form's bar.
std::vector<std::wstring> SoftKeys(Form& form) {
  std::vector<std::wstring> captions;
  // Any message to the form window brings its bar up to date.
  SendMessageW(form.get_window(), WM_NULL, 0, 0);
  HWND bar = form.get_impl().get_menu_manager().get_bar();
  auto buttons = ce::testing::MenuBarButtons(bar);
  if (!buttons) return captions;
  for (const auto& b : *buttons)
    if (!b.hidden && b.id != 0) captions.push_back(b.caption);
  return captions;
}

TEST_F(FormTest, SmartphoneSoftKeysActDirectlyOrThroughAPopup) {
  Close();
  Open({"Smartphone", 240, 320});
  menu = std::make_unique<skinner::ControlMenuMain>(*form, L"menu");
  extra.push_back(std::make_unique<ControlButton>(*form, L"ok"));
  extra.push_back(std::make_unique<ControlButton>(*form, L"cancel"));
  extra.push_back(std::make_unique<skinner::MenuMainButton>(*form, L"cmdFirst", L"&First", L"", 1));
  extra.push_back(std::make_unique<skinner::MenuMainSubMenu>(*form, L"cmdMore", L"More", L"#smartphone_tab#", 2));
  form->on_popup_hook = [&](skinner::Control*) {
    auto* popup = form->get_menu_manager().get_popup_being_filled();
    ASSERT_NE(popup, nullptr);
    skinner::MenuItem extra_entry(L"cmdExtra", L"Extra");
    popup->items.add(extra_entry);
  };
  Load();
  EXPECT_EQ(SoftKeys(*form), (std::vector<std::wstring>{L"Done", L"More"}));
  // One item on the left key: pressed, it acts at once.
  form->events.clear();
  SendMessageW(form->get_window(), WM_COMMAND, skinner::MenuManagerImplSmartphone::kLeftSoftKey, 0);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"click:ok"}));
  // The right key's popup: plain items, then the menu role, then the tab
  // items between separators; '&' stays in popups.
  form->events.clear();
  static_cast<skinner::MenuMainButton&>(*extra[2]).set_checked(true);
  button(L"btnOk").set_enabled(false);
  skintest::Later later(form->get_window());
  std::vector<ce::testing::MenuEntry> shown;
  later.post([&] {
    shown = ce::testing::OpenMenuEntries();
    ce::testing::ChooseMenuEntry(L"Extra");
  });
  SendMessageW(form->get_window(), WM_COMMAND, skinner::MenuManagerImplSmartphone::kRightSoftKey, 0);
  std::vector<std::wstring> captions;
  for (const auto& e : shown) captions.push_back(e.separator ? L"-" : e.caption);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"First", L"Go", L"Back", L"-", L"Extra", L"-"}));
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_TRUE(shown[0].checked);  // checks and grey states follow the controls
  EXPECT_FALSE(shown[1].enabled);
  EXPECT_TRUE(shown[2].enabled);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"command:cmdMore:cmdExtra"}));
  // A second OK item turns the left key into a popup named "Action".
  extra.push_back(std::make_unique<skinner::MenuMainButton>(*form, L"cmdSecondOk", L"Second", L"#smartphone_ok#", 3));
  skintest::Pump(*form);
  EXPECT_EQ(SoftKeys(*form), (std::vector<std::wstring>{L"Action", L"More"}));
  // A hidden cancel button leaves the right key; shown again it is back.
  static_cast<ControlButton&>(*extra[1]).set_visible(false);
  skinner::MenuItem right(L"#FakeId#", L"");
  form->get_menu_manager().build_soft_keys(right);
  for (const auto& e : right.items) EXPECT_NE(e.caption, L"Back");
  static_cast<ControlButton&>(*extra[1]).set_visible(true);
  skinner::MenuItem again(L"#FakeId#", L"");
  form->get_menu_manager().build_soft_keys(again);
  EXPECT_EQ(again.items[2].caption, L"Back");
}

TEST_F(FormTest, SmartphoneBackReachesTheFormAsEscape) {
  Close();
  Open({"Smartphone", 240, 320});
  menu = std::make_unique<skinner::ControlMenuMain>(*form, L"menu");
  Load();
  {
    // A form with nothing for the soft keys: they show nothing and are grey.
    RecordingForm bare(nullptr, &handle, L"Bare");
    skinner::ControlMenuMain bare_menu(bare, L"menu");
    bare.load_properties();
    skintest::Pump(bare);
    EXPECT_EQ(SoftKeys(bare), (std::vector<std::wstring>{L"", L""}));
    const auto keys = ce::testing::MenuBarButtons(bare.get_impl().get_menu_manager().get_bar());
    ASSERT_TRUE(keys.has_value());
    for (const auto& key : *keys) EXPECT_FALSE(key.enabled);
  }
  struct EscapeWatch : skinner::Control {
    using Control::Control;
    bool on_key_down(KeyCode key) override { return key == KeyCode::Esc && ++downs > 0; }
    bool on_key_up(KeyCode key) override { return key == KeyCode::Esc && ++ups > 0; }
    int downs = 0, ups = 0;
  };
  auto watch = std::make_unique<EscapeWatch>(*form, L"watch", skinner::NamingMode::NamedWithoutKind);
  watch->set_focus();
  SendMessageW(form->get_window(), WM_HOTKEY, 0, MAKELPARAM(0, VK_ESCAPE));
  SendMessageW(form->get_window(), WM_HOTKEY, 0, MAKELPARAM(0x1000, VK_ESCAPE));
  SendMessageW(form->get_window(), WM_HOTKEY, 0, MAKELPARAM(0, VK_LEFT));  // other keys: nothing
  EXPECT_EQ(watch->downs, 1);
  EXPECT_EQ(watch->ups, 1);
}

TEST_F(FormTest, OldPocketPcShellsShowOneToolBarButtonPerItem) {
  Close();
  Open({"PocketPC", 240, 320, 4});
  menu = std::make_unique<skinner::ControlMenuMain>(*form, L"menu");
  extra.push_back(std::make_unique<skinner::MenuMainButton>(*form, L"cmdB", L"&Beta", L"", 2));
  extra.push_back(std::make_unique<skinner::MenuMainButton>(*form, L"cmdA", L"Alpha", L"", 1));
  const std::size_t free_before = skinner::MenuManagerImplPocket::free_toolbar_ids(false);
  Load();
  EXPECT_EQ(skinner::MenuManagerImplPocket::free_toolbar_ids(false), free_before - 1);
  EXPECT_EQ(SoftKeys(*form), (std::vector<std::wstring>{L"Alpha", L"Beta"}));  // by order, '&' gone
  form->events.clear();
  SendMessageW(form->get_window(), WM_COMMAND, 101, 0);
  EXPECT_EQ(form->events, (std::vector<std::wstring>{L"command:cmdB:cmdB"}));
  SendMessageW(form->get_window(), WM_COMMAND, 99, 0);    // below the bar's ids
  SendMessageW(form->get_window(), WM_COMMAND, 5000, 0);  // beyond them
  EXPECT_EQ(form->events.size(), 1u);
  Close();
  EXPECT_EQ(skinner::MenuManagerImplPocket::free_toolbar_ids(false), free_before);  // given back
  Open({});
}

TEST(FormDeath, ASecondMainMenuEndsTheProgram) {
  EXPECT_DEATH(
      {
        skinner::Properties handle;
        handle.reset(skintest::CompileSkin(skintest::kSkin, {240, 320}));
        RecordingForm form(nullptr, &handle, L"Main");
        skinner::ControlMenuMain first(form, L"menu");
        skinner::ControlMenuMain second(form, L"menu2", skinner::NamingMode::NamedWithoutKind);
      },
      "Menu main is already exists");
}

}  // namespace
