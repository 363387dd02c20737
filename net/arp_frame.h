// ARP over Ethernet for IPv4 as an address probe uses it (RFC 5227): the probe the device sends,
// the reading of what other hosts send, and whether that shows the address taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace QEL_Finder {

using MacAddress = std::array<std::uint8_t, 6>;

inline constexpr std::size_t kArpFrameSize = 28;  // the ARP message, without the Ethernet header

enum class ArpOperation { Request, Reply };

// One ARP message; addresses in network byte order.
struct ArpMessage {
    ArpOperation operation = ArpOperation::Request;
    MacAddress senderMac{};
    std::uint32_t senderAddress = 0;
    MacAddress targetMac{};
    std::uint32_t targetAddress = 0;

    bool operator==(ArpMessage const&) const = default;
};

// The probe for target: a request from own with sender address 0.0.0.0, so that no host's cache
// learns the address from it, and a zero target MAC. Never fails.
std::array<std::uint8_t, kArpFrameSize> encodeArpProbe(MacAddress const& own, std::uint32_t target);

// The message in bytes; nullopt when they are too short or not an Ethernet/IPv4 request or reply.
// Bytes past the message (Ethernet padding) are ignored.
std::optional<ArpMessage> decodeArp(std::span<std::uint8_t const> bytes);

// The MAC of the host the message shows holding target (its sender, or a host probing for it
// too), unless that is own; nullopt for our own frames and for any other ARP. Target is an
// address a host can hold, not 0.0.0.0.
std::optional<MacAddress> arpConflict(ArpMessage const& message, MacAddress const& own,
                                      std::uint32_t target);

}  // namespace QEL_Finder
