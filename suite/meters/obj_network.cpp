#include "obj_network.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include "ce/iphlpapi.h"
#include "common/module_state.h"
#include "meter_settings.h"
#include "network_info_dialog.h"

namespace pelmora {

CObjNetwork& Network() {
  static CObjNetwork network;
  return network;
}

std::wstring NetworkNumberText(double c, bool rate) {
  wchar_t buffer[48];
  if (c >= 1000000001.0) {
    std::swprintf(buffer, 48, L"%.1f Gb", c * 1e-9);
  } else if (c >= 1000001.0) {
    std::swprintf(buffer, 48, L"%.1f Mb", c * 1e-6);
  } else if (c < 1001.0) {
    std::swprintf(buffer, 48, L"%d b", static_cast<int>(c));
  } else {
    std::swprintf(buffer, 48, L"%.1f Kb", c * 0.001);
  }
  std::wstring text = buffer;
  if (rate) text += L"ps";
  return text;
}

int RateHistoryValue(double bytesPerSecond) {
  const double v = bytesPerSecond * 0.00025;
  if (v >= 100) return 100;
  if (v <= 0) return 0;
  return static_cast<int>(v);
}

void CObjNetwork::SetDisabled(bool disabled) { CMeterSettings::Get().disableNetMon = disabled ? 1 : 0; }
bool CObjNetwork::IsDisabled() const { return CMeterSettings::Get().disableNetMon != 0; }

bool CObjNetwork::FindInterface() {
  CMeterSettings& settings = CMeterSettings::Get();
  ULONG size = 0;
  if (GetInterfaceInfo(nullptr, &size) != ERROR_INSUFFICIENT_BUFFER || size < sizeof(IP_INTERFACE_INFO)) {
    settings.deviceName[0] = L'\0';
    interfaceIndex = -1;
    state = 4;
    return false;
  }
  // Aligned storage for the records.
  std::vector<ULONGLONG> buffer((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
  auto* info = reinterpret_cast<IP_INTERFACE_INFO*>(buffer.data());
  if (GetInterfaceInfo(info, &size) != NO_ERROR || info->NumAdapters <= 0) {
    settings.deviceName[0] = L'\0';
    interfaceIndex = -1;
    state = 4;
    return false;
  }
  const LONG maxFit = static_cast<LONG>((size - offsetof(IP_INTERFACE_INFO, Adapter)) / sizeof(IP_ADAPTER_INDEX_MAP));
  const LONG count = info->NumAdapters < maxFit ? info->NumAdapters : maxFit;
  LONG chosen = 0;
  if (settings.deviceName[0] != L'\0' && count > 1) {
    for (LONG i = 0; i < count; ++i) {
      if (std::wcsncmp(info->Adapter[i].Name, settings.deviceName, MAX_ADAPTER_NAME) == 0) chosen = i;
    }
  }
  interfaceIndex = static_cast<long>(info->Adapter[chosen].Index);
  std::swprintf(settings.deviceName, sizeof settings.deviceName / sizeof settings.deviceName[0], L"%.127ls",
                info->Adapter[chosen].Name);
  if (state == 4) state = 0;
  return true;
}

bool CObjNetwork::ReadCounters() {
  if (interfaceIndex < 0) return false;
  MIB_IFROW row{};
  row.dwIndex = static_cast<DWORD>(interfaceIndex);
  if (GetIfEntry(&row) != NO_ERROR) {
    FindInterface();
    return false;
  }
  const ULONGLONG now = MonotonicMs();
  Sample& slot = m_samples[m_nextSample];
  const Sample& other = m_samples[1 - m_nextSample];
  slot = {row.dwOutOctets, row.dwInOctets, now, true};
  m_nextSample = 1 - m_nextSample;
  // Rates need two samples apart in time.
  if (other.filled && now > other.ms) {
    const double ms = static_cast<double>(now - other.ms);
    downloadRate = static_cast<DWORD>(row.dwInOctets - other.received) * 1000.0 / ms;
    uploadRate = static_cast<DWORD>(row.dwOutOctets - other.sent) * 1000.0 / ms;
  }
  const int d = RateHistoryValue(downloadRate);
  const int u = RateHistoryValue(uploadRate);
  download.Sample(now, d);
  upload.Sample(now, u);
  total.Sample(now, d + u);
  {
    const std::lock_guard<std::mutex> hold(m_textLock);
    texts[0] = NetworkNumberText(row.dwInOctets, false);
    texts[1] = NetworkNumberText(downloadRate, true);
    texts[2] = NetworkNumberText(row.dwOutOctets, false);
    texts[3] = NetworkNumberText(uploadRate, true);
    texts[4] = NetworkNumberText(static_cast<double>(row.dwInOctets) + row.dwOutOctets, false);
  }
  m_lastReceived = row.dwInOctets;
  m_lastSent = row.dwOutOctets;
  return true;
}

BOOL CObjNetwork::Init(HINSTANCE instance, HWND window) {
  CObjMeter::Init(instance, window);
  m_pictures[0].Load(instance, L"PM_Net_Large.bmp", 149, 184);
  m_pictures[1].Load(instance, L"PM_Net_Small.bmp", 155, 186);
  m_pictures[2].Load(instance, L"PM_Net_Tiny.bmp", 154, 187);
  download = HistoryRing{};
  upload = HistoryRing{};
  total = HistoryRing{};
  const ULONGLONG now = MonotonicMs();
  download.startMs = upload.startMs = total.startMs = now;
  if (!IsDisabled() && FindInterface() && ReadCounters()) {
    received = m_lastReceived;
    sent = m_lastSent;
  }
  return 1;
}

BOOL CObjNetwork::Update() {
  if (IsDisabled() || (interfaceIndex < 0 && !FindInterface())) {
    const BOOL changed = state != 4;
    state = 4;
    received = sent = 0;
    return changed;
  }
  if (!ReadCounters()) return 0;
  const bool in = m_lastReceived != received;
  const bool out = m_lastSent != sent;
  const int before = state;
  state = in && out ? 3 : out ? 2 : in ? 1 : 0;
  received = m_lastReceived;
  sent = m_lastSent;
  if (state == 0 && before == 0) return 0;
  if (infoOpen.load()) {
    PostMessageW(suite::PluginWindow(), 1044, 0, 0);
    return 0;
  }
  return 1;
}

namespace {

void Copy(wchar_t* to, const char* from) { std::swprintf(to, 40, L"%.39s", from != nullptr ? from : ""); }

void LeaseText(std::time_t seconds, wchar_t* out) {
  out[0] = L'\0';
  if (seconds <= 0) return;  // no lease known
  // Seconds since 1970 as a file time, then local time.
  FILETIME utc{};
  const ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ull) * 10000000ull;
  utc.dwLowDateTime = static_cast<DWORD>(ticks);
  utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  FILETIME local{};
  SYSTEMTIME time{};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return;
  wchar_t date[24] = {};
  wchar_t clock[16] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, L"MM/dd/yy ", date, 24);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, L"hh:mm", clock, 16);
  std::swprintf(out, 40, L"%ls%ls", date, clock);
}

template <typename Record>
std::vector<ULONGLONG> Query(DWORD (*call)(Record*, PULONG), ULONG first, DWORD expected) {
  ULONG size = first;
  std::vector<ULONGLONG> buffer((size + 7) / 8 + 1);
  DWORD result = call(reinterpret_cast<Record*>(buffer.data()), &size);
  if (result == expected) {
    buffer.assign((size + 7) / 8 + 1, 0);
    result = call(reinterpret_cast<Record*>(buffer.data()), &size);
  }
  if (result != NO_ERROR) buffer.clear();
  return buffer;
}

}  // namespace

bool CObjNetwork::Refresh(NetworkInfoBlock* block) {
  if (block == nullptr) return false;
  *block = NetworkInfoBlock{};
  // The chosen adapter by name, else the first.
  ULONG size = 0;
  if (GetInterfaceInfo(nullptr, &size) != ERROR_INSUFFICIENT_BUFFER || size < sizeof(IP_INTERFACE_INFO)) return false;
  std::vector<ULONGLONG> list((size + 7) / 8);
  auto* interfaces = reinterpret_cast<IP_INTERFACE_INFO*>(list.data());
  if (GetInterfaceInfo(interfaces, &size) != NO_ERROR || interfaces->NumAdapters <= 0) return false;
  const LONG fit = static_cast<LONG>((size - offsetof(IP_INTERFACE_INFO, Adapter)) / sizeof(IP_ADAPTER_INDEX_MAP));
  const LONG count = interfaces->NumAdapters < fit ? interfaces->NumAdapters : fit;
  const wchar_t* chosenName = CMeterSettings::Get().deviceName;
  LONG chosen = 0;
  for (LONG i = 0; i < count; ++i) {
    if (std::wcsncmp(interfaces->Adapter[i].Name, chosenName, MAX_ADAPTER_NAME) == 0) chosen = i;
  }
  const DWORD index = interfaces->Adapter[chosen].Index;
  MIB_IFROW row{};
  row.dwIndex = index;
  if (GetIfEntry(&row) == NO_ERROR) {
    block->bytesReceived = row.dwInOctets;
    block->bytesSent = row.dwOutOctets;
  }
  const std::vector<ULONGLONG> params = Query<FIXED_INFO>(GetNetworkParams, 584, ERROR_BUFFER_OVERFLOW);
  if (!params.empty()) {
    const auto* fixed = reinterpret_cast<const FIXED_INFO*>(params.data());
    Copy(block->hostName, fixed->HostName);
    Copy(block->domainName, fixed->DomainName);
    Copy(block->primaryDns, fixed->DnsServerList.IpAddress.String);
    Copy(block->secondaryDns, fixed->DnsServerList.Next != nullptr ? fixed->DnsServerList.Next->IpAddress.String : "");
    block->proxyEnabled = fixed->EnableProxy != 0;
  }
  const std::vector<ULONGLONG> adapters = Query<IP_ADAPTER_INFO>(GetAdaptersInfo, 0, ERROR_BUFFER_OVERFLOW);
  for (const auto* a = adapters.empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_INFO*>(adapters.data());
       a != nullptr; a = a->Next) {
    if (a->Index != index) continue;
    wchar_t* mac = block->macAddress;
    const UINT length = a->AddressLength < MAX_ADAPTER_ADDRESS_LENGTH ? a->AddressLength : MAX_ADAPTER_ADDRESS_LENGTH;
    for (UINT b = 0; b < length; ++b) std::swprintf(mac + b * 3, 4, b + 1 < length ? L"%02X-" : L"%02X", a->Address[b]);
    Copy(block->ipAddress, a->IpAddressList.IpAddress.String);
    Copy(block->subnetMask, a->IpAddressList.IpMask.String);
    Copy(block->gateway, a->GatewayList.IpAddress.String);
    Copy(block->dhcpServer, a->DhcpServer.IpAddress.String);
    Copy(block->primaryWins, a->PrimaryWinsServer.IpAddress.String);
    Copy(block->secondWins, a->SecondaryWinsServer.IpAddress.String);
    block->dhcpEnabled = a->DhcpEnabled != 0;
    LeaseText(a->LeaseObtained, block->leaseObtained);
    LeaseText(a->LeaseExpires, block->leaseExpires);
    break;
  }
  return true;
}

BOOL CObjNetwork::Draw(HDC dc, const RECT& bank, HFONT normalFont, HFONT, int size, int bankIndex, BOOL selected) {
  if (dc == nullptr || size < 0 || size > 2) return 1;
  const int left = bank.left;
  const int top = bank.top;
  const int shownState = state >= 0 && state <= 4 ? state : 4;
  const MeterBitmap picture = m_pictures[size].Bitmap();
  if (picture.dc != nullptr) {
    const int column = picture.width / 5;
    const POINT at = size == kBig     ? POINT{Scale(1), Scale(3)}
                     : size == kSmall ? POINT{Scale(1), Scale(2)}
                                      : POINT{Scale(20), Scale(1)};
    CopyTransparent(dc, left + at.x, top + at.y, column, picture.height, picture.dc, column * shownState, 0);
  }
  if (size == kTiny || shownState == 4) return 1;
  const int b = bankIndex >= 0 && bankIndex < 6 ? bankIndex : 0;
  const int m = mode[b] >= 0 && mode[b] <= 4 ? mode[b] : 0;
  static const wchar_t* const kFirst[5] = {L"DL", L"DL", L"UL", L"UL", L"Tot"};
  static const wchar_t* const kSecond[5] = {L"", L"Rate", L"", L"Rate", L""};
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, normalFont);
  SetTextColor(dc, BankTextColour(selected));
  const int labelX = left + (size == kBig ? Scale(25) : Scale(20));
  ExtTextOutW(dc, labelX, top, 0, nullptr, kFirst[m], static_cast<UINT>(std::wcslen(kFirst[m])), nullptr);
  ExtTextOutW(dc, labelX, top + Scale(10), 0, nullptr, kSecond[m], static_cast<UINT>(std::wcslen(kSecond[m])), nullptr);
  SelectObject(dc, old);
  const int valueTop = top + (size == kBig ? Scale(29) : Scale(20));
  // Shortened as the other meters shorten theirs when the bank is narrow.
  const RECT value{bank.left, valueTop, bank.right, valueTop + Scale(13)};
  DrawBankLabel(dc, bank, value, ShorterForms(Text(m)), normalFont, selected, DT_VCENTER);
  return 1;
}

std::wstring CObjNetwork::Text(int index) {
  const std::lock_guard<std::mutex> hold(m_textLock);
  return index >= 0 && index < 5 ? texts[index] : std::wstring();
}

BOOL CObjNetwork::Action(int) {
  if (IsDisabled()) return 1;
  infoOpen = true;
  CNetworkInfoDialog::Get().Show(suite::PluginWindow());
  infoOpen = false;
  return 1;
}

BOOL CObjNetwork::SecondAction(int bankIndex) {
  if (bankIndex >= 0 && bankIndex < 6) mode[bankIndex] = mode[bankIndex] >= 4 ? 0 : mode[bankIndex] + 1;
  return 1;
}

}  // namespace pelmora
