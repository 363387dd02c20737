#include "tools/gvcp-probe/probe_commands.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <random>
#include <thread>
#include <vector>

#include "tools/gvcp-probe/device_output.h"
#include "tools/gvcp-probe/probe_wire.h"
#include "tools/gvcp-probe/round_trip_stats.h"
#include "tools/gvcp-probe/udp_socket.h"

namespace gvcp_probe {

namespace {

using Clock = std::chrono::steady_clock;

// Large enough for any UDP datagram, so nothing a device sends is cut.
constexpr std::size_t kReceiveBufferSize = 65536;

std::string hex16(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

// Devices answer with our req_id, so a fresh random one keeps answers to an earlier run of the
// probe (or to another PC) out of this one. Zero is not a valid identifier.
ReqId newReqId() {
    std::random_device source;
    unsigned const id = std::uniform_int_distribution<unsigned>(1, 0xFFFF)(source);
    return ReqId{static_cast<std::uint8_t>(id >> 8), static_cast<std::uint8_t>(id)};
}

ReqId nextReqId(ReqId id) {
    auto value = static_cast<std::uint16_t>(((id[0] << 8) | id[1]) + 1);
    if (value == 0) {
        value = 1;
    }
    return ReqId{static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

unsigned reqIdValue(ReqId id) {
    return static_cast<unsigned>((id[0] << 8) | id[1]);
}

void reportError(std::ostream& err, std::string const& text) {
    err << "gvcp-probe: " << text << std::endl;
}

Deadline deadlineAfter(int ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

// The socket every command sends from and listens on: any local address, an ephemeral port.
std::variant<UdpSocket, SocketError> openProbeSocket() {
    return UdpSocket::open(Endpoint{0, 0});
}

}  // namespace

int runProbe(std::span<char const* const> args, std::ostream& out, std::ostream& err) {
    auto parsed = parseCommandLine(args);
    if (auto* error = std::get_if<UsageError>(&parsed)) {
        reportError(err, error->message);
        return kExitUsage;
    }
    ProbeOptions const& options = std::get<ProbeOptions>(parsed);
    switch (options.command) {
        case Command::Discover:
            return runDiscover(options, out, err);
        case Command::ForceIp:
            return runForceIp(options, out, err);
        case Command::BenchDiscovery:
            return runBenchDiscovery(options, out, err);
        case Command::Help:
            break;
    }
    out << helpText() << std::flush;
    return kExitSuccess;
}

int runDiscover(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    auto opened = openProbeSocket();
    if (auto* error = std::get_if<SocketError>(&opened)) {
        reportError(err, error->text);
        return kExitSocketError;
    }
    UdpSocket const& socket = std::get<UdpSocket>(opened);
    ReqId const reqId = newReqId();
    auto const request = buildDiscoveryRequest(reqId, options.allowBroadcastAck);
    if (options.verbose) {
        reportError(err, "sending discovery, req_id " + hex16(reqIdValue(reqId)) + ", to " +
                             formatEndpoint(options.to));
    }
    if (auto error = socket.sendTo(options.to, request)) {
        reportError(err, error->text);
        return kExitSocketError;
    }

    std::vector<FoundDevice> devices;
    std::vector<std::uint8_t> buffer(kReceiveBufferSize);
    Deadline const deadline = deadlineAfter(options.timeoutMs);
    for (;;) {
        auto received = socket.receive(buffer, deadline);
        if (std::holds_alternative<TimedOut>(received)) {
            break;
        }
        if (auto* error = std::get_if<SocketError>(&received)) {
            reportError(err, error->text);
            return kExitSocketError;
        }
        Datagram const& datagram = std::get<Datagram>(received);
        auto decoded = decodeDiscoveryReply(
            std::span<std::uint8_t const>(buffer.data(), datagram.size), reqId);
        if (auto* rejection = std::get_if<Rejection>(&decoded)) {
            if (options.verbose) {
                reportError(err, "ignored a reply from " + formatEndpoint(datagram.from) + ": " +
                                     rejection->reason);
            }
            continue;
        }
        DeviceDescription& device = std::get<DeviceDescription>(decoded);
        bool const known = std::any_of(devices.begin(), devices.end(), [&](FoundDevice const& f) {
            return f.device.mac == device.mac;
        });
        if (known) {
            if (options.verbose) {
                reportError(err, "ignored a second reply for " + formatMac(device.mac) + " from " +
                                     formatEndpoint(datagram.from));
            }
            continue;
        }
        devices.push_back(FoundDevice{std::move(device), datagram.from});
    }

    out << (options.json ? devicesAsJson(devices) : devicesAsText(devices)) << std::flush;
    if (devices.empty()) {
        reportError(err, "no device answered within " + std::to_string(options.timeoutMs) + " ms");
        return kExitNoAnswer;
    }
    return kExitSuccess;
}

int runForceIp(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    auto opened = openProbeSocket();
    if (auto* error = std::get_if<SocketError>(&opened)) {
        reportError(err, error->text);
        return kExitSocketError;
    }
    UdpSocket const& socket = std::get<UdpSocket>(opened);
    ReqId const reqId = newReqId();
    QEL_Finder::ForceIpPayload payload;
    payload.mac = options.mac;
    payload.address = options.address;
    payload.netmask = options.mask;
    payload.gateway = options.gateway;
    auto const request = buildForceIpRequest(reqId, options.allowBroadcastAck, payload);

    bool const restartOnly = options.address == 0;
    std::string const target = formatMac(options.mac);
    if (restartOnly) {
        out << "Asking " << target << " to restart its interface" << std::endl;
        out << "The device sends no acknowledge to a restart; waiting " << options.timeoutMs
            << " ms for one all the same" << std::endl;
    } else if (options.address == kLimitedBroadcast) {
        out << "Asking " << target << " to use dhcp" << std::endl;
    } else {
        out << "Asking " << target << " to use address " << formatIpv4(options.address) << ", mask "
            << formatIpv4(options.mask) << ", gateway " << formatIpv4(options.gateway) << std::endl;
    }
    if (options.verbose) {
        reportError(err, "sending force-ip, req_id " + hex16(reqIdValue(reqId)) + ", to " +
                             formatEndpoint(options.to));
    }
    if (auto error = socket.sendTo(options.to, request)) {
        reportError(err, error->text);
        return kExitSocketError;
    }

    std::vector<std::uint8_t> buffer(kReceiveBufferSize);
    Deadline const deadline = deadlineAfter(options.timeoutMs);
    for (;;) {
        auto received = socket.receive(buffer, deadline);
        if (std::holds_alternative<TimedOut>(received)) {
            break;
        }
        if (auto* error = std::get_if<SocketError>(&received)) {
            reportError(err, error->text);
            return kExitSocketError;
        }
        Datagram const& datagram = std::get<Datagram>(received);
        auto decoded =
            decodeForceIpAck(std::span<std::uint8_t const>(buffer.data(), datagram.size), reqId);
        if (auto* rejection = std::get_if<Rejection>(&decoded)) {
            if (options.verbose) {
                reportError(err, "ignored a reply from " + formatEndpoint(datagram.from) + ": " +
                                     rejection->reason);
            }
            continue;
        }
        std::uint16_t const status = std::get<ForceIpAck>(decoded).status;
        out << "Acknowledge from " << formatEndpoint(datagram.from) << ", status " << hex16(status)
            << (status == QEL_Finder::kStatusSuccess ? " (success)" : "") << std::endl;
        if (status != QEL_Finder::kStatusSuccess) {
            reportError(err, "the device refused the request with status " + hex16(status));
            return kExitRefused;
        }
        return kExitSuccess;
    }

    if (restartOnly) {
        out << "No acknowledge within " << options.timeoutMs << " ms, as expected for a restart"
            << std::endl;
        return kExitSuccess;
    }
    reportError(err, "no acknowledge within " + std::to_string(options.timeoutMs) + " ms");
    return kExitNoAnswer;
}

int runBenchDiscovery(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    auto opened = openProbeSocket();
    if (auto* error = std::get_if<SocketError>(&opened)) {
        reportError(err, error->text);
        return kExitSocketError;
    }
    UdpSocket const& socket = std::get<UdpSocket>(opened);
    std::ofstream samples;
    if (!options.samplesPath.empty()) {
        samples.open(options.samplesPath, std::ios::app);
        if (!samples) {
            reportError(err, "cannot write samples to " + options.samplesPath);
            return kExitSocketError;
        }
    }
    std::vector<std::uint8_t> buffer(kReceiveBufferSize);
    std::vector<double> roundTripsUs;
    roundTripsUs.reserve(static_cast<std::size_t>(options.count));
    ReqId reqId = newReqId();
    int lost = 0;
    int const total = options.warmup + options.count;
    for (int i = 0; i < total; ++i) {
        if (i > 0 && options.gapUs > 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(options.gapUs));
        }
        reqId = nextReqId(reqId);
        auto const request = buildDiscoveryRequest(reqId, false);
        auto const start = Clock::now();
        if (auto error = socket.sendTo(options.to, request)) {
            reportError(err, error->text);
            return kExitSocketError;
        }
        Deadline const deadline = start + std::chrono::milliseconds(options.timeoutMs);
        bool answered = false;
        while (!answered) {
            auto received = socket.receive(buffer, deadline);
            if (std::holds_alternative<TimedOut>(received)) {
                break;
            }
            if (auto* error = std::get_if<SocketError>(&received)) {
                reportError(err, error->text);
                return kExitSocketError;
            }
            // A late answer to an earlier request carries that request's req_id and is skipped.
            std::span<std::uint8_t const> const bytes(buffer.data(),
                                                      std::get<Datagram>(received).size);
            answered =
                options.echoReply
                    ? isPaddedEcho(bytes, request)
                    : std::holds_alternative<DeviceDescription>(decodeDiscoveryReply(bytes, reqId));
        }
        auto const elapsedUs = std::chrono::duration<double, std::micro>(Clock::now() - start);
        if (i < options.warmup) {
            continue;
        }
        if (!answered) {
            ++lost;
            continue;
        }
        roundTripsUs.push_back(elapsedUs.count());
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
    std::snprintf(line, sizeof line,
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

}  // namespace gvcp_probe
