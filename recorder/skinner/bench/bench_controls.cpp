// The recorder's default skin loaded from its ZIP with the main form's
// control tree built on it, and a full 240 x 320 form of 30 controls painted
// into its back buffer.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "os/file.h"
#include "scoped_setting.h"
#include "screen_config.h"
#include "skin_art.h"
#include "skin_compiler.h"
#include "skinner/canvas.h"
#include "skinner/container.h"
#include "skinner/control.h"
#include "skinner/font.h"
#include "skinner/picture.h"
#include "temp_device.h"

namespace {

using skinner::Container;
using skinner::Control;
using skinner::Point;
using skinner::Rect;

// The device these benchmarks run on: headless, on a root of their own.
void Device() {
  static ce::test::ScopedSetting backend("DEVICE_BACKEND", "headless");
  static ce::test::TempDevice device;
}

// A control drawing what most skinned controls draw: a picture and a text.
class Plain : public Control {
 public:
  using Control::Control;
  void load_properties() override {
    Control::load_properties();
    picture_ = read_picture(L"Normal", skinner::Picture());
    background_ = read_picture(L"Background", skinner::Picture());
    font_ = read_font(L"Normal", skinner::FontDesc());
    colour_ = read_colour(L"Normal", {});
    text_ = read_text(L"Text", text_);
  }
  void draw(skinner::Canvas& canvas, const Rect& clip) override {
    background_.draw(canvas, get_position(), get_size());
    picture_.draw(canvas, get_position(), get_size());
    if (!text_.empty()) skinner::layout_text(font_, canvas, colour_, text_, get_position(), get_size(), 1, 1);
    Control::draw(canvas, clip);
  }
  std::wstring text_;

 private:
  skinner::Picture picture_;
  skinner::Picture background_;
  skinner::FontDesc font_;
  skinner::Colour colour_;
};

// A panel: a control holding a container built from its "FormTemplate".
class Panel : public Plain {
 public:
  Panel(Container& container, const std::wstring& name, std::vector<std::wstring> children)
      : Plain(container, name), children_(std::move(children)) {}
  void load_properties() override {
    Plain::load_properties();
    inner_ = std::make_unique<Container>(get_form(), get_properties(), read_text(L"FormTemplate", L""),
                                         skinner::NamingMode::Named, this);
    controls_.clear();
    for (const std::wstring& child : children_) controls_.push_back(std::make_unique<Plain>(*inner_, child));
    inner_->load_properties();
  }
  bool set_rect(Point position, Point size) override {
    const bool changed = Plain::set_rect(position, size);
    if (inner_) inner_->set_rect(position, size);
    return changed;
  }
  void draw(skinner::Canvas& canvas, const Rect& clip) override {
    Plain::draw(canvas, clip);
    if (inner_) inner_->draw(canvas, clip);
  }

 private:
  std::vector<std::wstring> children_;
  std::vector<std::unique_ptr<Plain>> controls_;
  std::unique_ptr<Container> inner_;
};

struct Host : skinner::FormHost {
  void invalidate(const Rect&) override {}
  std::uint32_t set_timer(double) override { return ++timers; }
  void kill_timer(std::uint32_t) override {}
  bool is_key_pressed(skinner::KeyCode) const override { return false; }
  void on_picture_failed_to_load(const skinner::Picture&) override {}
  std::uint32_t timers = 0;
};

// The main form as the recorder builds it: its children in their order,
// the panels with theirs.
struct MainForm {
  MainForm(Host& host, skinner::Properties& handle) : form(&host, &handle, L"FormMain") {
    for (const wchar_t* name :
         {L"MenuMain", L"Menu", L"Record", L"Pause", L"Resume", L"Stop", L"frmFolder", L"frmDate", L"frmSize",
          L"lstFiles_playsize", L"lstFiles_recordsize", L"lstFiles_bigsize", L"lstFiles"}) {
      controls.push_back(std::make_unique<Plain>(form, name));
    }
    controls.push_back(std::make_unique<Panel>(
        form, L"panelPlay", std::vector<std::wstring>{L"panelDisplay", L"panelLevels", L"panelPosition"}));
    controls.push_back(std::make_unique<Panel>(
        form, L"panelRecord", std::vector<std::wstring>{L"panelDisplay", L"panelLevels", L"panelBoost"}));
    form.load_properties();
    form.set_rect({0, 0}, {240, 268});
  }
  Container form;
  std::vector<std::unique_ptr<Control>> controls;
};

void BM_LoadDefaultSkinAndBuildMainForm(benchmark::State& state) {
  Device();
  {
    std::ifstream in(std::string(VO_DATA_DIR) + "/skins/default/default.skin", std::ios::binary);
    const std::string zip{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    os::File f(L"%my_documents%/default.skin", 1);
    f.write(zip.data(), static_cast<std::uint32_t>(zip.size()));
  }
  Host host;
  for (auto _ : state) {
    skinner::Properties handle;
    skinner::Properties::create_named(handle, L"%my_documents%/default.skin", L"", {240, 320});
    if (!skinner::Properties::is_valid(handle)) state.SkipWithError("the default skin did not load");
    MainForm main(host, handle);
    benchmark::DoNotOptimize(main.form.get_children().size());
  }
}
BENCHMARK(BM_LoadDefaultSkinAndBuildMainForm)->Unit(benchmark::kMillisecond);

// 30 controls on a 240 x 320 form: masked buttons with captions, labels,
// level bars, alpha panels and a caption bar, over a stretched background.
void BM_PaintFullForm(benchmark::State& state) {
  Device();
  ce::test::ScreenConfig screen{{"DEVICE_SCREEN_BPP", state.range(0) == 32 ? "32" : "16"}};
  {
    std::vector<std::pair<std::string, std::string>> members = skinart::DefaultSet();
    std::string source =
        "skin \"Paint\"\nsizes 240x320\n"
        "kind Btn\n  picture Normal \"0 0 6 6 7 7 13 13 s btn_normal\"\n  font Normal \"12 1 0 0 Sans\"\n"
        "kind Label\n  font Normal \"12 0 0 0 Sans\"\n"
        "kind Bar\n  picture Background \"0 0 4 4 5 5 9 9 s bar\"\n  picture Normal \"0 0 2 2 7 7 9 9 s level\"\n"
        "kind Glass\n  picture Background \"0 0 6 6 18 18 24 24 t panel\"\n"
        "kind Caption\n  picture Normal \"0 0 6 6 7 7 13 22 s caption\"\n  font Normal \"13 1 0 0 Sans\"\n"
        "form Paint\n  size Size 240 320\n  picture Background \"0 0 0 0 16 64 16 64 s background\"\n";
    for (int i = 0; i < 30; ++i) {
      const char* kinds[] = {"Btn", "Label", "Bar", "Glass", "Btn", "Label"};
      const std::string kind = i == 0 ? "Caption" : kinds[i % 6];
      source += "  child c" + std::to_string(100 + i) + " : " + kind + "\n";
      source += "    size Position " + std::to_string(4 + (i % 3) * 78) + " " + std::to_string(4 + (i / 3) * 31) + "\n";
      source += "    size Size 76 29\n    text Text \"Item " + std::to_string(i) + "\"\n";
    }
    std::vector<std::uint8_t> blob;
    std::string error;
    if (!skinc::Compile(source, blob, error)) state.SkipWithError(error.c_str());
    members.insert(members.begin(), {"paint.skin", std::string(blob.begin(), blob.end())});
    const std::string zip = skinc::StoredZip(members);
    os::File f(L"%my_documents%/paint.zip", 1);
    f.write(zip.data(), static_cast<std::uint32_t>(zip.size()));
  }
  Host host;
  skinner::Properties handle;
  skinner::Properties::create_named(handle, L"%my_documents%/paint.zip", L"", {240, 320});
  Container form(&host, &handle, L"Paint");
  std::vector<std::unique_ptr<Plain>> controls;
  for (int i = 0; i < 30; ++i) controls.push_back(std::make_unique<Plain>(form, L"c" + std::to_wstring(100 + i)));
  form.load_properties();
  form.set_rect({0, 0}, {240, 320});
  const skinner::Picture background = form.read_picture(L"Background", skinner::Picture());

  HDC screen_dc = GetDC(nullptr);
  HBITMAP buffer = CreateCompatibleBitmap(screen_dc, 240, 320);
  HDC dc = CreateCompatibleDC(screen_dc);
  HGDIOBJ old = SelectObject(dc, buffer);
  ReleaseDC(nullptr, screen_dc);
  for (auto _ : state) {
    skinner::CanvasImpl impl(dc, {0, 0}, {240, 320});
    skinner::Canvas canvas(&impl);
    background.draw(canvas, {0, 0}, {240, 320});
    form.draw(canvas, Rect{0, 0, 240, 320});
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(buffer);
}
BENCHMARK(BM_PaintFullForm)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace
