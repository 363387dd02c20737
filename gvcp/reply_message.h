// The acknowledge a branch of the handler builds for a request.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <array>
#include <cstdint>

#include "gvcp/discovery_ack.h"
#include "gvcp/gvcp_header.h"
#include "gvcp/request.h"

namespace QEL_Finder {

// An acknowledge being put together: header, one or two data buffers, destination, no control
// data. Not copyable, since the message points into the object itself.
struct ReplyMessage {
    // One buffer holding the header built from ack, sent to to.
    ReplyMessage(sockaddr_in const& to, AckHeader const& ack);
    ReplyMessage(ReplyMessage const&) = delete;
    ReplyMessage& operator=(ReplyMessage const&) = delete;

    // Adds the record as the second data buffer; the record is sent as it is at send time.
    void attach(DiscoveryAck* record);

    sockaddr_in destination;
    std::array<std::uint8_t, kHeaderSize> header;
    std::array<iovec, 2> buffers{};
    msghdr message{};
};

// The acknowledge header for the request: the given status, answer and length, its req_id.
AckHeader ackFor(Request const& request, std::uint16_t status, std::uint16_t answer,
                 std::uint16_t length);

}  // namespace QEL_Finder
