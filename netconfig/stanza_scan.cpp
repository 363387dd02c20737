#include "netconfig/stanza_scan.h"

#include <algorithm>
#include <array>

namespace {

// Lines starting with one of these end the stanza before them.
constexpr std::array<std::string_view, 8> kStanzaEnders = {
    "iface", "auto", "allow-", "mapping", "rename", "source", "no-auto-down", "no-scripts"};

bool endsStanza(std::string_view line) {
    for (std::string_view keyword : kStanzaEnders) {
        if (line.starts_with(keyword)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string inetStanzaHead(std::string_view name) {
    std::string key = "iface ";
    key += name;
    key += " inet ";
    return key;
}

bool isDhcpStanzaHead(std::string_view line, std::string_view name) {
    std::string const key = inetStanzaHead(name);
    if (!line.starts_with(key)) {
        return false;
    }
    std::string_view rest = line.substr(key.size());
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    std::string_view const method = rest.substr(0, rest.find_first_of(" \t\r#"));
    return method == "dhcp";
}

std::string replaceInterfaceStanza(std::string_view text, std::string_view name,
                                   std::string_view stanza) {
    std::string const headKey = inetStanzaHead(name);
    std::string const autoKey = "auto " + std::string(name);
    std::string out;
    out.reserve(text.size() + stanza.size() + autoKey.size() + 2);

    bool skipping = false;
    bool written = false;
    bool autoSeen = false;
    auto writeStanza = [&] {
        if (!autoSeen) {
            out += autoKey;
            out += '\n';
        }
        out += stanza;
        out += '\n';
        written = true;
    };

    while (!text.empty()) {
        std::size_t const end = text.find('\n');
        std::string_view const line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (skipping) {
            if (!endsStanza(line)) {
                continue;
            }
            if (!written) {
                writeStanza();
            }
        }
        if (line.starts_with(headKey)) {
            skipping = true;
            continue;
        }
        out += line;
        out += '\n';
        if (line.starts_with(autoKey)) {
            autoSeen = true;
        }
        skipping = false;
    }
    if (!written) {
        writeStanza();
    }
    return out;
}
