#include "bench/round_trips.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "base/ipv4_address.h"
#include "base/option_value.h"
#include "base/whole_number.h"
#include "bench/round_trip_stats.h"
#include "gvcp/byte_order.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/exchange.h"
#include "gvcp/pc_requests.h"
#include "net/linux_socket_manager.h"

namespace bench {

namespace {

using QEL_Finder::Endpoint;
using QEL_Finder::ReqId;
using QEL_Finder::Wanted;

constexpr char kUsage[] =
    "usage: discovery_round_trips --to ADDRESS [--port P] [--count N] [--warmup W] "
    "[--gap-us G] [--echo] [--samples FILE] [--timeout-ms N]";

constexpr std::string_view kOptions[] = {"--to",     "--port", "--count",      "--warmup",
                                         "--gap-us", "--echo", "--timeout-ms", "--samples"};

}  // namespace

std::variant<RoundTripOptions, std::string> parseRoundTripOptions(
    std::span<char const* const> args) {
    RoundTripOptions options;
    bool toGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view const arg(args[i]);
        auto const eq = arg.find('=');
        std::string const name(arg.substr(0, eq));
        if (std::find(std::begin(kOptions), std::end(kOptions), name) == std::end(kOptions)) {
            return "unknown option '" + name + "'";
        }
        if (name == "--echo") {
            if (eq != std::string_view::npos) {
                return "'--echo' takes no value";
            }
            options.echoReply = true;
            continue;
        }
        std::optional<std::string_view> const given = optionValue(args, i);
        if (!given) {
            return "'" + name + "' needs a value";
        }
        std::string_view const value = *given;
        if (name == "--to") {
            auto const address = parseIpv4(value);
            if (!address) {
                return "bad address for --to: '" + std::string(value) + "'";
            }
            options.to.address = *address;
            toGiven = true;
            continue;
        }
        std::optional<int> number;
        if (name == "--port") {
            number = parseWholeNumber(value, 1, 65535);
            options.to.port = static_cast<std::uint16_t>(number.value_or(0));
        } else if (name == "--count") {
            number = parseWholeNumber(value, 1, 1000000);
            options.count = number.value_or(0);
        } else if (name == "--warmup") {
            number = parseWholeNumber(value, 0, 1000000);
            options.warmup = number.value_or(0);
        } else if (name == "--gap-us") {
            number = parseWholeNumber(value, 0, 1000000);
            options.gapUs = number.value_or(0);
        } else if (name == "--timeout-ms") {
            number = parseWholeNumber(value, 1, 3600 * 1000);
            options.timeoutMs = number.value_or(0);
        } else {
            if (value.empty()) {
                return "--samples needs a file name";
            }
            options.samplesPath = value;
            continue;
        }
        if (!number) {
            return "bad value for " + name + ": '" + std::string(value) + "'";
        }
    }
    if (!toGiven) {
        return "--to ADDRESS is needed";
    }
    return options;
}

bool isPaddedEcho(std::span<std::uint8_t const> bytes, std::span<std::uint8_t const> request) {
    return bytes.size() == QEL_Finder::kDiscoveryAckSize && request.size() <= bytes.size() &&
           std::equal(request.begin(), request.end(), bytes.begin());
}

namespace {

ReqId nextReqId(ReqId id) {
    auto value = static_cast<std::uint16_t>(QEL_Finder::loadBe16(id.data()) + 1);
    if (value == 0) {
        value = 1;
    }
    return QEL_Finder::reqIdOf(value);
}

void reportError(std::ostream& err, std::string const& text) {
    err << "discovery_round_trips: " << text << std::endl;
}

}  // namespace

int timeRoundTrips(std::span<char const* const> args, std::ostream& out, std::ostream& err) {
    auto parsed = parseRoundTripOptions(args);
    if (auto* error = std::get_if<std::string>(&parsed)) {
        reportError(err, *error);
        err << kUsage << std::endl;
        return kExitUsage;
    }
    RoundTripOptions const& options = std::get<RoundTripOptions>(parsed);
    std::ofstream samples;
    if (!options.samplesPath.empty()) {
        samples.open(options.samplesPath, std::ios::app);
        if (!samples) {
            reportError(err, "cannot write samples to " + options.samplesPath);
            return kExitSocketError;
        }
    }
    QEL_Finder::LinuxSocketManager sockets;
    auto const opened = QEL_Finder::openUdpSocket(sockets, Endpoint{0, 0});
    if (auto const* error = std::get_if<QEL_Finder::SocketError>(&opened)) {
        reportError(err, *error);
        return kExitSocketError;
    }
    int const socket = std::get<int>(opened);

    std::vector<double> roundTripsUs;
    roundTripsUs.reserve(static_cast<std::size_t>(options.count));
    ReqId reqId = QEL_Finder::newReqId();
    int lost = 0;
    for (int i = 0; i < options.warmup + options.count; ++i) {
        if (i > 0 && options.gapUs > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(options.gapUs));
        }
        reqId = nextReqId(reqId);
        auto const request = QEL_Finder::buildDiscoveryCmd(reqId, false);
        // A late answer to an earlier request carries that request's req_id and is skipped.
        bool answered = false;
        auto const onAnswer = [&](std::span<std::uint8_t const> bytes, QEL_Finder::Arrival const&) {
            answered = options.echoReply ? isPaddedEcho(bytes, request)
                                         : std::holds_alternative<QEL_Finder::DeviceDescription>(
                                               QEL_Finder::decodeDiscoveryAck(bytes, reqId));
            return answered ? Wanted::Enough : Wanted::More;
        };
        auto const start = std::chrono::steady_clock::now();
        auto const deadline = start + std::chrono::milliseconds(options.timeoutMs);
        if (auto error =
                QEL_Finder::exchange(sockets, socket, options.to, request, deadline, onAnswer)) {
            reportError(err, *error);
            return kExitSocketError;
        }
        std::chrono::duration<double, std::micro> const elapsed =
            std::chrono::steady_clock::now() - start;
        if (i < options.warmup) {
            continue;
        }
        if (!answered) {
            ++lost;
            continue;
        }
        roundTripsUs.push_back(elapsed.count());
        if (samples.is_open()) {
            samples << roundTripsUs.back() << '\n';
        }
    }
    samples.close();
    if (!options.samplesPath.empty() && samples.fail()) {
        reportError(err, "cannot write samples to " + options.samplesPath);
        return kExitSocketError;
    }

    DurationSummary const summary = summarize(roundTripsUs);
    char line[200];
    (void)std::snprintf(line, sizeof line,
                        "answered=%zu lost=%d warmup=%d median_us=%.1f p99_us=%.1f min_us=%.1f "
                        "max_us=%.1f",
                        roundTripsUs.size(), lost, options.warmup, summary.median, summary.p99,
                        summary.min, summary.max);
    out << line << std::endl;
    if (roundTripsUs.empty()) {
        reportError(err, "no discovery was answered");
        return kExitNoAnswer;
    }
    return kExitSuccess;
}

}  // namespace bench
