#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "backend/sdl/desktop_glue.h"
#include "backend/sdl/sdl_backend.h"
#include "ce/winbase.h"
#include "ce/winuser.h"
#include "gdi/surface.h"
#include "scoped_setting.h"

namespace {

static_assert(CF_UNICODETEXT == 13 && LMEM_MOVEABLE == 2 && LMEM_ZEROINIT == 0x40 && LPTR == 0x40);

TEST(LocalMemory, BlocksLockCountAndRefuseStrangers) {
  HLOCAL block = LocalAlloc(LHND, 10);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(LocalSize(block), 10u);
  auto* bytes = static_cast<BYTE*>(LocalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 10), std::vector<BYTE>(10, 0));  // zeroed
  EXPECT_NE(LocalLock(block), nullptr);
  EXPECT_TRUE(LocalUnlock(block));  // still locked once
  SetLastError(1234);
  EXPECT_FALSE(LocalUnlock(block));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
  EXPECT_FALSE(LocalUnlock(block));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_EQ(LocalFree(block), nullptr);

  // A freed block, or memory that never was one, is refused.
  int stranger = 0;
  for (HLOCAL bad : {block, static_cast<HLOCAL>(&stranger)}) {
    EXPECT_EQ(LocalSize(bad), 0u);
    EXPECT_EQ(LocalLock(bad), nullptr);
    EXPECT_EQ(LocalFree(bad), bad);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(LocalSize(empty), 0u);
  EXPECT_EQ(LocalFree(empty), nullptr);
}

// A block holding the text and its terminating zero, as programs copy.
HLOCAL TextBlock(const std::wstring& text) {
  HLOCAL block = LocalAlloc(LMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  auto* chars = static_cast<wchar_t*>(LocalLock(block));
  std::memcpy(chars, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  LocalUnlock(block);
  return block;
}

// The clipboard's text as programs paste it.
std::wstring Paste() {
  if (!OpenClipboard(nullptr)) return L"<not opened>";
  std::wstring text = L"<none>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    const UINT bytes = LocalSize(data);
    const auto* chars = static_cast<const wchar_t*>(LocalLock(data));
    text.assign(chars, bytes / sizeof(wchar_t) - 1);
    LocalUnlock(data);
  }
  CloseClipboard();
  return text;
}

void Copy(const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  HLOCAL block = TextBlock(text);
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
  ASSERT_TRUE(CloseClipboard());
}

TEST(Clipboard, CopyAndPasteText) {
  Copy(L"first");
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(Paste(), L"first");
  EXPECT_EQ(Paste(), L"first");  // pasting leaves it there
  Copy(L"second, longer text");
  EXPECT_EQ(Paste(), L"second, longer text");

  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST(Clipboard, OnlyWhileOpenAndByOneThreadAtATime) {
  EXPECT_FALSE(EmptyClipboard());
  EXPECT_EQ(GetLastError(), ERROR_CLIPBOARD_NOT_OPEN);
  HLOCAL block = TextBlock(L"x");
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), nullptr);
  EXPECT_EQ(LocalFree(block), nullptr);  // not taken: still the caller's
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
  EXPECT_FALSE(CloseClipboard());

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(OpenClipboard(nullptr));  // again by the same thread
  BOOL otherOpened = TRUE;
  std::thread([&] { otherOpened = OpenClipboard(nullptr); }).join();
  EXPECT_FALSE(otherOpened);
  int stranger = 0;
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, &stranger), nullptr);
  EXPECT_TRUE(CloseClipboard());
  std::thread([&] {
    otherOpened = OpenClipboard(nullptr);
    CloseClipboard();
  }).join();
  EXPECT_TRUE(otherOpened);
}

// The desktop back end on the dummy video driver: the host's clipboard,
// both ways.
TEST(Clipboard, IsTheHostsOnTheDesktop) {
  ce::test::ScopedSetting driver("SDL_VIDEODRIVER", "dummy");
  std::vector<std::uint16_t> pixels(240 * 320, 0);
  auto format = ce::gdi::PixelFormat::Rgb565();
  ce::gdi::Surface frame;
  frame.origin = reinterpret_cast<BYTE*>(pixels.data());
  frame.colStep = 2;
  frame.rowStep = 240 * 2;
  frame.width = 240;
  frame.height = 320;
  frame.format = format.get();
  auto display = ce::backend::sdl::CreateDisplay(frame);
  ASSERT_NE(display, nullptr);
  ASSERT_TRUE(ce::backend::sdl::HasDesktop());

  Copy(L"to the host \u00e9");
  EXPECT_EQ(ce::backend::sdl::ClipboardText(), "to the host \xC3\xA9");
  ASSERT_TRUE(ce::backend::sdl::SetClipboardText("from the host"));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(Paste(), L"from the host");
  display.reset();
}

}  // namespace
