#include "tools/gvcp-probe/probe_commands.h"

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

#include "base/hex_text.h"
#include "base/ipv4_address.h"
#include "base/version.h"
#include "gvcp/ack_match.h"
#include "gvcp/byte_order.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/pc_requests.h"
#include "net/linux_socket_manager.h"
#include "tools/gvcp-probe/device_output.h"
#include "tools/gvcp-probe/local_interfaces.h"

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
                 std::ostream& err, Endpoint from, std::string const& interface) {
    if (auto const* rejection = std::get_if<Rejection>(&decoded)) {
        note(options, err,
             "ignored a reply from " + formatEndpoint(from) + " on " + interface + ": " +
                 rejection->reason);
        return nullptr;
    }
    return &std::get<Answer>(decoded);
}

using NamedAnswerHandler = std::function<Wanted(std::span<std::uint8_t const> answer, Endpoint from,
                                                std::string const& interface)>;

// One copy of the request; an empty name for one that goes where the routes send it.
struct Send {
    Endpoint to;
    Via via;
    std::string interface;
};

// Where the request goes: to --to by the routes, or else from each interface asked on, its own
// address as the source, since a limited broadcast would only leave by the default route's.
std::variant<std::vector<Send>, int> sendsFor(ProbeOptions const& options,
                                              std::vector<LocalInterface> const& all,
                                              std::ostream& err) {
    if (options.to && options.interfaces.empty()) {
        return std::vector<Send>{Send{*options.to, Via{}, ""}};
    }
    auto chosen = interfacesToAsk(all, options.interfaces);
    if (auto const* error = std::get_if<std::string>(&chosen)) {
        reportError(err, *error);
        return options.interfaces.empty() ? kExitSocketError : kExitUsage;
    }
    Endpoint const to = options.to.value_or(Endpoint{kLimitedBroadcast, kGvcpPort});
    std::vector<Send> sends;
    for (LocalInterface const& local : std::get<std::vector<LocalInterface>>(chosen)) {
        sends.push_back(Send{to, Via{local.index, local.address}, local.name});
    }
    return sends;
}

// Sends the request from one ephemeral port, as sendsFor says, and hands the answers with the
// name of their arrival interface to onAnswer until the time-out. The exit status when it could
// not ask at all or the socket failed; a send refused on one interface of several is only
// reported.
std::optional<int> request(ProbeOptions const& options, std::string const& what, ReqId reqId,
                           std::span<std::uint8_t const> bytes, std::ostream& err,
                           NamedAnswerHandler const& onAnswer, WaitHandler const& onWait = {}) {
    auto const listed = listLocalInterfaces();
    if (auto const* error = std::get_if<std::string>(&listed)) {
        reportError(err, *error);
        return kExitSocketError;
    }
    auto const& all = std::get<std::vector<LocalInterface>>(listed);
    auto const planned = sendsFor(options, all, err);
    if (auto const* status = std::get_if<int>(&planned)) {
        return *status;
    }
    LinuxSocketManager sockets;
    auto const opened = openUdpSocket(sockets, Endpoint{0, 0});
    if (auto const* error = std::get_if<SocketError>(&opened)) {
        reportError(err, *error);
        return kExitSocketError;
    }
    int const handle = std::get<int>(opened);
    auto const& sends = std::get<std::vector<Send>>(planned);
    std::size_t refused = 0;
    for (Send const& send : sends) {
        std::string sending = "sending " + what + ", req_id " + hex16(loadBe16(reqId.data()));
        sending += ", to " + formatEndpoint(send.to);
        if (!send.interface.empty()) {
            sending += " on " + send.interface + " from " + formatIpv4(send.via.source);
        }
        note(options, err, sending);
        if (auto error = sendDatagram(sockets, handle, send.to, bytes, send.via)) {
            reportError(err, send.interface.empty() ? *error : send.interface + ": " + *error);
            ++refused;
        }
    }
    if (refused == sends.size()) {
        return kExitSocketError;
    }
    auto const sent = std::chrono::steady_clock::now();
    Deadline const deadline = sent + std::chrono::milliseconds(options.timeoutMs);
    auto const named = [&](std::span<std::uint8_t const> answer, Arrival const& arrival) {
        return onAnswer(answer, arrival.from, interfaceName(all, arrival.interfaceIndex));
    };
    if (auto error = collectAnswers(sockets, handle, sent, deadline, named, onWait)) {
        reportError(err, *error);
        return kExitSocketError;
    }
    return std::nullopt;
}

// The devices that answer a discovery, or the exit status when the probe could not ask.
std::variant<std::vector<FoundDevice>, int> discoverDevices(ProbeOptions const& options,
                                                            std::ostream& err) {
    ReqId const reqId = newReqId();
    std::vector<FoundDevice> devices;
    auto const onAnswer = [&](std::span<std::uint8_t const> answer, Endpoint from,
                              std::string const& interface) {
        auto decoded = decodeDiscoveryAck(answer, reqId);
        auto* const device = accepted(decoded, options, err, from, interface);
        if (device == nullptr) {
            return Wanted::More;
        }
        std::string const mac = formatMac(device->mac);
        if (!addDevice(devices, FoundDevice{std::move(*device), from, interface})) {
            note(options, err,
                 "ignored a second reply for " + mac + " from " + formatEndpoint(from) + " on " +
                     interface);
        }
        return Wanted::More;
    };
    auto const bytes = buildDiscoveryCmd(reqId, options.allowBroadcastAck);
    if (auto const failed = request(options, "discovery", reqId, bytes, err, onAnswer)) {
        return *failed;
    }
    return devices;
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
    if (options.command == Command::Version) {
        out << "gvcp-probe " << projectVersion() << std::endl;
        return kExitSuccess;
    }
    return options.command == Command::Discover ? runDiscover(options, out, err)
                                                : runForceIp(options, out, err, display);
}

int runDiscover(ProbeOptions const& options, std::ostream& out, std::ostream& err) {
    auto const found = discoverDevices(options, err);
    if (auto const* status = std::get_if<int>(&found)) {
        return *status;
    }
    auto const& devices = std::get<std::vector<FoundDevice>>(found);
    out << (options.json       ? devicesAsJson(devices)
            : options.longText ? devicesAsText(devices)
                               : devicesAsTable(devices))
        << std::flush;
    if (devices.empty()) {
        reportError(err, "no device answered within " + std::to_string(options.timeoutMs) + " ms");
        // A PC's firewall rarely lets in the unicast answers to a broadcast, and a camera outside
        // every subnet of the PC answers only by broadcast, when asked to.
        reportError(err, std::string("hint: a firewall on this PC may drop the replies, or the "
                                     "camera is in another subnet") +
                             (options.allowBroadcastAck ? "" : " (try --allow-broadcast-ack)"));
        return kExitNoAnswer;
    }
    return kExitSuccess;
}

std::variant<FoundDevice, Refusal> chooseDevice(std::vector<FoundDevice> const& found,
                                                ProbeOptions const& options) {
    bool const bySerial = options.chosenBy == ChosenBy::Serial;
    auto const matches = [&](FoundDevice const& f) {
        return bySerial ? f.device.serial == options.serial : f.device.mac == options.forceIp.mac;
    };
    std::string const wanted = bySerial ? "serial " + quoted(printableText(options.serial))
                                        : "MAC " + formatMac(options.forceIp.mac);
    std::vector<FoundDevice const*> chosen;
    std::vector<std::array<std::uint8_t, 6>> others;
    for (FoundDevice const& f : found) {
        if (matches(f)) {
            chosen.push_back(&f);
        } else if (std::find(others.begin(), others.end(), f.device.mac) == others.end()) {
            others.push_back(f.device.mac);
        }
    }
    if (chosen.empty()) {
        std::string message =
            "no device with " + wanted + " answered within " + std::to_string(kChoosingMs) + " ms";
        if (!others.empty()) {
            message += " (" + std::to_string(others.size()) +
                       (others.size() == 1 ? " other did" : " others did") +
                       ": see 'gvcp-probe discover')";
        }
        return Refusal{kExitNoAnswer, message};
    }
    auto const sameDevice = [&](FoundDevice const* f) {
        return f->device.mac == chosen.front()->device.mac;
    };
    if (std::all_of(chosen.begin(), chosen.end(), sameDevice)) {
        return *chosen.front();
    }
    std::string message = "several devices answered with " + wanted + ":";
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        message += (i == 0 ? " " : ", ") + formatMac(chosen[i]->device.mac) + " on " +
                   printableText(chosen[i]->interface);
    }
    return Refusal{kExitSeveral, message + "; choose one with --mac"};
}

int runForceIp(ProbeOptions const& given, std::ostream& out, std::ostream& err, Display display) {
    ProbeOptions options = given;
    if (given.chosenBy != ChosenBy::Operand) {
        ProbeOptions asking = given;
        asking.timeoutMs = kChoosingMs;
        auto const found = discoverDevices(asking, err);
        if (auto const* status = std::get_if<int>(&found)) {
            return *status;
        }
        auto const chosen = chooseDevice(std::get<std::vector<FoundDevice>>(found), given);
        if (auto const* refusal = std::get_if<Refusal>(&chosen)) {
            reportError(err, refusal->message);
            return refusal->status;
        }
        FoundDevice const& device = std::get<FoundDevice>(chosen);
        options.forceIp.mac = device.device.mac;
        out << "Found " << formatMac(device.device.mac) << ", serial "
            << printableText(device.device.serial) << ", at " << formatIpv4(device.device.address)
            << " on " << printableText(device.interface) << std::endl;
        // A broadcast goes out where the device answered only, so no other device hears it and
        // the device does not get it twice; --to's address is asked as the discovery asked it.
        if (!options.to) {
            options.interfaces = {device.interface};
        }
    }
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
    auto const onAnswer = [&](std::span<std::uint8_t const> answer, Endpoint from,
                              std::string const& interface) {
        auto decoded = decodeForceIpAck(answer, reqId);
        auto const* const code = accepted(decoded, options, err, from, interface);
        if (code == nullptr) {
            return Wanted::More;
        }
        endCountingLine();
        status = *code;
        out << "Acknowledge from " << formatEndpoint(from) << " on " << interface << ", status "
            << hex16(*status) << (status == kStatusSuccess ? " (success)" : "") << std::endl;
        return Wanted::Enough;
    };
    auto const bytes = buildForceIpCmd(reqId, options.allowBroadcastAck, options.forceIp);
    auto const failed = request(options, "force-ip", reqId, bytes, err, onAnswer, onWait);
    endCountingLine();
    if (failed) {
        return *failed;
    }
    if (status == kStatusSuccess) {
        if (!restartOnly) {
            out << "The change is persistent: the camera has written it to its "
                   "/etc/network/interfaces, so it survives a reboot"
                << std::endl;
        }
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
