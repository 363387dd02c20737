#include "gvcp/send_reply.h"

#include <arpa/inet.h>

#include <iostream>

#include "base/process_state.h"
#include "net/reply_socket.h"

namespace QEL_Finder {

namespace {

std::string destinationText(msghdr const& message) {
    auto const* destination = static_cast<sockaddr_in const*>(message.msg_name);
    char text[64] = "";
    if (inet_ntop(destination->sin_family, &destination->sin_addr, text, sizeof text) == nullptr) {
        text[0] = '\0';
    }
    return text;
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
