// CMeterSettings: every persistent setting of the meters plug-in and the
// statistics that survive a restart, as values under one registry key kept
// open for the module's life. Missing or unreadable values keep their
// defaults; every operation does nothing while the key is not open.
#pragma once

#include <cstdint>

#include "ce/windows.h"

namespace pelmora {

// A drain or charge record: average seconds per percent, number of
// measurements, last measurement; stored as 12 bytes.
struct DrainStats {
  std::uint32_t average = 0;
  std::uint32_t count = 0;
  std::uint32_t last = 0;
};

// One remembered storage card: its size and the picture chosen for it.
struct CardInfo {
  std::uint32_t totalKb = 0;
  std::uint8_t picture = 255;
};

inline constexpr int kBankCount = 6;
inline constexpr int kCardSlots = 10;
inline constexpr int kRepeatMinutes[] = {0, 1, 2, 5, 10, 20, 30};

class CMeterSettings {
 public:
  static CMeterSettings& Get();

  // Sets the bank-type defaults and creates or opens the key.
  BOOL Open(bool networkConnected, bool vendorUtilities);
  void Load();
  void LoadSCI();
  void LoadPositions();
  void Save();
  void LoadElapsed();
  void SaveElapsed();
  void SaveStatistics();
  void SaveCards();
  void Close();
  // "ExternalBatt" under the meters' key: non-zero when an external
  // battery is fitted; 0 when missing or unreadable.
  DWORD ReadExternalBattery();
  bool IsOpen() const { return m_key != nullptr; }

  // The repeat interval in minutes; an out-of-range stored index counts as
  // no repeat.
  int RepeatMinutes() const;
  // Bank type of bank i (0..5) with out-of-range values taken as None.
  DWORD BankType(int bank) const;
  // The record of the main battery in use.
  DrainStats& Drain() { return batteryInUse == 2 ? bl2 : bl; }

  DWORD dlt = 0, gbs = 0, gms = 0, gns = 0;
  DWORD disableNetMon = 0;
  wchar_t deviceName[130] = {};
  DrainStats bl{144, 1, 144};
  DrainStats bl2{144, 1, 144};
  DrainStats bc{90, 1, 90};
  DWORD vbl = 1, vbc = 1, vml = 1, vsl = 1, vblv = 25, vmlv = 25, vfreq = 0;
  DWORD ur = 0;
  DWORD bs = 1, previousBs = 1;
  DWORD pim = 1, bt = 1, mtb = 0, bbp = 1, tbb = 0, tbm = 3;
  DWORD pbbx = 0, pbby = 18, pbmx = 0, pbmy = 0;
  DWORD bd[kBankCount] = {};
  DWORD mt[kBankCount] = {2, 2, 2, 2, 2, 2};
  DWORD mn[kBankCount] = {};
  DWORD cfn[kBankCount] = {};
  DWORD cc[kBankCount] = {1, 1, 1, 1, 1, 1};
  DWORD d[kBankCount] = {1, 2, 4, 4, 0, 0};
  wchar_t installDir[260] = L"\\Program Files\\Tarnwell\\Quorvist";
  wchar_t explore[260] = L"\\windows\\FExplore.exe";
  DWORD se = 0;
  CardInfo sci[kCardSlots];
  DWORD lsci = 9;
  int batteryInUse = 1;

 private:
  void ReadDword(const wchar_t* name, DWORD* value);
  void WriteDword(const wchar_t* name, DWORD value);
  void ReadStats(const wchar_t* name, DrainStats* stats);
  void WriteStats(const wchar_t* name, const DrainStats& stats);
  void ReadString(const wchar_t* name, wchar_t* buffer, DWORD bytes);
  void WriteString(const wchar_t* name, const wchar_t* text, DWORD maxBytes);

  HKEY m_key = nullptr;
};

// The registry name of a per-bank value: bank 1 carries no digit.
void BankValueName(const wchar_t* stem, int bank, wchar_t* out, int outChars);

}  // namespace pelmora
