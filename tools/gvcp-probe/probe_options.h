// The probe's command line: commands, options and the help text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "tools/gvcp-probe/address_text.h"

namespace gvcp_probe {

inline constexpr std::uint16_t kDevicePort = 3956;
inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFF;  // same in either byte order
inline constexpr int kDiscoverTimeoutMs = 1000;
// Long enough for the device to restart its interface and obtain a dhcp lease.
inline constexpr int kForceIpTimeoutMs = 30000;
inline constexpr int kRestartOnlyTimeoutMs = 3000;
inline constexpr int kBenchCount = 1000;
// The first round trips of a run pay for cold caches and page faults on both sides.
inline constexpr int kBenchWarmup = 20;

enum class Command { Help, Discover, ForceIp, BenchDiscovery };

struct ProbeOptions {
    Command command = Command::Help;
    Endpoint to{kLimitedBroadcast, kDevicePort};
    bool allowBroadcastAck = false;
    int timeoutMs = 0;  // resolved: the given value or the command's default
    bool json = false;
    bool verbose = false;
    // force-ip; addresses in network order
    MacAddress mac{};
    std::uint32_t address = 0;
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
    // bench-discovery
    int count = kBenchCount;
    int warmup = kBenchWarmup;
    int gapUs = 0;            // pause between an answer (or a time-out) and the next request
    bool echoReply = false;   // answers are padded echoes of the request, not acknowledges
    std::string samplesPath;  // empty: the round trips are only summarized
};

struct UsageError {
    std::string message;
};

// Parses the arguments after the program name. A usage error carries a one-line message.
std::variant<ProbeOptions, UsageError> parseCommandLine(std::span<char const* const> args);

// The text of --help, exit statuses included.
std::string_view helpText();

}  // namespace gvcp_probe
