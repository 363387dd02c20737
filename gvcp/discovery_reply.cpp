#include "gvcp/discovery_reply.h"

#include <iostream>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/reply_message.h"
#include "gvcp/send_reply.h"

namespace QEL_Finder {

void answerDiscovery(Request& request) {
    if (Verbose) {
        std::cout << "Discovery received from " << formatIpv4(request.requester.sin_addr.s_addr)
                  << std::endl;
    }
    ReplyMessage reply(request.requester,
                       ackFor(request, kStatusSuccess, kDiscoveryAckCode, kDiscoveryAckLength));
    reply.attach(&request.serving.record);
    bool const broadcastAllowed = (request.header.flag & kFlagBroadcastAck) != 0;
    sendReply(request.serving, reply,
              [broadcastAllowed](ReplyMessage& message, InterfaceAddress const& own) {
                  // A requester outside our subnet may have no route back to us; when it allows,
                  // answer by broadcast so the reply reaches it anyway.
                  bool const outsideSubnet =
                      ((message.destination.sin_addr.s_addr ^ own.address) & own.mask) != 0;
                  if (outsideSubnet && broadcastAllowed) {
                      message.destination.sin_addr.s_addr = kLimitedBroadcast;
                  }
              });
}

}  // namespace QEL_Finder
