#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "backend/headless/headless_display.h"
#include "ce/gx.h"
#include "ce/winbase.h"
#include "ce/wingdi.h"
#include "ce/winuser.h"
#include "gdi/screen.h"
#include "screen_config.h"

namespace {

static_assert(GX_FULLSCREEN == 1 && GX_NORMALKEYS == 2);
static_assert(kfDirect == 0x20 && kfDirect565 == 0x80);

ce::backend::HeadlessDisplay& Shown() {
  return dynamic_cast<ce::backend::HeadlessDisplay&>(ce::gdi::Screen::Current()->display());
}

void Put16(void* base, long cbx, long cby, int x, int y, std::uint16_t pixel) {
  std::memcpy(static_cast<BYTE*>(base) + x * cbx + y * cby, &pixel, 2);
}

struct Orientation {
  const char* rotation;
  int width;
  int height;
  long cbxPitch;
  long cbyPitch;
};

// The pitches for each way the memory can lie: at 90 and 270 degrees a
// memory row is one screen column (screen_height pixels).
const Orientation kOrientations[] = {
    {"0", 240, 320, 2, 480},
    {"90", 320, 240, 480, -2},
    {"180", 240, 320, -2, -480},
    {"270", 320, 240, -480, 2},
};

TEST(Gapi, PropertiesMatchTheConfiguredScreen) {
  for (const Orientation& o : kOrientations) {
    SCOPED_TRACE(o.rotation);
    ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", std::to_string(o.width).c_str()},
                                  {"DEVICE_SCREEN_HEIGHT", std::to_string(o.height).c_str()},
                                  {"DEVICE_SCREEN_ROTATION", o.rotation}};
    const GXDisplayProperties p = GXGetDisplayProperties();
    EXPECT_EQ(p.cxWidth, static_cast<DWORD>(o.width));
    EXPECT_EQ(p.cyHeight, static_cast<DWORD>(o.height));
    EXPECT_EQ(p.cbxPitch, o.cbxPitch);
    EXPECT_EQ(p.cbyPitch, o.cbyPitch);
    EXPECT_EQ(p.cBPP, 16);
    EXPECT_EQ(p.ffFormat, kfDirect | kfDirect565);
  }
  ce::test::ScreenConfig deep{{"DEVICE_SCREEN_BPP", "32"}};
  const GXDisplayProperties p = GXGetDisplayProperties();
  EXPECT_EQ(p.cBPP, 32);
  EXPECT_EQ(p.cbxPitch, 4);
  EXPECT_EQ(p.cbyPitch, 960);
  EXPECT_EQ(p.ffFormat, kfDirect | kfDirect888);
}

TEST(Gapi, FrameBufferIsWhatTheScreenShows) {
  for (const Orientation& o : kOrientations) {
    SCOPED_TRACE(o.rotation);
    ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", std::to_string(o.width).c_str()},
                                  {"DEVICE_SCREEN_HEIGHT", std::to_string(o.height).c_str()},
                                  {"DEVICE_SCREEN_ROTATION", o.rotation}};
    ASSERT_NE(GXOpenDisplay(nullptr, GX_FULLSCREEN), 0);
    const GXDisplayProperties p = GXGetDisplayProperties();
    void* frame = GXBeginDraw();
    ASSERT_NE(frame, nullptr);
    Put16(frame, p.cbxPitch, p.cbyPitch, 0, 0, 0xF800);
    Put16(frame, p.cbxPitch, p.cbyPitch, o.width - 1, 0, 0x07E0);
    Put16(frame, p.cbxPitch, p.cbyPitch, 5, o.height - 1, 0x001F);
    const int presented = Shown().presentCount();
    EXPECT_NE(GXEndDraw(), 0);
    EXPECT_EQ(Shown().presentCount(), presented + 1);
    EXPECT_EQ(Shown().lastPresented().right, o.width);
    EXPECT_EQ(Shown().Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(Shown().Pixel(o.width - 1, 0), RGB(0, 255, 0));
    EXPECT_EQ(Shown().Pixel(5, o.height - 1), RGB(0, 0, 255));
    EXPECT_EQ(Shown().Pixel(1, 1), RGB(0, 0, 0));
    // GDI sees the same pixels on the screen's DC.
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, 5, o.height - 1), RGB(0, 0, 255));
    SetPixel(screen, 7, 3, RGB(255, 255, 255));
    std::uint16_t pixel;
    std::memcpy(&pixel, static_cast<BYTE*>(frame) + 7 * p.cbxPitch + 3 * p.cbyPitch, 2);
    EXPECT_EQ(pixel, 0xFFFF);
    ReleaseDC(nullptr, screen);
    EXPECT_NE(GXCloseDisplay(), 0);
  }
}

TEST(Gapi, TurnedScreenMemoryIsOneBlockBelowTheFramePointer) {
  // A program with a negative cbyPitch treats the screen as one block of
  // rows cyHeight pixels long, starting (cyHeight - 1) pixels below the
  // returned address.
  ce::test::ScreenConfig config{
      {"DEVICE_SCREEN_WIDTH", "320"}, {"DEVICE_SCREEN_HEIGHT", "240"}, {"DEVICE_SCREEN_ROTATION", "90"}};
  ASSERT_NE(GXOpenDisplay(nullptr, GX_FULLSCREEN), 0);
  const GXDisplayProperties p = GXGetDisplayProperties();
  ASSERT_LT(p.cbyPitch, 1);
  const int rowPixels = static_cast<int>(p.cyHeight);
  auto* block = static_cast<BYTE*>(GXBeginDraw()) - (rowPixels - 1) * 2;
  const std::uint16_t white = 0xFFFF;
  std::memcpy(block, &white, 2);                                                              // memory row 0, column 0
  std::memcpy(block + (static_cast<std::size_t>(p.cxWidth) * rowPixels - 1) * 2, &white, 2);  // the last pixel
  GXEndDraw();
  EXPECT_EQ(Shown().Pixel(0, 239), RGB(255, 255, 255)) << "the block's first pixel is the bottom-left one";
  EXPECT_EQ(Shown().Pixel(319, 0), RGB(255, 255, 255)) << "and its last the top-right one";
  GXCloseDisplay();
}

TEST(Gapi, OpenCloseSuspendAndResume) {
  EXPECT_EQ(GXBeginDraw(), nullptr) << "not open";
  EXPECT_EQ(GXEndDraw(), 0);
  EXPECT_EQ(GXCloseDisplay(), 0);
  ASSERT_NE(GXOpenDisplay(nullptr, GX_FULLSCREEN), 0);
  EXPECT_EQ(GXOpenDisplay(nullptr, GX_FULLSCREEN), 0) << "one program owns the display";
  EXPECT_NE(GXBeginDraw(), nullptr);
  EXPECT_NE(GXSuspend(), 0);
  EXPECT_EQ(GXBeginDraw(), nullptr) << "a suspended program draws nothing";
  EXPECT_NE(GXResume(), 0);
  EXPECT_NE(GXBeginDraw(), nullptr);
  EXPECT_NE(GXEndDraw(), 0);
  EXPECT_NE(GXCloseDisplay(), 0);
  EXPECT_EQ(GXCloseDisplay(), 0);
  EXPECT_EQ(GXBeginDraw(), nullptr);
}

TEST(Gapi, InputOpensOnceAndGivesTheDefaultKeys) {
  EXPECT_EQ(GXCloseInput(), 0);
  ASSERT_NE(GXOpenInput(), 0);
  EXPECT_EQ(GXOpenInput(), 0);
  const GXKeyList keys = GXGetDefaultKeys(GX_NORMALKEYS);
  EXPECT_EQ(keys.vkUp, 0x26);
  EXPECT_EQ(keys.vkDown, 0x28);
  EXPECT_EQ(keys.vkLeft, 0x25);
  EXPECT_EQ(keys.vkRight, 0x27);
  EXPECT_EQ(keys.vkStart, 13);
  EXPECT_NE(GXCloseInput(), 0);
  EXPECT_EQ(GXCloseInput(), 0);
}

// --- The display driver's escapes -------------------------------------------------

TEST(Escape, RawFrameBufferOnlyWhenTheDriverHasOne) {
  HDC screen = GetDC(nullptr);
  RawFrameBufferInfo info{};
  EXPECT_EQ(ExtEscape(screen, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info, reinterpret_cast<LPSTR>(&info)), 0);
  const DWORD code = GETRAWFRAMEBUFFER;
  EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, sizeof code, reinterpret_cast<LPCSTR>(&code), 0, nullptr), 0);
  ReleaseDC(nullptr, screen);
}

TEST(Escape, RawFrameBufferDescribesTheScreenMemory) {
  for (const Orientation& o : kOrientations) {
    SCOPED_TRACE(o.rotation);
    ce::test::ScreenConfig config{{"DEVICE_SCREEN_WIDTH", std::to_string(o.width).c_str()},
                                  {"DEVICE_SCREEN_HEIGHT", std::to_string(o.height).c_str()},
                                  {"DEVICE_SCREEN_ROTATION", o.rotation},
                                  {"DEVICE_SCREEN_RAW_FRAMEBUFFER", "1"}};
    HDC screen = GetDC(nullptr);
    const DWORD code = GETRAWFRAMEBUFFER;
    EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, sizeof code, reinterpret_cast<LPCSTR>(&code), 0, nullptr), 1);
    RawFrameBufferInfo info{};
    ASSERT_EQ(ExtEscape(screen, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info, reinterpret_cast<LPSTR>(&info)), 1);
    EXPECT_EQ(info.wFormat, FORMAT_565);
    EXPECT_EQ(info.wBPP, 16);
    EXPECT_EQ(info.cxPixels, o.width);
    EXPECT_EQ(info.cyPixels, o.height);
    EXPECT_EQ(info.cxStride, o.cbxPitch);
    EXPECT_EQ(info.cyStride, o.cbyPitch);
    // Written straight to memory, with no call to announce it: still shown.
    Put16(info.pFramePointer, info.cxStride, info.cyStride, 3, 4, 0x07E0);
    EXPECT_EQ(Shown().Pixel(3, 4), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(screen, 3, 4), RGB(0, 255, 0));
    EXPECT_EQ(ExtEscape(screen, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info - 1, reinterpret_cast<LPSTR>(&info)), -1)
        << "too small a record";
    EXPECT_EQ(ExtEscape(screen, GETRAWFRAMEBUFFER, 0, nullptr, sizeof info, nullptr), -1);
    ReleaseDC(nullptr, screen);
  }
}

TEST(Escape, DisplayPowerIsSetAndRead) {
  HDC screen = GetDC(nullptr);
  for (DWORD code : {DWORD{SETPOWERMANAGEMENT}, DWORD{GETPOWERMANAGEMENT}, DWORD{QUERYESCSUPPORT}}) {
    EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, sizeof code, reinterpret_cast<LPCSTR>(&code), 0, nullptr), 1);
  }
  const DWORD unknown = 0x1234;
  EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, sizeof unknown, reinterpret_cast<LPCSTR>(&unknown), 0, nullptr), 0);
  EXPECT_EQ(ExtEscape(screen, 0x1234, 0, nullptr, 0, nullptr), 0) << "unknown escapes are not supported";
  EXPECT_EQ(ExtEscape(screen, QUERYESCSUPPORT, 2, reinterpret_cast<LPCSTR>(&unknown), 0, nullptr), -1);

  SetPixel(screen, 0, 0, RGB(255, 255, 255));
  VIDEO_POWER_MANAGEMENT off{sizeof off, 1, VideoPowerOff};
  ASSERT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, sizeof off, reinterpret_cast<LPCSTR>(&off), 0, nullptr), 1);
  EXPECT_EQ(Shown().powerState(), VideoPowerOff);
  EXPECT_EQ(Shown().Pixel(0, 0), RGB(0, 0, 0)) << "a dark panel shows nothing";
  VIDEO_POWER_MANAGEMENT read{};
  VIDEO_POWER_MANAGEMENT in{sizeof in, 1, 0};
  ASSERT_EQ(ExtEscape(screen, GETPOWERMANAGEMENT, sizeof in, reinterpret_cast<LPCSTR>(&in), sizeof read,
                      reinterpret_cast<LPSTR>(&read)),
            1);
  EXPECT_EQ(read.Length, 12u);
  EXPECT_EQ(read.DPMSVersion, 1u);
  EXPECT_EQ(read.PowerState, VideoPowerOff);

  const VIDEO_POWER_MANAGEMENT bad[] = {{sizeof off, 1, 0}, {sizeof off, 1, 5}, {4, 1, VideoPowerOn}};
  for (const auto& vpm : bad) {
    EXPECT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, sizeof vpm, reinterpret_cast<LPCSTR>(&vpm), 0, nullptr), -1);
  }
  EXPECT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, 8, reinterpret_cast<LPCSTR>(&off), 0, nullptr), -1);
  EXPECT_EQ(ExtEscape(screen, GETPOWERMANAGEMENT, 0, nullptr, 8, reinterpret_cast<LPSTR>(&read)), -1);
  EXPECT_EQ(Shown().powerState(), VideoPowerOff) << "refused requests change nothing";

  VIDEO_POWER_MANAGEMENT on{sizeof on, 1, VideoPowerOn};
  ASSERT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, sizeof on, reinterpret_cast<LPCSTR>(&on), 0, nullptr), 1);
  EXPECT_EQ(Shown().Pixel(0, 0), RGB(255, 255, 255));
  ReleaseDC(nullptr, screen);

  ce::test::ScreenConfig noPower{{"DEVICE_SCREEN_POWER_ESCAPE", "0"}};
  screen = GetDC(nullptr);
  EXPECT_EQ(ExtEscape(screen, SETPOWERMANAGEMENT, sizeof off, reinterpret_cast<LPCSTR>(&off), 0, nullptr), 0);
  ReleaseDC(nullptr, screen);
}

}  // namespace
