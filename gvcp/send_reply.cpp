#include "gvcp/send_reply.h"

#include <iostream>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "net/bound_socket.h"

namespace QEL_Finder {

namespace {

std::string destinationText(sockaddr_in const& destination) {
    return destination.sin_family == AF_INET ? formatIpv4(destination.sin_addr.s_addr) : "";
}

// Read into locals so a failed lookup leaves the record exactly as it was.
std::optional<InterfaceAddress> refreshRecord(Serving& serving) {
    InterfaceAddress own{};
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

}  // namespace

int openReplySocket(Serving& serving, std::uint32_t address) {
    if (Verbose) {
        std::cout << "Opening socket on local IP " << formatIpv4(address) << std::endl;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kGvcpPort);
    local.sin_addr.s_addr = address;
    ReplySocket socket = openBoundReplySocket(serving.sockets, local);
    serving.takenIn.insert(serving.takenIn.end(), socket.takenIn.begin(), socket.takenIn.end());
    return socket.handle;
}

std::optional<InterfaceAddress> sendReply(Serving& serving, ReplyMessage& reply,
                                          BeforeSending const& beforeSending) {
    auto const own = refreshRecord(serving);
    if (!own) {
        return std::nullopt;
    }
    int const handle = openReplySocket(serving, own->address);
    if (handle == -1) {
        return std::nullopt;
    }
    if (beforeSending) {
        beforeSending(reply, *own);
    }
    if (Verbose) {
        std::cout << "Sending ACK" << std::endl;
    }
    if (serving.sockets.sendmsg(handle, &reply.message, 0) == -1) {
        std::cerr << "sending reply message: " << serving.sockets.getError() << std::endl;
        std::cerr << "Destination address: " << destinationText(reply.destination) << std::endl;
    }
    serving.sockets.closeSocket(handle);
    return own;
}

}  // namespace QEL_Finder
