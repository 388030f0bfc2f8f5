// The IP helper calls over the host's network: interfaces from getifaddrs and
// /sys/class/net, the gateway from /proc/net/route, the resolver's servers
// and domain from /etc/resolv.conf; each replaceable by device settings.
#include "kernel/network.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "ce/iphlpapi.h"
#include "ce/strconv.h"
#include "ce/winbase.h"
#include "kernel/debug_output.h"
#include "kernel/device.h"

namespace ce::kernel::network {
namespace {

// Host files larger than this are not network settings; they are ignored.
constexpr std::size_t kLargestFile = 1 << 20;
constexpr std::size_t kMostInterfaces = 64;
constexpr std::size_t kMostAddresses = 16;
constexpr std::size_t kMostDnsServers = 8;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kLargestFile) return {};
  }
  return text;
}

std::string FirstLine(const std::string& path) {
  std::string text = ReadText(path);
  const auto end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, int base = 10) {
  Number value{};
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || ptr != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ReadCounter(const std::string& name, const char* counter) {
  return ParseNumber<std::uint64_t>(FirstLine("/sys/class/net/" + name + "/statistics/" + counter));
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

std::optional<std::vector<std::uint8_t>> ParseMac(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t end = std::min(text.find(':', pos), text.size());
    const auto byte = ParseNumber<unsigned>(text.substr(pos, end - pos), 16);
    if (!byte || *byte > 0xFF || end - pos > 2 || bytes.size() == MAXLEN_PHYSADDR) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*byte));
    pos = end + 1;
  }
  return bytes;
}

std::uint32_t TypeOf(const std::string& name) {
  if (::access(("/sys/class/net/" + name + "/wireless").c_str(), F_OK) == 0) return IF_TYPE_IEEE80211;
  const auto type = ParseNumber<unsigned>(FirstLine("/sys/class/net/" + name + "/type"));
  if (!type) return MIB_IF_TYPE_OTHER;
  if (*type == 1) return MIB_IF_TYPE_ETHERNET;  // ARPHRD_ETHER
  if (*type == 512) return MIB_IF_TYPE_PPP;     // ARPHRD_PPP
  if (*type == 772) return MIB_IF_TYPE_LOOPBACK;
  return MIB_IF_TYPE_OTHER;
}

std::uint32_t MaskFromSockaddr(const sockaddr* address) {
  if (!address || address->sa_family != AF_INET) return 0;
  sockaddr_in in{};
  std::memcpy(&in, address, sizeof in);
  return ntohl(in.sin_addr.s_addr);
}

std::vector<Interface> HostInterfaces() {
  std::vector<Interface> found;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return found;
  for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_name || (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    const std::string name = entry->ifa_name;
    auto it = std::find_if(found.begin(), found.end(), [&](const Interface& i) { return i.name == name; });
    if (it == found.end()) {
      if (found.size() == kMostInterfaces) continue;
      Interface added;
      added.name = name;
      added.description = name;
      added.index = ::if_nametoindex(name.c_str());
      found.push_back(std::move(added));
      it = found.end() - 1;
    }
    if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && it->addresses.size() < kMostAddresses) {
      it->addresses.push_back(Address{MaskFromSockaddr(entry->ifa_addr), MaskFromSockaddr(entry->ifa_netmask)});
    }
  }
  ::freeifaddrs(list);
  for (Interface& i : found) {
    if (const auto mac = ParseMac(FirstLine("/sys/class/net/" + i.name + "/address")); mac && !mac->empty()) {
      i.mac = *mac;
    }
    i.type = TypeOf(i.name);
    i.mtu = ParseNumber<std::uint32_t>(FirstLine("/sys/class/net/" + i.name + "/mtu")).value_or(0);
    // Megabits per second; -1 or unreadable when the link does not say.
    const auto speed = ParseNumber<std::uint32_t>(FirstLine("/sys/class/net/" + i.name + "/speed"));
    if (speed && *speed <= 4294) i.speedBitsPerSecond = *speed * 1000000u;
    i.inOctets = ReadCounter(i.name, "rx_bytes").value_or(0);
    i.outOctets = ReadCounter(i.name, "tx_bytes").value_or(0);
    i.inPackets = ReadCounter(i.name, "rx_packets").value_or(0);
    i.outPackets = ReadCounter(i.name, "tx_packets").value_or(0);
    i.inErrors = ReadCounter(i.name, "rx_errors").value_or(0);
    i.outErrors = ReadCounter(i.name, "tx_errors").value_or(0);
    i.inDiscards = ReadCounter(i.name, "rx_dropped").value_or(0);
    i.outDiscards = ReadCounter(i.name, "tx_dropped").value_or(0);
  }
  return found;
}

std::uint32_t TypeSetting(const std::string& text) {
  if (text == "ethernet") return MIB_IF_TYPE_ETHERNET;
  if (text == "wireless") return IF_TYPE_IEEE80211;
  if (text == "ppp") return MIB_IF_TYPE_PPP;
  return MIB_IF_TYPE_OTHER;
}

void Warn(const std::string& key, const std::string& value) {
  ce::kernel::Diagnostic("device: %s \"%s\" is not valid; ignored", key.c_str(), value.c_str());
}

// The interfaces the device configuration lists, in place of the host's.
std::vector<Interface> ConfiguredInterfaces(const std::string& names) {
  std::vector<Interface> result;
  for (const std::string& name : Words(names)) {
    if (result.size() == kMostInterfaces) break;
    const std::string prefix = "network." + name + ".";
    Interface i;
    i.name = name;
    i.description = device::SettingOr(prefix + "description", name);
    const long long index = device::SettingNumber(prefix + "index", static_cast<long long>(result.size() + 1));
    i.index = index > 0 && index <= 0xFFFFFFFFll ? static_cast<std::uint32_t>(index) : 0;
    i.type = TypeSetting(device::SettingOr(prefix + "type", "ethernet"));
    i.mtu = 1500;
    if (const auto mac = device::Setting(prefix + "mac")) {
      if (const auto bytes = ParseMac(*mac)) {
        i.mac = *bytes;
      } else {
        Warn(prefix + "mac", *mac);
      }
    }
    for (const std::string& entry : Words(device::SettingOr(prefix + "address", ""))) {
      const auto slash = entry.find('/');
      const auto ip = ParseIPv4(std::string_view(entry).substr(0, slash));
      const auto mask = slash == std::string::npos ? std::optional<std::uint32_t>(0xFFFFFFFFu)
                                                   : ParseIPv4(std::string_view(entry).substr(slash + 1));
      if (!ip || !mask || i.addresses.size() == kMostAddresses) {
        Warn(prefix + "address", entry);
        continue;
      }
      i.addresses.push_back(Address{*ip, *mask});
    }
    i.inOctets = static_cast<std::uint64_t>(std::max(0ll, device::SettingNumber(prefix + "in_octets", 0)));
    i.outOctets = static_cast<std::uint64_t>(std::max(0ll, device::SettingNumber(prefix + "out_octets", 0)));
    result.push_back(std::move(i));
  }
  return result;
}

struct Totals {
  Counters lastHost;
  Counters reported;
};

std::uint64_t Carry(std::uint64_t last, std::uint64_t now, std::uint64_t total) {
  // A counter that went down was reset: what it shows now is all new.
  return total + (now >= last ? now - last : now);
}

}  // namespace

std::optional<std::uint32_t> ParseIPv4(std::string_view text) {
  std::uint32_t ip = 0;
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t end = part == 3 ? text.size() : text.find('.', pos);
    if (end == std::string_view::npos || end == pos || end - pos > 3) return std::nullopt;
    const auto value = ParseNumber<unsigned>(text.substr(pos, end - pos));
    if (!value || *value > 255) return std::nullopt;
    ip = (ip << 8) | *value;
    pos = end + 1;
  }
  return ip;
}

std::string FormatIPv4(std::uint32_t ip) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF, ip & 0xFF);
  return text;
}

std::vector<std::pair<std::string, std::uint32_t>> ParseDefaultRoutes(std::string_view text) {
  constexpr unsigned kGatewayFlag = 0x2;  // RTF_GATEWAY
  std::vector<std::pair<std::string, std::uint32_t>> routes;
  std::istringstream in{std::string(text)};
  std::string line;
  std::getline(in, line);  // the column titles
  while (std::getline(in, line)) {
    const auto fields = Words(line);
    if (fields.size() < 4) continue;
    const auto destination = ParseNumber<std::uint32_t>(fields[1], 16);
    const auto gateway = ParseNumber<std::uint32_t>(fields[2], 16);
    const auto flags = ParseNumber<unsigned>(fields[3], 16);
    if (!destination || !gateway || !flags || *destination != 0 || (*flags & kGatewayFlag) == 0) continue;
    // The file holds the address in network order read as a little-endian number.
    const std::uint32_t g = *gateway;
    const std::uint32_t ip = ((g & 0xFF) << 24) | ((g >> 8 & 0xFF) << 16) | ((g >> 16 & 0xFF) << 8) | (g >> 24);
    if (std::none_of(routes.begin(), routes.end(), [&](const auto& r) { return r.first == fields[0]; })) {
      routes.emplace_back(fields[0], ip);
    }
  }
  return routes;
}

Resolver ParseResolvConf(std::string_view text) {
  Resolver resolver;
  std::string search;
  std::istringstream in{std::string(text)};
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find_first_of("#;"));
    const auto fields = Words(line);
    if (fields.size() < 2) continue;
    if (fields[0] == "nameserver") {
      const auto ip = ParseIPv4(fields[1]);
      if (ip && resolver.servers.size() < kMostDnsServers) resolver.servers.push_back(*ip);
    } else if (fields[0] == "domain") {
      resolver.domain = fields[1];
    } else if (fields[0] == "search" && search.empty()) {
      search = fields[1];
    }
  }
  if (resolver.domain.empty()) resolver.domain = search;
  return resolver;
}

namespace {

// The running totals of every interface seen, kept for the life of the
// process (never destroyed, so no thread finds them gone at exit).
std::mutex& TotalsLock() {
  static auto* lock = new std::mutex;
  return *lock;
}
std::map<std::string, Totals>& AllTotals() {
  static auto* totals = new std::map<std::string, Totals>;
  return *totals;
}

}  // namespace

Counters Continue(const std::string& name, const Counters& host) {
  std::lock_guard guard(TotalsLock());
  auto [it, added] = AllTotals().try_emplace(name, Totals{host, host});
  if (added) return host;
  Totals& t = it->second;
  t.reported.inOctets = Carry(t.lastHost.inOctets, host.inOctets, t.reported.inOctets);
  t.reported.outOctets = Carry(t.lastHost.outOctets, host.outOctets, t.reported.outOctets);
  t.reported.inPackets = Carry(t.lastHost.inPackets, host.inPackets, t.reported.inPackets);
  t.reported.outPackets = Carry(t.lastHost.outPackets, host.outPackets, t.reported.outPackets);
  t.lastHost = host;
  return t.reported;
}

void ForgetCounters() {
  std::lock_guard guard(TotalsLock());
  AllTotals().clear();
}

Network Current() {
  Network network;
  if (const auto names = device::Setting("network.interfaces")) {
    network.interfaces = ConfiguredInterfaces(*names);
  } else {
    network.interfaces = HostInterfaces();
    for (const auto& [name, gateway] : ParseDefaultRoutes(ReadText("/proc/net/route"))) {
      for (Interface& i : network.interfaces) {
        if (i.name == name) i.gateway = gateway;
      }
    }
  }
  if (const auto gateway = device::Setting("network.gateway")) {
    const auto ip = ParseIPv4(*gateway);
    if (!ip && !gateway->empty()) Warn("network.gateway", *gateway);
    for (Interface& i : network.interfaces) i.gateway = ip;
  }
  for (Interface& i : network.interfaces) {
    const Counters reported = Continue(i.name, Counters{i.inOctets, i.outOctets, i.inPackets, i.outPackets});
    i.inOctets = reported.inOctets;
    i.outOctets = reported.outOctets;
    i.inPackets = reported.inPackets;
    i.outPackets = reported.outPackets;
  }
  std::stable_sort(network.interfaces.begin(), network.interfaces.end(),
                   [](const Interface& a, const Interface& b) { return a.index < b.index; });

  Resolver resolver = ParseResolvConf(ReadText("/etc/resolv.conf"));
  if (const auto dns = device::Setting("network.dns")) {
    resolver.servers.clear();
    for (const std::string& word : Words(*dns)) {
      const auto ip = ParseIPv4(word);
      if (!ip) {
        Warn("network.dns", word);
      } else if (resolver.servers.size() < kMostDnsServers) {
        resolver.servers.push_back(*ip);
      }
    }
  }
  network.dnsServers = resolver.servers;
  network.domainName = device::SettingOr("network.domain_name", resolver.domain);
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  network.hostName = device::SettingOr("network.host_name", host);
  return network;
}

}  // namespace ce::kernel::network

namespace {

using ce::kernel::network::Address;
using ce::kernel::network::FormatIPv4;
using ce::kernel::network::Interface;

// Copies text into a fixed char field, cut to fit with its terminator.
template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

void SetAddress(IP_ADDR_STRING& entry, std::uint32_t ip, std::uint32_t mask) {
  entry.Next = nullptr;
  CopyText(entry.IpAddress.String, FormatIPv4(ip));
  CopyText(entry.IpMask.String, FormatIPv4(mask));
  entry.Context = 0;
}

// The size query of the IP helper: true when the buffer holds needed bytes,
// else the needed size is written back.
bool Fits(const void* buffer, PULONG size, std::size_t needed) {
  if (buffer != nullptr && *size >= needed) return true;
  *size = static_cast<ULONG>(needed);
  return false;
}

// The records are written in place, so the buffer must be aligned for them
// (as any allocation is).
template <typename Record>
bool Misaligned(const Record* buffer) {
  return reinterpret_cast<std::uintptr_t>(buffer) % alignof(Record) != 0;
}

}  // namespace

DWORD GetInterfaceInfo(PIP_INTERFACE_INFO interfaces, PULONG size) {
  if (!size || Misaligned(interfaces)) return ERROR_INVALID_PARAMETER;
  const auto network = ce::kernel::network::Current();
  if (network.interfaces.empty()) return ERROR_NO_DATA;
  const std::size_t needed =
      offsetof(IP_INTERFACE_INFO, Adapter) + network.interfaces.size() * sizeof(IP_ADAPTER_INDEX_MAP);
  if (!Fits(interfaces, size, needed)) return ERROR_INSUFFICIENT_BUFFER;
  std::memset(static_cast<void*>(interfaces), 0, needed);
  interfaces->NumAdapters = static_cast<LONG>(network.interfaces.size());
  // The entries run past the declared one, into the rest of the buffer.
  auto* entries = reinterpret_cast<IP_ADAPTER_INDEX_MAP*>(reinterpret_cast<BYTE*>(interfaces) +
                                                          offsetof(IP_INTERFACE_INFO, Adapter));
  for (std::size_t n = 0; n < network.interfaces.size(); ++n) {
    const Interface& i = network.interfaces[n];
    entries[n].Index = i.index;
    const std::wstring name = ce::WideFromUtf8(i.name).substr(0, MAX_ADAPTER_NAME - 1);
    std::wmemcpy(entries[n].Name, name.c_str(), name.size() + 1);
  }
  return NO_ERROR;
}

DWORD GetIfEntry(PMIB_IFROW row) {
  if (!row || Misaligned(row)) return ERROR_INVALID_PARAMETER;
  const auto network = ce::kernel::network::Current();
  const auto it = std::find_if(network.interfaces.begin(), network.interfaces.end(),
                               [&](const Interface& i) { return i.index == row->dwIndex; });
  if (it == network.interfaces.end()) return ERROR_INVALID_DATA;
  const DWORD index = row->dwIndex;
  *row = MIB_IFROW{};
  const std::wstring name = ce::WideFromUtf8(it->name).substr(0, MAX_INTERFACE_NAME_LEN - 1);
  std::wmemcpy(row->wszName, name.c_str(), name.size() + 1);
  row->dwIndex = index;
  row->dwType = it->type;
  row->dwMtu = it->mtu;
  row->dwSpeed = it->speedBitsPerSecond;
  row->dwPhysAddrLen = static_cast<DWORD>(it->mac.size());
  std::copy(it->mac.begin(), it->mac.end(), row->bPhysAddr);
  row->dwAdminStatus = MIB_IF_ADMIN_STATUS_UP;
  row->dwOperStatus = MIB_IF_OPER_STATUS_OPERATIONAL;
  // The device's counters are 32 bits: they wrap, and programs take
  // differences modulo 2^32.
  row->dwInOctets = static_cast<DWORD>(it->inOctets);
  row->dwOutOctets = static_cast<DWORD>(it->outOctets);
  row->dwInUcastPkts = static_cast<DWORD>(it->inPackets);
  row->dwOutUcastPkts = static_cast<DWORD>(it->outPackets);
  row->dwInErrors = static_cast<DWORD>(it->inErrors);
  row->dwOutErrors = static_cast<DWORD>(it->outErrors);
  row->dwInDiscards = static_cast<DWORD>(it->inDiscards);
  row->dwOutDiscards = static_cast<DWORD>(it->outDiscards);
  const std::size_t length = std::min<std::size_t>(it->description.size(), MAXLEN_IFDESCR - 1);
  std::memcpy(row->bDescr, it->description.data(), length);
  row->dwDescrLen = static_cast<DWORD>(length + 1);
  return NO_ERROR;
}

DWORD GetAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size) {
  if (!size || Misaligned(adapters)) return ERROR_INVALID_PARAMETER;
  const auto network = ce::kernel::network::Current();
  if (network.interfaces.empty()) return ERROR_NO_DATA;
  std::size_t extra = 0;  // addresses beyond each adapter's first
  for (const Interface& i : network.interfaces) extra += i.addresses.size() > 1 ? i.addresses.size() - 1 : 0;
  const std::size_t records = network.interfaces.size() * sizeof(IP_ADAPTER_INFO);
  const std::size_t needed = records + extra * sizeof(IP_ADDR_STRING);
  if (!Fits(adapters, size, needed)) return ERROR_BUFFER_OVERFLOW;
  std::memset(static_cast<void*>(adapters), 0, needed);
  auto* more = reinterpret_cast<IP_ADDR_STRING*>(reinterpret_cast<BYTE*>(adapters) + records);
  for (std::size_t n = 0; n < network.interfaces.size(); ++n) {
    const Interface& i = network.interfaces[n];
    IP_ADAPTER_INFO& a = adapters[n];
    a.Next = n + 1 < network.interfaces.size() ? &adapters[n + 1] : nullptr;
    a.ComboIndex = i.index;
    CopyText(a.AdapterName, i.name);
    CopyText(a.Description, i.description);
    a.AddressLength = static_cast<UINT>(i.mac.size());
    std::copy(i.mac.begin(), i.mac.end(), a.Address);
    a.Index = i.index;
    a.Type = i.type;
    a.DhcpEnabled = 0;
    const Address first = i.addresses.empty() ? Address{} : i.addresses.front();
    SetAddress(a.IpAddressList, first.ip, first.mask);
    IP_ADDR_STRING* tail = &a.IpAddressList;
    for (std::size_t k = 1; k < i.addresses.size(); ++k) {
      SetAddress(*more, i.addresses[k].ip, i.addresses[k].mask);
      tail->Next = more;
      tail = more++;
    }
    a.CurrentIpAddress = nullptr;
    SetAddress(a.GatewayList, i.gateway.value_or(0), 0);
    SetAddress(a.DhcpServer, 0, 0);
    a.HaveWins = FALSE;
    SetAddress(a.PrimaryWinsServer, 0, 0);
    SetAddress(a.SecondaryWinsServer, 0, 0);
    a.LeaseObtained = 0;
    a.LeaseExpires = 0;
  }
  return NO_ERROR;
}

DWORD GetNetworkParams(PFIXED_INFO info, PULONG size) {
  if (!size || Misaligned(info)) return ERROR_INVALID_PARAMETER;
  const auto network = ce::kernel::network::Current();
  const std::size_t extra = network.dnsServers.size() > 1 ? network.dnsServers.size() - 1 : 0;
  const std::size_t needed = sizeof(FIXED_INFO) + extra * sizeof(IP_ADDR_STRING);
  if (!Fits(info, size, needed)) return ERROR_BUFFER_OVERFLOW;
  std::memset(static_cast<void*>(info), 0, needed);
  CopyText(info->HostName, network.hostName);
  CopyText(info->DomainName, network.domainName);
  info->CurrentDnsServer = nullptr;
  SetAddress(info->DnsServerList, network.dnsServers.empty() ? 0 : network.dnsServers.front(), 0);
  auto* more = reinterpret_cast<IP_ADDR_STRING*>(reinterpret_cast<BYTE*>(info) + sizeof(FIXED_INFO));
  IP_ADDR_STRING* tail = &info->DnsServerList;
  for (std::size_t k = 1; k < network.dnsServers.size(); ++k) {
    SetAddress(*more, network.dnsServers[k], 0);
    tail->Next = more;
    tail = more++;
  }
  info->NodeType = BROADCAST_NODETYPE;
  info->EnableRouting = 0;
  info->EnableProxy = 0;
  info->EnableDns = network.dnsServers.empty() ? 0 : 1;
  return NO_ERROR;
}
