#include "netconfig/stanza_scan.h"

#include <algorithm>
#include <array>

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

std::string replaceInterfaceStanza(std::string_view text, std::string_view name,
                                   std::string_view stanza) {
    std::string const autoKey = "auto " + std::string(name);
    std::string out;
    out.reserve(text.size() + stanza.size() + autoKey.size() + 2);

    bool skipping = false;
    bool written = false;
    bool autoSeen = false;
    // The blank and comment lines since the old stanza's last option line, and whether any is a
    // comment: notes such as a commented-out stanza that follows it, which stay where they stood.
    std::string notes;
    bool notesHaveComment = false;
    auto writeStanza = [&](std::string_view after) {
        if (!autoSeen) {
            out += autoKey;
            out += '\n';
        }
        out += stanza;
        out += after.empty() ? "\n" : after;
        written = true;
    };
    auto endOldStanza = [&] {
        std::string_view const kept = notesHaveComment ? notes : std::string_view();
        if (!written) {
            writeStanza(kept);
        } else {
            out += kept;
        }
        notes.clear();
        notesHaveComment = false;
        skipping = false;
    };

    while (!text.empty()) {
        std::string_view const line = nextLine(text);

        if (skipping) {
            if (!endsStanza(line)) {
                std::string_view const first = leadingWords(line)[0];
                if (!first.empty() && !first.starts_with('#')) {
                    notes.clear();
                    notesHaveComment = false;
                    continue;
                }
                notes += line;
                notes += '\n';
                notesHaveComment = notesHaveComment || !first.empty();
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
        if (line.starts_with(autoKey)) {
            autoSeen = true;
        }
    }
    if (skipping) {
        endOldStanza();
    }
    if (!written) {
        writeStanza({});
    }
    return out;
}
