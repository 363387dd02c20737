#include "netconfig/stanza_in_force.h"

#include <arpa/inet.h>

#include <cstdint>
#include <optional>

#include "base/whole_number.h"
#include "netconfig/stanza_scan.h"

namespace {

// A mask in network byte order from a prefix length of 0 to 32.
std::optional<std::uint32_t> maskOfPrefix(std::string_view text) {
    auto const bits = parseWholeNumber<unsigned int>(text);
    if (!bits || *bits > 32) {
        return std::nullopt;
    }
    return htonl(*bits == 0 ? 0 : ~std::uint32_t{0} << (32 - *bits));
}

// ifupdown takes a netmask as a dotted mask or as a prefix length.
std::optional<std::uint32_t> maskOf(std::string_view text) {
    if (auto const dotted = parseIpv4(text)) {
        return dotted;
    }
    return maskOfPrefix(text);
}

bool staticStanzaSays(StanzaSettings const& stanza, QEL_Finder::InterfaceConfig const& config) {
    std::string_view address = stanza.address;
    std::optional<std::uint32_t> mask;
    if (auto const slash = address.find('/'); slash != std::string_view::npos) {
        mask = maskOfPrefix(address.substr(slash + 1));
        address = address.substr(0, slash);
    } else if (!stanza.netmask.empty()) {
        mask = maskOf(stanza.netmask);
    }
    std::optional<std::uint32_t> const gateway =
        stanza.gateway.empty() ? std::optional<std::uint32_t>(0) : parseIpv4(stanza.gateway);
    return parseIpv4(address) == *config.address && mask == *config.netmask &&
           gateway == *config.gateway;
}

}  // namespace

bool stanzaSays(std::string_view text, std::string_view name,
                QEL_Finder::InterfaceConfig const& config) {
    auto const stanza = findInetStanza(text, name);
    if (!stanza || stanza->repeatedOption || config.kind == QEL_Finder::ForceIpKind::Restart) {
        return false;
    }
    if (config.kind == QEL_Finder::ForceIpKind::Dhcp) {
        return stanza->method == "dhcp";
    }
    return stanza->method == "static" && staticStanzaSays(*stanza, config);
}
