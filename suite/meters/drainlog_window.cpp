#include "drainlog_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <utility>

#include "ce/aygshell.h"
#include "ce/crt.h"
#include "obj_battery.h"
#include "obj_memory.h"
#include "obj_meter.h"
#include "obj_network.h"

namespace pelmora {
namespace {

// The charts' spans between openings of the window (not stored).
int g_batterySpan = 0;
int g_memorySpan = 0;
int g_networkSpan = 0;

constexpr UINT kStrings[8] = {24, 37, 38, 25, 26, 27, 28, 29};
enum { kMainText, kBackupText, kExternalText, kProgramText, kStorageText, kFreeFormat, kBlankText, kNoCardText };
// Each page's command in menu 205.
constexpr WORD kPageCommands[kDrainlogPages] = {40024, 40028, 40029, 40030, 40031};
constexpr const wchar_t* kPageTitles[kDrainlogPages] = {L"Drainlog", L"Drainlog2", L"Battery", L"Memory", L"Network"};

bool SameDevice(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b) == 0; }

}  // namespace

int DrainlogBatteryValue(BYTE percent, BYTE flag) {
  if (percent != 255) return percent;
  switch (flag) {
    case 1:
      return 100;
    case 2:
      return 20;
    case 4:
      return 5;
    case 8:
      return 101;
    default:
      return 103;
  }
}

void FreeText(const wchar_t* format, std::uint64_t freeKb, wchar_t* out, int outChars) {
  std::swprintf(out, static_cast<std::size_t>(outChars), format, static_cast<int>(freeKb / 1024),
                static_cast<int>(freeKb % 1024 * 10 / 1024));
}

const wchar_t* CDrainlogWindow::SecondBatteryLabel() const {
  wchar_t model[64] = {};
  SystemParametersInfoW(SPI_GETOEMINFO, 64, model, 0);
  if (Battery().ExternalState() != 103 && !SameDevice(model, L"hp iPAQ h2200")) return m_texts[kExternalText];
  return m_texts[kBackupText];
}

BOOL CDrainlogWindow::OnInitDialog(HWND hwnd) {
  HINSTANCE module = DialogModule();
  suite::SetUpDialog(hwnd, module, {205});
  if (m_light == nullptr) {
    m_light = CreateSolidBrush(RGB(198, 198, 227));
    m_grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    m_black = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    m_font = CreateFontW(Scale(13), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Nina");
  }
  for (int i = 0; i < 8; ++i) {
    m_texts[i][0] = L'\0';
    LoadStringW(module, kStrings[i], m_texts[i], 40);
  }
  HDC screen = GetDC(nullptr);
  const bool large = Dpi() > 129;
  m_frame.LoadBitmap(screen, module, large ? 179 : 125, L"\\Windows\\DL_Meter.bmp", 0);
  m_bar.LoadBitmap(screen, module, large ? 137 : 117, L"\\Windows\\DL_Bar.bmp", 0);
  m_background.LoadBitmap(screen, module, 181, L"\\Windows\\DL_Background.bmp", 0);
  ReleaseDC(nullptr, screen);
  m_mainBattery = Gauge{Scale(63), Scale(21), true, -1};
  m_secondBattery = Gauge{Scale(63), Scale(48), true, -1};
  m_program = Gauge{Scale(63), Scale(80), true, -1};
  m_storage = Gauge{Scale(63), Scale(123), true, -1};
  static const int kRows[5] = {166, 209, 252, 295, 338};
  for (int k = 0; k < 5; ++k) m_cards[k] = Gauge{Scale(63), Scale(kRows[k] + 8 - 152), false, -1};
  m_dirtyBattery = m_dirtyMemory = m_dirtyStorage = true;
  if (!m_chartsCreated) {
    m_battery.Setup(hwnd, module, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), L"Battery", L"Batt (%)", 43,
                    RGB(198, 198, 227), g_batterySpan);
    m_memory.Setup(hwnd, module, RGB(0, 255, 0), RGB(0, 255, 0), RGB(0, 0, 255), L"Memory", L"Mem (%)", 13,
                   RGB(198, 198, 227), g_memorySpan);
    m_network.Setup(hwnd, module, RGB(0, 0, 255), RGB(0, 224, 0), RGB(255, 0, 0), L"Network", L"Net (kb/s)", 45,
                    RGB(198, 198, 227), g_networkSpan);
    m_network.SetLabels(L"400", L"200", L"0", L"Download", L"Upload", L"Total");
    m_chartsCreated = true;
  }
  for (int i = 0; i < kDrainlogPages; ++i) {
    m_pages[i] = suite::CreateDialogPage(module, 151, hwnd, PageProc, i);
    if (m_pages[i] != nullptr) SetWindowTextW(m_pages[i], kPageTitles[i]);
  }
  Poll();
  ShowPage(0);
  // Over the home screen, whose window the plug-in's own lies under.
  SetForegroundWindow(hwnd);
  return TRUE;
}

void CDrainlogWindow::ShowPage(int index) {
  if (index < 0 || index >= kDrainlogPages) return;
  for (int i = 0; i < kDrainlogPages; ++i) {
    if (m_pages[i] != nullptr && i != index) ShowWindow(m_pages[i], SW_HIDE);
  }
  m_page = index;
  if (m_pages[index] != nullptr) {
    ShowWindow(m_pages[index], SW_SHOW);
    SetFocus(m_pages[index]);
    InvalidateRect(m_pages[index], nullptr, TRUE);
  }
}

void CDrainlogWindow::Poll() {
  SYSTEM_POWER_STATUS_EX2 power{};
  if (GetSystemPowerStatusEx2(&power, sizeof power, TRUE) != 0 && std::memcmp(&power, &m_power, sizeof power) != 0) {
    m_power = power;
    m_dirtyBattery = true;
  }
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  ULARGE_INTEGER available{}, total{}, free{};
  std::uint64_t storageTotal = 0, storageFree = 0;
  if (GetDiskFreeSpaceExW(L"\\", &available, &total, &free)) {
    storageTotal = total.QuadPart / 1024;
    storageFree = free.QuadPart / 1024;
  }
  const std::uint64_t programTotal = memory.dwTotalPhys / 1024;
  const std::uint64_t programFree = memory.dwAvailPhys / 1024;
  if (programTotal != m_programTotal || programFree != m_programFree || storageTotal != m_storageTotal ||
      storageFree != m_storageFree) {
    m_programTotal = programTotal;
    m_programFree = programFree;
    m_storageTotal = storageTotal;
    m_storageFree = storageFree;
    m_dirtyMemory = true;
  }
  for (int k = 0; k < 5; ++k) {
    const int used = Storage().cards[k].used;
    if (used != m_cardUsed[k]) {
      m_cardUsed[k] = used;
      m_dirtyStorage = true;
    }
  }
}

void CDrainlogWindow::DrawLabel(HDC dc, const wchar_t* text, int x, int y, int width, UINT format) {
  RECT r{x, y, x + width, y + Scale(16)};
  DrawTextW(dc, text, -1, &r, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void CDrainlogWindow::DrawSizes(HDC dc, const Gauge& gauge, std::uint64_t totalKb, std::uint64_t freeKb) {
  // "%d MB" of the total, then the free space, on one line under the gauge.
  wchar_t free[48];
  FreeText(m_texts[kFreeFormat], freeKb, free, 48);
  wchar_t line[96];
  std::swprintf(line, 96, L"%d MB  %ls", static_cast<int>(totalKb / 1024), free);
  RECT client{};
  GetClientRect(m_pages[m_page] != nullptr ? m_pages[m_page] : Window(), &client);
  DrawLabel(dc, line, gauge.x, gauge.y + m_frame.GetHeight(), client.right - gauge.x, DT_LEFT);
}

void CDrainlogWindow::DrawGauge(HDC dc, Gauge& gauge, int value, bool percentText) {
  gauge.value = value;
  const int fw = m_frame.GetWidth();
  const int fh = m_frame.GetHeight();
  if (m_frame.IsLoaded()) CopyTransparent(dc, gauge.x, gauge.y, fw, fh, m_frame.GetDC(), 0, 0);
  if (value < 0 || value > 100) return;
  if (m_bar.IsLoaded()) {
    const int inset = (fh - m_bar.GetHeight()) / 2;
    CopyTransparent(dc, gauge.x + inset, gauge.y + inset, m_bar.GetWidth() * value / 100, m_bar.GetHeight(),
                    m_bar.GetDC(), 0, 0);
  }
  if (percentText) {
    wchar_t text[16];
    std::swprintf(text, 16, L"  %d%%", value);
    RECT r{gauge.x, gauge.y, gauge.x + fw, gauge.y + fh};
    DrawTextW(dc, text, -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
}

void CDrainlogWindow::PaintStatusPage(HWND hwnd, BOOL) {
  PAINTSTRUCT paint;
  HDC window = BeginPaint(hwnd, &paint);
  RECT client{};
  GetClientRect(hwnd, &client);
  HDC dc = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (m_background.IsLoaded()) {
    StretchBlt(dc, 0, 0, client.right, client.bottom, m_background.GetDC(), 0, 0, m_background.GetWidth(),
               m_background.GetHeight(), SRCCOPY);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  HGDIOBJ oldFont = SelectObject(dc, m_font);
  const int labelX = Scale(60);
  const int labelW = Scale(130);
  DrawLabel(dc, m_texts[kMainText], labelX, Scale(7), labelW, DT_LEFT);
  DrawLabel(dc, SecondBatteryLabel(), labelX, Scale(34), labelW, DT_LEFT);
  DrawLabel(dc, m_texts[kProgramText], labelX, Scale(66), labelW, DT_LEFT);
  DrawLabel(dc, m_texts[kStorageText], labelX, Scale(109), labelW, DT_LEFT);
  // What each row measures, pictured left of it as the storage page pictures
  // its cards: the battery, the backup battery, the memory chip and the
  // store.
  MeterPicture battery;
  battery.Load(DialogModule(), L"PM_Battery.bmp", 109, 165);
  MeterPicture memory;
  memory.Load(DialogModule(), L"PM_Memory_0.bmp", 101, 98);
  const MeterBitmap batteries = battery.Bitmap();
  const MeterBitmap memories = memory.Bitmap();
  if (batteries.dc != nullptr) {
    const int row = batteries.height / 3;
    for (const auto& [gauge, size] : {std::pair{&m_mainBattery, 0}, std::pair{&m_secondBattery, 1}}) {
      CopyTransparent(dc, Scale(20), gauge->y - Scale(4), batteries.width, row, batteries.dc, 0, row * size);
    }
  }
  if (memories.dc != nullptr) {
    const int half = memories.width / 2;
    CopyTransparent(dc, Scale(20), m_program.y - Scale(6), half, memories.height, memories.dc, 0, 0);
    CopyTransparent(dc, Scale(20), m_storage.y - Scale(6), half, memories.height, memories.dc, half, 0);
  }
  DrawGauge(dc, m_mainBattery, DrainlogBatteryValue(m_power.BatteryLifePercent, m_power.BatteryFlag), true);
  const int external = Battery().ExternalState();
  const int second =
      external != 103 ? external : DrainlogBatteryValue(m_power.BackupBatteryLifePercent, m_power.BackupBatteryFlag);
  DrawGauge(dc, m_secondBattery, second, true);
  // Memory: used percent, the total and the free space under the gauge.
  struct Row {
    Gauge* gauge;
    std::uint64_t total, free;
  } rows[2] = {{&m_program, m_programTotal, m_programFree}, {&m_storage, m_storageTotal, m_storageFree}};
  for (const Row& row : rows) {
    const int used = UsedPercent(row.free, row.total);
    DrawGauge(dc, *row.gauge, used, !(row.gauge == &m_storage && (used == 254 || used == 255)));
    DrawSizes(dc, *row.gauge, row.total, row.free);
  }
  m_dirtyBattery = m_dirtyMemory = false;
  SelectObject(dc, oldFont);
  BitBlt(window, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(hwnd, &paint);
}

void CDrainlogWindow::PaintStoragePage(HWND hwnd, BOOL) {
  PAINTSTRUCT paint;
  HDC window = BeginPaint(hwnd, &paint);
  RECT client{};
  GetClientRect(hwnd, &client);
  HDC dc = CreateCompatibleDC(window);
  HBITMAP bitmap = CreateCompatibleBitmap(window, client.right, client.bottom);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (m_background.IsLoaded()) {
    StretchBlt(dc, 0, 0, client.right, client.bottom, m_background.GetDC(), 0, 0, m_background.GetWidth(),
               m_background.GetHeight(), SRCCOPY);
  }
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  HGDIOBJ oldFont = SelectObject(dc, m_font);
  MeterPicture strip;
  strip.Load(DialogModule(), L"PM_StgCard_0.bmp", 105, 197);
  const MeterBitmap cards = strip.Bitmap();
  const CObjStorage& storage = Storage();
  // A device without a storage card is told so, not shown an empty page.
  if (std::none_of(std::begin(storage.cards), std::begin(storage.cards) + 5,
                   [](const StorageCard& card) { return card.used != 255; })) {
    DrawLabel(dc, m_texts[kNoCardText], Scale(20), m_cards[0].y - Scale(15), Scale(200), DT_LEFT);
  }
  for (int k = 0; k < 5; ++k) {
    const StorageCard& card = storage.cards[k];
    Gauge& gauge = m_cards[k];
    gauge.shown = card.used != 255;
    if (!gauge.shown) continue;
    if (cards.dc != nullptr && card.picture < 12) {
      const int column = cards.width / 12;
      CopyTransparent(dc, Scale(20), gauge.y - Scale(6), column, cards.height, cards.dc, column * card.picture, 0);
    }
    DrawLabel(dc, card.name.c_str(), Scale(60), gauge.y - Scale(15), Scale(130), DT_LEFT);
    // Free space unknown: the blank text instead of a percentage.
    const bool known = card.freeKb >= 0;
    DrawGauge(dc, gauge, card.used, known);
    if (!known) {
      RECT r{gauge.x, gauge.y, gauge.x + m_frame.GetWidth(), gauge.y + m_frame.GetHeight()};
      DrawTextW(dc, m_texts[kBlankText], -1, &r, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    }
    DrawSizes(dc, gauge, card.totalKb, known ? static_cast<std::uint64_t>(card.freeKb) : 0);
  }
  m_dirtyStorage = false;
  SelectObject(dc, oldFont);
  BitBlt(window, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EndPaint(hwnd, &paint);
}

void CDrainlogWindow::PaintChart(int index) {
  HWND page = m_pages[index];
  PAINTSTRUCT paint;
  BeginPaint(page, &paint);
  EndPaint(page, &paint);
  RECT client{};
  GetClientRect(page, &client);
  if (index == 2) {
    m_battery.Paint(page, client, &Battery().History(), nullptr, nullptr);
  } else if (index == 3) {
    m_memory.Paint(page, client, &Memory().history, nullptr, nullptr);
  } else {
    const CObjNetwork& network = Network();
    m_network.Paint(page, client, &network.download, &network.upload, &network.total);
  }
}

void CDrainlogWindow::ChartInput(int index, int x, int y, int key) {
  CObjChart& chart = Chart(index - 2);
  chart.OnInput(x, y, key);
  InvalidateRect(m_pages[index], nullptr, FALSE);
  g_batterySpan = m_battery.SpanIndex();
  g_memorySpan = m_memory.SpanIndex();
  g_networkSpan = m_network.SpanIndex();
}

void CDrainlogWindow::OnKeyUp(int key) {
  if (key == VK_LEFT) {
    ShowPage((m_page + kDrainlogPages - 1) % kDrainlogPages);
  } else if (key == VK_RIGHT) {
    ShowPage((m_page + 1) % kDrainlogPages);
  } else if (m_page >= 2 && (key == VK_UP || key == VK_DOWN)) {
    ChartInput(m_page, 0, 0, key);
  }
}

INT_PTR CALLBACK CDrainlogWindow::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDrainlogWindow& self = Get();
  const int index = static_cast<int>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      SetTimer(hwnd, kFirstPageTimer + static_cast<UINT_PTR>(lParam), 2000, nullptr);
      return FALSE;
    case WM_DESTROY:
      KillTimer(hwnd, kFirstPageTimer + static_cast<UINT_PTR>(index));
      return FALSE;
    case WM_TIMER:
      if (index <= 1) {
        self.Poll();
        if (self.m_dirtyBattery || self.m_dirtyMemory || self.m_dirtyStorage) InvalidateRect(hwnd, nullptr, FALSE);
      } else {
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return TRUE;
    case WM_ERASEBKGND:
      return TRUE;  // every page paints its whole area
    case WM_PAINT:
      if (index == 0) {
        self.PaintStatusPage(hwnd, TRUE);
      } else if (index == 1) {
        self.PaintStoragePage(hwnd, TRUE);
      } else {
        self.PaintChart(index);
      }
      return TRUE;
    case WM_KEYUP:
      self.OnKeyUp(static_cast<int>(wParam));
      return TRUE;
    case WM_LBUTTONDOWN:
      if (index >= 2) self.ChartInput(index, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)), 0);
      return TRUE;
    default:
      return FALSE;
  }
}

void CDrainlogWindow::OnDestroy(HWND) { DestroyPages(m_pages); }

bool CDrainlogWindow::WindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  *result = 1;
  if (message == WM_KEYUP) {
    OnKeyUp(static_cast<int>(wParam));
    return true;
  }
  if (message == WM_COMMAND) {
    if (LOWORD(wParam) == 40005) {
      EndDialog(hwnd, 0);
      return true;
    }
    for (int i = 0; i < kDrainlogPages; ++i) {
      if (LOWORD(wParam) == kPageCommands[i]) {
        ShowPage(i);
        return true;
      }
    }
  }
  return CMeterDialog::WindowMessage(hwnd, message, wParam, lParam, result);
}

}  // namespace pelmora
