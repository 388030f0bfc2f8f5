#include "obj_memory.h"

#include <cstdio>
#include <cwchar>
#include <cwctype>

namespace pelmora {
namespace {

constexpr DWORD kBootQuiet = 10000;

std::wstring Format(const wchar_t* format, ...) {
  wchar_t buffer[64];
  va_list args;
  va_start(args, format);
  std::vswprintf(buffer, 64, format, args);
  va_end(args);
  return buffer;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  for (std::size_t i = 0; prefix[i] != 0; ++i) {
    if (i >= text.size() || std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
  return a.size() == std::wcslen(b) && StartsWithNoCase(a, b);
}

// A figure's label and ever shorter forms of it for a narrow bank: the
// unit without its space, its first letter; a figure too wide for the bank
// in megabytes (a large store) in gigabytes, so the unit is never lost.
void DrawFigure(HDC dc, const RECT& bank, const RECT& rect, const std::wstring& text, std::int64_t freeKb, HFONT font,
                BOOL selected) {
  std::vector<std::wstring> forms = ShorterForms(text);
  const std::int64_t mb = freeKb / 1024;
  if (forms.size() > 1 && mb >= 1024) {
    forms.pop_back();  // the bare figure: the gigabytes say more in less room
    const std::int64_t gb = mb / 1024;
    const int tenths = static_cast<int>((mb % 1024) * 10 / 1024);
    const std::wstring gbText =
        gb > 9 ? Format(L"%d GB", static_cast<int>(gb)) : Format(L"%d.%d GB", static_cast<int>(gb), tenths);
    std::vector<std::wstring> more = ShorterForms(gbText);
    more.pop_back();
    forms.insert(forms.end(), more.begin(), more.end());
  }
  DrawBankLabel(dc, bank, rect, forms, font, selected, DT_VCENTER);
}

POINT PictureOffset(int size) {
  if (size == kBig) return {Scale(8), Scale(2)};
  if (size == kSmall) return {Scale(3), Scale(2)};
  return {Scale(4), Scale(1)};
}

POINT GaugeOffset(int size) { return size == kSmall ? POINT{Scale(18), Scale(12)} : POINT{Scale(18), Scale(3)}; }

void DrawGauge(HDC dc, CBarGauge& gauge, int x, int y, int value) {
  const SharedBars& bars = Bars();
  gauge.x = x;
  gauge.y = y;
  gauge.value = value;
  gauge.reverse = 1;
  const MeterBitmap none;
  gauge.Draw(dc, bars.frameH.Bitmap(), bars.barH.Bitmap(), CMeterSettings::Get().pim ? bars.digitsH.Bitmap() : none,
             none, 0);
}

}  // namespace

CObjMemory& Memory() {
  static CObjMemory memory;
  return memory;
}
CObjStorage& Storage() {
  static CObjStorage storage;
  return storage;
}

int UsedPercent(std::uint64_t freeKb, std::uint64_t totalKb) {
  if (totalKb == 0) return 0;
  if (freeKb > totalKb) freeKb = totalKb;
  return 100 - static_cast<int>(freeKb * 100 / totalKb);
}

std::wstring MemoryText(bool percentFlag, int usedPercent, std::int64_t freeKb, bool card) {
  if (percentFlag) {
    if (usedPercent >= 0 && usedPercent <= 100) return Format(L"     %d%%     ", usedPercent);
    return L"          ?          ";
  }
  if (card && freeKb < 0) return L"              ";
  if (freeKb <= 0) return L"          ?          ";
  const std::int64_t mb = freeKb / 1024;
  if (mb > (card ? 99 : 9)) return Format(L"     %d MB     ", static_cast<int>(mb));
  const int tenths = static_cast<int>((freeKb % 1024) * 10 / 1024);
  return Format(L"     %d.%d MB     ", static_cast<int>(mb), tenths);
}

BOOL CObjMemory::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  m_pictures[0].Load(instance, L"PM_Memory_0.bmp", 101, 98);
  m_pictures[1].Load(instance, L"PM_Memory_1.bmp", 102, 99);
  m_pictures[2].Load(instance, L"PM_Memory_2.bmp", 103, 100);
  m_alternateTick = GetTickCount();
  return 1;
}

void CObjMemory::Measure() {
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  programTotalKb = status.dwTotalPhys >> 10;
  programFreeKb = status.dwAvailPhys / 1024;
  programUsed = UsedPercent(programFreeKb, programTotalKb);
  ULARGE_INTEGER available{}, total{}, free{};
  if (GetDiskFreeSpaceExW(L"\\", &available, &total, &free)) {
    storageTotalKb = total.QuadPart / 1024;
    storageFreeKb = free.QuadPart / 1024;
  } else {
    storageTotalKb = 0;
    storageFreeKb = 0;
  }
  storageUsed = UsedPercent(storageFreeKb, storageTotalKb);
}

BOOL CObjMemory::Update() {
  history.Sample(MonotonicMs(), programUsed);
  if (GetTickCount() < kBootQuiet) return 0;
  const int oldProgram = programUsed;
  const int oldStorage = storageUsed;
  Measure();
  const CMeterSettings& settings = CMeterSettings::Get();
  if (static_cast<int>(settings.vmlv) < 100 - storageUsed && static_cast<int>(settings.vmlv) < 100 - programUsed) {
    m_alertPlayed = 0;
  } else {
    PlayAlert(settings.vml, &m_alertPlayed, L"MIL.wav");
  }
  return oldProgram != programUsed || oldStorage != storageUsed;
}

BOOL CObjMemory::Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT, int size, int bankIndex, BOOL selected) {
  if (dc == nullptr || size < 0 || size > 2) return 1;
  const CMeterSettings& settings = CMeterSettings::Get();
  const int b = bankIndex >= 0 && bankIndex < kBankCount ? bankIndex : 0;
  const DWORD mode = settings.mt[b];
  const DWORD since = GetTickCount() - m_alternateTick;
  bool storage = mode == 0 || (mode == 2 && since > 5000);
  if (since > 10000) m_alternateTick = GetTickCount();
  const int left = bank.left;
  const int top = bank.top;
  const MeterBitmap picture = m_pictures[size].Bitmap();
  if (picture.dc != nullptr) {
    const int half = picture.width / 2;
    const POINT at = PictureOffset(size);
    CopyTransparent(dc, left + at.x, top + at.y, half, picture.height, picture.dc, storage ? half : 0, 0);
  }
  const int used = storage ? storageUsed : programUsed;
  const std::int64_t freeKb = storage ? static_cast<std::int64_t>(storageFreeKb) : programFreeKb;
  if (size != kTiny) {
    const RECT text = size == kBig ? RECT{left, top + Scale(29), left + Scale(49) - 1, top + Scale(45)}
                                   : RECT{left, top + Scale(20), left + Scale(49) - 1, top + Scale(36)};
    DrawFigure(dc, bank, text, MemoryText(settings.mn[b] != 0, used, freeKb, false), freeKb, normalFont, selected);
  }
  if (size != kBig) {
    const POINT at = GaugeOffset(size);
    DrawGauge(dc, m_gauge, left + at.x, top + at.y, used);
  }
  return 1;
}

BOOL CObjMemory::Action(int bankIndex) {
  if (bankIndex < 0 || bankIndex >= kBankCount) return 1;
  CMeterSettings& settings = CMeterSettings::Get();
  settings.mt[bankIndex] = settings.mt[bankIndex] >= 2 ? 0 : settings.mt[bankIndex] + 1;
  settings.Save();
  return 1;
}

BOOL CObjMemory::SecondAction(int bankIndex) {
  if (bankIndex < 0 || bankIndex >= kBankCount) return 1;
  CMeterSettings& settings = CMeterSettings::Get();
  settings.mn[bankIndex] = settings.mn[bankIndex] ? 0 : 1;
  settings.Save();
  return 1;
}

BOOL CObjStorage::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  m_pictures[0].Load(instance, L"PM_StgCard_0.bmp", 105, 197);
  m_pictures[1].Load(instance, L"PM_StgCard_1.bmp", 106, 198);
  m_pictures[2].Load(instance, L"PM_StgCard_2.bmp", 107, 199);
  for (DWORD& t : m_stepTick) t = GetTickCount();
  return 1;
}

BOOL CObjStorage::Update() {
  if (GetTickCount() < kBootQuiet) return 0;
  CMeterSettings& settings = CMeterSettings::Get();
  BOOL changed = 0;
  int found = 0;
  bool cardsChanged = false;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(L"\\*", &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const DWORD card = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
      if ((data.dwFileAttributes & card) != card) continue;
      const std::wstring name = data.cFileName;
      if (StartsWithNoCase(name, L"network")) continue;
      if (found >= kCardSlots) break;
      StorageCard& c = cards[found];
      const BYTE before = c.used;
      if (c.name != name) c.name = name;  // the UI thread reads it while this runs
      ULARGE_INTEGER available{}, total{}, free{};
      const std::wstring path = L"\\" + name;
      if (GetDiskFreeSpaceExW(path.c_str(), &available, &total, &free)) {
        c.totalKb = total.QuadPart / 1024;
        c.freeKb = static_cast<std::int64_t>(free.QuadPart / 1024);
        c.used = static_cast<BYTE>(UsedPercent(free.QuadPart / 1024, c.totalKb));
      } else {
        c.totalKb = 0;
        c.freeKb = 0;
        c.used = 0;
      }
      // The picture remembered for a card of this size, or a new entry.
      int slot = -1;
      for (int i = 0; i < kCardSlots; ++i) {
        if (settings.sci[i].picture != 255 && settings.sci[i].totalKb == static_cast<std::uint32_t>(c.totalKb)) {
          slot = i;
          break;
        }
      }
      if (slot >= 0) {
        c.picture = settings.sci[slot].picture < 12 ? settings.sci[slot].picture : 4;
      } else {
        settings.lsci = (settings.lsci + 1) % kCardSlots;
        const bool builtIn = EqualsNoCase(name, L"iPAQ File Store") || EqualsNoCase(name, L"hp safe store") ||
                             EqualsNoCase(name, L"Built-in Storage");
        c.picture = builtIn ? 0 : 4;
        settings.sci[settings.lsci] = {static_cast<std::uint32_t>(c.totalKb), c.picture};
        cardsChanged = true;
      }
      if (before != c.used) changed = 1;
      if (static_cast<int>(settings.vmlv) < 100 - c.used) {
        c.alertPlayed = 0;
      } else {
        PlayAlert(settings.vsl, &c.alertPlayed, L"SCL.wav");
      }
      ++found;
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  for (int i = found; i < kCardSlots; ++i) {
    if (cards[i].used != 255) changed = 1;
    cards[i] = StorageCard{};
  }
  if (found != cardCount) changed = 1;
  cardCount = found;
  if (cardsChanged) settings.SaveCards();
  return changed;
}

BOOL CObjStorage::Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT, int size, int bankIndex, BOOL selected) {
  if (dc == nullptr || size < 0 || size > 2) return 1;
  const CMeterSettings& settings = CMeterSettings::Get();
  const int b = bankIndex >= 0 && bankIndex < kBankCount ? bankIndex : 0;
  if (shown[b] >= kCardSlots || cards[shown[b]].used > 100) shown[b] = 0;
  const StorageCard& card = cards[shown[b]];
  const int left = bank.left;
  const int top = bank.top;
  const MeterBitmap picture = m_pictures[size].Bitmap();
  if (picture.dc != nullptr && card.picture < 12) {
    const int column = picture.width / 12;
    const POINT at = PictureOffset(size);
    CopyTransparent(dc, left + at.x, top + at.y, column, picture.height, picture.dc, column * card.picture, 0);
  }
  if (size != kTiny) {
    const RECT text = size == kBig ? RECT{left, top + Scale(30), left + Scale(49) - 1, top + Scale(55)}
                                   : RECT{left, top + Scale(20), left + Scale(49) - 1, top + Scale(45)};
    DrawFigure(dc, bank, text, MemoryText(settings.cfn[b] != 0, card.used, card.freeKb, true), card.freeKb, normalFont,
               selected);
  }
  if (card.used > 100) return 1;
  if (settings.cc[b] && GetTickCount() - m_stepTick[b] > 5000) {
    shown[b] = static_cast<BYTE>((shown[b] + 1) % (cardCount > 0 ? cardCount : 1));
    m_stepTick[b] = GetTickCount();
  }
  if (size != kBig) {
    const POINT at = GaugeOffset(size);
    DrawGauge(dc, m_gauge, left + at.x, top + at.y, card.used);
  }
  return 1;
}

BOOL CObjStorage::Action(int bankIndex) {
  if (bankIndex < 0 || bankIndex >= kBankCount) return 1;
  CMeterSettings& settings = CMeterSettings::Get();
  if (settings.cc[bankIndex]) {
    if (cardCount == 0) return 1;
    settings.cc[bankIndex] = 0;
    shown[bankIndex] = 0;
    settings.Save();
  } else if (shown[bankIndex] + 1 < cardCount) {
    ++shown[bankIndex];
  } else {
    settings.cc[bankIndex] = 1;
    shown[bankIndex] = 0;
    settings.Save();
  }
  return 1;
}

BOOL CObjStorage::SecondAction(int bankIndex) {
  if (bankIndex < 0 || bankIndex >= kBankCount) return 1;
  CMeterSettings& settings = CMeterSettings::Get();
  settings.cfn[bankIndex] = settings.cfn[bankIndex] ? 0 : 1;
  settings.Save();
  return 1;
}

}  // namespace pelmora
