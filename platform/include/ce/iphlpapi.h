// The IP helper: the device's network interfaces and settings. The figures
// come from the host: its interfaces that are up and not loopback (names,
// indexes, hardware addresses, IPv4 addresses and masks, octet and packet
// counters), the default gateway (/proc/net/route), the DNS servers and
// domain of the resolver configuration (/etc/resolv.conf) and the host name.
// The counters are the host's, cut to 32 bits; when a host counter goes down
// (its interface was reset) counting carries on from there, so a program's
// differences stay true.
//
// The device configuration can pin all of it (settings, or DEVICE_<KEY>
// variables with '.' as '_'):
//   network.interfaces          names of the interfaces, separated by spaces
//                               or commas; replaces the host's list ("" for
//                               none). For each interface <if>:
//     network.<if>.index        its index (default: its place, from 1)
//     network.<if>.mac          "aa:bb:cc:dd:ee:ff"
//     network.<if>.address      "a.b.c.d/m.m.m.m", several separated by spaces
//     network.<if>.description  the adapter description (default: the name)
//     network.<if>.type         ethernet, wireless, ppp or other
//     network.<if>.in_octets, network.<if>.out_octets   the counters
//   network.gateway             "a.b.c.d" for every interface
//   network.dns                 "a.b.c.d ...", the servers in order
//   network.host_name, network.domain_name
//
// Every call with a buffer answers the size it needs when the buffer is
// missing or short: GetInterfaceInfo with ERROR_INSUFFICIENT_BUFFER, the
// others with ERROR_BUFFER_OVERFLOW. Without interfaces, GetInterfaceInfo
// and GetAdaptersInfo fail with ERROR_NO_DATA; a null size, or a buffer not
// aligned for its records, fails with ERROR_INVALID_PARAMETER. DHCP, WINS and leases are not
// known on the host: they read as off, none and 0.
#pragma once

#include <ctime>

#include "ce/minwindef.h"
#include "ce/winerror.h"

#pragma GCC visibility push(default)

using PULONG = ULONG*;

// ---- interfaces ----

inline constexpr int MAX_ADAPTER_NAME = 128;

struct IP_ADAPTER_INDEX_MAP {
  ULONG Index;
  WCHAR Name[MAX_ADAPTER_NAME];
};
using PIP_ADAPTER_INDEX_MAP = IP_ADAPTER_INDEX_MAP*;

// A count followed by that many entries (the array runs past its one
// declared element, into the rest of the caller's buffer).
struct IP_INTERFACE_INFO {
  LONG NumAdapters;
  IP_ADAPTER_INDEX_MAP Adapter[1];
};
using PIP_INTERFACE_INFO = IP_INTERFACE_INFO*;

DWORD GetInterfaceInfo(PIP_INTERFACE_INFO interfaces, PULONG size);

inline constexpr int MAX_INTERFACE_NAME_LEN = 256;
inline constexpr int MAXLEN_PHYSADDR = 8;
inline constexpr int MAXLEN_IFDESCR = 256;

inline constexpr DWORD MIB_IF_TYPE_OTHER = 1;
inline constexpr DWORD MIB_IF_TYPE_ETHERNET = 6;
inline constexpr DWORD MIB_IF_TYPE_PPP = 23;
inline constexpr DWORD MIB_IF_TYPE_LOOPBACK = 24;
inline constexpr DWORD IF_TYPE_IEEE80211 = 71;

inline constexpr DWORD MIB_IF_ADMIN_STATUS_UP = 1;
inline constexpr DWORD MIB_IF_ADMIN_STATUS_DOWN = 2;
inline constexpr DWORD MIB_IF_OPER_STATUS_NON_OPERATIONAL = 0;
inline constexpr DWORD MIB_IF_OPER_STATUS_OPERATIONAL = 5;

struct MIB_IFROW {
  WCHAR wszName[MAX_INTERFACE_NAME_LEN];
  DWORD dwIndex;  // set by the caller of GetIfEntry
  DWORD dwType;
  DWORD dwMtu;
  DWORD dwSpeed;  // bits per second
  DWORD dwPhysAddrLen;
  BYTE bPhysAddr[MAXLEN_PHYSADDR];
  DWORD dwAdminStatus;
  DWORD dwOperStatus;
  DWORD dwLastChange;
  DWORD dwInOctets;
  DWORD dwInUcastPkts;
  DWORD dwInNUcastPkts;
  DWORD dwInDiscards;
  DWORD dwInErrors;
  DWORD dwInUnknownProtos;
  DWORD dwOutOctets;
  DWORD dwOutUcastPkts;
  DWORD dwOutNUcastPkts;
  DWORD dwOutDiscards;
  DWORD dwOutErrors;
  DWORD dwOutQLen;
  DWORD dwDescrLen;
  BYTE bDescr[MAXLEN_IFDESCR];
};
using PMIB_IFROW = MIB_IFROW*;

// Fills the row of the interface whose index is in dwIndex: NO_ERROR, or
// ERROR_INVALID_PARAMETER for null, ERROR_INVALID_DATA for no such interface.
DWORD GetIfEntry(PMIB_IFROW row);

// ---- adapters and network parameters ----

inline constexpr int MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
inline constexpr int MAX_ADAPTER_NAME_LENGTH = 256;
inline constexpr int MAX_ADAPTER_ADDRESS_LENGTH = 8;
inline constexpr int MAX_HOSTNAME_LEN = 128;
inline constexpr int MAX_DOMAIN_NAME_LEN = 128;
inline constexpr int MAX_SCOPE_ID_LEN = 256;

// Dotted IPv4 text, "0.0.0.0" for none.
struct IP_ADDRESS_STRING {
  char String[16];
};
using IP_MASK_STRING = IP_ADDRESS_STRING;

// One address of a list; Next is null at the end. Further entries live in
// the caller's buffer after the records.
struct IP_ADDR_STRING {
  IP_ADDR_STRING* Next;
  IP_ADDRESS_STRING IpAddress;
  IP_MASK_STRING IpMask;
  DWORD Context;
};
using PIP_ADDR_STRING = IP_ADDR_STRING*;

struct IP_ADAPTER_INFO {
  IP_ADAPTER_INFO* Next;
  DWORD ComboIndex;
  char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
  char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
  UINT AddressLength;
  BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
  DWORD Index;
  UINT Type;
  UINT DhcpEnabled;
  PIP_ADDR_STRING CurrentIpAddress;
  IP_ADDR_STRING IpAddressList;
  IP_ADDR_STRING GatewayList;
  IP_ADDR_STRING DhcpServer;
  BOOL HaveWins;
  IP_ADDR_STRING PrimaryWinsServer;
  IP_ADDR_STRING SecondaryWinsServer;
  std::time_t LeaseObtained;  // seconds since 1970
  std::time_t LeaseExpires;
};
using PIP_ADAPTER_INFO = IP_ADAPTER_INFO*;

// A linked list of records in the caller's buffer, in interface order.
DWORD GetAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size);

inline constexpr UINT BROADCAST_NODETYPE = 1;
inline constexpr UINT PEER_TO_PEER_NODETYPE = 2;
inline constexpr UINT MIXED_NODETYPE = 4;
inline constexpr UINT HYBRID_NODETYPE = 8;

struct FIXED_INFO {
  char HostName[MAX_HOSTNAME_LEN + 4];
  char DomainName[MAX_DOMAIN_NAME_LEN + 4];
  PIP_ADDR_STRING CurrentDnsServer;
  IP_ADDR_STRING DnsServerList;  // the first server; Next leads to the others
  UINT NodeType;                 // BROADCAST_NODETYPE: the host has no name servers of its own
  char ScopeId[MAX_SCOPE_ID_LEN + 4];
  UINT EnableRouting;
  UINT EnableProxy;
  UINT EnableDns;
};
using PFIXED_INFO = FIXED_INFO*;

DWORD GetNetworkParams(PFIXED_INFO info, PULONG size);

#pragma GCC visibility pop
