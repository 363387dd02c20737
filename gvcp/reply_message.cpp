#include "gvcp/reply_message.h"

namespace QEL_Finder {

ReplyMessage::ReplyMessage(sockaddr_in const& to, AckHeader const& ack)
    : destination(to), header(buildAckHeader(ack)) {
    buffers[0] = {header.data(), header.size()};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = buffers.data();
    message.msg_iovlen = 1;
}

void ReplyMessage::attach(DiscoveryAck* record) {
    buffers[1] = {record, sizeof *record};
    message.msg_iovlen = 2;
}

AckHeader ackFor(Request const& request, std::uint16_t status, std::uint16_t answer,
                 std::uint16_t length) {
    return {status, answer, length, request.header.reqId};
}

}  // namespace QEL_Finder
