// Frames drawn in the game's logical coordinates must appear upright on the
// headless screen in every output and every way the screen memory lies.
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "ce/gx.h"
#include "display_test_support.h"

namespace {

using ks::test::OpenDevice;
using ks::test::ScreenPixel;

constexpr int kLogicalW = 320;
constexpr int kLogicalH = 240;

struct Shape {
  ssRect rect;
  int flags;
  std::uint16_t pixel;
};

// Background, a corner marker, a one-pixel line, an outline with an odd
// left edge and a block touching the far corner: every edge case of the
// rotation maps shows up as a wrong pixel.
const std::array<Shape, 6> kScene = {{
    {{0, 0, kLogicalW, kLogicalH}, 1, 0x1234},
    {{0, 0, 40, 30}, 1, 0xF800},
    {{101, 50, 102, 190}, 1, 0x07E0},
    {{151, 100, 250, 181}, 0, 0x001F},
    {{300, 200, 320, 240}, 1, 0xFFFF},
    {{7, 233, 8, 240}, 1, 0x8410},
}};

std::vector<std::uint16_t> LogicalPicture() {
  std::vector<std::uint16_t> picture(kLogicalW * kLogicalH);
  auto put = [&](LONG l, LONG t, LONG r, LONG b, std::uint16_t p) {
    for (LONG y = t; y < b; ++y) {
      for (LONG x = l; x < r; ++x) picture[static_cast<std::size_t>(y * kLogicalW + x)] = p;
    }
  };
  for (const Shape& s : kScene) {
    const ssRect& r = s.rect;
    if (s.flags & 1) {
      put(r.left, r.top, r.right, r.bottom, s.pixel);
    } else {
      put(r.left, r.top, r.right, r.top + 1, s.pixel);
      put(r.left, r.bottom - 1, r.right, r.bottom, s.pixel);
      put(r.left, r.top, r.left + 1, r.bottom, s.pixel);
      put(r.right - 1, r.top, r.right, r.bottom, s.pixel);
    }
  }
  return picture;
}

void DrawScene(ssDisplayS16& d) {
  d.BeginDraw();
  for (const Shape& s : kScene) d.DrawRect(s.rect, s.flags, s.pixel);
  d.EndDraw();
  d.Present();
}

// Compares every screen pixel with the logical picture, turned as the
// application asks: a portrait screen shows the picture a quarter turn
// anticlockwise (logical (x, y) at screen (y, H - 1 - x)).
void ExpectSceneOnScreen(int screenW, int screenH) {
  const std::vector<std::uint16_t> picture = LogicalPicture();
  int wrong = 0;
  for (int sy = 0; sy < screenH && wrong < 5; ++sy) {
    for (int sx = 0; sx < screenW && wrong < 5; ++sx) {
      const bool portrait = screenW < screenH;
      const int x = portrait ? screenH - 1 - sy : sx;
      const int y = portrait ? sx : sy;
      const std::uint16_t want = picture[static_cast<std::size_t>(y * kLogicalW + x)];
      const std::uint16_t got = ScreenPixel(sx, sy);
      if (got != want) {
        ADD_FAILURE() << "screen (" << sx << ", " << sy << ") shows " << std::hex << got << " for logical (" << std::dec
                      << x << ", " << y << ") " << std::hex << want;
        ++wrong;
      }
    }
  }
}

struct Case {
  int mode;
  const char* rotation;
  int width;
  int height;
};

TEST(DisplayPresent, EveryOutputAndRotationShowsTheLogicalPictureUpright) {
  const int modes[] = {ssDisplayS16::kModeGdi, ssDisplayS16::kModeRaw, ssDisplayS16::kModeGapi};
  const char* rotations[] = {"0", "90", "180", "270"};
  const std::pair<int, int> screens[] = {{240, 320}, {320, 240}};
  for (int mode : modes) {
    for (const char* rotation : rotations) {
      for (const auto& [w, h] : screens) {
        SCOPED_TRACE("mode " + std::to_string(mode) + " rotation " + rotation + " screen " + std::to_string(w) + "x" +
                     std::to_string(h));
        ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", std::to_string(w).c_str()},
                                      {"DEVICE_SCREEN_HEIGHT", std::to_string(h).c_str()},
                                      {"DEVICE_SCREEN_ROTATION", rotation},
                                      {"DEVICE_SCREEN_RAW_FRAMEBUFFER", "1"}};
        auto d = OpenDevice(mode, w, h);
        ASSERT_EQ(d->OutputMode(), mode);
        EXPECT_EQ(d->m_VWidth, kLogicalW);
        EXPECT_EQ(d->m_VHeight, kLogicalH);
        DrawScene(*d);
        ExpectSceneOnScreen(w, h);
        // A second, different frame replaces the first everywhere.
        d->BeginDraw();
        d->DrawRect(ssRect{0, 0, kLogicalW, kLogicalH}, 1, 0x0841);
        d->EndDraw();
        d->Present();
        EXPECT_EQ(ScreenPixel(0, 0), 0x0841);
        EXPECT_EQ(ScreenPixel(w - 1, h - 1), 0x0841);
      }
    }
  }
}

TEST(DisplayPresent, TurnedGapiMemorySwapsTheBufferAndTurnsTheRotation) {
  // A portrait screen whose memory runs along its columns: the buffer is
  // landscape, so the logical picture goes in unturned.
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_ROTATION", "90"}};
  auto d = OpenDevice(ssDisplayS16::kModeGapi, 240, 320);
  EXPECT_EQ(d->m_Width, 320);
  EXPECT_EQ(d->m_Height, 240);
  EXPECT_EQ(d->m_Orientation, 1);
  EXPECT_EQ(d->m_Rotate, 0) << "1 from the application, flipped by the turned memory";
  d->BeginDraw();
  auto* top = static_cast<BYTE*>(GXBeginDraw());
  EXPECT_EQ(static_cast<BYTE*>(d->m_FrontBuffer), top - (d->m_Width - 1) * 2)
      << "the front buffer is the lowest address of the screen memory";
  d->EndDraw();
  d.reset();
  EXPECT_EQ(GXBeginDraw(), nullptr) << "closing the device closes the display";
}

TEST(DisplayPresent, GdiConvertsForADeeperScreenWhenGapiCannotServeIt) {
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_BPP", "32"}};
  auto d = OpenDevice(ssDisplayS16::kModeGapi, 240, 320, 32);
  EXPECT_EQ(d->OutputMode(), ssDisplayS16::kModeGdi);
  EXPECT_EQ(d->m_Depth, 16);
  DrawScene(*d);
  EXPECT_EQ(ce::testing::ScreenPixel(0, 319), RGB(255, 0, 0)) << "the logical top-left marker";
  EXPECT_EQ(ce::testing::ScreenPixel(239, 0), RGB(255, 255, 255)) << "the logical bottom-right block";
}

// --- GAPI's changed-word presentation ------------------------------------------

class GapiPresent : public ::testing::Test {
 protected:
  ce::test::ScreenConfig m_Config{{"DEVICE_SCREEN_WIDTH", "240"}, {"DEVICE_SCREEN_HEIGHT", "320"}};
  std::unique_ptr<ssDisplayS16> m_D = OpenDevice(ssDisplayS16::kModeGapi, 240, 320);

  void Frame(std::uint16_t fill) {
    m_D->BeginDraw();
    std::fill_n(m_D->m_BackBuffer, 240 * 320, fill);
    m_D->EndDraw();
    m_D->Present();
  }
  // Marks a screen pixel behind the device's back: it stays only where
  // Present writes nothing.
  static void Poke(int x, int y, std::uint16_t value) { ce::testing::PokeScreenMemory(x, y, value); }
};

TEST_F(GapiPresent, AnUnchangedFrameWritesNothing) {
  Frame(0x1111);
  EXPECT_EQ(ScreenPixel(0, 0), 0x1111);
  Poke(0, 0, 0x2222);
  Poke(239, 319, 0x2222);
  Frame(0x1111);
  EXPECT_EQ(ScreenPixel(0, 0), 0x2222);
  EXPECT_EQ(ScreenPixel(239, 319), 0x2222);
  // One changed pixel is written, and only its word.
  m_D->BeginDraw();
  m_D->m_BackBuffer[5] = 0x3333;
  m_D->EndDraw();
  Poke(6, 0, 0x4444);
  m_D->Present();
  EXPECT_EQ(ScreenPixel(5, 0), 0x3333);
  EXPECT_EQ(ScreenPixel(4, 0), 0x1111) << "the word's other pixel is rewritten with it";
  EXPECT_EQ(ScreenPixel(6, 0), 0x4444);
}

TEST_F(GapiPresent, FullRefreshCopiesAllOnceAndKeepsTheShadowTrue) {
  Frame(0x1111);
  Poke(10, 10, 0x2222);
  m_D->m_FullRefresh = true;
  Frame(0x5555);
  EXPECT_FALSE(m_D->m_FullRefresh);
  EXPECT_EQ(ScreenPixel(10, 10), 0x5555);
  // Back to the first picture: every word differs from what is shown, so
  // all of it must be written again.
  Frame(0x1111);
  EXPECT_EQ(ScreenPixel(10, 10), 0x1111);
  EXPECT_EQ(ScreenPixel(239, 319), 0x1111);
  EXPECT_EQ(m_D->m_ShadowBuffer[0], 0x1111);
}

TEST_F(GapiPresent, ClearOnPresentWritesChangesAndClearsTheBackBuffer) {
  Frame(0x1111);
  Poke(0, 0, 0x2222);
  m_D->m_ClearOnPresent = true;
  m_D->BeginDraw();
  std::fill_n(m_D->m_BackBuffer, 240 * 320, 0x1111);
  m_D->m_BackBuffer[240 * 100 + 3] = 0x7777;
  m_D->EndDraw();
  m_D->Present();
  EXPECT_EQ(ScreenPixel(0, 0), 0x2222) << "unchanged word not written";
  EXPECT_EQ(ScreenPixel(3, 100), 0x7777);
  for (int i = 0; i < 240 * 320; i += 997) ASSERT_EQ(m_D->m_BackBuffer[i], 0) << i;
  EXPECT_EQ(m_D->m_BackBuffer[240 * 100 + 3], 0);
}

TEST_F(GapiPresent, NoFrontBufferShowsNothingButDrawingGoesOn) {
  ks::test::LogCapture log;
  Frame(0x1111);
  ASSERT_NE(GXSuspend(), 0);
  m_D->BeginDraw();
  EXPECT_TRUE(log.Has(L"FrontBuffer=NULL"));
  EXPECT_EQ(m_D->m_FrontBuffer, nullptr);
  m_D->DrawRect(ssRect{0, 0, 320, 240}, 1, 0x6666);
  m_D->EndDraw();
  m_D->Present();
  EXPECT_EQ(ScreenPixel(0, 0), 0x1111);
  EXPECT_EQ(m_D->m_BackBuffer[0], 0x6666);
  ASSERT_NE(GXResume(), 0);
  m_D->BeginDraw();
  m_D->EndDraw();
  m_D->Present();
  EXPECT_EQ(ScreenPixel(0, 0), 0x6666);
}

}  // namespace
