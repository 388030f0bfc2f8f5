// What the form and control tests share: a skin with a form of every
// control, a device chosen per test (Pocket PC or Smartphone, screen size,
// shell version), a form that records the events reaching it, and input
// posted to the form window and pumped through the form's own dispatch.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/testing.h"
#include "ce/windows.h"
#include "skin_compiler.h"
#include "skinner/control_subclass.h"
#include "skinner/device_caps.h"
#include "skinner/form.h"
#include "skinner/form_impl.h"

namespace skintest {

inline const char kSkin[] =
    "skin \"T\"\n"
    "sizes 240x320 176x220 480x640\n"
    "kind Btn\n"
    "  size Size 60 24\n"
    "  colour Normal 0 0 0\n"
    "  font Normal \"12 0 0 0 Sans\"\n"
    "kind SbBtn\n"
    "kind VBar\n"
    "  int Vertical 1\n"
    "  int MinButtonSize 10\n"
    "  int MaxButtonSize 10\n"
    "  text KindMin \"SbBtn\"\n"
    "  text KindMax \"SbBtn\"\n"
    "  text KindSpace \"SbBtn\"\n"
    "  text KindTrack \"SbBtn\"\n"
    "kind HBar : VBar\n"
    "  int Vertical 0\n"
    "kind Grid\n"
    "  text KindScroll \"VBar\"\n"
    "  text KindHScroll \"HBar\"\n"
    "  int ScrollWidth 10\n"
    "  int ItemHeight 20\n"
    "kind FlatGrid : Grid\n"
    "  int ItemHeight 0\n"
    "kind Edit\n"
    "  font Normal \"12 0 0 0 Sans\"\n"
    "form Main\n"
    "  size Size 240 266\n"
    "  control btnOk : Btn class Button\n"
    "    size Position 10 10\n"
    "    text Text \"Go\"\n"
    "  control lblTitle class Frame\n"
    "    size Position 80 10\n"
    "    size Size 150 24\n"
    "    text Text \"Title\"\n"
    "  child chk : Btn\n"
    "    size Position 10 40\n"
    "  child edit : Edit\n"
    "    size Position 10 70\n"
    "    size Size 100 20\n"
    "    text Text \"hello world\"\n"
    "  child grid : Grid\n"
    "    size Position 0 100\n"
    "    size Size 240 100\n"
    "  child flat : FlatGrid\n"
    "    size Position 0 100\n"
    "    size Size 240 100\n"
    "  child bar\n"
    "    size Position 10 210\n"
    "    size Size 110 10\n"
    "    int TrackSize 10\n"
    "  child menu\n"
    "  child sbar : VBar\n"
    "    size Position 200 210\n"
    "    size Size 10 50\n"
    "    int Max 10\n"
    "  child cancel : Btn\n"
    "    text Action \"BUTTON_CANCEL\"\n"
    "    text Text \"Back\"\n"
    "  child ok : Btn\n"
    "    text Action \"BUTTON_OK\"\n"
    "    text Text \"Done\"\n"
    "  child caption : Btn\n"
    "    text Action \"CAPTION\"\n"
    "    text Text \"Sample\"\n"
    "  child sys : Btn\n"
    "    text Action \"BUTTON_SYSMENU\"\n"
    "form Message\n"
    "  size Size 200 100\n"
    "  int StartPosition 1\n"
    "form Bare\n"
    "  size Size 200 100\n"
    "  child menu\n";

struct DeviceSetup {
  const char* platform = "PocketPC";
  int width = 240;
  int height = 320;
  int os_major = 5;
  int dpi = 96;
};

// Chooses the device for the next forms, with its input panel down (a test
// whose edit kept the focus to its end leaves the panel up, which shrinks
// the work area of every form after it).
inline void UseDevice(const DeviceSetup& device) {
  SHSipPreference(nullptr, SIP_FORCEDOWN);
  ::setenv("DEVICE_PLATFORM_TYPE", device.platform, 1);
  ::setenv("DEVICE_SCREEN_WIDTH", std::to_string(device.width).c_str(), 1);
  ::setenv("DEVICE_SCREEN_HEIGHT", std::to_string(device.height).c_str(), 1);
  ::setenv("DEVICE_OS_MAJOR", std::to_string(device.os_major).c_str(), 1);
  ::setenv("DEVICE_SCREEN_DPI", std::to_string(device.dpi).c_str(), 1);
  ce::testing::ReloadScreen();
  skinner::forget_device_caps();
  // The input panel starts down, whatever an earlier test left up.
  SIPINFO sip{};
  sip.cbSize = sizeof(sip);
  SHSipInfo(SPI_SETSIPINFO, 0, &sip, 0);
}

inline skinner::PropertiesImpl* CompileSkin(const std::string& source, skinner::Point screen) {
  std::vector<std::uint8_t> blob;
  std::string error;
  EXPECT_TRUE(skinc::Compile(source, blob, error)) << error;
  return new skinner::PropertiesImpl(blob, screen);
}

// A form that writes down the events reaching it.
class RecordingForm : public skinner::Form {
 public:
  RecordingForm(Form* parent, skinner::Properties* properties, const std::wstring& name)
      : Form(parent, properties, name) {}
  ~RecordingForm() override { delete_owned_controls(); }

  void on_click(skinner::Control* sender, const skinner::ClickInfo&) override { log(L"click:" + name_of(sender)); }
  void on_command(skinner::Control* sender, const std::wstring& command) override {
    log(L"command:" + name_of(sender) + L":" + command);
    if (on_command_hook) on_command_hook(command);
  }
  void on_text_changed(skinner::Control* sender) override { log(L"text:" + name_of(sender)); }
  void on_choice_changed(skinner::Control* sender) override { log(L"choice:" + name_of(sender)); }
  void on_value_tracking(skinner::Control* sender, double value) override {
    log(L"track:" + name_of(sender) + L":" + std::to_wstring(static_cast<int>(value * 100 + 0.5)));
  }
  void on_item_click(skinner::Control* sender, const skinner::ItemInfo& item) override {
    log(L"item:" + name_of(sender) + L":" + std::to_wstring(item.row));
  }
  void on_item_context_menu(skinner::Control* sender, const skinner::ItemInfo& item) override {
    log(L"itemmenu:" + name_of(sender) + L":" + std::to_wstring(item.row));
  }
  void on_item_edit_done(skinner::Control* sender, const skinner::ItemInfo& item, bool accepted) override {
    log(L"editdone:" + name_of(sender) + L":" + std::to_wstring(item.row) + L":" + (accepted ? L"1" : L"0"));
  }
  void on_scroll(skinner::Control* sender) override { log(L"scroll:" + name_of(sender)); }
  void on_menu_popup(skinner::Control* sender) override {
    if (on_popup_hook) on_popup_hook(sender);
  }
  bool can_close() override { return closable; }

  std::vector<std::wstring> events;
  std::function<void(const std::wstring&)> on_command_hook;
  std::function<void(skinner::Control*)> on_popup_hook;
  bool closable = true;

 private:
  static std::wstring name_of(skinner::Control* c) { return c != nullptr ? c->get_name() : L"-"; }
  void log(const std::wstring& e) { events.push_back(e); }
};

// Runs what is queued through the form's own dispatch (the modal loop's
// key handling included) until nothing is left.
inline void Pump(skinner::Form& form) {
  MSG msg{};
  for (int guard = 0; guard < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++guard)
    form.get_impl().dispatch_message(msg);
}

inline LPARAM PointParam(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

inline void Tap(skinner::Form& form, int x, int y) {
  PostMessageW(form.get_window(), WM_LBUTTONDOWN, MK_LBUTTON, PointParam(x, y));
  PostMessageW(form.get_window(), WM_LBUTTONUP, 0, PointParam(x, y));
  Pump(form);
}

inline void Key(skinner::Form& form, UINT vk) {
  PostMessageW(form.get_window(), WM_KEYDOWN, vk, 0);
  PostMessageW(form.get_window(), WM_KEYUP, vk, 0);
  Pump(form);
}

// Runs a step on the form window's thread from inside a modal loop (a
// popup menu or a nested form): the step comes as a private message.
class Later : public skinner::ControlSubclass {
 public:
  static constexpr UINT kMessage = WM_USER + 90;
  explicit Later(HWND window) { subclass(window); }
  void post(std::function<void()> step) {
    steps_.push_back(std::move(step));
    PostMessageW(get_hooked_window(), kMessage, 0, 0);
  }
  LRESULT window_proc(UINT message, WPARAM, LPARAM, bool& pass_on) override {
    if (message != kMessage || steps_.empty()) return 0;
    auto step = std::move(steps_.front());
    steps_.erase(steps_.begin());
    pass_on = false;
    step();
    return 0;
  }

 private:
  std::vector<std::function<void()>> steps_;
};

}  // namespace skintest
