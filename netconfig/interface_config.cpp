#include "netconfig/interface_config.h"

#include <iomanip>

#include "base/ipv4_address.h"

namespace QEL_Finder {

namespace {
constexpr std::size_t kWords = 5;
constexpr std::size_t kMacByteOffset = 14;
}  // namespace

InterfaceConfig makeInterfaceConfig() {
    InterfaceConfig config;
    config.storage = std::make_shared<std::uint32_t[]>(kWords);  // value-initialised: all zero
    config.address = &config.storage[0];
    config.netmask = &config.storage[1];
    config.gateway = &config.storage[2];
    config.mac = reinterpret_cast<std::uint8_t*>(config.storage.get()) + kMacByteOffset;
    return config;
}

InterfaceConfig makeInterfaceConfig(std::uint32_t address, std::uint32_t netmask,
                                    std::uint32_t gateway) {
    InterfaceConfig config = makeInterfaceConfig();
    *config.address = address;
    *config.netmask = netmask;
    *config.gateway = gateway;
    config.kind = address == kRestartOnly   ? ForceIpKind::Restart
                  : address == kDhcpAddress ? ForceIpKind::Dhcp
                                            : ForceIpKind::Static;
    return config;
}

std::ostream& operator<<(std::ostream& out, InterfaceConfig const& config) {
    out << "Address: " << formatIpv4(*config.address) << '\n';
    out << "Netmask: " << formatIpv4(*config.netmask) << '\n';
    out << "Gateway: " << formatIpv4(*config.gateway) << '\n';
    out << "MAC:     ";
    std::ios_base::fmtflags const flags = out.flags();
    char const fill = out.fill();
    for (std::size_t i = 0; i < 6; ++i) {
        if (i != 0) {
            out << "::";
        }
        out << std::hex << std::uppercase << std::right << std::setw(2) << std::setfill('0')
            << unsigned{config.mac[i]};
    }
    out.flags(flags);
    out.fill(fill);
    return out;
}

}  // namespace QEL_Finder
