#include "netconfig/interface_state.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <vector>

#include "base/file_io.h"
#include "base/hex_text.h"
#include "netconfig/interfaces_file.h"
#include "netconfig/sourced_stanza.h"

namespace {

using Mac = std::array<std::uint8_t, 6>;

// Six groups of one or two hex digits joined by single colons; anything after the sixth group is
// ignored, as sysfs may add nothing but a line feed there.
std::optional<Mac> parseMacAddress(std::string_view text) {
    Mac mac{};
    std::size_t pos = 0;
    for (std::size_t group = 0; group < mac.size(); ++group) {
        if (group != 0) {
            if (pos >= text.size() || text[pos] != ':') {
                return std::nullopt;
            }
            ++pos;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (digits < 2 && pos < text.size()) {
            std::optional<unsigned> const digit = hexDigit(text[pos]);
            if (!digit) {
                break;
            }
            value = value * 16 + *digit;
            ++digits;
            ++pos;
        }
        if (digits == 0) {
            return std::nullopt;
        }
        mac[group] = static_cast<std::uint8_t>(value);
    }
    return mac;
}

}  // namespace

std::array<std::uint8_t, 6> readMacAddressFile(std::filesystem::path const& file) {
    std::string text;
    if (readWholeFile(file, text)) {
        std::cerr << "Could not open file: " << file.string() << std::endl;
        return {};
    }
    constexpr char kSpace[] = " \t\n\v\f\r";
    std::size_t const start = text.find_first_not_of(kSpace);
    if (start == std::string::npos) {
        return {};
    }
    std::string const word = text.substr(start, text.find_first_of(kSpace, start) - start);
    std::optional<Mac> const mac = parseMacAddress(word);
    if (!mac) {
        std::cerr << "Parsing mac address: " << word << std::endl;
        return {};
    }
    return *mac;
}

bool configuresDhcpAt(std::filesystem::path const& file, std::string_view name) {
    std::error_code unreadable;
    std::vector<InetStanza> const stanzas = inetStanzas(file, name, unreadable);
    if (unreadable) {
        std::cerr << "Unable to open configuration file " << file.string() << std::endl;
        return false;
    }
    // ifup runs every stanza of the interface, so any dhcp one starts a DHCP client.
    return std::any_of(stanzas.begin(), stanzas.end(),
                       [](InetStanza const& stanza) { return stanza.dhcp; });
}

std::array<std::uint8_t, 6> getMacFromInterfaceName(std::string_view name) {
    std::string path = "/sys/class/net/";
    path += name;
    path += "/address";
    return readMacAddressFile(path);
}

bool isDHCPEnabled(std::string name) {
    static std::filesystem::path const interfacesFile = kInterfacesFile;
    return configuresDhcpAt(interfacesFile, name);
}
