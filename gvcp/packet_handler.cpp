#include "gvcp/packet_handler.h"

#include <algorithm>

#include "gvcp/discovery_reply.h"
#include "gvcp/force_ip.h"
#include "gvcp/not_implemented_reply.h"

namespace QEL_Finder {
namespace {

// The payload buffer holds the rest of the datagram; bytes past what arrived are not offered,
// and a request whose length field is zero has none.
std::span<std::uint8_t const> payloadOf(msghdr const& message, unsigned long received,
                                        CommandHeader const& header) {
    if (header.length == 0 || message.msg_iovlen < 2) {
        return {};
    }
    iovec const& buffer = message.msg_iov[1];
    return {static_cast<std::uint8_t const*>(buffer.iov_base),
            std::min<std::size_t>(buffer.iov_len, received - kHeaderSize)};
}

}  // namespace
}  // namespace QEL_Finder

void onPacketArrives(QEL_Finder::DiscoveryAck* record, QEL_Finder::SocketManager* manager,
                     msghdr* message, unsigned long received, sockaddr_in* requester,
                     std::string interfaceName) {
    using namespace QEL_Finder;
    // A datagram shorter than the header would leave bytes of the previous one in the header
    // buffer and be answered as if it were that one.
    if (received < kHeaderSize || message->msg_iovlen < 1 ||
        message->msg_iov[0].iov_len < kHeaderSize) {
        return;
    }
    auto const header = parseCommandHeader(
        {static_cast<std::uint8_t const*>(message->msg_iov[0].iov_base), kHeaderSize});
    if (!header || header->key != kGvcpKey) {
        return;
    }
    Request request{record,        manager, requester,
                    interfaceName, *header, payloadOf(*message, received, *header)};
    switch (header->command) {
        case kDiscoveryCmd:
            answerDiscovery(request);
            break;
        case kForceIpCmd:
            answerForceIp(request);
            break;
        default:
            answerNotImplemented(request);
            break;
    }
}
