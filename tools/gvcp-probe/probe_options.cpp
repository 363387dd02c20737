#include "tools/gvcp-probe/probe_options.h"

#include <charconv>
#include <optional>
#include <vector>

namespace gvcp_probe {

namespace {

constexpr int kMaxTimeoutMs = 3600 * 1000;
constexpr int kMaxCount = 1000000;
constexpr int kMaxGapUs = 1000000;
constexpr int kMaxPort = 65535;

std::optional<int> parseNumber(std::string_view text, int min, int max) {
    int value = 0;
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> parseCount(std::string_view text, int max) {
    return parseNumber(text, 1, max);
}

// In quotes, for messages; built step by step because GCC 12's -Wrestrict misreads
// "'" + std::string(...) in optimized builds.
std::string quoted(std::string_view text) {
    std::string result(1, '\'');
    result.append(text);
    result.push_back('\'');
    return result;
}

std::string_view commandName(Command command) {
    switch (command) {
        case Command::Discover:
            return "discover";
        case Command::ForceIp:
            return "force-ip";
        case Command::BenchDiscovery:
            return "bench-discovery";
        case Command::Help:
            break;
    }
    return "help";
}

bool isBenchOption(std::string_view name) {
    return name == "--count" || name == "--port" || name == "--warmup" || name == "--gap-us" ||
           name == "--echo" || name == "--samples";
}

bool isKnownOption(std::string_view name) {
    return name == "--to" || name == "--timeout-ms" || name == "--count" ||
           name == "--allow-broadcast-ack" || name == "--json" || name == "--verbose" ||
           name == "-v" || isBenchOption(name);
}

bool takesValue(std::string_view name) {
    return name == "--to" || name == "--timeout-ms" || name == "--count" || name == "--port" ||
           name == "--warmup" || name == "--gap-us" || name == "--samples";
}

bool optionBelongsTo(std::string_view name, Command command) {
    if (isBenchOption(name)) {
        return command == Command::BenchDiscovery;
    }
    if (name == "--json") {
        return command == Command::Discover;
    }
    if (name == "--allow-broadcast-ack") {
        return command != Command::BenchDiscovery;
    }
    return true;
}

UsageError unexpectedOperand(std::string_view operand) {
    return UsageError{"unexpected argument '" + std::string(operand) + "' (try --help)"};
}

std::variant<ProbeOptions, UsageError> forceIpOperands(
    ProbeOptions options, std::vector<std::string_view> const& operands) {
    if (operands.size() != 4) {
        return UsageError{"force-ip needs MAC ADDRESS MASK GATEWAY (try --help)"};
    }
    auto const mac = parseMac(operands[0]);
    if (!mac) {
        return UsageError{"bad MAC address '" + std::string(operands[0]) +
                          "' (expected 00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E)"};
    }
    options.mac = *mac;
    char const* const names[] = {"address", "mask", "gateway"};
    std::uint32_t* const fields[] = {&options.address, &options.mask, &options.gateway};
    for (std::size_t i = 0; i < 3; ++i) {
        auto const value = parseIpv4(operands[i + 1]);
        if (!value) {
            return UsageError{std::string("bad ") + names[i] + " '" + std::string(operands[i + 1]) +
                              "'"};
        }
        *fields[i] = *value;
    }
    return options;
}

}  // namespace

std::variant<ProbeOptions, UsageError> parseCommandLine(std::span<char const* const> args) {
    for (char const* arg : args) {
        std::string_view const a(arg);
        if (a == "-h" || a == "--help") {
            return ProbeOptions{};
        }
    }
    if (args.empty()) {
        return UsageError{"no command given (try --help)"};
    }

    ProbeOptions options;
    std::string_view const command(args[0]);
    if (command == "discover") {
        options.command = Command::Discover;
    } else if (command == "force-ip") {
        options.command = Command::ForceIp;
    } else if (command == "bench-discovery") {
        options.command = Command::BenchDiscovery;
    } else {
        return UsageError{"unknown command '" + std::string(command) + "' (try --help)"};
    }

    std::optional<int> timeoutMs;
    bool toGiven = false;
    std::vector<std::string_view> operands;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string_view const arg(args[i]);
        if (arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (auto const eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        std::string const optionName = quoted(name);
        if (!isKnownOption(name)) {
            return UsageError{"unknown option " + optionName + " (try --help)"};
        }
        if (!optionBelongsTo(name, options.command)) {
            return UsageError{"option " + optionName + " is not an option of " +
                              std::string(commandName(options.command)) + " (try --help)"};
        }
        if (!takesValue(name)) {
            if (value) {
                return UsageError{"option " + optionName + " takes no value"};
            }
        } else if (!value) {
            if (i + 1 == args.size()) {
                return UsageError{"option " + optionName + " needs a value"};
            }
            value = args[++i];
        }

        if (name == "--to") {
            auto const address = parseIpv4(*value);
            if (!address) {
                return UsageError{"bad address for --to: '" + std::string(*value) + "'"};
            }
            options.to.address = *address;
            toGiven = true;
        } else if (name == "--timeout-ms") {
            timeoutMs = parseCount(*value, kMaxTimeoutMs);
            if (!timeoutMs) {
                return UsageError{"bad value for --timeout-ms: '" + std::string(*value) +
                                  "' (milliseconds, 1 to 3600000)"};
            }
        } else if (name == "--count") {
            auto const count = parseCount(*value, kMaxCount);
            if (!count) {
                return UsageError{"bad value for --count: '" + std::string(*value) + "'"};
            }
            options.count = *count;
        } else if (name == "--port") {
            auto const port = parseNumber(*value, 1, kMaxPort);
            if (!port) {
                return UsageError{"bad value for --port: " + quoted(*value) + " (1 to 65535)"};
            }
            options.to.port = static_cast<std::uint16_t>(*port);
        } else if (name == "--warmup") {
            auto const warmup = parseNumber(*value, 0, kMaxCount);
            if (!warmup) {
                return UsageError{"bad value for --warmup: " + quoted(*value)};
            }
            options.warmup = *warmup;
        } else if (name == "--gap-us") {
            auto const gap = parseNumber(*value, 0, kMaxGapUs);
            if (!gap) {
                return UsageError{"bad value for --gap-us: " + quoted(*value) +
                                  " (microseconds, 0 to 1000000)"};
            }
            options.gapUs = *gap;
        } else if (name == "--samples") {
            if (value->empty()) {
                return UsageError{"option '--samples' needs a file name"};
            }
            options.samplesPath = std::string(*value);
        } else if (name == "--echo") {
            options.echoReply = true;
        } else if (name == "--allow-broadcast-ack") {
            options.allowBroadcastAck = true;
        } else if (name == "--json") {
            options.json = true;
        } else {
            options.verbose = true;
        }
    }

    if (options.command == Command::ForceIp) {
        auto withOperands = forceIpOperands(options, operands);
        if (auto* error = std::get_if<UsageError>(&withOperands)) {
            return *error;
        }
        options = std::get<ProbeOptions>(withOperands);
        options.timeoutMs =
            timeoutMs.value_or(options.address == 0 ? kRestartOnlyTimeoutMs : kForceIpTimeoutMs);
        return options;
    }
    if (!operands.empty()) {
        return unexpectedOperand(operands[0]);
    }
    if (options.command == Command::BenchDiscovery && !toGiven) {
        return UsageError{"bench-discovery needs --to ADDRESS"};
    }
    options.timeoutMs = timeoutMs.value_or(kDiscoverTimeoutMs);
    return options;
}

std::string_view helpText() {
    return R"(Usage: gvcp-probe COMMAND [options]

Finds GigE Vision devices on the local network and changes their IPv4 configuration.

Commands:
  discover [--to ADDRESS] [--allow-broadcast-ack] [--timeout-ms N] [--json] [--verbose]
      Sends a discovery request to ADDRESS (default 255.255.255.255, the segment of the
      interface that carries the default route) on UDP port 3956 and lists every device that
      answers within N milliseconds (default 1000): MAC, address, mask, gateway, dhcp or static,
      manufacturer, model, serial and the address the reply came from. --json prints a JSON
      array instead. --verbose notes each ignored reply on stderr.
  force-ip MAC ADDRESS MASK GATEWAY [--to ADDRESS] [--allow-broadcast-ack] [--timeout-ms N]
           [--verbose]
      Asks the device with the MAC address (00:1a:2b:3c:4d:5e or 00-1A-2B-3C-4D-5E) to take the
      static ADDRESS, MASK and GATEWAY (0.0.0.0: no gateway). ADDRESS 255.255.255.255 switches
      the device to dhcp; 0.0.0.0 only restarts its interface, and the device then sends no
      acknowledge. Waits N milliseconds for the acknowledge (default 30000; 3000 for a restart).
  bench-discovery --to ADDRESS [--port P] [--count N] [--warmup W] [--gap-us G] [--echo]
                  [--samples FILE] [--timeout-ms N]
      Times N discovery round trips (default 1000) to ADDRESS, one after the other, after W
      untimed ones (default 20), pausing G microseconds (default 0) after each, and prints
      "answered=.. lost=.. median_us=.. p99_us=.. min_us=.. max_us=..". A request not answered
      within N milliseconds (default 1000) counts as lost. --echo takes as the answer a 256-byte
      datagram that begins with the request (a bare UDP responder, for comparison) instead of a
      discovery acknowledge; --port sends to port P instead of 3956; --samples appends every
      timed round trip, in microseconds, to FILE, one a line.

Options:
  --to ADDRESS            send to this IPv4 address instead of 255.255.255.255
  --allow-broadcast-ack   let the device answer by broadcast when it is outside our subnet
  --timeout-ms N          how long to wait for answers, 1 to 3600000
  --json                  discover only: JSON output
  -v, --verbose           notes on stderr about what is sent and ignored
  -h, --help              this text

Exit statuses:
  0  discover: at least one device answered; force-ip: acknowledged with status 0, or no
     acknowledge for a restart-only request (ADDRESS 0.0.0.0)
  1  no answer within the time-out (discover: no device)
  2  usage error: bad command, option, address or MAC address
  3  socket error (bench-discovery: also a samples file that cannot be written)
  4  force-ip acknowledged with a non-zero status
)";
}

}  // namespace gvcp_probe
