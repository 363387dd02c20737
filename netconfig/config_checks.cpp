#include "netconfig/config_checks.h"

#include <arpa/inet.h>

#include <algorithm>

#include "base/ipv4_address.h"
#include "netconfig/sourced_stanza.h"

namespace {

constexpr std::size_t kMaxInterfaceName = 15;  // an ifreq name field holds 15 plus the zero

// Why no interface can carry this address (host byte order), or nullptr.
char const* unusableAddress(std::uint32_t host) {
    std::uint32_t const firstOctet = host >> 24;
    if (firstOctet == 0) {
        return "is in 0.0.0.0/8";
    }
    if (firstOctet == 127) {
        return "is a loopback address";
    }
    if (firstOctet >= 224) {
        return "is a multicast or reserved address";
    }
    return nullptr;
}

bool isContiguousMask(std::uint32_t host) {
    std::uint32_t const hostBits = ~host;
    return (hostBits & (hostBits + 1)) == 0;
}

}  // namespace

std::string configRejection(QEL_Finder::InterfaceConfig const& config) {
    if (config.kind != QEL_Finder::ForceIpKind::Static) {
        return {};
    }
    if (char const* why = unusableAddress(ntohl(*config.address))) {
        return "Refusing force IP: address " + formatIpv4(*config.address) + " " + why;
    }
    std::uint32_t const mask = ntohl(*config.netmask);
    if (mask == 0) {
        return "Refusing force IP: netmask 0.0.0.0 is empty";
    }
    if (!isContiguousMask(mask)) {
        return "Refusing force IP: netmask " + formatIpv4(*config.netmask) + " is not contiguous";
    }
    // With two or more host bits the subnet's first and last addresses are not for hosts: a
    // device given its subnet's broadcast address can be reached by broadcast only.
    std::uint32_t const address = ntohl(*config.address);
    std::uint32_t const hostBits = ~mask;
    bool const hasHostRange = hostBits >= 3;
    if (hasHostRange && (address & hostBits) == 0) {
        return "Refusing force IP: address " + formatIpv4(*config.address) +
               " is its subnet's network address";
    }
    if (hasHostRange && (address & hostBits) == hostBits) {
        return "Refusing force IP: address " + formatIpv4(*config.address) +
               " is its subnet's broadcast address";
    }
    // ifup fails on a route through any of these, and ifupdown then forgets the interface was
    // configured, so the next ifdown removes nothing.
    if (*config.gateway != 0) {
        std::uint32_t const gateway = ntohl(*config.gateway);
        std::string const prefix = "Refusing force IP: gateway " + formatIpv4(*config.gateway);
        if (char const* why = unusableAddress(gateway)) {
            return prefix + " " + why;
        }
        if (gateway == address) {
            return prefix + " is the requested address";
        }
        if (hasHostRange && (gateway & mask) == (address & mask) &&
            (gateway & hostBits) == hostBits) {
            return prefix + " is the subnet's broadcast address";
        }
    }
    return {};
}

std::string forceIpRefusal(ForceIpCase const& request) {
    QEL_Finder::InterfaceConfig const& config = request.config;
    std::string why = configRejection(config);
    if (!why.empty() || config.kind == QEL_Finder::ForceIpKind::Restart) {
        return why;
    }
    // Without the file, ifdown, the rewrite and ifup would each fail on their own.
    if (request.file.unreadable) {
        return std::string("Refusing force IP: cannot read ") + kInterfacesFile + ": " +
               request.file.unreadable.message();
    }
    auto const sourced =
        sourcedStanzaFile(kInterfacesFile, request.file.text, request.interfaceName);
    if (sourced) {
        return "Refusing force IP: " + std::string(request.interfaceName) + " is configured in " +
               sourced->string() + ", not in " + kInterfacesFile;
    }
    // The requester's own address given to the device would take the PC's address from it: the
    // acknowledge goes nowhere and the device answers ARP for the PC.
    if (config.kind == QEL_Finder::ForceIpKind::Static && *config.address == request.requester) {
        return "Refusing force IP: address " + formatIpv4(*config.address) +
               " is the requester's address";
    }
    return {};
}

bool isSafeInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > kMaxInterfaceName) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}
