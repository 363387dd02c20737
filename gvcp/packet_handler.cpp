#include "gvcp/packet_handler.h"

#include "gvcp/discovery_reply.h"
#include "gvcp/force_ip.h"
#include "gvcp/not_implemented_reply.h"

std::optional<QEL_Finder::LastForceIp> onPacketArrives(QEL_Finder::Serving& serving,
                                                       QEL_Finder::Datagram const& datagram) {
    using namespace QEL_Finder;
    auto const bytes = datagram.data();
    auto const header = parseCommandHeader(bytes);
    if (!header || header->key != kGvcpKey) {
        return std::nullopt;
    }
    // A request whose length field is zero has no payload, whatever follows its header.
    Request request{serving, datagram.sender, *header,
                    header->length == 0 ? bytes.subspan(0, 0) : bytes.subspan(kHeaderSize)};
    switch (header->command) {
        case kDiscoveryCmd:
            answerDiscovery(request);
            return std::nullopt;
        case kForceIpCmd:
            return answerForceIp(request);
        default:
            answerNotImplemented(request);
            return std::nullopt;
    }
}
