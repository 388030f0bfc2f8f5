#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "liba/error.h"
#include "os/file.h"
#include "skin_compiler.h"
#include "skinner/font.h"
#include "skinner/properties.h"

namespace {

using skinner::Colour;
using skinner::Point;
using skinner::PropertiesImpl;

struct Fatal {
  std::wstring where;
  std::wstring what;
};

// Fatal errors throw instead of ending the test program.
class PropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = liba::set_fatal_message_box([](const std::wstring& text, const std::wstring& caption) {
      throw Fatal{caption, text};
    });
  }
  void TearDown() override {
    liba::set_fatal_message_box(previous_);
    skinner::set_device_info({});
  }
  liba::FatalMessageBox previous_ = nullptr;
};

std::vector<std::uint8_t> Compile(const std::string& source) {
  std::vector<std::uint8_t> blob;
  std::string error;
  EXPECT_TRUE(skinc::Compile(source, blob, error)) << error;
  return blob;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  os::File f(path, 1);
  f.write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

template <typename F>
Fatal CatchFatal(F&& f) {
  try {
    f();
  } catch (const Fatal& fatal) {
    return fatal;
  }
  ADD_FAILURE() << "no fatal error";
  return {};
}

const char kSkin[] =
    "skin \"Vocamo_1.00\"\n"
    "sizes 240x320 320x240\n"
    "kind Base\n"
    "  colour Color 10 20 30\n"
    "  int Depth 1\n"
    "  text Text \"Press\"\n"
    "  font Font \"12 1 0 0 Plain Sans\"\n"
    "kind Mid : Base\n"
    "  int Depth 2\n"
    "  int Only 5\n"
    "kind Leaf : Mid\n"
    "  size Position 3 5\n"
    "  picture Normal \"0 0 4 4 5 5 9 9 s btn\"\n"
    "form FormMain\n"
    "  size Size 240 268\n"
    "  text Title \"Main\"\n"
    "  control btnOk : Leaf class Button\n"
    "    int Depth 3\n"
    "    int Odd -7\n"
    "    text Text \"Press\"\n"
    "  control frmA class Frame\n"
    "    text Text \"Hello\"\n"
    "  child hidden : Leaf\n"
    "form About : Base\n"
    "  text Text \"Hello\"\n";

TEST_F(PropertiesTest, LookupsInheritThroughControlKindAndBaseChain) {
  WriteFile(L"%my_documents%/skin.zip", skinc::StoredZip({{"readme.txt", "not this"}, {"x/Main.SKIN", [] {
                                                                                         const auto b = Compile(kSkin);
                                                                                         return std::string(b.begin(),
                                                                                                            b.end());
                                                                                       }()}}));
  PropertiesImpl p(L"%my_documents%/skin.zip", L"", {480, 640});
  ASSERT_TRUE(p.is_valid());
  EXPECT_EQ(p.get_scale(), 2.0);
  EXPECT_EQ(p.get_skin_name(), L"Vocamo_1.00");

  const struct {
    const wchar_t* kind;
    const wchar_t* control;
    const wchar_t* form;
    const wchar_t* key;
    int expected;
  } ints[] = {
      {L"Leaf", L"btnOk", L"FormMain", L"Depth", 3},   // the control's own
      {L"Leaf", L"btnOk", L"FormMain", L"Only", 5},    // kind, then its base
      {L"Leaf", L"hidden", L"FormMain", L"Depth", 2},  // the nearest kind in the chain
      {L"", L"hidden", L"FormMain", L"Depth", -1},     // the control node has no base chain
      {L"Mid", L"", L"FormMain", L"Depth", 2},         // no control: the kind alone
      {L"", L"About", L"About", L"Depth", 1},          // a form and its base
      {L"Leaf", L"btnOk", L"FormMain", L"Missing", -1},
  };
  for (const auto& c : ints) {
    EXPECT_EQ(p.read_int(c.kind, c.control, c.form, c.key, -1), c.expected) << c.control << "." << c.key;
  }
  EXPECT_EQ(p.read_colour(L"Leaf", L"btnOk", L"FormMain", L"Color", {}), (Colour{10, 20, 30, 255}));
  EXPECT_EQ(p.read_colour(L"", L"frmA", L"FormMain", L"Color", {1, 1, 1, 1}), (Colour{1, 1, 1, 1}));
  // Scaled readers truncate toward zero and leave the default as it is.
  EXPECT_EQ(p.read_scaled_int(L"Leaf", L"btnOk", L"FormMain", L"Odd", 0), -14);
  EXPECT_EQ(p.read_scaled_int(L"Leaf", L"btnOk", L"FormMain", L"None", 7), 7);
  EXPECT_EQ(p.read_point(L"Leaf", L"btnOk", L"FormMain", L"Position", {}), (Point{3, 5}));
  EXPECT_EQ(p.read_scaled_point(L"Leaf", L"btnOk", L"FormMain", L"Position", {}), (Point{6, 10}));
  EXPECT_EQ(p.read_scaled_point(L"", L"FormMain", L"FormMain", L"Size", {}), (Point{480, 536}));
  EXPECT_EQ(p.read_scaled_point(L"", L"frmA", L"FormMain", L"Position", {9, 9}), (Point{9, 9}));
  EXPECT_EQ(p.read_text(L"", L"FormMain", L"FormMain", L"Title", L""), L"Main");
  EXPECT_EQ(p.read_picture_text(L"Leaf", L"btnOk", L"FormMain", L"Normal", L""), L"0 0 4 4 5 5 9 9 s btn");
  EXPECT_EQ(p.read_font_text(L"Leaf", L"btnOk", L"FormMain", L"Font", L""), L"12 1 0 0 Plain Sans");
  const skinner::FontDesc font = p.read_font(L"Leaf", L"btnOk", L"FormMain", L"Font", skinner::FontDesc());
  EXPECT_EQ(font.get_scale(), 2.0);
  ASSERT_NE(font.get_font(), nullptr);
  EXPECT_NE(font.get_font()->get(), nullptr);
  EXPECT_EQ(p.read_font(L"", L"frmA", L"FormMain", L"Font", skinner::FontDesc()).get_font(), nullptr);

  ASSERT_EQ(p.get_declared_count(L"FormMain"), 2);
  const skinner::DeclaredControl first = p.get_declared_control(L"FormMain", 0);
  EXPECT_EQ(first.name, L"btnOk");
  EXPECT_EQ(first.class_name, L"Button");
  EXPECT_EQ(first.kind, L"Leaf");
  EXPECT_EQ(p.get_declared_control(L"FormMain", 1).kind, L"");
  EXPECT_EQ(p.get_declared_control(L"FormMain", 2).name, L"");
  EXPECT_EQ(p.get_control_kind(L"FormMain", L"btnOk"), L"Leaf");
  EXPECT_EQ(p.get_control_kind(L"FormMain", L"frmA"), L"");
  EXPECT_EQ(p.get_control_kind(L"About", L"About"), L"Base");
}

TEST_F(PropertiesTest, MissingFormControlOrKindIsFatal) {
  PropertiesImpl p(Compile(kSkin), {});
  Fatal f = CatchFatal([&] { p.read_int(L"", L"nope", L"FormMain", L"X", 0); });
  EXPECT_EQ(f.where, L"find_in_tree_with_exception");
  EXPECT_EQ(f.what, L"nope");
  f = CatchFatal([&] { p.read_int(L"", L"Gone", L"Gone", L"X", 0); });
  EXPECT_EQ(f.where, L"find_in_tree_with_exception2");
  EXPECT_EQ(f.what, L"Gone");
  f = CatchFatal([&] { p.read_int(L"NoKind", L"frmA", L"FormMain", L"X", 0); });
  EXPECT_EQ(f.where, L"find_in_tree_with_exception");
  EXPECT_EQ(f.what, L"NoKind");
}

TEST_F(PropertiesTest, ScaleComesFromExactMatchOrTheCheapestFit) {
  const auto blob = Compile("skin \"S\"\nsizes 240x320 320x240\n");
  const struct {
    Point screen;
    double scale;
  } cases[] = {
      {{480, 640}, 2.0}, {{960, 720}, 3.0}, {{500, 700}, 2.0},  // widest fit, x2
      {{480, 600}, 1.0},                                        // 320x240 beats 240x320
      {{0, 0}, 1.0},     {{100, 100}, 1.0},                     // nothing fits
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PropertiesImpl(blob, c.screen).get_scale(), c.scale) << c.screen.x << "x" << c.screen.y;
  }
  EXPECT_EQ(PropertiesImpl(Compile("skin \"S\"\nsizes 0x0 240x320\n"), {480, 640}).get_scale(), 1.0);

  const PropertiesImpl p(blob, {});
  EXPECT_TRUE(p.match_screen(L"", {640, 480}));
  EXPECT_TRUE(p.match_screen(L"S", {0, 0}));
  EXPECT_FALSE(p.match_screen(L"T", {0, 0}));
  EXPECT_FALSE(p.match_screen(L"S", {480, 600}));
  EXPECT_TRUE(PropertiesImpl(Compile("skin \"S\"\n"), {}).match_screen(L"S", {123, 45}));
}

TEST_F(PropertiesTest, VariantIsTheWidestThenTallestThatFitsTheDevice) {
  PropertiesImpl p(Compile("skin \"S\"\n"
                           "form Dlg\n  size Size 200 100\n  text Name \"small\"\n"
                           "form Dlg_big\n  size Size 240 300\n  text Name \"big\"\n"
                           "form Dlg_tall\n  size Size 240 310\n  text Name \"tall\"\n"
                           "form Dlg_huge\n  size Size 300 300\n  text Name \"huge\"\n"
                           "form Dlg_sp\n  size Size 240 320\n  text Devices \"S\"\n  text Name \"phone\"\n"
                           "form Dlg_full\n  size Size 240 320\n  int Fullscreen 1\n  text Devices \"P\"\n"
                           "  text Name \"full\"\n"),
                   {});
  static bool smartphone = false;
  static Point workarea{240, 315};
  skinner::set_device_info({[] { return smartphone; }, [] { return Point{240, 320}; }, [] { return workarea; }});
  auto name = [&](const wchar_t* form) { return p.read_text(L"", form, form, L"Name", L"-"); };
  // Pocket PC: the full-screen variant has the whole screen.
  EXPECT_EQ(name(L"Dlg"), L"full");
  EXPECT_EQ(name(L"Dlg_b"), L"big");
  EXPECT_EQ(name(L"Dlg"), L"full");
  // The variant is cached per name; a new device answer shows after a change of name.
  smartphone = true;
  EXPECT_EQ(name(L"Dlg_"), L"tall");
  workarea = {240, 320};
  EXPECT_EQ(name(L"Dlg"), L"phone");
}

TEST_F(PropertiesTest, LanguageChangeTranslatesEveryTextFromItsLiteralAgain) {
  WriteFile(L"%my_documents%/skin.skin", [] {
    const auto b = Compile(kSkin);
    return std::string(b.begin(), b.end());
  }());
  WriteFile(L"%my_documents%/English.lng", "Press Push\r\nHello Hi\r\nform.FormMain.frmA.Text Greetings\r\n");
  WriteFile(L"%my_documents%/German.lng", "Press Druecken\r\nHello Hallo\r\n");
  skinner::Properties handle;
  skinner::Properties::create_named(handle, L"%my_documents%/skin.skin", L"%my_documents%/English.lng", {});
  ASSERT_TRUE(skinner::Properties::is_valid(handle));
  PropertiesImpl& p = *handle.get();
  auto text = [&](const wchar_t* kind, const wchar_t* control, const wchar_t* form) {
    return p.read_text(kind, control, form, L"Text", L"-");
  };
  EXPECT_EQ(text(L"", L"frmA", L"FormMain"), L"Greetings");  // the explicit key wins
  EXPECT_EQ(text(L"", L"btnOk", L"FormMain"), L"Push");
  EXPECT_EQ(text(L"", L"About", L"About"), L"Hi");
  EXPECT_EQ(text(L"Base", L"", L"FormMain"), L"Push");

  EXPECT_FALSE(skinner::Properties::set_language(handle, L"%my_documents%/French.lng"));
  EXPECT_EQ(text(L"", L"btnOk", L"FormMain"), L"Push");
  ASSERT_TRUE(skinner::Properties::set_language(handle, L"%my_documents%/German.lng"));
  EXPECT_EQ(text(L"", L"btnOk", L"FormMain"), L"Druecken");
  EXPECT_EQ(text(L"", L"About", L"About"), L"Hallo");
  EXPECT_EQ(text(L"Base", L"", L"FormMain"), L"Druecken");
  // The explicit key went with English: the literal's translation shows.
  EXPECT_EQ(text(L"", L"frmA", L"FormMain"), L"Hallo");
  EXPECT_EQ(skinner::Properties::translate(handle, L"Hello"), L"Hallo");
  EXPECT_EQ(skinner::Properties::translate(handle, L"Unknown"), L"Unknown");

  // A placeholder has a language table but no skin.
  skinner::Properties placeholder;
  placeholder.reset(skinner::Properties::create_language_only());
  EXPECT_FALSE(skinner::Properties::is_valid(placeholder));
  EXPECT_TRUE(skinner::Properties::set_language(placeholder, L"%my_documents%/German.lng"));
  EXPECT_EQ(skinner::Properties::translate(placeholder, L"Press"), L"Druecken");
}

// A tiny image laid out by hand, independently of the compiler: header, form
// "F" at 200 whose integers tree holds "X" = 7 at 308.
std::vector<std::uint8_t> HandImage() {
  std::vector<std::uint8_t> b(384, 0);
  auto put = [&](std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); };
  b[0] = 'S';
  put(64, 200);
  b[200] = 'F';
  put(200 + 76, 308);
  b[308] = 'X';
  put(308 + 72, 7);
  return b;
}

TEST_F(PropertiesTest, DamagedImagesAnswerDefaultsWithoutReadingOutside) {
  EXPECT_EQ(PropertiesImpl(HandImage(), {}).read_int(L"", L"F", L"F", L"X", 0), 7);
  std::vector<std::uint8_t> b = HandImage();
  b.resize(199);
  EXPECT_FALSE(PropertiesImpl(b, {}).is_valid());
  b = HandImage();
  for (int i = 0; i < 64; ++i) b[i] = 'A';
  EXPECT_FALSE(PropertiesImpl(b, {}).is_valid());

  auto put = [](std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t v) { std::memcpy(&image[at], &v, 4); };
  const struct {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  } damage[] = {
      {"ints root past the end", 200 + 76, 380},      {"ints root far past the end", 200 + 76, 0xFFFFFFF0u},
      {"record links to itself", 308 + 68, 308},      {"base links to itself", 200 + 72, 200},
      {"unterminated record name", 308, 0x41414141u},
  };
  for (const auto& d : damage) {
    b = HandImage();
    put(b, d.at, d.value);
    if (std::strcmp(d.what, "unterminated record name") == 0) {
      for (int i = 0; i < 64; i += 4) put(b, 308 + i, 0x00410041u);
    }
    PropertiesImpl p(b, {});
    // Searching "Z" walks right; a self link must end the walk.
    EXPECT_EQ(p.read_int(L"", L"F", L"F", L"Z", -1), -1) << d.what;
  }
  // A stored negative text length is damage, not a translation index.
  b = HandImage();
  b.resize(384 + 80, 0);
  put(b, 200 + 84, 384);
  b[384] = 'T';
  put(b, 384 + 72, 0xFFFFFFFFu);
  EXPECT_EQ(PropertiesImpl(b, {}).read_text(L"", L"F", L"F", L"T", L"d"), L"d");
  put(b, 384 + 72, 0x40000000u);  // longer than the image
  EXPECT_EQ(PropertiesImpl(b, {}).read_text(L"", L"F", L"F", L"T", L"d"), L"d");
}

}  // namespace
