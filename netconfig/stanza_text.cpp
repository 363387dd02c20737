#include "netconfig/stanza_text.h"

#include "base/ipv4_address.h"

std::string getDynamicInterfaceDef(std::string_view name) {
    std::string stanza = "iface ";
    stanza += name;
    stanza += " inet dhcp\n";
    return stanza;
}

std::string getStaticInterfaceDef(QEL_Finder::InterfaceConfig const& config,
                                  std::string_view name) {
    std::string stanza = "iface ";
    stanza += name;
    stanza += " inet static";
    stanza += "\n  address " + formatIpv4(*config.address);
    stanza += "\n  netmask " + formatIpv4(*config.netmask);
    if (*config.gateway != 0) {
        stanza += "\n  gateway " + formatIpv4(*config.gateway);
    }
    stanza += '\n';
    return stanza;
}

std::string interfaceStanza(QEL_Finder::InterfaceConfig const& config, std::string_view name) {
    return config.kind == QEL_Finder::ForceIpKind::Dhcp ? getDynamicInterfaceDef(name)
                                                        : getStaticInterfaceDef(config, name);
}
