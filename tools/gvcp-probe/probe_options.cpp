#include "tools/gvcp-probe/probe_options.h"

#include <net/if.h>

#include <algorithm>
#include <vector>

#include "base/mac_text.h"
#include "base/option_value.h"
#include "base/whole_number.h"
#include "tools/gvcp-probe/device_output.h"

namespace gvcp_probe {

namespace {

// Long enough for the device to restart its interface with a static address.
constexpr int kForceIpTimeoutMs = 30000;
// A dhcp request waits for a lease too: Debian's dhclient tries for 60 s, after the device's ifdown
// and before its wait for the link.
constexpr int kForceIpDhcpTimeoutMs = 90000;

// A serial number field holds 16 characters at most, so a longer one never matches.
constexpr std::size_t kSerialField = 16;

char const kMacForms[] = "(expected 00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E)";

std::string_view chooserName(ChosenBy by) {
    return by == ChosenBy::Serial ? "--serial" : by == ChosenBy::Mac ? "--mac" : "a MAC operand";
}

// The device (the MAC operand unless --serial or --mac chose it), then dhcp, restart or ADDRESS
// MASK GATEWAY.
std::optional<UsageError> takeForceIpOperands(ProbeOptions& options,
                                              std::span<std::string_view const> operands) {
    QEL_Finder::ForceIpPayload& request = options.forceIp;
    if (options.chosenBy == ChosenBy::Operand) {
        if (operands.empty()) {
            return UsageError{"force-ip needs MAC, --serial SERIAL or --mac MAC (try --help)"};
        }
        auto const mac = parseMac(operands[0]);
        if (!mac) {
            return UsageError{"bad MAC address " + quoted(operands[0]) + ' ' + kMacForms};
        }
        request.mac = *mac;
        operands = operands.subspan(1);
    } else if (!operands.empty() && parseMac(operands[0])) {
        return UsageError{"a MAC operand and " + std::string(chooserName(options.chosenBy)) +
                          " both name the device: give one (try --help)"};
    }
    if (operands.size() == 1 && (operands[0] == "dhcp" || operands[0] == "restart")) {
        // The addresses by which the request says so on the wire.
        request.address = operands[0] == "dhcp" ? kLimitedBroadcast : 0;
        request.netmask = 0;
        request.gateway = 0;
        return std::nullopt;
    }
    if (operands.size() != 3) {
        return UsageError{
            "force-ip needs dhcp, restart or ADDRESS MASK GATEWAY after the device "
            "(try --help)"};
    }
    char const* const names[] = {"address", "mask", "gateway"};
    std::uint32_t* const fields[] = {&request.address, &request.netmask, &request.gateway};
    for (std::size_t i = 0; i < 3; ++i) {
        auto const value = parseIpv4(operands[i]);
        if (!value) {
            return UsageError{std::string("bad ") + names[i] + ' ' + quoted(operands[i])};
        }
        *fields[i] = *value;
    }
    return std::nullopt;
}

// Takes --serial's or --mac's value; a usage error when the device is already named.
std::optional<UsageError> takeChooser(ProbeOptions& options, ChosenBy by, std::string_view value) {
    if (options.chosenBy != ChosenBy::Operand) {
        return UsageError{std::string(chooserName(options.chosenBy)) + " and " +
                          std::string(chooserName(by)) +
                          " both name the device: give one (try --help)"};
    }
    options.chosenBy = by;
    if (by == ChosenBy::Serial) {
        if (value.empty() || value.size() > kSerialField) {
            return UsageError{"bad serial number " + quoted(value) + " (1 to 16 characters)"};
        }
        options.serial = value;
        return std::nullopt;
    }
    auto const mac = parseMac(value);
    if (!mac) {
        return UsageError{"bad MAC address for --mac: " + quoted(value) + ' ' + kMacForms};
    }
    options.forceIp.mac = *mac;
    return std::nullopt;
}

}  // namespace

std::variant<ProbeOptions, UsageError> parseCommandLine(std::span<char const* const> args) {
    auto const isHelp = [](std::string_view arg) { return arg == "-h" || arg == "--help"; };
    if (std::any_of(args.begin(), args.end(), isHelp)) {
        return ProbeOptions{};
    }
    auto const isVersion = [](std::string_view arg) { return arg == "--version"; };
    if (std::any_of(args.begin(), args.end(), isVersion)) {
        ProbeOptions version;
        version.command = Command::Version;
        return version;
    }
    if (args.empty()) {
        return UsageError{"no command given (try --help)"};
    }
    std::string_view const command(args[0]);
    if (command != "discover" && command != "force-ip") {
        return UsageError{"unknown command " + quoted(command) + " (try --help)"};
    }
    ProbeOptions options;
    options.command = command == "discover" ? Command::Discover : Command::ForceIp;
    std::pair<std::string_view, bool*> const flags[] = {
        {"--allow-broadcast-ack", &options.allowBroadcastAck},
        {"--json", &options.json},
        {"--long", &options.longText},
        {"--verbose", &options.verbose},
        {"-v", &options.verbose}};
    std::string_view const discoverOnly[] = {"--json", "--long"};
    std::string_view const forceIpOnly[] = {"--serial", "--mac"};
    auto const among = [](auto const& names, std::string_view name) {
        return std::find(std::begin(names), std::end(names), name) != std::end(names);
    };

    std::optional<int> timeoutMs;
    std::vector<std::string_view> operands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string_view const arg(args[i]);
        if (arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        auto const eq = arg.find('=');
        std::string_view const name = arg.substr(0, eq);
        if (options.command == Command::ForceIp ? among(discoverOnly, name)
                                                : among(forceIpOnly, name)) {
            return UsageError{"option " + quoted(name) + " is not an option of " +
                              std::string(command) + " (try --help)"};
        }
        auto const flag = std::find_if(std::begin(flags), std::end(flags),
                                       [&](auto const& f) { return f.first == name; });
        if (flag != std::end(flags)) {
            if (eq != std::string_view::npos) {
                return UsageError{"option " + quoted(name) + " takes no value"};
            }
            *flag->second = true;
            continue;
        }
        if (name != "--to" && name != "--timeout-ms" && name != "--interface" &&
            !among(forceIpOnly, name)) {
            return UsageError{"unknown option " + quoted(name) + " (try --help)"};
        }
        std::optional<std::string_view> const given = ::optionValue(args, i);
        if (!given) {
            return UsageError{"option " + quoted(name) + " needs a value"};
        }
        std::string_view const value = *given;
        if (name == "--to") {
            auto const address = parseIpv4(value);
            if (!address) {
                return UsageError{"bad address for --to: " + quoted(value)};
            }
            options.to = QEL_Finder::Endpoint{*address, QEL_Finder::kGvcpPort};
        } else if (name == "--interface") {
            if (value.empty() || value.size() >= IFNAMSIZ) {
                return UsageError{"bad interface name " + quoted(value)};
            }
            options.interfaces.emplace_back(value);
        } else if (among(forceIpOnly, name)) {
            auto const by = name == "--serial" ? ChosenBy::Serial : ChosenBy::Mac;
            if (auto error = takeChooser(options, by, value)) {
                return *error;
            }
        } else if (timeoutMs = parseWholeNumber(value, 1, 3600 * 1000); !timeoutMs) {
            return UsageError{"bad value for --timeout-ms: " + quoted(value) +
                              " (milliseconds, 1 to 3600000)"};
        }
    }

    if (options.command == Command::Discover) {
        if (!operands.empty()) {
            return UsageError{"unexpected argument " + quoted(operands[0]) + " (try --help)"};
        }
        if (options.json && options.longText) {
            return UsageError{"options '--json' and '--long' exclude each other"};
        }
        options.timeoutMs = timeoutMs.value_or(1000);
        return options;
    }
    if (auto error = takeForceIpOperands(options, operands)) {
        return *error;
    }
    // A restart-only request gets no acknowledge, so waiting long for one only slows scripts.
    std::uint32_t const address = options.forceIp.address;
    options.timeoutMs = timeoutMs.value_or(address == 0                   ? 3000
                                           : address == kLimitedBroadcast ? kForceIpDhcpTimeoutMs
                                                                          : kForceIpTimeoutMs);
    return options;
}

std::string_view helpText() {
    return R"(Usage: gvcp-probe COMMAND [options]

Finds GigE Vision devices on the local network and changes their IPv4 configuration. Needs no
root: an ordinary user may run it.

Commands:
  discover [--to ADDRESS] [--interface NAME]... [--allow-broadcast-ack] [--timeout-ms N]
           [--long | --json] [-v]
      Asks on every interface and lists every device that answers within N ms (default 1000),
      one line per device and interface under a header: MAC, address, mode (dhcp, static, ...),
      model, serial number and the interface of this PC it answered on. --long shows a block
      per device with mask, gateway, manufacturer and where the reply came from as well.
  force-ip DEVICE dhcp|restart|ADDRESS MASK GATEWAY [--to ADDRESS] [--interface NAME]...
           [--allow-broadcast-ack] [--timeout-ms N] [-v]
      DEVICE is a MAC (00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E), or --serial SERIAL or
      --mac MAC: then a discovery comes first, exactly one device must answer with that serial
      number or MAC, and the request goes out on the interface it answered on.
      Asks the device to use dhcp (waits N ms, default 90000, for its acknowledge: a DHCP
      client tries for 60 s), to restart its interface with the configuration it has (which it
      does not acknowledge; default wait 3000), or to take the static ADDRESS, MASK and
      GATEWAY (0.0.0.0: none; default wait 30000). It counts the seconds on a terminal and
      says on which interface the acknowledge came in. The change is persistent: the camera
      writes it to its /etc/network/interfaces, so it survives a reboot. The addresses
      255.255.255.255 0.0.0.0 0.0.0.0 mean dhcp, 0.0.0.0 0.0.0.0 0.0.0.0 restart. Without an
      acknowledge the device may still have moved: run discover to find it.

Options:
  --to ADDRESS            send to ADDRESS, UDP port 3956, by the interface the routes choose
                          (default: to 255.255.255.255 from every interface that is up, loopback
                          aside, each time from the interface's own address)
  --interface NAME        send from the interface NAME only, to 255.255.255.255 or to the --to
                          ADDRESS; repeat it for more than one
  --allow-broadcast-ack   let the device answer by broadcast when it is outside our subnet
  --timeout-ms N          how long to wait for answers, 1 to 3600000
  --long                  discover only: a block of lines per device instead of the table
  --json                  discover only: a JSON array instead of the table
  --serial SERIAL         force-ip only: the device with this serial number
  --mac MAC               force-ip only: the device with this MAC, found by a discovery first
  -v, --verbose           notes on stderr about what is sent and ignored
  -h, --help              this text
  --version               the version

Exit statuses:
  0  discover: a device answered; force-ip: status 0, or no acknowledge to a restart
  1  no answer within the time-out (force-ip: also no device with the --serial or --mac)
  2  usage error: bad command, option, address, MAC address or interface
  3  socket error, or no interface is up with an IPv4 address
  4  force-ip acknowledged with a non-zero status
  5  force-ip: more than one device has the --serial
)";
}

}  // namespace gvcp_probe
