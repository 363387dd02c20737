#include "net/reply_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <iostream>

#include "base/ipv4_address.h"
#include "base/process_state.h"
#include "gvcp/discovery_ack.h"
#include "gvcp/gvcp_header.h"
#include "net/deferred_datagrams.h"
#include "net/setup_socket.h"

int openReplySocket(QEL_Finder::DiscoveryAck* record, QEL_Finder::SocketManager* manager,
                    std::string& interfaceName) {
    // Read into locals so a failed lookup leaves the record exactly as it was.
    unsigned int address = 0;
    unsigned int mask = 0;
    if (!manager->getIpAddressFromInterfaceName(interfaceName.c_str(), address, mask)) {
        std::cerr << "Could not get the ip address for the interface " << interfaceName
                  << std::endl;
        return -1;
    }
    record->currentIp = address;
    record->currentSubnetMask = mask;
    record->defaultGateway = manager->getDefaultGateway();

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(QEL_Finder::kGvcpPort);
    local.sin_addr.s_addr = address;
    if (Verbose) {
        std::cout << "Opening socket on local IP " << formatIpv4(address) << std::endl;
    }

    int handle = -1;
    if (!setupSocket(handle, reinterpret_cast<sockaddr*>(&local), manager)) {
        // One reply per request: a bind that keeps failing must not pile up open descriptors.
        if (handle != -1) {
            manager->closeSocket(handle);
        }
        return -1;
    }
    int const on = 1;
    manager->setsockopt(handle, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    // Bound to the interface's address, the socket would win unicast requests from the listening
    // socket and lose them when it closes. Connected, it receives only from its peer, and the
    // limited broadcast address is never a datagram's source; replies still name their
    // destination. A failed connect costs only that steering, so the reply goes out regardless.
    sockaddr_in nobody{};
    nobody.sin_family = AF_INET;
    nobody.sin_port = htons(QEL_Finder::kGvcpPort);
    nobody.sin_addr.s_addr = INADDR_BROADCAST;
    manager->connectSocket(handle, reinterpret_cast<sockaddr*>(&nobody));
    QEL_Finder::deferQueuedDatagrams(*manager, handle);
    return handle;
}
