// The memory bank (program memory and the object store) and the storage
// card bank, with the low-memory and low-card alerts.
#pragma once

#include <cstdint>
#include <string>

#include "ce/windows.h"
#include "meter_settings.h"
#include "obj_battery.h"
#include "obj_meter.h"

namespace pelmora {

// Used percent from free and total kilobytes; 0 when the total is 0.
int UsedPercent(std::uint64_t freeKb, std::uint64_t totalKb);
// The free-space text: percent (percentFlag) or megabytes; cards switch to
// whole megabytes only above 99.
std::wstring MemoryText(bool percentFlag, int usedPercent, std::int64_t freeKb, bool card);

class CObjMemory : public CObjMeter {
 public:
  BOOL Init(HINSTANCE instance, HWND window) override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  BOOL Update() override;
  BOOL Action(int bankIndex) override;
  BOOL SecondAction(int bankIndex) override;
  // Reads both memories without sampling the history.
  void Measure();

  std::uint32_t programTotalKb = 0, programFreeKb = 0;
  std::uint64_t storageTotalKb = 0, storageFreeKb = 0;
  int programUsed = 0, storageUsed = 0;
  HistoryRing history;

 private:
  std::int64_t m_alertPlayed = 0;
  DWORD m_alternateTick = 0;
  MeterPicture m_pictures[3];
  CBarGauge m_gauge;
};

struct StorageCard {
  std::wstring name;
  BYTE used = 255;
  std::int64_t freeKb = -1;
  std::uint64_t totalKb = 0;
  BYTE picture = 4;
  std::int64_t alertPlayed = 0;
};

class CObjStorage : public CObjMeter {
 public:
  BOOL Init(HINSTANCE instance, HWND window) override;
  BOOL Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT secondFont, int size, int bankIndex,
            BOOL selected) override;
  BOOL Update() override;
  BOOL Action(int bankIndex) override;
  BOOL SecondAction(int bankIndex) override;

  StorageCard cards[kCardSlots];
  int cardCount = 0;
  BYTE shown[kBankCount] = {};

 private:
  DWORD m_stepTick[kBankCount] = {};
  MeterPicture m_pictures[3];
  CBarGauge m_gauge;
};

CObjMemory& Memory();
CObjStorage& Storage();

}  // namespace pelmora
