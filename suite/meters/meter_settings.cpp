#include "meter_settings.h"
#include "runtime/le_bytes.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace pelmora {
namespace {

using ks::runtime::LoadLe32;

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Tarnwell\\Pelmora";
constexpr REGSAM kAllAccess = 0xF003F;

void PutU32(BYTE* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<BYTE>(v >> (8 * i));
}

}  // namespace

void BankValueName(const wchar_t* stem, int bank, wchar_t* out, int outChars) {
  if (bank == 1) {
    std::swprintf(out, static_cast<std::size_t>(outChars), L"%ls", stem);
  } else {
    std::swprintf(out, static_cast<std::size_t>(outChars), L"%ls%d", stem, bank);
  }
}

CMeterSettings& CMeterSettings::Get() {
  static CMeterSettings settings;
  return settings;
}

BOOL CMeterSettings::Open(bool networkConnected, bool vendorUtilities) {
  d[0] = 1;
  d[1] = 2;
  d[3] = 4;
  d[4] = 0;
  d[5] = 0;
  if (networkConnected) {
    d[2] = 5;
  } else if (vendorUtilities) {
    d[2] = 3;
  } else {
    d[2] = 4;
    d[3] = 0;
  }
  if (m_key != nullptr) return TRUE;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, kAllAccess, nullptr, &m_key, &disposition) !=
      ERROR_SUCCESS) {
    m_key = nullptr;
    return FALSE;
  }
  return TRUE;
}

void CMeterSettings::Close() {
  if (m_key == nullptr) return;
  RegCloseKey(m_key);
  m_key = nullptr;
}

void CMeterSettings::ReadDword(const wchar_t* name, DWORD* value) {
  DWORD type = 0;
  DWORD read = 0;
  DWORD size = sizeof read;
  if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) == ERROR_SUCCESS &&
      type == REG_DWORD && size == sizeof read) {
    *value = read;
  }
}

void CMeterSettings::WriteDword(const wchar_t* name, DWORD value) {
  RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void CMeterSettings::ReadStats(const wchar_t* name, DrainStats* stats) {
  BYTE bytes[12] = {};
  DWORD type = 0;
  DWORD size = sizeof bytes;
  if (RegQueryValueExW(m_key, name, nullptr, &type, bytes, &size) != ERROR_SUCCESS || type != REG_BINARY ||
      size != sizeof bytes) {
    return;
  }
  stats->average = LoadLe32(bytes);
  stats->count = LoadLe32(bytes + 4);
  stats->last = LoadLe32(bytes + 8);
}

void CMeterSettings::WriteStats(const wchar_t* name, const DrainStats& stats) {
  BYTE bytes[12];
  PutU32(bytes, stats.average);
  PutU32(bytes + 4, stats.count);
  PutU32(bytes + 8, stats.last);
  RegSetValueExW(m_key, name, 0, REG_BINARY, bytes, sizeof bytes);
}

void CMeterSettings::ReadString(const wchar_t* name, wchar_t* buffer, DWORD bytes) {
  wchar_t temp[260] = {};
  const DWORD chars = std::min<DWORD>(bytes / 2, 260);
  if (chars == 0) return;
  DWORD type = 0;
  DWORD size = chars * static_cast<DWORD>(sizeof(wchar_t));
  if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(temp), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return;
  }
  // The size returned is the device's: two bytes a character.
  const DWORD stored = size / 2;
  temp[stored < chars ? stored : chars - 1] = L'\0';
  std::wmemcpy(buffer, temp, chars);
}

void CMeterSettings::WriteString(const wchar_t* name, const wchar_t* text, DWORD maxBytes) {
  const std::size_t length = std::wcslen(text);
  DWORD bytes = static_cast<DWORD>((length + 1) * 2);
  if (bytes > maxBytes) bytes = maxBytes;
  RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

void CMeterSettings::Load() {
  if (m_key == nullptr) return;
  ReadDword(L"DLT", &dlt);
  ReadDword(L"GBS", &gbs);
  ReadDword(L"GMS", &gms);
  ReadDword(L"GNS", &gns);
  ReadDword(L"DisableNetMon", &disableNetMon);
  bl = {144, 1, 144};
  bl2 = bl;
  bc = {90, 1, 90};
  ReadStats(L"BL", &bl);
  ReadStats(L"BL2", &bl2);
  ReadStats(L"BC", &bc);
  ReadDword(L"VBL", &vbl);
  ReadDword(L"VBC", &vbc);
  ReadDword(L"VML", &vml);
  ReadDword(L"VSL", &vsl);
  ReadDword(L"VBLV", &vblv);
  ReadDword(L"VMLV", &vmlv);
  ReadDword(L"VFreq", &vfreq);
  LoadSCI();
  ReadDword(L"UR", &ur);
  previousBs = bs;
  ReadDword(L"BS", &bs);
  ReadDword(L"PIM", &pim);
  ReadDword(L"BT", &bt);
  ReadDword(L"MTB", &mtb);
  ReadDword(L"BBP", &bbp);
  if (bs > 1) bs = 2;
  ReadDword(L"TBB", &tbb);
  ReadDword(L"TBM", &tbm);
  wchar_t name[16];
  for (int i = 0; i < kBankCount; ++i) {
    BankValueName(L"BD", i, name, 16);
    ReadDword(name, &bd[i]);
    BankValueName(L"MT", i, name, 16);
    ReadDword(name, &mt[i]);
    BankValueName(L"MN", i, name, 16);
    ReadDword(name, &mn[i]);
    BankValueName(L"CFN", i, name, 16);
    ReadDword(name, &cfn[i]);
    BankValueName(L"CC", i, name, 16);
    ReadDword(name, &cc[i]);
    std::swprintf(name, 16, L"D%d", i);
    ReadDword(name, &d[i]);
  }
  ReadString(L"InstallDir", installDir, 520);
  ReadString(L"Explore", explore, 520);
  ReadString(L"DeviceName", deviceName, 260);
}

void CMeterSettings::LoadSCI() {
  if (m_key == nullptr) return;
  BYTE bytes[80] = {};
  DWORD type = 0;
  DWORD size = sizeof bytes;
  if (RegQueryValueExW(m_key, L"SCI", nullptr, &type, bytes, &size) == ERROR_SUCCESS && type == REG_BINARY &&
      size == sizeof bytes) {
    for (int i = 0; i < kCardSlots; ++i) {
      sci[i].totalKb = LoadLe32(bytes + 8 * i);
      sci[i].picture = bytes[8 * i + 4];
    }
  }
  ReadDword(L"LSCI", &lsci);
}

void CMeterSettings::SaveCards() {
  if (m_key == nullptr) return;
  BYTE bytes[80] = {};
  for (int i = 0; i < kCardSlots; ++i) {
    PutU32(bytes + 8 * i, sci[i].totalKb);
    bytes[8 * i + 4] = sci[i].picture;
  }
  RegSetValueExW(m_key, L"SCI", 0, REG_BINARY, bytes, sizeof bytes);
  WriteDword(L"LSCI", lsci);
}

void CMeterSettings::LoadPositions() {
  if (m_key == nullptr) return;
  ReadDword(L"PBBX", &pbbx);
  ReadDword(L"PBBY", &pbby);
  ReadDword(L"PBMX", &pbmx);
  ReadDword(L"PBMY", &pbmy);
}

DWORD CMeterSettings::ReadExternalBattery() {
  DWORD value = 0;
  ReadDword(L"ExternalBatt", &value);
  return value;
}

void CMeterSettings::Save() {
  if (m_key == nullptr) return;
  WriteDword(L"DLT", dlt);
  WriteDword(L"GBS", gbs);
  WriteDword(L"GMS", gms);
  WriteDword(L"GNS", gns);
  WriteDword(L"DisableNetMon", disableNetMon);
  WriteString(L"DeviceName", deviceName, 260);
  WriteDword(L"VBL", vbl);
  WriteDword(L"VBC", vbc);
  WriteDword(L"VML", vml);
  WriteDword(L"VSL", vsl);
  WriteDword(L"VBLV", vblv);
  WriteDword(L"VMLV", vmlv);
  WriteDword(L"VFreq", vfreq);
  SaveCards();
  WriteDword(L"UR", ur);
  WriteDword(L"BS", bs);
  WriteDword(L"PIM", pim);
  WriteDword(L"BT", bt);
  WriteDword(L"MTB", mtb);
  WriteDword(L"TBB", tbb);
  WriteDword(L"TBM", tbm);
  WriteDword(L"BBP", bbp);
  wchar_t name[16];
  for (int i = 0; i < kBankCount; ++i) {
    BankValueName(L"BD", i, name, 16);
    WriteDword(name, bd[i]);
    BankValueName(L"MT", i, name, 16);
    WriteDword(name, mt[i]);
    BankValueName(L"MN", i, name, 16);
    WriteDword(name, mn[i]);
    BankValueName(L"CFN", i, name, 16);
    WriteDword(name, cfn[i]);
    BankValueName(L"CC", i, name, 16);
    WriteDword(name, cc[i]);
    std::swprintf(name, 16, L"D%d", i);
    WriteDword(name, d[i]);
  }
  WriteDword(L"Updated", 1);
}

void CMeterSettings::LoadElapsed() {
  if (m_key != nullptr) ReadDword(L"SE", &se);
}

void CMeterSettings::SaveElapsed() {
  if (m_key != nullptr) WriteDword(L"SE", se);
}

void CMeterSettings::SaveStatistics() {
  if (m_key == nullptr) return;
  WriteStats(L"BL", bl);
  WriteStats(L"BL2", bl2);
  WriteStats(L"BC", bc);
}

int CMeterSettings::RepeatMinutes() const {
  return vfreq < sizeof kRepeatMinutes / sizeof kRepeatMinutes[0] ? kRepeatMinutes[vfreq] : 0;
}

DWORD CMeterSettings::BankType(int bank) const {
  if (bank < 0 || bank >= kBankCount) return 0;
  return d[bank] <= 7 ? d[bank] : 0;
}

}  // namespace pelmora
