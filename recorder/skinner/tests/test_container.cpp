#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "os/file.h"
#include "skin_compiler.h"
#include "skinner/canvas.h"
#include "skinner/container.h"
#include "skinner/control.h"
#include "skinner/control_factory.h"
#include "skinner/form_host.h"

namespace {

using skinner::ClickInfo;
using skinner::Container;
using skinner::Control;
using skinner::KeyCode;
using skinner::NamingMode;
using skinner::Point;
using skinner::PointerKind;
using skinner::Rect;

// The form as the controls see it: what they asked for is recorded.
struct Host : skinner::FormHost {
  void invalidate(const Rect& rect) override { invalidated.push_back(rect); }
  std::uint32_t set_timer(double seconds) override {
    intervals.push_back(seconds);
    return next_timer++;
  }
  void kill_timer(std::uint32_t id) override { killed.push_back(id); }
  bool is_key_pressed(KeyCode key) const override { return key == KeyCode::Shift && shift; }
  void on_picture_failed_to_load(const skinner::Picture&) override { ++failed_pictures; }

  std::vector<Rect> invalidated;
  std::vector<double> intervals;
  std::vector<std::uint32_t> killed;
  std::uint32_t next_timer = 1;
  bool shift = false;
  int failed_pictures = 0;
};

// What reached the owner listener.
struct Owner : skinner::Listener {
  void on_command(Control* sender, const std::wstring& command) override {
    events.push_back(sender->get_name() + L":" + command);
  }
  void on_child_focused(Control* sender) override { events.push_back(sender->get_name() + L":focused"); }
  std::vector<std::wstring> events;
};

std::vector<std::wstring>* g_trace = nullptr;
int g_probes_alive = 0;

// A control that writes every call it receives into the trace.
class Probe : public Control {
 public:
  Probe(Container& container, const std::wstring& name, NamingMode mode = NamingMode::Named)
      : Control(container, name, mode) {
    ++g_probes_alive;
  }
  ~Probe() override { --g_probes_alive; }
  static Control* make(Container& container, const std::wstring& name) { return new Probe(container, name); }

  void on_focus_gained() override { trace(L"gained"); }
  void on_focus_lost() override { trace(L"lost"); }
  void draw(skinner::Canvas&, const Rect&) override { trace(L"draw"); }
  void on_pointer_move(Point) override { trace(L"move"); }
  void on_pointer_leave() override { trace(L"leave"); }
  void on_pointer_down(PointerKind kind, Point p, bool) override {
    trace(L"down" + std::to_wstring(static_cast<int>(kind)) + L"@" + std::to_wstring(p.x));
  }
  void on_pointer_up(PointerKind kind, Point p, bool) override {
    trace(L"up" + std::to_wstring(static_cast<int>(kind)) + L"@" + std::to_wstring(p.x));
  }
  void on_control_timer() override { trace(L"timer"); }
  void load_properties() override {
    Control::load_properties();
    text = read_text(L"Text", std::wstring());
  }

  std::wstring text;

 private:
  void trace(const std::wstring& what) {
    if (g_trace != nullptr) g_trace->push_back(get_name() + L":" + what);
  }
};

const char kSkin[] =
    "skin \"T\"\n"
    "sizes 240x320\n"
    "kind Pointer\n"
    "  text Cursor \"NO\"\n"
    "form F\n"
    "  size Size 240 300\n"
    "  control a : Pointer class Button\n"
    "    size Position 10 10\n"
    "    size Size 50 20\n"
    "    int TabOrder 2\n"
    "    text Text \"Hello\"\n"
    "  control b class ButtonSystem\n"
    "    size Position 200 10\n"
    "    size Size 30 20\n"
    "    text AnchorX \"MAX_SIDE\"\n"
    "    int TabOrder 1\n"
    "  control c class Frame\n"
    "    size Position 0 100\n"
    "    size Size 240 40\n"
    "    text AnchorX \"BOTH_SIDE\"\n"
    "    text AnchorY \"RATIO\"\n"
    "    int TabOrder 3\n"
    "  control d class Unknown\n";

skinner::PropertiesImpl* Compile(const std::string& source) {
  std::vector<std::uint8_t> blob;
  std::string error;
  EXPECT_TRUE(skinc::Compile(source, blob, error)) << error;
  return new skinner::PropertiesImpl(blob, {});
}

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_trace = &trace;
    for (const wchar_t* name : {L"Button", L"ButtonSystem", L"Frame"}) skinner::set_control_maker(name, &Probe::make);
    handle.reset(Compile(kSkin));
    form = std::make_unique<Container>(&host, &handle, L"F", NamingMode::Named, &owner);
    form->load_properties();
    form->set_rect({0, 0}, {240, 300});
  }
  void TearDown() override {
    form.reset();
    for (const wchar_t* name : {L"Button", L"ButtonSystem", L"Frame"}) skinner::set_control_maker(name, nullptr);
    g_trace = nullptr;
  }
  Probe& probe(const wchar_t* name) { return *static_cast<Probe*>(form->find_control(name)); }

  Host host;
  Owner owner;
  skinner::Properties handle;
  std::unique_ptr<Container> form;
  std::vector<std::wstring> trace;
};

TEST_F(ContainerTest, CreatesTheDeclaredControlsAndReconcilesThemWithCode) {
  ASSERT_EQ(form->get_children().size(), 3u);  // "Unknown" makes nothing
  EXPECT_FALSE(skinner::set_control_maker(L"Unknown", &Probe::make));
  EXPECT_FALSE(skinner::set_control_maker(L"button", &Probe::make));  // names are exact
  EXPECT_EQ(g_probes_alive, 3);
  EXPECT_EQ(probe(L"a").get_kind(), L"Pointer");
  EXPECT_EQ(probe(L"a").text, L"Hello");
  // A control made by code takes the place of the skin's one...
  auto own = std::make_unique<Probe>(*form, L"b");
  EXPECT_EQ(g_probes_alive, 3);
  EXPECT_EQ(form->find_control(L"b"), own.get());
  // ...and loading again makes nothing for that name.
  form->load_properties();
  EXPECT_EQ(g_probes_alive, 3);
  EXPECT_EQ(form->get_children().size(), 3u);
  // A skin that no longer declares "c" deletes it on the next load.
  handle.reset(Compile("skin \"T\"\nform F\n  control a class Button\n  control b class Button\n"));
  form->load_properties();
  EXPECT_EQ(form->find_control(L"c"), nullptr);
  EXPECT_EQ(g_probes_alive, 2);
  own.reset();
  EXPECT_EQ(form->find_control(L"b"), nullptr);
  EXPECT_EQ(form->get_children().size(), 1u);
}

TEST_F(ContainerTest, LaysChildrenOutByTheirAnchors) {
  form->set_rect({5, 0}, {320, 400});
  EXPECT_EQ(probe(L"a").get_rect(), (Rect{15, 10, 50, 20}));
  EXPECT_EQ(probe(L"b").get_rect(), (Rect{5 + 280, 10, 30, 20}));  // 40 pixels from the right edge
  // Stretched across, and placed in proportion vertically (truncated).
  EXPECT_EQ(probe(L"c").get_rect(), (Rect{5, 133, 320, 186 - 133}));
  // Preferred size: the stretched child asks for more than its design width.
  EXPECT_EQ(form->get_preferred_size(), (Point{240, 300}));
}

TEST(ContainerLayout, RatioWithoutADesignSizeKeepsTheNearOffset) {
  Host host;
  skinner::Properties handle;
  handle.reset(
      Compile("skin \"T\"\nform G\n  child r\n    size Position 10 20\n    size Size 30 40\n"
              "    text AnchorX \"RATIO\"\n    text AnchorY \"RATIO\"\n"));
  Container form(&host, &handle, L"G");
  Probe r(form, L"r");
  form.load_properties();
  form.set_rect({0, 0}, {100, 100});
  EXPECT_EQ(r.get_rect(), (Rect{10, 20, 30, 40}));
}

TEST_F(ContainerTest, MovesTheFocusByTabOrderAndWraps) {
  form->set_active(true);
  EXPECT_EQ(form->get_focused(), &probe(L"b"));  // the lowest tab order
  const struct {
    KeyCode key;
    bool shift;
    const wchar_t* focused;
    bool handled;
  } steps[] = {
      {KeyCode::Tab, false, L"a", true},    {KeyCode::Tab, false, L"c", true}, {KeyCode::Tab, false, L"b", false},
      {KeyCode::Tab, true, L"c", false},    {KeyCode::Up, false, L"a", true},  {KeyCode::Down, false, L"c", true},
      {KeyCode::Enter, false, L"c", false},
  };
  for (const auto& s : steps) {
    host.shift = s.shift;
    EXPECT_EQ(form->on_key_down(s.key), s.handled) << s.focused;
    EXPECT_EQ(form->get_focused(), &probe(s.focused));
  }
  EXPECT_EQ(owner.events.back(), L"c:focused");
  // A focused control that stops wanting the focus, or is hidden, passes it on.
  probe(L"c").set_want_focus(false);
  EXPECT_EQ(form->get_focused(), &probe(L"b"));
  probe(L"b").set_visible(false);
  EXPECT_EQ(form->get_focused(), &probe(L"a"));
  trace.clear();
  form->set_active(false);
  EXPECT_EQ(trace, std::vector<std::wstring>{L"a:lost"});
  EXPECT_FALSE(probe(L"a").is_focused());
  EXPECT_TRUE(probe(L"a").has_focus());
}

TEST_F(ContainerTest, HiddenOnLoadPassesTheFocusOn) {
  form->set_active(true);
  probe(L"a").set_focus();
  handle.reset(
      Compile(std::string(kSkin).replace(std::string(kSkin).find("    int TabOrder 2"), 0, "    int Visible 0\n")));
  form->load_properties();
  EXPECT_FALSE(probe(L"a").is_visible());
  EXPECT_EQ(form->get_focused(), &probe(L"b"));  // the first by tab order
}

TEST_F(ContainerTest, RoutesThePointerToTheTopmostChildAndKeepsTheCapture) {
  // Overlapping children: the higher z-order is on top for the pointer and
  // is drawn last.
  probe(L"b").set_skin_rect({0, 0}, {100, 100});
  probe(L"a").set_zorder(5);
  form->set_rect({0, 0}, {240, 300});
  trace.clear();
  skinner::Canvas canvas;
  form->draw(canvas, Rect{0, 0, 240, 300});
  EXPECT_EQ(trace, (std::vector<std::wstring>{L"b:draw", L"c:draw", L"a:draw"}));
  // A clip that only touches a child does not draw it.
  trace.clear();
  form->draw(canvas, Rect{0, 140, 240, 10});
  EXPECT_EQ(trace, std::vector<std::wstring>{});

  trace.clear();
  form->on_pointer_move({20, 15});
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32648)));  // a's "NO"
  form->on_pointer_move({80, 15});
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // b has none
  form->on_pointer_down(PointerKind::Tap, {20, 15});
  form->on_pointer_down(PointerKind::Hold, {90, 15});  // captured: still a
  form->on_pointer_up(PointerKind::Tap, {95, 15});
  EXPECT_EQ(form->get_capture(), &probe(L"a"));
  form->on_pointer_move({96, 15});
  form->on_pointer_up(PointerKind::Hold, {97, 15});
  EXPECT_EQ(form->get_capture(), nullptr);
  EXPECT_EQ(trace, (std::vector<std::wstring>{L"a:move", L"a:leave", L"b:move", L"b:leave", L"a:down0@20",
                                              L"a:down2@90", L"a:up0@95", L"a:move", L"a:up2@97"}));
  EXPECT_EQ(form->get_focused(), &probe(L"a"));

  // Disabling the container ends a capture with every kind released at the
  // last position.
  form->on_pointer_down(PointerKind::Tap, {21, 15});
  trace.clear();
  form->on_enabled_changed(false);
  EXPECT_EQ(trace, (std::vector<std::wstring>{L"a:leave", L"a:up0@21", L"a:up1@21", L"a:up2@21"}));
  EXPECT_EQ(form->get_capture(), nullptr);
  // A disabled child is not captured.
  form->on_enabled_changed(true);
  probe(L"a").set_enabled(false);
  trace.clear();
  form->on_pointer_down(PointerKind::Tap, {20, 15});
  EXPECT_EQ(form->get_capture(), nullptr);
  EXPECT_EQ(trace, std::vector<std::wstring>{});
}

TEST_F(ContainerTest, ControlBasics) {
  Probe& a = probe(L"a");
  // Edges: the right and bottom ones are outside.
  EXPECT_TRUE(a.hit_test({10, 10}));
  EXPECT_TRUE(a.hit_test({59, 29}));
  EXPECT_FALSE(a.hit_test({60, 15}));
  EXPECT_FALSE(a.hit_test({20, 30}));
  // An unchanged rectangle repaints nothing.
  host.invalidated.clear();
  EXPECT_FALSE(a.set_rect({10, 10}, {50, 20}));
  EXPECT_TRUE(host.invalidated.empty());
  EXPECT_TRUE(a.set_rect({11, 10}, {50, 20}));
  EXPECT_EQ(host.invalidated.back(), (Rect{11, 10, 50, 20}));
  // Timers: only the control's own id reaches it; a new one replaces the old.
  a.start_timer(0.05);
  a.start_timer(0.5);
  EXPECT_EQ(host.intervals, (std::vector<double>{0.05, 0.5}));
  EXPECT_EQ(host.killed, std::vector<std::uint32_t>{1});
  trace.clear();
  form->on_timer(1);
  form->on_timer(2);
  EXPECT_EQ(trace, std::vector<std::wstring>{L"a:timer"});
  // Events bubble through the container to its owner.
  a.on_command(&a, L"Record");
  EXPECT_EQ(owner.events.back(), L"a:Record");
  // A deleted control takes its timer with it.
  form->load_properties();  // still declared: kept
  handle.reset(Compile("skin \"T\"\nform F\n"));
  form->load_properties();
  EXPECT_EQ(host.killed.back(), 2u);
  EXPECT_TRUE(form->get_children().empty());
}

TEST(ContainerPictures, AnImageThatDoesNotLoadIsReportedToTheForm) {
  Host host;
  skinner::Properties handle;
  handle.reset(
      Compile("skin \"T\"\nform G\n  picture Background \"0 0 1 1 2 2 3 3 s missing\"\n"
              "  picture Frame \"0 0 1 1\"\n"));
  Container form(&host, &handle, L"G");
  EXPECT_NE(form.read_picture(L"Background", skinner::Picture()).get_bitmap(), nullptr);
  EXPECT_EQ(host.failed_pictures, 1);
  // No descriptor at all is the default, not a failure.
  EXPECT_EQ(form.read_picture(L"Frame", skinner::Picture()).get_bitmap(), nullptr);
  EXPECT_EQ(host.failed_pictures, 1);
}

// The form list the reloader walks, as the form keeps it.
Container* g_open_form = nullptr;
skinner::Properties* g_open_handle = nullptr;

TEST(Retranslation, AChangeOfLanguageTranslatesTheSkinTextsAgain) {
  auto write = [](const std::wstring& path, const std::string& bytes) {
    os::File f(path, 1);
    f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  };
  write(L"%my_documents%/One.lng", "Hello Salve\nmenuOk Fine\n");
  write(L"%my_documents%/Two.lng", "Hello Hallo\n");
  write(L"%my_documents%/Three.lng", "form.F.a.Text Hoi\n");
  Host host;
  skinner::Properties handle;
  skinner::set_control_maker(L"Button", &Probe::make);
  handle.reset(Compile(kSkin));
  Container form(&host, &handle, L"F");
  form.load_properties();
  g_open_form = &form;
  g_open_handle = &handle;
  skinner::Properties::set_form_reloader([](skinner::Properties& h) {
    if (&h == g_open_handle) g_open_form->load_properties();
  });
  auto& a = *static_cast<Probe*>(form.find_control(L"a"));
  const struct {
    const wchar_t* file;
    const wchar_t* text;
  } steps[] = {{L"%my_documents%/One.lng", L"Salve"},
               {L"%my_documents%/Two.lng", L"Hallo"},
               {L"%my_documents%/Three.lng", L"Hoi"},
               {L"%my_documents%/One.lng", L"Salve"}};  // the explicit key went with its language
  for (const auto& s : steps) {
    ASSERT_TRUE(skinner::Properties::set_language(handle, s.file));
    EXPECT_EQ(a.text, s.text) << s.file;
  }
  EXPECT_FALSE(skinner::Properties::set_language(handle, L"%my_documents%/None.lng"));
  EXPECT_EQ(a.text, L"Salve");
  skinner::Properties::set_form_reloader(nullptr);
  skinner::set_control_maker(L"Button", nullptr);
}

}  // namespace
