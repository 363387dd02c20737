#include "service/serving_status.h"

#include <arpa/inet.h>

#include <bit>
#include <iostream>

#include "base/ipv4_address.h"
#include "base/service_notify.h"
#include "net/interface_address.h"

namespace QEL_Finder {

namespace {

// One line per failed message: systemd may wait in vain for READY=1, or show an old status.
void send(std::string const& message) {
    if (std::error_code const error = notifyServiceManager(message)) {
        std::cerr << "Notifying the service manager: " << error.message() << std::endl;
    }
}

std::string statusNow(std::string const& interfaceName, DiscoveryAck const& record,
                      std::optional<std::uint32_t> lastForceIpFrom) {
    std::optional<InterfaceAddress> served;
    unsigned int address = 0;
    unsigned int mask = 0;
    if (findInterfaceAddress(interfaceName.c_str(), address, mask)) {
        served = InterfaceAddress{address, mask};
    }
    return servingStatus(interfaceName, served, ntohl(record.ipConfigCurrent), lastForceIpFrom);
}

}  // namespace

std::string servingStatus(std::string_view interfaceName, std::optional<InterfaceAddress> address,
                          std::uint32_t ipConfigCurrent,
                          std::optional<std::uint32_t> lastForceIpFrom) {
    std::string status(interfaceName);
    if (address) {
        status += ' ';
        status += formatIpv4(address->address);
        status += '/';
        status += std::to_string(std::popcount(address->mask));
        status += ' ';
    } else {
        status += " no IPv4 address, ";
    }
    status += ipConfigModeName(ipConfigCurrent);
    if (lastForceIpFrom) {
        status += "; last force-IP from ";
        status += formatIpv4(*lastForceIpFrom);
    }
    return status;
}

void reportServing(std::string const& interfaceName, DiscoveryAck const& record) {
    // Outside systemd the address is not even looked up.
    if (!notifySocketAdopted()) {
        return;
    }
    send("READY=1\nSTATUS=" + statusNow(interfaceName, record, std::nullopt) + '\n');
}

void reportForceIpApplied(std::string const& interfaceName, DiscoveryAck const& record,
                          std::uint32_t requester) {
    if (!notifySocketAdopted()) {
        return;
    }
    send("STATUS=" + statusNow(interfaceName, record, requester) + '\n');
}

void reportStopping() {
    send("STOPPING=1\n");
}

}  // namespace QEL_Finder
