#include "netconfig/stanza_scan.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::string_view kBlanks = " \t";

// The first four words of a line as ifupdown splits it: at any run of blanks or tabs, with
// blanks before the first word ignored. Missing words are empty.
std::array<std::string_view, 4> leadingWords(std::string_view line) {
    std::array<std::string_view, 4> words{};
    for (std::string_view& word : words) {
        line.remove_prefix(std::min(line.find_first_not_of(kBlanks), line.size()));
        std::size_t const end = std::min(line.find_first_of(kBlanks), line.size());
        word = line.substr(0, end);
        line.remove_prefix(end);
    }
    return words;
}

// ifupdown starts a new stanza, and so ends the one before, at a line whose first word is one of
// these; any other word inside a stanza is one of its options.
bool endsStanza(std::string_view line) {
    constexpr std::array<std::string_view, 9> kKeywords = {
        "iface",     "auto",       "mapping",          "rename",
        "source",    "source-dir", "source-directory", "no-auto-down",
        "no-scripts"};
    constexpr std::string_view kAllow = "allow-";  // allow-hotplug, allow-auto, ...
    std::string_view const first = leadingWords(line)[0];
    if (first.starts_with(kAllow)) {
        return first.size() > kAllow.size();
    }
    return std::find(kKeywords.begin(), kKeywords.end(), first) != kKeywords.end();
}

bool isInetStanzaHead(std::array<std::string_view, 4> const& words, std::string_view name) {
    return words[0] == "iface" && words[1] == name && words[2] == "inet";
}

}  // namespace

bool isDhcpStanzaHead(std::string_view line, std::string_view name) {
    auto const words = leadingWords(line);
    return isInetStanzaHead(words, name) && words[3] == "dhcp";
}

std::string replaceInterfaceStanza(std::string_view text, std::string_view name,
                                   std::string_view stanza) {
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
        if (isInetStanzaHead(leadingWords(line), name)) {
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
