#include "tools/gvcp-probe/probe_options.h"

#include <net/if.h>

#include <algorithm>
#include <vector>

#include "base/mac_text.h"
#include "base/option_value.h"
#include "base/whole_number.h"

namespace gvcp_probe {

namespace {

// Long enough for the device to restart its interface with a static address.
constexpr int kForceIpTimeoutMs = 30000;
// A dhcp request waits for a lease too: Debian's dhclient tries for 60 s, after the device's ifdown
// and before its wait for the link.
constexpr int kForceIpDhcpTimeoutMs = 90000;

// In quotes, for messages; not "'" + std::string(...), which GCC 12's -Wrestrict misreads.
std::string quoted(std::string_view text) {
    return std::string(1, '\'').append(text).append(1, '\'');
}

std::optional<UsageError> takeForceIpOperands(QEL_Finder::ForceIpPayload& request,
                                              std::vector<std::string_view> const& operands) {
    if (operands.size() != 4) {
        return UsageError{"force-ip needs MAC ADDRESS MASK GATEWAY (try --help)"};
    }
    auto const mac = parseMac(operands[0]);
    if (!mac) {
        return UsageError{"bad MAC address " + quoted(operands[0]) +
                          " (expected 00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E)"};
    }
    request.mac = *mac;
    char const* const names[] = {"address", "mask", "gateway"};
    std::uint32_t* const fields[] = {&request.address, &request.netmask, &request.gateway};
    for (std::size_t i = 0; i < 3; ++i) {
        auto const value = parseIpv4(operands[i + 1]);
        if (!value) {
            return UsageError{std::string("bad ") + names[i] + ' ' + quoted(operands[i + 1])};
        }
        *fields[i] = *value;
    }
    return std::nullopt;
}

}  // namespace

std::variant<ProbeOptions, UsageError> parseCommandLine(std::span<char const* const> args) {
    auto const isHelp = [](std::string_view arg) { return arg == "-h" || arg == "--help"; };
    if (std::any_of(args.begin(), args.end(), isHelp)) {
        return ProbeOptions{};
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
        {"--verbose", &options.verbose},
        {"-v", &options.verbose}};

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
        auto const flag = std::find_if(std::begin(flags), std::end(flags),
                                       [&](auto const& f) { return f.first == name; });
        if (flag != std::end(flags)) {
            if (name == "--json" && options.command != Command::Discover) {
                return UsageError{"option '--json' is not an option of force-ip (try --help)"};
            }
            if (eq != std::string_view::npos) {
                return UsageError{"option " + quoted(name) + " takes no value"};
            }
            *flag->second = true;
            continue;
        }
        if (name != "--to" && name != "--timeout-ms" && name != "--interface") {
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
        } else if (timeoutMs = parseWholeNumber(value, 1, 3600 * 1000); !timeoutMs) {
            return UsageError{"bad value for --timeout-ms: " + quoted(value) +
                              " (milliseconds, 1 to 3600000)"};
        }
    }

    if (options.command == Command::Discover) {
        if (!operands.empty()) {
            return UsageError{"unexpected argument " + quoted(operands[0]) + " (try --help)"};
        }
        options.timeoutMs = timeoutMs.value_or(1000);
        return options;
    }
    if (auto error = takeForceIpOperands(options.forceIp, operands)) {
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

Finds GigE Vision devices on the local network and changes their IPv4 configuration.

Commands:
  discover [--to ADDRESS] [--interface NAME]... [--allow-broadcast-ack] [--timeout-ms N]
           [--json] [-v]
      Asks on every interface and lists every device that answers within N ms (default 1000):
      MAC, address, mask, gateway, dhcp or static, manufacturer, model, serial, where the reply
      came from and the interface it came in on. A device that answers on two interfaces is
      listed once for each.
  force-ip MAC ADDRESS MASK GATEWAY [--to ADDRESS] [--interface NAME]...
           [--allow-broadcast-ack] [--timeout-ms N] [-v]
      Asks the device with the MAC (00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E) to take the static
      ADDRESS, MASK and GATEWAY (0.0.0.0: none) and waits N ms (default 30000) for its
      acknowledge, counting the seconds on a terminal, and says on which interface it came in.
      ADDRESS 255.255.255.255 switches it to dhcp (default wait 90000, for a DHCP client's
      60 s); 0.0.0.0 only restarts its interface, which the device does not acknowledge
      (default wait 3000). Without an acknowledge the device may still have moved: run
      discover to find it.

Options:
  --to ADDRESS            send to ADDRESS, UDP port 3956, by the interface the routes choose
                          (default: to 255.255.255.255 from every interface that is up, loopback
                          aside, each time from the interface's own address)
  --interface NAME        send from the interface NAME only, to 255.255.255.255 or to the --to
                          ADDRESS; repeat it for more than one
  --allow-broadcast-ack   let the device answer by broadcast when it is outside our subnet
  --timeout-ms N          how long to wait for answers, 1 to 3600000
  --json                  discover only: a JSON array instead of text
  -v, --verbose           notes on stderr about what is sent and ignored
  -h, --help              this text

Exit statuses:
  0  discover: a device answered; force-ip: status 0, or no acknowledge to a restart
  1  no answer within the time-out
  2  usage error: bad command, option, address, MAC address or interface
  3  socket error, or no interface is up with an IPv4 address
  4  force-ip acknowledged with a non-zero status
)";
}

}  // namespace gvcp_probe
