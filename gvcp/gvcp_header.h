// GVCP command and acknowledge headers and the protocol's codes, shared by the daemon and the
// PC-side probe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace QEL_Finder {

inline constexpr std::uint16_t kGvcpPort = 3956;  // UDP, on the device
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::uint8_t kGvcpKey = 0x42;
inline constexpr std::uint8_t kFlagAckRequired = 0x01;
inline constexpr std::uint8_t kFlagBroadcastAck = 0x10;

inline constexpr std::uint16_t kDiscoveryCmd = 0x0002;
inline constexpr std::uint16_t kDiscoveryAckCode = 0x0003;
inline constexpr std::uint16_t kForceIpCmd = 0x0004;
inline constexpr std::uint16_t kForceIpAckCode = 0x0005;
inline constexpr std::uint16_t kDiscoveryAckLength = 248;

inline constexpr std::uint16_t kStatusSuccess = 0x0000;
// The GigE Vision standard names 0x8006 "access denied" (not-implemented is 0x8001), but these
// devices have always answered unknown commands with 0x8006 and deployed PC tools expect it.
inline constexpr std::uint16_t kStatusAccessDeniedSentForNotImplemented = 0x8006;

using ReqId = std::array<std::uint8_t, 2>;

// The req_id that carries the 16-bit number n, high byte first.
constexpr ReqId reqIdOf(std::uint16_t n) {
    return {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

struct CommandHeader {
    std::uint8_t key = kGvcpKey;
    std::uint8_t flag = 0;
    std::uint16_t command = 0;
    std::uint16_t length = 0;
    ReqId reqId{};
};

struct AckHeader {
    std::uint16_t status = kStatusSuccess;
    std::uint16_t answer = 0;
    std::uint16_t length = 0;
    ReqId ackId{};
};

// nullopt when fewer than 8 bytes are given.
std::optional<CommandHeader> parseCommandHeader(std::span<std::uint8_t const> bytes);
std::array<std::uint8_t, kHeaderSize> buildCommandHeader(CommandHeader const& header);
std::optional<AckHeader> parseAckHeader(std::span<std::uint8_t const> bytes);
std::array<std::uint8_t, kHeaderSize> buildAckHeader(AckHeader const& header);

// The answer code of the not-implemented acknowledge: the command code plus 1, in 16 bits.
constexpr std::uint16_t notImplementedAnswer(std::uint16_t command) {
    return static_cast<std::uint16_t>(command + 1U);
}

}  // namespace QEL_Finder
