#include "tools/gvcp-probe/probe_commands.h"

#include <algorithm>
#include <ostream>
#include <vector>

#include "base/hex_text.h"
#include "gvcp/byte_order.h"
#include "gvcp/discovery_ack.h"
#include "net/linux_socket_manager.h"
#include "tools/gvcp-probe/device_output.h"

namespace gvcp_probe {

namespace {

using namespace QEL_Finder;

void reportError(std::ostream& err, std::string const& text) {
    err << "gvcp-probe: " << text << std::endl;
}

// A note on stderr for --verbose.
void note(ProbeOptions const& options, std::ostream& err, std::string const& text) {
    if (options.verbose) {
        reportError(err, text);
    }
}

// The decoded answer, or nullptr after noting why it was ignored.
template <typename Answer>
Answer* accepted(std::variant<Answer, Rejection>& decoded, ProbeOptions const& options,
                 std::ostream& err, Endpoint from) {
    if (auto const* rejection = std::get_if<Rejection>(&decoded)) {
        note(options, err,
             "ignored a reply from " + formatEndpoint(from) + ": " + rejection->reason);
        return nullptr;
    }
    return &std::get<Answer>(decoded);
}

// Sends the request from an ephemeral port and hands the answers to onAnswer until the
// time-out; false after reporting a socket error.
bool request(ProbeOptions const& options, std::string const& what, ReqId reqId,
             std::span<std::uint8_t const> bytes, std::ostream& err, AnswerHandler const& onAnswer,
             WaitHandler const& onWait = {}) {
    LinuxSocketManager sockets;
    auto const opened = openUdpSocket(sockets, Endpoint{0, 0});
    if (auto const* error = std::get_if<SocketError>(&opened)) {
        reportError(err, *error);
        return false;
    }
    note(options, err,
         "sending " + what + ", req_id " + hex16(loadBe16(reqId.data())) + ", to " +
             formatEndpoint(options.to));
    Deadline const deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    auto error =
        exchange(sockets, std::get<int>(opened), options.to, bytes, deadline, onAnswer, onWait);
    if (error) {
        reportError(err, *error);
    }
    return !error;
}

}  // namespace

int runProbe(std::span<char const* const> args, std::ostream& out, std::ostream& err,
             Display display) {
    auto parsed = parseCommandLine(args);
    if (auto* error = std::get_if<UsageError>(&parsed)) {
        reportError(err, error->message);
        return kExitUsage;
    }
    ProbeOptions const& options = std::get<ProbeOptions>(parsed);
    if (options.command == Command::Help) {
        out << helpText() << std::flush;
        return kExitSuccess;
    }
    return options.command == Command::Discover ? runDiscover(options, out, err)
                                                : runForceIp(options, out, err, display);
}

int runDiscover(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    ReqId const reqId = newReqId();
    std::vector<FoundDevice> devices;
    auto const onAnswer = [&](std::span<std::uint8_t const> answer, Endpoint from) {
        auto decoded = decodeDiscoveryAck(answer, reqId);
        auto* const device = accepted(decoded, options, err, from);
        if (device == nullptr) {
            return Wanted::More;
        }
        if (std::any_of(devices.begin(), devices.end(),
                        [&](FoundDevice const& f) { return f.device.mac == device->mac; })) {
            note(options, err,
                 "ignored a second reply for " + formatMac(device->mac) + " from " +
                     formatEndpoint(from));
        } else {
            devices.push_back(FoundDevice{std::move(*device), from});
        }
        return Wanted::More;
    };
    auto const bytes = buildDiscoveryCmd(reqId, options.allowBroadcastAck);
    if (!request(options, "discovery", reqId, bytes, err, onAnswer)) {
        return kExitSocketError;
    }
    out << (options.json ? devicesAsJson(devices) : devicesAsText(devices)) << std::flush;
    if (devices.empty()) {
        reportError(err, "no device answered within " + std::to_string(options.timeoutMs) + " ms");
        return kExitNoAnswer;
    }
    return kExitSuccess;
}

int runForceIp(ProbeOptions const& options, std::ostream& out, std::ostream& err, Display display) {
    bool const restartOnly = options.forceIp.address == 0;
    out << "Asking " << formatMac(options.forceIp.mac);
    if (restartOnly) {
        out << " to restart its interface\nThe device sends no acknowledge to a restart; waiting "
            << options.timeoutMs << " ms for one all the same" << std::endl;
    } else if (options.forceIp.address == kLimitedBroadcast) {
        out << " to use dhcp" << std::endl;
    } else {
        out << " to use address " << formatIpv4(options.forceIp.address) << ", mask "
            << formatIpv4(options.forceIp.netmask) << ", gateway "
            << formatIpv4(options.forceIp.gateway) << std::endl;
    }

    // A dhcp lease can take a minute: silence that long would look like a hang.
    std::string const waiting =
        "Waiting up to " + std::to_string(options.timeoutMs) + " ms for the acknowledge";
    bool const counting = display == Display::Terminal && !restartOnly;
    if (!restartOnly) {
        out << waiting << (counting ? "" : "\n") << std::flush;
    }
    WaitHandler onWait;
    if (counting) {
        onWait = [&](long seconds) {
            out << '\r' << waiting << ": " << seconds << " s" << std::flush;
        };
    }
    bool lineOpen = counting;
    auto const endCountingLine = [&] {
        if (lineOpen) {
            out << '\n';
            lineOpen = false;
        }
    };

    ReqId const reqId = newReqId();
    std::optional<std::uint16_t> status;
    auto const onAnswer = [&](std::span<std::uint8_t const> answer, Endpoint from) {
        auto decoded = decodeForceIpAck(answer, reqId);
        auto const* const code = accepted(decoded, options, err, from);
        if (code == nullptr) {
            return Wanted::More;
        }
        endCountingLine();
        status = *code;
        out << "Acknowledge from " << formatEndpoint(from) << ", status " << hex16(*status)
            << (status == kStatusSuccess ? " (success)" : "") << std::endl;
        return Wanted::Enough;
    };
    auto const bytes = buildForceIpCmd(reqId, options.allowBroadcastAck, options.forceIp);
    bool const sent = request(options, "force-ip", reqId, bytes, err, onAnswer, onWait);
    endCountingLine();
    if (!sent) {
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
    reportError(err, "no acknowledge within " + std::to_string(options.timeoutMs) +
                         " ms; the device may have moved all the same: run 'gvcp-probe "
                         "discover' to find it");
    return kExitNoAnswer;
}

}  // namespace gvcp_probe
