// The modes of udp_peer and what they share: options, hex text, a UDP socket to send from and
// receive on.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/fd.h"
#include "gvcp/gvcp_header.h"

namespace udp_peer {

using Args = std::span<char const* const>;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

inline constexpr int kUsageError = 2;
inline constexpr int kSocketError = 3;

// One "--name value" option of a mode: take is handed the value and says whether it was good.
// A flag ("--name" alone) has a take that ignores its argument.
struct Option {
    std::string_view name;
    std::function<bool(std::string_view)> take;
    bool flag = false;
};

// Reads args as these options; the error in words ("bad value x for --port"), or none.
std::optional<std::string> parseOptions(Args args, std::vector<Option> const& options);
// Takers of an option's value: a decimal number from min to max, an IPv4 address (network order).
std::function<bool(std::string_view)> numberInto(int& out, int min, int max);
std::function<bool(std::string_view)> addressInto(std::optional<std::uint32_t>& out);
std::function<bool(std::string_view)> setFlag(bool& out);

// Writes "udp_peer: message" and the usage on standard error; the usage error's exit status.
int usageError(std::string_view message);
// Writes "udp_peer: what: the system's error text" on standard error; the exit status.
int socketError(std::string_view what);

// Two lower-case digits per byte.
std::string toHex(std::span<std::uint8_t const> bytes);

// A UDP socket bound to address:port (network order, host order) with each (level, option) of
// options turned on; empty after a message on standard error.
Fd boundSocket(std::uint32_t address, std::uint16_t port,
               std::vector<std::pair<int, int>> const& options);
// Sends bytes to port 3956 of address (network order); false when the system refuses them.
bool sendToDevice(int fd, std::uint32_t address, std::span<std::uint8_t const> bytes);
using QEL_Finder::reqIdOf;

// One datagram received; to is the address it was sent to, when the socket reports it
// (IP_PKTINFO).
struct Datagram {
    std::span<std::uint8_t const> bytes;
    sockaddr_in from;
    std::optional<in_addr> to;
};

enum class Received { Stopped, DeadlinePassed, Failed };

// Hands every datagram that arrives before the deadline to handle until it returns true
// (Stopped); Failed after a message on standard error.
Received receiveUntil(int fd, Clock::time_point deadline,
                      std::function<bool(Datagram const&)> const& handle);

// The modes, each given the arguments after its name; each returns the exit status.
int runSend(Args args);   // one datagram out, every datagram that comes back shown
int runHold(Args args);   // a UDP port kept bound, without address reuse, for a while
int runBurst(Args args);  // discoveries, each sent the moment the one before was answered
int runFlood(Args args);  // good and bad datagrams as fast as possible, every answer checked
int runHex(Args args);    // a request or a discovery record, as the project's wire code builds it

}  // namespace udp_peer
