#include "obj_banks_meters.h"

#include <cmath>
#include <cstdio>

#include "common/iss_utility.h"
#include "common/launch.h"
#include "common/module_state.h"
#include "drainlog_window.h"
#include "options_dialog.h"
#include "meter_settings.h"
#include "obj_battery.h"

namespace pelmora {
namespace {

constexpr double kTurn = 6.283185307179586;

}  // namespace

CObjClock& Clock() {
  static CObjClock clock;
  return clock;
}
CObjLeftIcon& LeftIcon() {
  static CObjLeftIcon icon;
  return icon;
}
CObjRightIcons& RightIcons() {
  static CObjRightIcons icons;
  return icons;
}

BOOL CObjClock::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  m_face.Load(instance, L"PM_Clock.bmp", 124, 183);
  return 1;
}

BOOL CObjClock::Update() {
  if (m_counter < 60) {
    ++m_counter;
    return 0;
  }
  SYSTEMTIME now{};
  GetLocalTime(&now);
  m_counter = now.wSecond;
  return 1;
}

POINT CObjClock::HandEnd(POINT centre, int length, double fraction) {
  const double a = fraction * kTurn;
  POINT end;
  end.x = centre.x + static_cast<LONG>(std::trunc(length * std::sin(a)));
  end.y = centre.y - static_cast<LONG>(std::trunc(length * std::cos(a)));
  return end;
}

BOOL CObjClock::Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT, int size, int, BOOL selected) {
  if (dc == nullptr) return 1;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  if (size == kTiny) {
    wchar_t text[32] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 6, &now, nullptr, text, 32);
    RECT r = {bank.left, bank.top, bank.left + Scale(49), bank.top + Scale(15)};
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, normalFont);
    SetTextColor(dc, BankTextColour(selected));
    DrawTextW(dc, text, -1, &r, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    return 1;
  }
  const int faceX = Scale(10);
  const int faceY = size == kBig ? Scale(7) : Scale(2);
  const MeterBitmap face = m_face.Bitmap();
  if (face.dc != nullptr) {
    CopyTransparent(dc, bank.left + faceX, bank.top + faceY, face.width, face.height, face.dc, 0, 0);
  }
  const POINT c = {bank.left + faceX + Scale(14), bank.top + faceY + Scale(14)};
  const POINT hour = HandEnd(c, Scale(8), ((now.wMinute * (1.0 / 60)) + (now.wHour % 12)) * (1.0 / 12));
  const POINT second = HandEnd(c, Scale(13), now.wSecond * (1.0 / 60));
  const POINT minute = HandEnd(c, Scale(12), now.wMinute * (1.0 / 60));
  DrawLine(dc, c.x, c.y, hour.x, hour.y, 0x400000, 2);
  DrawLine(dc, c.x, c.y, second.x, second.y, 0xDDABA4, 1);
  DrawLine(dc, c.x, c.y, minute.x, minute.y, 0x400000, 1);
  return 1;
}

BOOL CObjClock::Action(int) {
  suite::StartProgram(m_window, L"\\Windows\\settings.exe", L"clock.cpl.xml");
  return 1;
}

int CObjLeftIcon::GetMainHeight(int size) {
  return size == kBig ? Scale(20) : size == kSmall ? Scale(21) : size == kTiny ? Scale(15) : 0;
}
int CObjLeftIcon::GetLabelHeight(int size) { return size == kBig ? Scale(23) : size == kSmall ? Scale(12) : 0; }

CObjLeftIcon::~CObjLeftIcon() {
  if (m_icon != nullptr) DestroyIcon(m_icon);
}

BOOL CObjLeftIcon::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  if (m_icon != nullptr) DestroyIcon(m_icon);
  // The icon at the size the bank shows it, so it stays inside the bank.
  m_icon = instance != nullptr
               ? static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(50), IMAGE_ICON, Scale(16), Scale(16), 0))
               : nullptr;
  m_tiny.Load(instance, L"PM_LeftIcon.bmp", 133, 172);
  return 1;
}

BOOL CObjLeftIcon::Draw(HDC dc, const RECT& bank, HFONT, HFONT, int size, int, BOOL) {
  if (dc == nullptr) return 1;
  const int x = bank.left + Scale(3);
  const int y = bank.top + Scale(2);
  if (size == kTiny) {
    const MeterBitmap tiny = m_tiny.Bitmap();
    if (tiny.dc != nullptr) CopyTransparent(dc, x, y, tiny.width, tiny.height, tiny.dc, 0, 0);
  } else if (m_icon != nullptr) {
    DrawIconEx(dc, x, y, m_icon, Scale(16), Scale(16), 0, nullptr, DI_NORMAL);
  }
  return 1;
}

BOOL CObjLeftIcon::Action(int) {
  CDrainlogWindow::Get().Show(suite::PluginWindow());
  return 1;
}

BOOL CObjRightIcons::Action(int) {
  COptionsDialog::Get().Show(suite::PluginWindow(), 0);
  return 1;
}

BOOL CObjLeftIcon::SecondAction(int) {
  CMeterSettings& settings = CMeterSettings::Get();
  wchar_t text[320];
  std::swprintf(text, 320,
                L"Tap this icon just after you have changed your main battery.\r\nThis will allow the battery time "
                L"remaining figure to remain accurate.\r\nTap OK if you have just inserted Battery %lu, or Cancel "
                L"to exit.",
                settings.batteryInUse == 1 ? 2ul : 1ul);
  if (MessageBoxW(m_window, text, L"Swapping Main Battery", MB_OKCANCEL) != IDOK) return 1;
  settings.batteryInUse = settings.batteryInUse == 1 ? 2 : 1;
  Battery().ResetElapsed();
  return 1;
}

BOOL CObjRightIcons::SecondAction(int) {
  wchar_t root[MAX_PATH] = {};
  suite::IssUtility::GetInstance()->GetStorageRoot(root);
  wchar_t document[MAX_PATH];
  std::swprintf(document, MAX_PATH, L"%lsApplication Data\\Home\\qveng.htp", root);
  suite::OpenInBrowser(m_window, document, m_instance);
  return 1;
}

int CObjRightIcons::GetMainHeight(int size) {
  return size == kBig ? Scale(22) : size == kSmall ? Scale(17) : size == kTiny ? Scale(15) : 0;
}
int CObjRightIcons::GetLabelHeight(int size) { return size == kBig ? Scale(16) : size == kSmall ? Scale(17) : 0; }

BOOL CObjRightIcons::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  m_icons.Load(instance, L"PM_RightIcons.bmp", 108, 180);
  return 1;
}

BOOL CObjRightIcons::Draw(HDC dc, const RECT& bank, HFONT, HFONT, int size, int, BOOL) {
  const MeterBitmap icons = m_icons.Bitmap();
  if (dc == nullptr || icons.dc == nullptr) return 1;
  const int side = icons.width / 2;
  const int x = bank.left + Scale(4);
  const int optionsTop = size == kBig ? Scale(8) : size == kSmall ? Scale(3) : Scale(1);
  CopyTransparent(dc, x, bank.top + optionsTop, side, icons.height, icons.dc, side, 0);
  if (size != kTiny) {
    const int helpTop = size == kBig ? Scale(23) : Scale(18);
    CopyTransparent(dc, x, bank.top + helpTop, side, icons.height, icons.dc, 0, 0);
  }
  return 1;
}

}  // namespace pelmora
