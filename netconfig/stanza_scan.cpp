#include "netconfig/stanza_scan.h"

#include <algorithm>
#include <array>
#include <utility>

#include "netconfig/stanza_text.h"

namespace {

// ifupdown splits at isspace(), so a carriage return of a CRLF file ends a word like a blank.
constexpr std::string_view kSpace = " \t\n\v\f\r";

// Takes the next word off rest: words are split at any run of white space, and white space
// before the first word is ignored. Empty when rest holds no more words.
std::string_view nextWord(std::string_view& rest) {
    rest.remove_prefix(std::min(rest.find_first_not_of(kSpace), rest.size()));
    std::size_t const end = std::min(rest.find_first_of(kSpace), rest.size());
    std::string_view const word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

// The first four words of a line; missing words are empty.
std::array<std::string_view, 4> leadingWords(std::string_view line) {
    std::array<std::string_view, 4> words{};
    for (std::string_view& word : words) {
        word = nextWord(line);
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

// The options that carry the old address configuration, which the new stanza's own lines replace.
// A switch to dhcp also drops scope, which only a static address has. Every other option (mtu,
// hwaddress, metric, hook lines, bridge, bond and VLAN options, dhcp's hostname or client) means
// the same under either method, and ifup accepts, unused, the options its method does not know.
bool isAddressOption(std::string_view word, bool toDhcp) {
    constexpr std::array<std::string_view, 6> kAddress = {"address", "netmask", "broadcast",
                                                          "network", "gateway", "pointopoint"};
    return std::find(kAddress.begin(), kAddress.end(), word) != kAddress.end() ||
           (toDhcp && word == "scope");
}

// True for "auto", "allow-auto" and "allow-hotplug" lines that list the interface: the classes
// that Debian's boot brings up. Other allow- classes come up only when asked for by name.
bool bringsUpAtBoot(std::string_view line, std::string_view name) {
    std::vector<std::string_view> const words = lineWords(line);
    if (words.empty() ||
        (words[0] != "auto" && words[0] != "allow-auto" && words[0] != "allow-hotplug")) {
        return false;
    }
    return std::find(words.begin() + 1, words.end(), name) != words.end();
}

}  // namespace

std::string_view nextLine(std::string_view& rest) {
    std::size_t const end = rest.find('\n');
    std::string_view const line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return line;
}

std::vector<std::string_view> lineWords(std::string_view line) {
    std::vector<std::string_view> words;
    for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line)) {
        words.push_back(word);
    }
    return words;
}

bool isInetStanzaHead(std::string_view line, std::string_view name) {
    return isInetStanzaHead(leadingWords(line), name);
}

bool isDhcpStanzaHead(std::string_view line, std::string_view name) {
    auto const words = leadingWords(line);
    return isInetStanzaHead(words, name) && words[3] == "dhcp";
}

std::optional<StanzaSettings> findInetStanza(std::string_view text, std::string_view name) {
    while (!text.empty()) {
        auto const head = leadingWords(nextLine(text));
        if (!isInetStanzaHead(head, name)) {
            continue;
        }
        StanzaSettings stanza{head[3], {}, {}, {}};
        while (!text.empty()) {
            std::string_view const line = nextLine(text);
            if (endsStanza(line)) {
                break;
            }
            auto const words = leadingWords(line);
            for (auto [option, value] :
                 {std::pair{"address", &stanza.address}, std::pair{"netmask", &stanza.netmask},
                  std::pair{"gateway", &stanza.gateway}}) {
                if (words[0] == option) {
                    stanza.repeatedOption = stanza.repeatedOption || !value->empty();
                    *value = words[1];
                }
            }
        }
        return stanza;
    }
    return std::nullopt;
}

std::string replaceInterfaceStanza(std::string_view text, std::string_view name,
                                   QEL_Finder::InterfaceConfig const& config) {
    std::string const stanza = interfaceStanza(config, name);
    bool const toDhcp = config.kind == QEL_Finder::ForceIpKind::Dhcp;
    bool autoSeen = false;
    for (std::string_view rest = text; !rest.empty() && !autoSeen;) {
        autoSeen = bringsUpAtBoot(nextLine(rest), name);
    }
    std::string out;
    out.reserve(text.size() + stanza.size() + name.size() + 7);

    bool skipping = false;
    bool written = false;
    // The first old stanza's lines that stay: its options other than the address ones, and its
    // comment lines, in their order.
    std::string kept;
    // The blank and comment lines since the old stanza's last option line, and whether any is a
    // comment: notes such as a commented-out stanza that follows it, which stay where they stood.
    std::string notes;
    bool notesHaveComment = false;
    auto endOldStanza = [&] {
        std::string_view const after = notesHaveComment ? notes : std::string_view();
        if (!written) {
            if (!autoSeen) {
                out += "auto ";
                out += name;
                out += '\n';
            }
            out += stanza;
            out += kept;
            out += after.empty() ? "\n" : after;
            written = true;
        } else {
            out += after;
        }
        kept.clear();
        notes.clear();
        notesHaveComment = false;
        skipping = false;
    };

    while (!text.empty()) {
        std::string_view const line = nextLine(text);

        if (skipping) {
            if (!endsStanza(line)) {
                std::string_view const first = leadingWords(line)[0];
                if (first.empty() || first.starts_with('#')) {
                    notes += line;
                    notes += '\n';
                    notesHaveComment = notesHaveComment || !first.empty();
                    continue;
                }
                // An option line: the comments before it stay with the first stanza's options,
                // blank lines among options go.
                if (!written) {
                    for (std::string_view rest = notes; !rest.empty();) {
                        std::string_view const note = nextLine(rest);
                        if (!leadingWords(note)[0].empty()) {
                            kept += note;
                            kept += '\n';
                        }
                    }
                    if (!isAddressOption(first, toDhcp)) {
                        kept += line;
                        kept += '\n';
                    }
                }
                notes.clear();
                notesHaveComment = false;
                continue;
            }
            endOldStanza();
        }
        if (isInetStanzaHead(leadingWords(line), name)) {
            skipping = true;
            continue;
        }
        out += line;
        out += '\n';
    }
    if (skipping) {
        endOldStanza();
    }
    if (!written) {
        endOldStanza();
    }
    return out;
}
