#include "tools/gvcp-probe/probe_commands.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <vector>

#include "gvcp/byte_order.h"
#include "gvcp/discovery_ack.h"
#include "tools/gvcp-probe/device_output.h"

namespace gvcp_probe {

namespace {

using namespace QEL_Finder;

std::string hex16(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

void reportError(std::ostream& err, std::string const& text) {
    err << "gvcp-probe: " << text << std::endl;
}

// A note on stderr for --verbose.
void note(ProbeOptions const& options, std::ostream& err, std::string const& text) {
    if (options.verbose) {
        reportError(err, text);
    }
}

// The socket every command sends from and listens on: any local address, an ephemeral port.
std::optional<Fd> openProbeSocket(std::ostream& err) {
    auto opened = openUdpSocket(Endpoint{0, 0});
    if (auto* error = std::get_if<SocketError>(&opened)) {
        reportError(err, error->text);
        return std::nullopt;
    }
    return std::move(std::get<Fd>(opened));
}

// Sends the request and hands the answers to onAnswer until the time-out; false after
// reporting a socket error.
bool request(Fd const& socket, ProbeOptions const& options, std::string const& what, ReqId reqId,
             std::span<std::uint8_t const> bytes, std::ostream& err,
             AnswerHandler const& onAnswer) {
    note(options, err,
         "sending " + what + ", req_id " + hex16(loadBe16(reqId.data())) + ", to " +
             formatEndpoint(options.to));
    Deadline const deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    if (auto error = exchange(socket, options.to, bytes, deadline, onAnswer)) {
        reportError(err, error->text);
        return false;
    }
    return true;
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
        case Command::Help:
            break;
    }
    out << helpText() << std::flush;
    return kExitSuccess;
}

int runDiscover(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    auto const socket = openProbeSocket(err);
    if (!socket) {
        return kExitSocketError;
    }
    ReqId const reqId = newReqId();
    std::vector<FoundDevice> devices;
    auto const onAnswer = [&](std::span<std::uint8_t const> answer, Endpoint from) {
        auto decoded = decodeDiscoveryAck(answer, reqId);
        if (auto* rejection = std::get_if<Rejection>(&decoded)) {
            note(options, err,
                 "ignored a reply from " + formatEndpoint(from) + ": " + rejection->reason);
            return Wanted::More;
        }
        auto& device = std::get<DeviceDescription>(decoded);
        bool const known = std::any_of(devices.begin(), devices.end(), [&](FoundDevice const& f) {
            return f.device.mac == device.mac;
        });
        if (known) {
            note(options, err,
                 "ignored a second reply for " + formatMac(device.mac) + " from " +
                     formatEndpoint(from));
        } else {
            devices.push_back(FoundDevice{std::move(device), from});
        }
        return Wanted::More;
    };
    auto const bytes = buildDiscoveryCmd(reqId, options.allowBroadcastAck);
    if (!request(*socket, options, "discovery", reqId, bytes, err, onAnswer)) {
        return kExitSocketError;
    }
    out << (options.json ? devicesAsJson(devices) : devicesAsText(devices)) << std::flush;
    if (devices.empty()) {
        reportError(err, "no device answered within " + std::to_string(options.timeoutMs) + " ms");
        return kExitNoAnswer;
    }
    return kExitSuccess;
}

int runForceIp(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    auto const socket = openProbeSocket(err);
    if (!socket) {
        return kExitSocketError;
    }
    bool const restartOnly = options.forceIp.address == 0;
    std::string const target = formatMac(options.forceIp.mac);
    if (restartOnly) {
        out << "Asking " << target << " to restart its interface" << std::endl;
        out << "The device sends no acknowledge to a restart; waiting " << options.timeoutMs
            << " ms for one all the same" << std::endl;
    } else if (options.forceIp.address == kLimitedBroadcast) {
        out << "Asking " << target << " to use dhcp" << std::endl;
    } else {
        out << "Asking " << target << " to use address " << formatIpv4(options.forceIp.address)
            << ", mask " << formatIpv4(options.forceIp.netmask) << ", gateway "
            << formatIpv4(options.forceIp.gateway) << std::endl;
    }

    ReqId const reqId = newReqId();
    std::optional<std::uint16_t> status;
    auto const onAnswer = [&](std::span<std::uint8_t const> answer, Endpoint from) {
        auto decoded = decodeForceIpAck(answer, reqId);
        if (auto* rejection = std::get_if<Rejection>(&decoded)) {
            note(options, err,
                 "ignored a reply from " + formatEndpoint(from) + ": " + rejection->reason);
            return Wanted::More;
        }
        status = std::get<std::uint16_t>(decoded);
        out << "Acknowledge from " << formatEndpoint(from) << ", status " << hex16(*status)
            << (status == kStatusSuccess ? " (success)" : "") << std::endl;
        return Wanted::Enough;
    };
    auto const bytes = buildForceIpCmd(reqId, options.allowBroadcastAck, options.forceIp);
    if (!request(*socket, options, "force-ip", reqId, bytes, err, onAnswer)) {
        return kExitSocketError;
    }
    if (status == kStatusSuccess) {
        return kExitSuccess;
    }
    if (status) {
        reportError(err, "the device refused the request with status " + hex16(*status));
        return kExitRefused;
    }
    if (restartOnly) {
        out << "No acknowledge within " << options.timeoutMs << " ms, as expected for a restart"
            << std::endl;
        return kExitSuccess;
    }
    reportError(err, "no acknowledge within " + std::to_string(options.timeoutMs) + " ms");
    return kExitNoAnswer;
}

}  // namespace gvcp_probe
