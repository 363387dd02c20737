// The probe's command line: commands, options and the help text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/ipv4_address.h"
#include "gvcp/exchange.h"
#include "gvcp/force_ip_payload.h"
#include "gvcp/gvcp_header.h"

namespace gvcp_probe {

enum class Command { Help, Discover, ForceIp };

struct ProbeOptions {
    Command command = Command::Help;
    // --to's address on port 3956; none: 255.255.255.255 on every interface (or each named one)
    std::optional<QEL_Finder::Endpoint> to;
    std::vector<std::string> interfaces;  // --interface, in the order given
    bool allowBroadcastAck = false;
    int timeoutMs = 0;  // resolved: the given value or the command's default
    bool json = false;
    bool verbose = false;
    QEL_Finder::ForceIpPayload forceIp;  // force-ip's MAC and addresses
};

struct UsageError {
    std::string message;
};

// Six two-digit hex octets separated by all ':' or all '-', either case; nullopt otherwise.
std::optional<std::array<std::uint8_t, 6>> parseMac(std::string_view text);

// A decimal integer from min to max and nothing else; nullopt otherwise.
std::optional<int> parseNumber(std::string_view text, int min, int max);

// The value of the option at args[i]: what follows its '=', or else the next argument (and i
// moves past it); nullopt when there is none.
std::optional<std::string_view> optionValue(std::span<char const* const> args, std::size_t& i);

// Parses the arguments after the program name. A usage error carries a one-line message.
std::variant<ProbeOptions, UsageError> parseCommandLine(std::span<char const* const> args);

// The text of --help, exit statuses included.
std::string_view helpText();

}  // namespace gvcp_probe
