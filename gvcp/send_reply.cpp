#include "gvcp/send_reply.h"

#include <iostream>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "net/bound_socket.h"

namespace QEL_Finder {

namespace {

std::string destinationText(msghdr const& message) {
    auto const* destination = static_cast<sockaddr_in const*>(message.msg_name);
    return destination->sin_family == AF_INET ? formatIpv4(destination->sin_addr.s_addr) : "";
}

}  // namespace

std::optional<OwnAddress> refreshRecord(Serving& serving) {
    // Read into locals so a failed lookup leaves the record exactly as it was.
    OwnAddress own{};
    if (!serving.sockets.getIpAddressFromInterfaceName(serving.interfaceName.c_str(), own.address,
                                                       own.mask)) {
        std::cerr << "Could not get the ip address for the interface " << serving.interfaceName
                  << std::endl;
        return std::nullopt;
    }
    serving.record.currentIp = own.address;
    serving.record.currentSubnetMask = own.mask;
    serving.record.defaultGateway = serving.sockets.getDefaultGateway();
    return own;
}

int openReplySocket(Serving& serving, std::uint32_t address) {
    if (Verbose) {
        std::cout << "Opening socket on local IP " << formatIpv4(address) << std::endl;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kGvcpPort);
    local.sin_addr.s_addr = address;
    ReplySocket socket = openBoundReplySocket(serving.sockets, local);
    auto const now = Inbox::Clock::now();
    for (Datagram const& datagram : socket.takenIn) {
        serving.inbox.add(datagram, now);
    }
    return socket.handle;
}

std::optional<OwnReplySocket> openOwnReplySocket(Serving& serving) {
    auto const own = refreshRecord(serving);
    if (!own) {
        return std::nullopt;
    }
    int const handle = openReplySocket(serving, own->address);
    if (handle == -1) {
        return std::nullopt;
    }
    return OwnReplySocket{handle, own->address};
}

void sendReply(Request& request, ReplyMessage& reply) {
    if (auto const socket = openOwnReplySocket(request.serving)) {
        sendOnReplySocket(request.serving.sockets, socket->handle, reply);
    }
}

void sendOnReplySocket(SocketManager& sockets, int handle, ReplyMessage& reply) {
    if (Verbose) {
        std::cout << "Sending ACK" << std::endl;
    }
    if (sockets.sendmsg(handle, &reply.message, 0) == -1) {
        std::cerr << "sending reply message: " << sockets.getError() << std::endl;
        std::cerr << "Destination address: " << destinationText(reply.message) << std::endl;
    }
    sockets.closeSocket(handle);
}

}  // namespace QEL_Finder
