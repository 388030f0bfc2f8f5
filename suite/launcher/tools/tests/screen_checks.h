// Checks on a dialog as the screen shows it, shared by the launcher's and the
// tools' tests: no label or check box cuts its text, and, with
// TESSIVO_TOOLS_SCREENS set to a folder, the screen written there as a BMP
// to look at.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "ce/testing.h"
#include "ce/windows.h"
#include "bmp_writer.h"

namespace tessivo::test {

inline void SaveScreen(const char* name) {
  const char* folder = std::getenv("TESSIVO_TOOLS_SCREENS");
  if (folder == nullptr) return;
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = ce::testing::ScreenPixel(x, y);
      pixels[static_cast<std::size_t>(y) * width + x] =
          (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
    }
  }
  const std::string file = suite_test::MakeBmp24(width, height, pixels.data());
  const std::string path = std::string(folder) + "/" + name + ".bmp";
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
  }
}

// Every control lies within the dialog, and every one-line label and check
// box shows its whole text: the controls' widths come from the template's
// dialog units, their text from the bar's font, so a label with no room to
// spare at one DPI is cut at another.
// Every entry of a drop-down list fits the room its text is drawn in: the
// control less its square arrow button and the frame and margin before the
// text; the blank column that ends a text's advance may be cut.
inline void ExpectItemsFit(HWND combo) {
  RECT client;
  GetClientRect(combo, &client);
  const int field = client.right - client.bottom - 3 + 1;
  HDC dc = GetDC(combo);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0)));
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[128] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= 128) continue;
    const int length =
        static_cast<int>(SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text)));
    if (length <= 0) continue;
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, length, &extent);
    char utf8[128] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, 128, nullptr, nullptr);
    EXPECT_LE(extent.cx, field) << utf8 << " in list " << GetDlgCtrlID(combo) << " at " << GetSystemMetrics(SM_CXSCREEN)
                                << " pixels across";
  }
  SelectObject(dc, old);
  ReleaseDC(combo, dc);
}

inline void ExpectTextsFit(HWND dialog) {
  RECT inside;
  GetClientRect(dialog, &inside);
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT frame;
    GetWindowRect(child, &frame);
    POINT corner = {frame.right, frame.bottom};
    ScreenToClient(dialog, &corner);
    EXPECT_LE(corner.x, inside.right) << "control " << GetDlgCtrlID(child) << " runs past the dialog's right edge";
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (std::wcscmp(name, L"COMBOBOX") == 0) ExpectItemsFit(child);
    const bool button = std::wcscmp(name, L"BUTTON") == 0;
    if ((!button && std::wcscmp(name, L"STATIC") != 0) || !IsWindowVisible(child)) continue;
    wchar_t text[128] = {};
    const int length = GetWindowTextW(child, text, 128);
    if (length == 0) continue;
    RECT client;
    GetClientRect(child, &client);
    HDC dc = GetDC(child);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, length, &extent);
    SelectObject(dc, old);
    ReleaseDC(child, dc);
    if (extent.cy * 3 <= client.bottom * 2) continue;  // room for a second line: it wraps
    // A check box's mark and the gap after it come before the text.
    const int mark = button ? std::min<int>(extent.cy, 15) + 4 : 0;
    char utf8[128] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, 128, nullptr, nullptr);
    EXPECT_LE(mark + extent.cx, client.right) << utf8 << " at " << GetSystemMetrics(SM_CXSCREEN) << " pixels across";
  }
}

}  // namespace tessivo::test
