// Choosing the output, opening and closing, the scratch pool, render
// targets, saved rectangles and the base's geometry and clip stack.
#include <cstring>
#include <string>
#include <vector>

#include "ce/gx.h"
#include "display_test_support.h"

namespace {

using ks::test::LogCapture;
using ks::test::OpenDevice;

TEST(DisplayMode, DetectFollowsTheScreen) {
  struct Row {
    const char* width;
    const char* height;
    const char* raw;
    int want;
  };
  const Row rows[] = {
      {"240", "240", "0", ssDisplayS16::kModeGdi},  {"480", "480", "0", ssDisplayS16::kModeGdi},
      {"240", "320", "0", ssDisplayS16::kModeGapi}, {"320", "240", "0", ssDisplayS16::kModeGapi},
      {"480", "640", "0", ssDisplayS16::kModeGdi},  {"480", "640", "1", ssDisplayS16::kModeRaw},
      {"240", "240", "1", ssDisplayS16::kModeRaw},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.width) + "x" + r.height + " raw " + r.raw);
    ce::test::ScreenConfig config{
        {"DEVICE_SCREEN_WIDTH", r.width}, {"DEVICE_SCREEN_HEIGHT", r.height}, {"DEVICE_SCREEN_RAW_FRAMEBUFFER", r.raw}};
    ssDisplayS16 d;
    EXPECT_EQ(d.DetectMode(nullptr), r.want);
    EXPECT_EQ(d.OutputMode(), r.want);
    EXPECT_EQ(int{d.m_UseGdi} + int{d.m_UseGapi} + int{d.m_UseRaw}, 1);
    EXPECT_EQ(GXBeginDraw(), nullptr) << "detection leaves GAPI closed";
  }
  // A 32-bit screen offers no memory this device can write directly.
  ce::test::ScreenConfig deep{{"DEVICE_SCREEN_BPP", "32"}, {"DEVICE_SCREEN_RAW_FRAMEBUFFER", "1"}};
  ssDisplayS16 d;
  EXPECT_EQ(d.DetectMode(nullptr), ssDisplayS16::kModeGdi);
}

TEST(DisplayMode, TheConfigurationForcesAnOutput) {
  struct Row {
    const char* setting;
    int want;
  };
  const Row rows[] = {{"gdi", ssDisplayS16::kModeGdi},
                      {"RAW", ssDisplayS16::kModeRaw},
                      {"gapi", ssDisplayS16::kModeGapi},
                      {"auto", ssDisplayS16::kModeGapi},
                      {"bogus", ssDisplayS16::kModeGapi}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.setting);
    ce::test::ScreenConfig config{{"DEVICE_DISPLAY_MODE", r.setting}};
    ssDisplayS16 d;
    EXPECT_EQ(d.SelectOutput(nullptr), r.want);
  }
  ssDisplayS16 d;
  EXPECT_FALSE(d.ForceOutput(4));
  EXPECT_EQ(d.OutputMode(), 0);
}

TEST(DisplayOpen, RawWithoutTheEscapeFallsBackToGdi) {
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_RAW_FRAMEBUFFER", "0"}};
  auto d = OpenDevice(ssDisplayS16::kModeRaw, 240, 320);
  EXPECT_EQ(d->OutputMode(), ssDisplayS16::kModeGdi);
  EXPECT_NE(d->m_BackBuffer, nullptr);
}

TEST(DisplayOpen, BuffersAndGeometryAfterOpen) {
  LogCapture log;
  auto d = OpenDevice(ssDisplayS16::kModeGapi, 240, 320);
  EXPECT_EQ(d->m_Width, 240);
  EXPECT_EQ(d->m_Height, 320);
  EXPECT_EQ(d->m_VWidth, 320);
  EXPECT_EQ(d->m_VHeight, 240);
  EXPECT_EQ(d->m_Rotate, 1);
  EXPECT_EQ(d->m_Stride, 480);
  EXPECT_EQ(d->m_CentreX, 120 << 16);
  EXPECT_EQ(d->m_CentreY, 160 << 16);
  EXPECT_EQ(d->m_ScratchSize, 240u * 320u * 2u);
  EXPECT_EQ(d->m_RenderPitch, 480);
  EXPECT_EQ(d->m_RenderBits, 16);
  EXPECT_EQ(d->m_Clip.right, 240 << 16);
  EXPECT_EQ(d->GetClipRect()->bottom, 320);
  for (int i = 0; i < 240 * 320; i += 311) {
    ASSERT_EQ(d->m_ShadowBuffer[i], 0xA5A5) << i;
    ASSERT_EQ(d->m_Buffer8[i], 0) << i;
  }
  EXPECT_EQ(d->m_SpanTable[320 * 9 - 1], 0);
  EXPECT_TRUE(log.Has(L"Gapi: w 240 h 320 stride 480"));
  EXPECT_TRUE(log.Has(L"ssDisplayS16::DeviceOpen - m_Width = 240, m_Height = 320"));
  EXPECT_TRUE(log.Has(L"ssDisplayS16::DeviceOpen - m_VWidth = 320, m_VHeight = 240"));
  EXPECT_TRUE(log.Has(L"ssDisplayS16::DeviceOpen - m_Rotate = 1"));
  EXPECT_TRUE(log.Has(L"ssDisplayS16::DeviceOpen - m_RenderWidth = 240, m_RenderPitch = 480"));
  // Closing releases everything, restores the application's rotation, and
  // a second close is harmless.
  EXPECT_EQ(d->DeviceClose(), 0);
  EXPECT_EQ(d->m_BackBuffer, nullptr);
  EXPECT_EQ(d->m_ShadowBuffer, nullptr);
  EXPECT_EQ(d->m_ScratchBase, nullptr);
  EXPECT_EQ(d->ScratchAlloc(4), nullptr);
  EXPECT_EQ(d->DeviceClose(), 0);
  EXPECT_EQ(d->Present(), 0);
  EXPECT_EQ(GXOpenDisplay(nullptr, GX_FULLSCREEN), 1) << "the device let GAPI go";
  GXCloseDisplay();
}

TEST(DisplayOpen, RawLogsItsScreen) {
  LogCapture log;
  ce::test::ScreenConfig config{{"DEVICE_SCREEN_RAW_FRAMEBUFFER", "1"}, {"DEVICE_SCREEN_ROTATION", "90"}};
  auto d = OpenDevice(ssDisplayS16::kModeRaw, 240, 320);
  EXPECT_TRUE(log.Has(L"Raw: w 240 h 320 stride -2 FBOrient 1"));
  EXPECT_EQ(d->m_Width, 320);
  EXPECT_EQ(d->m_Rotate, 0);
}

TEST(DisplayOpen, FailureIsReportedAndHoldsNothing) {
  ssDisplayS16 d;
  d.ForceOutput(ssDisplayS16::kModeGdi);
  EXPECT_NE(d.Init(nullptr, 0, 320, 16, 0), 0);
  EXPECT_NE(d.Init(nullptr, 240, 100000, 16, 0), 0);
  EXPECT_EQ(d.m_BackBuffer, nullptr);
  EXPECT_EQ(d.m_ShadowBuffer, nullptr);
  EXPECT_EQ(d.m_RenderBuffer, nullptr);
  EXPECT_EQ(d.DrawRect(ssRect{0, 0, 10, 10}, 1, 0xFFFF), 0);
  EXPECT_EQ(d.Clear(), 0);
  EXPECT_EQ(d.SetRenderTarget(1, 0, 0, 0, 0), -1);
}

TEST(DisplayScratch, AllocatesUntilFullThenRefuses) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 240, 320);
  const std::uint32_t size = d->m_ScratchSize;
  auto* base = static_cast<std::uint8_t*>(d->ScratchAlloc(100));
  ASSERT_EQ(base, d->m_ScratchBase);
  EXPECT_EQ(static_cast<std::uint8_t*>(d->ScratchAlloc(3)), base + 100);
  EXPECT_EQ(static_cast<std::uint8_t*>(d->ScratchAlloc(8)), base + 104) << "rounded to whole words";
  EXPECT_EQ(d->ScratchAlloc(size - 112), nullptr) << "exactly the remaining room does not fit";
  EXPECT_EQ(d->ScratchAlloc(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(static_cast<std::uint8_t*>(d->ScratchAlloc(size - 116)), base + 112);
  EXPECT_EQ(d->ScratchAlloc(4), nullptr);
  d->ScratchReset();
  EXPECT_EQ(d->ScratchAlloc(16), base);
}

TEST(DisplayTargets, EightBitTargetAndCallerSizes) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 240, 320);
  ASSERT_EQ(d->SetRenderTarget(ssDisplayS16::kTarget8Bit, 0, 0, 0, 0), 0);
  EXPECT_EQ(d->m_RenderBuffer, d->m_Buffer8);
  EXPECT_EQ(d->m_RenderPitch, 240);
  EXPECT_EQ(d->m_RenderBits, 8);
  EXPECT_EQ(d->m_RenderHeight, 320);
  // 16-bit drawing leaves an 8-bit target alone; Clear empties it.
  d->m_Buffer8[0] = 9;
  d->DrawRect(ssRect{0, 0, 320, 240}, 1, 0xFFFF);
  EXPECT_EQ(d->m_Buffer8[1], 0);
  d->Clear();
  EXPECT_EQ(d->m_Buffer8[0], 0);
  EXPECT_EQ(d->SetRenderTarget(ssDisplayS16::kTarget8Bit, 240, 320, 240, 16), -1) << "16-bit rows past the buffer";
  EXPECT_EQ(d->SetRenderTarget(ssDisplayS16::kTarget8Bit, 100, 400, 240, 8), -1) << "too many rows";
  EXPECT_EQ(d->SetRenderTarget(3, 0, 0, 0, 0), -1);
  EXPECT_EQ(d->m_RenderBuffer, d->m_Buffer8) << "a refused target changes nothing";
  ASSERT_EQ(d->SetRenderTarget(ssDisplayS16::kTargetBackBuffer, 120, 160, 480, 16), 0);
  EXPECT_EQ(d->m_RenderWidth, 120);
  EXPECT_EQ(d->m_RenderPitch, 480);
  d->BeginDraw();
  EXPECT_EQ(d->m_RenderBuffer, d->m_BackBuffer);
  EXPECT_EQ(d->m_RenderWidth, 240);
}

TEST(DisplayTargets, SaveAndRestoreRoundTripAndStayInside) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 240, 320);
  d->BeginDraw();
  for (int i = 0; i < 240 * 320; ++i) d->m_BackBuffer[i] = static_cast<std::uint16_t>(i * 7 + 1);
  const std::vector<std::uint16_t> before(d->m_BackBuffer, d->m_BackBuffer + 240 * 320);
  const ssRect rects[] = {{10, 20, 17, 29}, {-4, -3, 5, 6}, {235, 315, 250, 330}};
  for (const ssRect& r : rects) {
    SCOPED_TRACE(r.left);
    std::vector<std::uint16_t> saved(static_cast<std::size_t>((r.right - r.left) * (r.bottom - r.top)), 0xEEEE);
    d->SaveRect(saved.data(), r);
    const LONG x = std::max<LONG>(r.left, 0), y = std::max<LONG>(r.top, 0);
    EXPECT_EQ(saved[static_cast<std::size_t>((y - r.top) * (r.right - r.left) + (x - r.left))],
              before[static_cast<std::size_t>(y * 240 + x)]);
    d->Clear();
    d->RestoreRect(saved.data(), r);
    for (int py = 0; py < 320; ++py) {
      for (int px = 0; px < 240; ++px) {
        const bool inside = px >= r.left && px < r.right && py >= r.top && py < r.bottom;
        const std::uint16_t want = inside ? before[static_cast<std::size_t>(py * 240 + px)] : 0;
        ASSERT_EQ(d->m_BackBuffer[py * 240 + px], want) << px << "," << py;
      }
    }
    std::copy(before.begin(), before.end(), d->m_BackBuffer);
  }
}

// --- The base: colours, fractions and the clip stack ------------------------------

TEST(DisplayBase, ColourPackingByDepth) {
  ssDisplay d;
  struct Row {
    int depth;
    std::uint32_t pixel, back;
  };
  const Row rows[] = {
      {16, 0xFFFF, 0xF8FCF8}, {18, 0xFFFF, 0xF8FCF8}, {12, 0x0FFF, 0xF0F0F0}, {32, 0xFFFFFF, 0xFFFFFF}, {24, 0, 0}};
  for (const Row& r : rows) {
    d.m_Depth = r.depth;
    EXPECT_EQ(d.ColorToPixel(0xFFFFFF), r.pixel) << r.depth;
    EXPECT_EQ(d.PixelToColor(r.pixel), r.back) << r.depth;
  }
  d.m_Depth = 16;
  EXPECT_EQ(d.MakePixel(187, 176, 169), 0xBD95u);
  EXPECT_EQ(d.MakePixel(167, 156, 149), 0xA4F2u);
}

TEST(DisplayBase, FractionsAndDeviceRectangles) {
  ssDisplay d;
  d.m_Width = 240;
  d.m_Height = 320;
  d.m_VWidth = 320;
  d.m_VHeight = 240;
  ssRect out{};
  d.FracRectToScreen(out, ssRect{0x8000, 0x4000, 0x10000, 0x8000}, false);
  EXPECT_EQ(out.left, 160);
  EXPECT_EQ(out.top, 60);
  EXPECT_EQ(out.right, 320);
  EXPECT_EQ(out.bottom, 120);
  d.m_Rotate = 1;
  d.RectToDevice(out, ssRect{10, 20, 30, 40});
  EXPECT_EQ(out.left, 20);
  EXPECT_EQ(out.top, 289);
  EXPECT_EQ(out.right, 40);
  EXPECT_EQ(out.bottom, 309);
}

TEST(DisplayBase, ClipStackSaturatesAndStaysBalanced) {
  ssDisplay d;
  d.Init(nullptr, 240, 320, 16, 0);
  for (int i = 1; i <= 20; ++i) d.PushClipRect(ssRect{i, i, 100, 100});
  EXPECT_EQ(d.GetClipRect()->left, 20) << "the newest rectangle is in force";
  EXPECT_EQ(d.m_Clip.left, 20 << 16);
  for (int i = 0; i < 20; ++i) d.PopClipRect();
  EXPECT_EQ(d.GetClipRect()->left, 0) << "the base entry survives";
  EXPECT_EQ(d.GetClipRect()->right, 240);
  d.PopClipRect();
  EXPECT_EQ(d.GetClipRect()->bottom, 320);
  d.PushClipRect(ssRect{5, 6, 7, 8});
  d.PushClipRect(ssRect{1, 2, 3, 4});
  d.PopClipRect();
  EXPECT_EQ(d.GetClipRect()->top, 6) << "no intersection with the entry below";
}

TEST(DisplayBase, FillRectFracDrawsInLogicalPixels) {
  auto d = OpenDevice(ssDisplayS16::kModeGdi, 240, 320);
  d->BeginDraw();
  d->Clear();
  d->FillRectFrac(ssRect{0, 0, 0x8000, 0x8000}, ssDisplayS16::kRectFilled, 0x0F0F);
  // Logical (0..160, 0..120) at rotation 1: buffer columns 0..120, rows 160..320.
  EXPECT_EQ(d->m_BackBuffer[319 * 240 + 0], 0x0F0F);
  EXPECT_EQ(d->m_BackBuffer[160 * 240 + 119], 0x0F0F);
  EXPECT_EQ(d->m_BackBuffer[159 * 240 + 0], 0);
  EXPECT_EQ(d->m_BackBuffer[319 * 240 + 120], 0);
}

}  // namespace
