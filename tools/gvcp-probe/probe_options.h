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

enum class Command { Help, Version, Discover, ForceIp };

// How force-ip names its device: by the MAC operand, asked at once, or by --serial or --mac, the
// one device that answers a discovery first with that serial number or MAC.
enum class ChosenBy { Operand, Serial, Mac };

struct ProbeOptions {
    Command command = Command::Help;
    // --to's address on port 3956; none: 255.255.255.255 on every interface (or each named one)
    std::optional<QEL_Finder::Endpoint> to;
    std::vector<std::string> interfaces;  // --interface, in the order given
    bool allowBroadcastAck = false;
    int timeoutMs = 0;  // resolved: the given value or the command's default
    bool json = false;
    bool longText = false;  // --long: discover's blocks of lines instead of the table
    bool verbose = false;
    QEL_Finder::ForceIpPayload forceIp;  // force-ip's MAC (also --mac's) and addresses
    ChosenBy chosenBy = ChosenBy::Operand;
    std::string serial;  // --serial's
};

struct UsageError {
    std::string message;
};

// Parses the arguments after the program name. A usage error carries a one-line message.
std::variant<ProbeOptions, UsageError> parseCommandLine(std::span<char const* const> args);

// The text of --help, exit statuses included.
std::string_view helpText();

}  // namespace gvcp_probe
