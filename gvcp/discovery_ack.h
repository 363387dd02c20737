// The 248-byte GVCP discovery-acknowledge payload, held exactly as it goes on the wire:
// every integer field stores its value in network byte order, text fields are zero padded.
// The daemon fills it; the PC side decodes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "gvcp/ack_match.h"
#include "gvcp/gvcp_header.h"

namespace QEL_Finder {

struct DiscoveryAck {
    std::uint16_t versionMajor;
    std::uint16_t versionMinor;
    std::uint32_t deviceMode;
    std::uint16_t reserved8;
    std::uint16_t macHigh;  // first two MAC octets, in written order
    std::uint32_t macLow;   // last four MAC octets, in written order
    std::uint32_t ipConfigOptions;
    std::uint32_t ipConfigCurrent;
    std::uint8_t reserved24[12];
    std::uint32_t currentIp;
    std::uint8_t reserved40[12];
    std::uint32_t currentSubnetMask;
    std::uint8_t reserved56[12];
    std::uint32_t defaultGateway;
    char manufacturerName[32];
    char modelName[32];
    char deviceVersion[32];
    char manufacturerInfo[48];
    char serialNumber[16];
    char userDefinedName[16];
};

static_assert(sizeof(DiscoveryAck) == kDiscoveryAckLength);
static_assert(offsetof(DiscoveryAck, macHigh) == 10);
static_assert(offsetof(DiscoveryAck, ipConfigCurrent) == 20);
static_assert(offsetof(DiscoveryAck, currentIp) == 36);
static_assert(offsetof(DiscoveryAck, currentSubnetMask) == 52);
static_assert(offsetof(DiscoveryAck, defaultGateway) == 68);
static_assert(offsetof(DiscoveryAck, manufacturerName) == 72);
static_assert(offsetof(DiscoveryAck, modelName) == 104);
static_assert(offsetof(DiscoveryAck, serialNumber) == 216);
static_assert(offsetof(DiscoveryAck, userDefinedName) == 232);

// The whole acknowledge datagram: header and record.
inline constexpr std::size_t kDiscoveryAckSize = kHeaderSize + sizeof(DiscoveryAck);

// Bits of ipConfigOptions / ipConfigCurrent (host order).
inline constexpr std::uint32_t kIpConfigPersistent = 0x1;
inline constexpr std::uint32_t kIpConfigDhcp = 0x2;
inline constexpr std::uint32_t kIpConfigLinkLocal = 0x4;

// Fills the record once at start: fixed fields, MAC, current mode (dhcp or persistent IP),
// manufacturer, and the model name (31 characters at most) and serial number (15 at most).
void fillDiscoveryAck(DiscoveryAck& record, std::array<std::uint8_t, 6> const& mac, bool dhcp,
                      std::string const& modelName, std::string const& serialNumber);

// The MAC address the record carries.
std::array<std::uint8_t, 6> recordMac(DiscoveryAck const& record);

// What a discovery acknowledge says about its device; addresses in network order.
struct DeviceDescription {
    std::array<std::uint8_t, 6> mac{};
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    std::uint32_t ipConfigCurrent = 0;  // host order
    std::string manufacturer;
    std::string model;
    std::string serial;
};

// A 256-byte successful DISCOVERY_ACK answering reqId, decoded; anything else is rejected with
// the reason. Text fields end at their first zero byte or at the end of the field.
std::variant<DeviceDescription, Rejection> decodeDiscoveryAck(std::span<std::uint8_t const> bytes,
                                                              ReqId reqId);

// "dhcp", "static", "link-local" or "none", from the IP config current bits.
std::string_view ipConfigModeName(std::uint32_t ipConfigCurrent);

}  // namespace QEL_Finder
