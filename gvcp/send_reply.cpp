#include "gvcp/send_reply.h"

#include <iostream>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "net/reply_socket.h"

namespace QEL_Finder {

namespace {

std::string destinationText(msghdr const& message) {
    auto const* destination = static_cast<sockaddr_in const*>(message.msg_name);
    return destination->sin_family == AF_INET ? formatIpv4(destination->sin_addr.s_addr) : "";
}

}  // namespace

void sendReply(Request& request, ReplyMessage& reply) {
    int const handle = openReplySocket(request.record, request.manager, request.interfaceName);
    if (handle == -1) {
        return;
    }
    sendOnReplySocket(*request.manager, handle, reply);
}

void sendOnReplySocket(SocketManager& manager, int handle, ReplyMessage& reply) {
    if (Verbose) {
        std::cout << "Sending ACK" << std::endl;
    }
    if (manager.sendmsg(handle, &reply.message, 0) == -1) {
        std::cerr << "sending reply message: " << manager.getError() << std::endl;
        std::cerr << "Destination address: " << destinationText(reply.message) << std::endl;
    }
    manager.closeSocket(handle);
}

}  // namespace QEL_Finder
