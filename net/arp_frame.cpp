#include "net/arp_frame.h"

#include <algorithm>
#include <cstring>

namespace QEL_Finder {

namespace {

// Hardware type 1 (Ethernet), protocol 0x0800 (IPv4), address lengths 6 and 4. Written as the
// bytes on the wire, like the two operation codes, so no field needs a byte-order conversion.
constexpr std::array<std::uint8_t, 6> kEthernetIpv4{0x00, 0x01, 0x08, 0x00, 6, 4};
constexpr std::array<std::uint8_t, 2> kRequest{0x00, 0x01};
constexpr std::array<std::uint8_t, 2> kReply{0x00, 0x02};

// Offsets within the message.
constexpr std::size_t kOperation = 6;
constexpr std::size_t kSenderMac = 8;
constexpr std::size_t kSenderAddress = 14;
constexpr std::size_t kTargetMac = 18;
constexpr std::size_t kTargetAddress = 24;

bool bytesAre(std::span<std::uint8_t const> bytes, std::size_t offset,
              std::span<std::uint8_t const> expected) {
    return std::equal(expected.begin(), expected.end(), bytes.data() + offset);
}

}  // namespace

std::array<std::uint8_t, kArpFrameSize> encodeArpProbe(MacAddress const& own,
                                                       std::uint32_t target) {
    std::array<std::uint8_t, kArpFrameSize> frame{};
    std::copy(kEthernetIpv4.begin(), kEthernetIpv4.end(), frame.begin());
    std::copy(kRequest.begin(), kRequest.end(), frame.data() + kOperation);
    std::copy(own.begin(), own.end(), frame.data() + kSenderMac);
    std::memcpy(frame.data() + kTargetAddress, &target, sizeof target);
    return frame;
}

std::optional<ArpMessage> decodeArp(std::span<std::uint8_t const> bytes) {
    if (bytes.size() < kArpFrameSize || !bytesAre(bytes, 0, kEthernetIpv4)) {
        return std::nullopt;
    }
    ArpMessage message;
    if (bytesAre(bytes, kOperation, kReply)) {
        message.operation = ArpOperation::Reply;
    } else if (!bytesAre(bytes, kOperation, kRequest)) {
        return std::nullopt;
    }
    std::copy_n(bytes.data() + kSenderMac, 6, message.senderMac.begin());
    std::memcpy(&message.senderAddress, bytes.data() + kSenderAddress, 4);
    std::copy_n(bytes.data() + kTargetMac, 6, message.targetMac.begin());
    std::memcpy(&message.targetAddress, bytes.data() + kTargetAddress, 4);
    return message;
}

// A host that uses the address sends it as its sender address, in replies and in requests of its
// own; a host probing at the same time sends 0.0.0.0 and names it as the target. Our own probes
// come back on a packet socket: they are no holder's.
std::optional<MacAddress> arpConflict(ArpMessage const& message, MacAddress const& own,
                                      std::uint32_t target) {
    if (message.senderMac == own) {
        return std::nullopt;
    }
    bool const uses = message.senderAddress == target;
    bool const probes = message.operation == ArpOperation::Request && message.senderAddress == 0 &&
                        message.targetAddress == target;
    if (uses || probes) {
        return message.senderMac;
    }
    return std::nullopt;
}

}  // namespace QEL_Finder
