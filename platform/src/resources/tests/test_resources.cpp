// Module resources: each module finds its own compiled table; strings,
// dialog and menu templates, bitmaps, icons and accelerators read from it;
// damaged tables and resources are refused.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ce/aygshell.h"
#include "ce/commctrl.h"
#include "ce/windows.h"
#include "headless_device.h"
#include "kernel/module.h"
#include "resources/dib.h"
#include "resources/resource_table.h"
#include "scoped_setting.h"
#include "temp_device.h"

namespace {

using ce::test::ScopedSetting;
using ce::test::TempDevice;

std::span<const std::uint8_t> Bytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return {};
  const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
  return {data, SizeofResource(module, found)};
}

const std::uint8_t kDot[] = {'G',  'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0,    0, 0, 0xFF, 0xFF,
                             0xFF, ',', 0,   0,   0,   0,   1, 0, 1, 0, 0,    2, 2, 0x44, 1, 0, ';'};

TEST(Resources, FindByNumberOrNameAndTypeText) {
  for (LPCWSTR name : std::initializer_list<LPCWSTR>{MAKEINTRESOURCEW(158), L"#158", L"Logo", L"LOGO"}) {
    for (LPCWSTR type : {L"GIF", L"gif"}) {
      const auto bytes = Bytes(nullptr, name, type);
      ASSERT_EQ(bytes.size(), sizeof kDot);
      EXPECT_EQ(std::memcmp(bytes.data(), kDot, sizeof kDot), 0);
    }
  }
  EXPECT_EQ(Bytes(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(158), L"GIF").data(),
            Bytes(nullptr, MAKEINTRESOURCEW(158), L"GIF").data())
      << "the program's handle and null name the same module";

  struct Miss {
    LPCWSTR name;
    LPCWSTR type;
    DWORD error;
  } misses[] = {
      {MAKEINTRESOURCEW(159), L"GIF", ERROR_RESOURCE_NAME_NOT_FOUND},
      {L"Logos", L"GIF", ERROR_RESOURCE_NAME_NOT_FOUND},
      {L"Log", L"GIF", ERROR_RESOURCE_NAME_NOT_FOUND},
      {L"#159", L"GIF", ERROR_RESOURCE_NAME_NOT_FOUND},
      {L"#", L"GIF", ERROR_RESOURCE_NAME_NOT_FOUND},
      {L"#158x", L"GIF", ERROR_RESOURCE_NAME_NOT_FOUND},
      {MAKEINTRESOURCEW(158), L"PNG", ERROR_RESOURCE_TYPE_NOT_FOUND},
      {MAKEINTRESOURCEW(158), RT_RCDATA, ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const Miss& m : misses) {
    SetLastError(0);
    EXPECT_EQ(FindResourceW(nullptr, m.name, m.type), nullptr);
    EXPECT_EQ(GetLastError(), m.error);
  }
  // A handle that is not one of the module's entries.
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(158), L"GIF");
  ASSERT_NE(found, nullptr);
  auto* shifted = reinterpret_cast<HRSRC>(reinterpret_cast<char*>(found) + 4);
  EXPECT_EQ(SizeofResource(nullptr, shifted), 0u);
  EXPECT_EQ(LoadResource(nullptr, shifted), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
}

class ResourceModules : public ::testing::Test {
 protected:
  void SetUp() override {
    library_ = LoadLibraryW(L"\\program files\\tests\\reslib.dll");
    plain_ = LoadLibraryW(L"\\program files\\tests\\samplelib.dll");
    ASSERT_NE(library_, nullptr);
    ASSERT_NE(plain_, nullptr);
  }
  void TearDown() override {
    if (library_) FreeLibrary(library_);
    if (plain_) FreeLibrary(plain_);
  }

  TempDevice device_;
  ScopedSetting mounts_{"DEVICE_PROGRAM_FOLDERS",
                        "Tests=" + std::filesystem::path(CE_RESOURCE_LIBRARY).parent_path().string()};
  HMODULE library_ = nullptr;
  HMODULE plain_ = nullptr;
};

TEST_F(ResourceModules, EachModuleFindsItsOwn) {
  ASSERT_EQ(std::filesystem::path(CE_RESOURCE_LIBRARY).parent_path(),
            std::filesystem::path(CE_SAMPLE_LIBRARY).parent_path());
  WCHAR text[64];
  EXPECT_EQ(LoadStringW(library_, 1, text, 64), 12);
  EXPECT_STREQ(text, L"Library line");
  EXPECT_EQ(LoadStringW(nullptr, 1, text, 64), 10);
  EXPECT_STREQ(text, L"First line");
  SetLastError(0);
  EXPECT_EQ(LoadStringW(library_, 2, text, 64), 0) << "the library has no string 2";
  EXPECT_STREQ(text, L"");

  const auto ours = Bytes(nullptr, MAKEINTRESOURCEW(103), RT_DIALOG);
  const auto theirs = Bytes(library_, MAKEINTRESOURCEW(103), RT_DIALOG);
  ASSERT_FALSE(ours.empty());
  ASSERT_FALSE(theirs.empty());
  EXPECT_NE(ours.data(), theirs.data());
  EXPECT_EQ(Bytes(library_, MAKEINTRESOURCEW(158), L"GIF").size(), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);

  // A library with no resources, and a handle that is no module.
  SetLastError(0);
  EXPECT_EQ(FindResourceW(plain_, MAKEINTRESOURCEW(1), RT_STRING), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(FindResourceW(reinterpret_cast<HMODULE>(0x1234), MAKEINTRESOURCEW(1), RT_STRING), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
}

TEST(ResourceStrings, LoadStringCopiesTruncatesAndLends) {
  struct Case {
    UINT id;
    int size;
    int result;
    const wchar_t* text;
  } cases[] = {
      {1, 64, 10, L"First line"}, {1, 11, 10, L"First line"},
      {1, 5, 4, L"Firs"},         {1, 1, 0, L""},
      {2, 64, 6, L"Second"},      {17, 64, 9, L"Block two"},
      {16, 64, 0, L""},           {3, 64, 0, L""},
      {999, 64, 0, L""},          {40010, 64, 29, L"Quoted \"words\" and a tab\there"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    std::vector<WCHAR> buffer(static_cast<std::size_t>(c.size) + 1, L'#');
    EXPECT_EQ(LoadStringW(nullptr, c.id, buffer.data(), c.size), c.result);
    EXPECT_STREQ(buffer.data(), c.text);
    EXPECT_EQ(buffer[static_cast<std::size_t>(c.size)], L'#') << "nothing past the buffer";
  }
  // Size 0: a read-only pointer into the module, not terminated.
  const WCHAR* lent = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, 2, reinterpret_cast<LPWSTR>(&lent), 0), 6);
  ASSERT_NE(lent, nullptr);
  EXPECT_EQ(std::wstring(lent, 6), L"Second");
  EXPECT_EQ(LoadStringW(nullptr, 1, nullptr, 10), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Little-endian reads of a template.
struct Reader {
  std::span<const std::uint8_t> b;
  std::size_t at = 0;
  std::uint32_t U16() {
    const std::uint32_t v = b[at] | (b[at + 1] << 8);
    at += 2;
    return v;
  }
  std::uint32_t U32() {
    const std::uint32_t lo = U16();
    return lo | (U16() << 16);
  }
  std::u16string Text() {
    std::u16string s;
    while (char16_t c = static_cast<char16_t>(U16())) s.push_back(c);
    return s;
  }
  // A class or text: an ordinal (returned as "#n") or a string.
  std::u16string TextOrOrdinal() {
    if (b[at] == 0xFF && b[at + 1] == 0xFF) {
      at += 2;
      const std::uint32_t ordinal = U16();
      std::u16string s = u"#";
      for (char c : std::to_string(ordinal)) s.push_back(static_cast<char16_t>(c));
      return s;
    }
    return Text();
  }
};

TEST(ResourceTemplates, DialogReadsBackInTheTemplateLayout) {
  const auto bytes = Bytes(nullptr, MAKEINTRESOURCEW(103), RT_DIALOG);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes.data()) % 4, 0u) << "a template starts DWORD-aligned";
  Reader r{bytes};
  constexpr DWORD kDsSetFont = 0x40, kDsModalFrame = 0x80, kWsCaption = 0x00C00000;
  EXPECT_EQ(r.U32(), WS_POPUP | kWsCaption | kDsModalFrame | kDsSetFont);
  EXPECT_EQ(r.U32(), 0u);
  ASSERT_EQ(r.U16(), 3u);
  EXPECT_EQ(r.U16(), 2u);
  EXPECT_EQ(r.U16(), 4u);
  EXPECT_EQ(r.U16(), 140u);
  EXPECT_EQ(r.U16(), 80u);
  EXPECT_EQ(r.TextOrOrdinal(), u"") << "no menu";
  EXPECT_EQ(r.TextOrOrdinal(), u"") << "the default dialog class";
  EXPECT_EQ(r.Text(), u"About");
  EXPECT_EQ(r.U16(), 8u);
  EXPECT_EQ(r.Text(), u"Sans");

  struct Item {
    DWORD style;
    int x, y, cx, cy;
    WORD id;
    const char16_t* className;
    const char16_t* text;
  } items[] = {
      {WS_CHILD | WS_VISIBLE | WS_TABSTOP | 0x1, 10, 60, 50, 14, 1, u"#128", u"OK"},
      {WS_CHILD | WS_VISIBLE, 10, 10, 120, 12, 1005, u"#130", u"Text"},
      {WS_CHILD, 10, 30, 120, 12, 1010, u"msctls_trackbar32", u""},
  };
  for (const Item& item : items) {
    SCOPED_TRACE(item.id);
    r.at = (r.at + 3) & ~std::size_t{3};  // each item starts DWORD-aligned
    EXPECT_EQ(r.U32(), item.style);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U16(), static_cast<std::uint32_t>(item.x));
    EXPECT_EQ(r.U16(), static_cast<std::uint32_t>(item.y));
    EXPECT_EQ(r.U16(), static_cast<std::uint32_t>(item.cx));
    EXPECT_EQ(r.U16(), static_cast<std::uint32_t>(item.cy));
    EXPECT_EQ(r.U16(), item.id);
    EXPECT_EQ(r.TextOrOrdinal(), item.className);
    EXPECT_EQ(r.TextOrOrdinal(), item.text);
    EXPECT_EQ(r.U16(), 0u) << "no creation data";
  }
  EXPECT_LE(r.at, bytes.size());
  EXPECT_GE(r.at + 4, bytes.size());
}

TEST(ResourceTemplates, MenuReadsBackInTheTemplateLayout) {
  const auto bytes = Bytes(nullptr, MAKEINTRESOURCEW(104), RT_MENU);
  ASSERT_FALSE(bytes.empty());
  Reader r{bytes};
  EXPECT_EQ(r.U32(), 0u) << "version 0, no extra header";
  constexpr std::uint32_t kGrayed = 0x1, kChecked = 0x8, kPopup = 0x10, kEnd = 0x80;
  EXPECT_EQ(r.U16(), 0u);
  EXPECT_EQ(r.U16(), 40003u);
  EXPECT_EQ(r.Text(), u"&About");
  EXPECT_EQ(r.U16(), kPopup | kEnd);
  EXPECT_EQ(r.Text(), u"&More");
  EXPECT_EQ(r.U16(), kChecked);
  EXPECT_EQ(r.U16(), 40011u);
  EXPECT_EQ(r.Text(), u"One");
  EXPECT_EQ(r.U16(), 0u) << "a separator";
  EXPECT_EQ(r.U16(), 0u);
  EXPECT_EQ(r.Text(), u"");
  EXPECT_EQ(r.U16(), kGrayed | kEnd);
  EXPECT_EQ(r.U16(), 40012u);
  EXPECT_EQ(r.Text(), u"Two");
  EXPECT_EQ(r.at, bytes.size());
}

// The compiled menu resource is what LoadMenuW builds its menu from.
TEST(ResourceTemplates, LoadMenuBuildsTheMenuOfTheResource) {
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(104));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(GetMenuItemID(menu, 0), 40003u);
  HMENU more = GetSubMenu(menu, 1);
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(GetMenuItemCount(more), 3);
  EXPECT_EQ(GetMenuItemID(more, 2), 40012u);
  EXPECT_EQ(CheckMenuItem(more, 40011, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
  EXPECT_TRUE(DestroyMenu(menu));
  SetLastError(0);
  EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(999)), nullptr) << "no such menu";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

// The by-name dialog calls build a dialog from the module's dialog resource.
TEST(ResourceTemplates, CreateDialogParamMakesTheDialogOfTheResource) {
  const DLGPROC proc = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; };
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(105), nullptr, proc, 0);
  ASSERT_NE(dialog, nullptr);
  wchar_t caption[32] = {};
  GetWindowTextW(dialog, caption, 32);
  EXPECT_STREQ(caption, L"Settings");
  EXPECT_NE(GetDlgItem(dialog, 1101), nullptr);
  wchar_t cls[16] = {};
  GetClassNameW(GetDlgItem(dialog, 1102), cls, 16);
  EXPECT_STREQ(cls, L"EDIT");
  EXPECT_TRUE(DestroyWindow(dialog));
  SetLastError(0);
  EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(999), nullptr, proc, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

// A template's trackbar is made hidden, with its id, and answers its messages.
TEST(ResourceTemplates, CreateDialogParamMakesATemplatesTrackbar) {
  const DLGPROC proc = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; };
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(103), nullptr, proc, 0);
  ASSERT_NE(dialog, nullptr);
  HWND trackbar = GetDlgItem(dialog, 1010);
  ASSERT_NE(trackbar, nullptr);
  wchar_t cls[32] = {};
  GetClassNameW(trackbar, cls, 32);
  EXPECT_STREQ(cls, TRACKBAR_CLASSW);
  EXPECT_FALSE(IsWindowVisible(trackbar));
  SendMessageW(trackbar, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  SendMessageW(trackbar, TBM_SETPOS, TRUE, 7);
  EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 7);
  EXPECT_TRUE(DestroyWindow(dialog));
}

// A template's picture statics show the module's icon and bitmap named by
// number, at their own sizes; a missing one leaves its static empty.
TEST(ResourceTemplates, PictureStaticsTakeTheirResources) {
  const DLGPROC proc = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; };
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(107), nullptr, proc, 0);
  ASSERT_NE(dialog, nullptr);
  HWND icon = GetDlgItem(dialog, 1201);
  HWND bitmap = GetDlgItem(dialog, 1202);
  ASSERT_NE(icon, nullptr);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_NE(SendMessageW(icon, STM_GETIMAGE, IMAGE_ICON, 0), 0);
  EXPECT_NE(SendMessageW(bitmap, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog, 1203), STM_GETIMAGE, IMAGE_ICON, 0), 0);
  RECT r{};
  GetClientRect(icon, &r);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXICON));
  GetClientRect(bitmap, &r);
  EXPECT_EQ(r.right, 4);
  EXPECT_EQ(r.bottom, 3);
  EXPECT_TRUE(DestroyWindow(dialog));  // the pictures go with it
}

// A menu bar's images from a bitmap resource of the module.
TEST(ResourceTemplates, AMenuBarTakesItsImagesFromTheModule) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"BarOwner";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND owner = CreateWindowExW(0, L"BarOwner", L"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = owner;
  info.nToolBarId = 104;
  info.hInstRes = GetModuleHandleW(nullptr);
  info.nBmpId = 110;
  info.cBmpImages = 2;
  ASSERT_TRUE(SHCreateMenuBar(&info));
  // Two images of 2 x 3 came first: the next go after them.
  EXPECT_EQ(CommandBar_AddBitmap(info.hwndMB, GetModuleHandleW(nullptr), 110, 4, 1, 3), 2);
  SHMENUBARINFO tooMany = info;
  tooMany.cBmpImages = 5;  // 4 pixels cannot hold 5 images
  EXPECT_FALSE(SHCreateMenuBar(&tooMany));
  SHMENUBARINFO missing = info;
  missing.nBmpId = 999;
  EXPECT_FALSE(SHCreateMenuBar(&missing));
  DestroyWindow(owner);
  UnregisterClassW(L"BarOwner", nullptr);
}

class ResourcePictures : public ::testing::Test {
 protected:
  // A 40 x 40 white 32-bit bitmap in a memory DC.
  void SetUp() override {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, 40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    target_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(target_, nullptr);
    old_ = SelectObject(dc_, target_);
    RECT all{0, 0, 40, 40};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteObject(target_);
    DeleteDC(dc_);
  }
  HDC dc_ = nullptr;
  HBITMAP target_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

TEST_F(ResourcePictures, BitmapIsADibSectionWithTheStoredPixels) {
  HINSTANCE program = GetModuleHandleW(nullptr);
  for (HBITMAP bitmap : {LoadBitmapW(program, MAKEINTRESOURCEW(110)),
                         static_cast<HBITMAP>(LoadImageW(program, MAKEINTRESOURCEW(110), IMAGE_BITMAP, 0, 0, 0))}) {
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmWidth, 4);
    EXPECT_EQ(section.dsBm.bmHeight, 3);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(source, bitmap);
    EXPECT_EQ(GetPixel(source, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(source, 3, 0), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(source, 0, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(source, 3, 2), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(source, 1, 1), RGB(128, 128, 128));
    SelectObject(source, old);
    DeleteDC(source);
    DeleteObject(bitmap);
  }
  SetLastError(0);
  EXPECT_EQ(LoadBitmapW(program, MAKEINTRESOURCEW(111)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
}

TEST_F(ResourcePictures, IconsPickTheNearestSizeAndDrawThroughTheirMask) {
  HINSTANCE program = GetModuleHandleW(nullptr);
  // The large icon: its left half clear, its right half purple.
  HICON large = LoadIconW(program, MAKEINTRESOURCEW(106));
  ASSERT_NE(large, nullptr);
  ASSERT_TRUE(DrawIconEx(dc_, 4, 4, large, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(GetPixel(dc_, 4, 4), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc_, 19, 20), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc_, 20, 20), RGB(128, 0, 128));
  EXPECT_EQ(GetPixel(dc_, 35, 35), RGB(128, 0, 128));
  EXPECT_EQ(GetPixel(dc_, 36, 36), RGB(255, 255, 255)) << "nothing drawn past 32 x 32";

  // The small picture by size, and by name: orange with clear corners.
  for (LPCWSTR name : std::initializer_list<LPCWSTR>{MAKEINTRESOURCEW(106), L"named"}) {
    RECT all{0, 0, 40, 40};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    auto small = static_cast<HICON>(LoadImageW(program, name, IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(small, nullptr);
    ASSERT_TRUE(DrawIcon(dc_, 0, 0, small));
    EXPECT_EQ(GetPixel(dc_, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc_, 15, 15), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc_, 1, 0), RGB(255, 128, 0));
    EXPECT_EQ(GetPixel(dc_, 8, 8), RGB(255, 128, 0));
    EXPECT_EQ(GetPixel(dc_, 16, 8), RGB(255, 255, 255));
    // Stretched to 32 x 32 the clear corners are 2 x 2.
    ASSERT_TRUE(DrawIconEx(dc_, 0, 0, small, 32, 32, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetPixel(dc_, 31, 31), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc_, 29, 31), RGB(255, 128, 0));
    EXPECT_TRUE(DestroyIcon(small));
    EXPECT_FALSE(DestroyIcon(small)) << "a destroyed icon's handle is stale";
    EXPECT_FALSE(DrawIcon(dc_, 0, 0, small));
  }
  // A size between the pictures takes the nearer one, scaled.
  auto middle = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(106), IMAGE_ICON, 28, 28, 0));
  ASSERT_NE(middle, nullptr);
  RECT all{0, 0, 40, 40};
  FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ASSERT_TRUE(DrawIcon(dc_, 0, 0, middle));
  EXPECT_EQ(GetPixel(dc_, 27, 27), RGB(128, 0, 128));
  EXPECT_EQ(GetPixel(dc_, 28, 27), RGB(255, 255, 255));
  EXPECT_TRUE(DestroyIcon(middle));
  EXPECT_TRUE(DestroyIcon(large));

  SetLastError(0);
  EXPECT_EQ(LoadIconW(program, MAKEINTRESOURCEW(107)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_FALSE(DestroyIcon(reinterpret_cast<HICON>(0x1234)));
}

LRESULT CALLBACK RecordCommands(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    auto* seen = reinterpret_cast<std::vector<WPARAM>*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    seen->push_back(wParam);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(ResourceAccelerators, KeysWithTheirModifiersBecomeCommands) {
  HACCEL table = LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(3));
  ASSERT_NE(table, nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = RecordCommands;
  wc.lpszClassName = L"AccelTarget";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND hwnd = CreateWindowExW(0, L"AccelTarget", L"", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  SetFocus(hwnd);  // the held modifiers reach the key state through its queue
  std::vector<WPARAM> seen;
  SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&seen));

  auto translate = [&](UINT message, WPARAM key) {
    MSG msg{hwnd, message, key, 0, 0, {0, 0}};
    return TranslateAcceleratorW(hwnd, table, &msg);
  };
  struct Case {
    UINT message;
    WPARAM key;
    int modifier;    // a key held down, or 0
    WPARAM command;  // 0: not translated
  } cases[] = {
      {WM_KEYDOWN, VK_F1, 0, 40001},
      {WM_KEYUP, VK_F1, 0, 0},
      {WM_KEYDOWN, VK_F1, VK_SHIFT, 0},
      {WM_KEYDOWN, 'N', 0, 0},
      {WM_KEYDOWN, 'N', VK_CONTROL, 40002},
      {WM_KEYDOWN, VK_DELETE, VK_SHIFT, 40003},
      {WM_KEYDOWN, VK_DELETE, 0, 0},
      {WM_CHAR, 'q', 0, 40004},
      {WM_CHAR, 'Q', 0, 0},
      {WM_KEYDOWN, 'Q', 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.message << " " << c.key << " " << c.modifier);
    if (c.modifier) ce::test::KeyDown(c.modifier);
    ce::test::PumpUntilIdle();
    seen.clear();
    EXPECT_EQ(translate(c.message, c.key) != 0, c.command != 0);
    if (c.command) {
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0], static_cast<WPARAM>(MAKELONG(c.command, 1)) & 0xFFFFFFFF);
    } else {
      EXPECT_TRUE(seen.empty());
    }
    if (c.modifier) ce::test::KeyUp(c.modifier);
    ce::test::PumpUntilIdle();
  }
  EXPECT_TRUE(DestroyAcceleratorTable(table));
  EXPECT_FALSE(DestroyAcceleratorTable(table));
  MSG msg{hwnd, WM_KEYDOWN, VK_F1, 0, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorW(hwnd, table, &msg), 0);
  DestroyWindow(hwnd);
}

// --- Damaged tables and resources ---------------------------------------------

std::vector<std::uint8_t> ProgramTable() {
  const auto* symbol =
      static_cast<const ce::resources::ModuleResources*>(ce::kernel::ModuleOwnSymbol(nullptr, "ce_module_resources"));
  if (!symbol) return {};
  return {symbol->table, symbol->table + symbol->size};
}

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TEST(ResourceDamage, TablesThatLieAreRefused) {
  const std::vector<std::uint8_t> good = ProgramTable();
  ASSERT_GT(good.size(), 64u);
  ASSERT_TRUE(ce::resources::Table::Parse(good));
  const std::uint32_t count = ce::resources::U32At(good, 12);
  // Find an entry named by text (the "Logo" GIF) to damage its name.
  std::size_t texted = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (ce::resources::U32At(good, 16 + i * 16 + 4) & 0x80000000u) texted = 16 + i * 16;
  }
  ASSERT_NE(texted, 0u);
  const std::uint32_t nameAt = ce::resources::U32At(good, texted + 4) & 0x7FFFFFFF;

  struct Damage {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> apply;
  } damages[] = {
      {"cut short", [](auto& b) { b.resize(b.size() - 8); }},
      {"bad magic", [](auto& b) { b[0] = 'X'; }},
      {"too many entries", [&](auto& b) { Put32(b, 12, count + 1000); }},
      {"huge entry count", [](auto& b) { Put32(b, 12, 0xFFFFFFFF); }},
      {"data past the end", [](auto& b) { Put32(b, 16 + 8, static_cast<std::uint32_t>(b.size())); }},
      {"data size past the end", [](auto& b) { Put32(b, 16 + 12, 0xFFFFFFF0); }},
      {"data inside the directory", [](auto& b) { Put32(b, 16 + 8, 16); }},
      {"name text past the end",
       [&](auto& b) { Put32(b, texted + 4, 0x80000000u | static_cast<std::uint32_t>(b.size())); }},
      {"name length past the end", [&](auto& b) { Put32(b, nameAt, 0x40000000); }},
      {"zero id", [](auto& b) { Put32(b, 16 + 4, 0); }},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    std::vector<std::uint8_t> bad = good;
    d.apply(bad);
    EXPECT_FALSE(ce::resources::Table::Parse(bad));
  }
}

TEST(ResourceDamage, ResourcesThatLieAreRefused) {
  // String blocks: a length that runs past the block, and a block cut short.
  std::vector<std::uint8_t> block(4 * 4, 0);
  Put32(block, 0, 2);  // string 0: two characters
  block[4] = 'h';
  block[8] = 'i';
  Put32(block, 12, 1);  // string 1: one character, but the block ends
  const auto first = ce::resources::StringInBlock(block, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(std::wstring(first->begin(), first->end()), L"hi");
  EXPECT_FALSE(ce::resources::StringInBlock(block, 1));
  EXPECT_FALSE(ce::resources::StringInBlock(block, 5));
  Put32(block, 0, 0xFFFFFFFF);
  EXPECT_FALSE(ce::resources::StringInBlock(block, 0));

  // Accelerators without the entry marked last.
  const std::uint8_t endless[] = {1, 0, 0x70, 0, 0x41, 0x9C, 0, 0, 1, 0, 0x71, 0};
  EXPECT_FALSE(ce::resources::ParseAccelerators(endless));
  const std::uint8_t ended[] = {0x81, 0, 0x70, 0, 0x41, 0x9C, 0, 0};
  const auto entries = ce::resources::ParseAccelerators(ended);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].fVirt, FVIRTKEY);
  EXPECT_EQ((*entries)[0].cmd, 40001);

  // Bitmaps whose header promises more than is there.
  const auto stored = Bytes(nullptr, MAKEINTRESOURCEW(110), RT_BITMAP);
  ASSERT_TRUE(ce::resources::ReadDib(stored, false));
  struct Lie {
    std::size_t at;
    std::uint32_t value;
  } lies[] = {{4, 5}, {4, 0}, {4, 100000}, {8, 4}, {14, 8}, {14, 7}, {16, 1}, {0, 12}, {32, 3}};
  for (const Lie& lie : lies) {
    SCOPED_TRACE(testing::Message() << lie.at << "=" << lie.value);
    std::vector<std::uint8_t> bad(stored.begin(), stored.end());
    if (lie.at == 14) {
      bad[14] = static_cast<std::uint8_t>(lie.value);
    } else {
      Put32(bad, lie.at, lie.value);
    }
    EXPECT_FALSE(ce::resources::ReadDib(bad, false));
  }
  std::vector<std::uint8_t> cut(stored.begin(), stored.end() - 1);
  EXPECT_FALSE(ce::resources::ReadDib(cut, false));
  EXPECT_FALSE(ce::resources::ReadDib(stored, true)) << "an odd stored height is no icon";
}

}  // namespace
