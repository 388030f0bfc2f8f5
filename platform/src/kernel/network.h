// The network as the IP helper reports it, and the host files it is read
// from, apart from the calls so tests can feed them fixture text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ce::kernel::network {

struct Address {
  std::uint32_t ip = 0;  // host order: 10.0.0.1 is 0x0A000001
  std::uint32_t mask = 0;
};

struct Interface {
  std::string name;
  std::string description;
  std::uint32_t index = 0;
  std::uint32_t type = 0;  // MIB_IF_TYPE_*
  std::vector<std::uint8_t> mac;
  std::vector<Address> addresses;
  std::optional<std::uint32_t> gateway;
  std::uint32_t mtu = 0;
  std::uint32_t speedBitsPerSecond = 0;
  std::uint64_t inOctets = 0, outOctets = 0, inPackets = 0, outPackets = 0;
  std::uint64_t inErrors = 0, outErrors = 0, inDiscards = 0, outDiscards = 0;
};

struct Network {
  std::vector<Interface> interfaces;  // up and not loopback, in index order
  std::string hostName;
  std::string domainName;
  std::vector<std::uint32_t> dnsServers;
};

// The network now: the host's, with every setting of the device applied.
Network Current();

// "a.b.c.d" to a host-order address; nothing for anything else.
std::optional<std::uint32_t> ParseIPv4(std::string_view text);
std::string FormatIPv4(std::uint32_t ip);

// The default gateway of each interface from a /proc/net/route text.
std::vector<std::pair<std::string, std::uint32_t>> ParseDefaultRoutes(std::string_view text);

struct Resolver {
  std::vector<std::uint32_t> servers;  // IPv4 name servers in order
  std::string domain;                  // "domain", else the first "search" entry
};
Resolver ParseResolvConf(std::string_view text);

// The counters of an interface as reported: the host's counters carried on
// across resets, one running total per interface and counter.
struct Counters {
  std::uint64_t inOctets = 0, outOctets = 0, inPackets = 0, outPackets = 0;
};
Counters Continue(const std::string& name, const Counters& host);
// Drops every running total: the next reading of an interface starts anew.
void ForgetCounters();

}  // namespace ce::kernel::network
