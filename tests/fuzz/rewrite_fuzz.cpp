// Arbitrary interfaces-file texts through the stanza rewriter for eth0. The first input byte picks
// the new stanza (even: dhcp, odd: static), the rest is the file.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "netconfig/interfaces_file.h"
#include "netconfig/stanza_scan.h"
#include "netconfig/test_config.h"

namespace {

constexpr std::string_view kName = "eth0";

void check(bool holds, char const* what) {
    if (!holds) {
        std::fprintf(stderr, "rewrite_fuzz: %s\n", what);
        __builtin_trap();
    }
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t const end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// ifupdown ends a stanza at a line whose first word is one of these.
bool startsStanza(std::string_view line) {
    constexpr std::array<std::string_view, 9> kKeywords{
        "iface",     "auto",       "mapping",          "rename",
        "source",    "source-dir", "source-directory", "no-auto-down",
        "no-scripts"};
    auto const words = lineWords(line);
    return !words.empty() &&
           ((words[0].starts_with("allow-") && words[0].size() > 6) ||
            std::find(kKeywords.begin(), kKeywords.end(), words[0]) != kKeywords.end());
}

bool isComment(std::string_view line) {
    auto const words = lineWords(line);
    return !words.empty() && words[0].starts_with('#');
}

// An option line whose value the new stanza's own address lines replace.
bool isAddressLine(std::string_view line, bool toDhcp) {
    constexpr std::array<std::string_view, 6> kAddress{"address", "netmask", "broadcast",
                                                       "network", "gateway", "pointopoint"};
    auto const words = lineWords(line);
    return !words.empty() &&
           (std::find(kAddress.begin(), kAddress.end(), words[0]) != kAddress.end() ||
            (toDhcp && words[0] == "scope"));
}

QEL_Finder::InterfaceConfig const kConfigs[] = {
    QEL_Finder::testing::configFrom("255.255.255.255", "0.0.0.0", "0.0.0.0"),
    QEL_Finder::testing::configFrom("192.168.1.20", "255.255.255.0", "192.168.1.1")};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    QEL_Finder::InterfaceConfig const& config = kConfigs[data[0] % 2];
    std::string const stanza = interfaceStanza(config, kName);
    std::string_view const text(reinterpret_cast<char const*>(data) + 1, size - 1);
    std::string const out = replaceInterfaceStanza(text, kName, config);
    auto const outLines = linesOf(out);

    bool const toDhcp = data[0] % 2 == 0;
    auto const isHead = [](std::string_view line) { return isInetStanzaHead(line, kName); };
    check(std::count_if(outLines.begin(), outLines.end(), isHead) == 1,
          "not exactly one inet stanza head for eth0");
    // Kept: every line outside eth0's old inet stanzas; the first old stanza's comment lines and
    // its options other than the address ones; and the notes after an old stanza's last option
    // line (its blank and comment lines) when one of them is a comment.
    std::vector<std::string_view> kept;
    std::vector<std::string_view> notes;
    auto keepNotes = [&] {
        if (std::any_of(notes.begin(), notes.end(), isComment)) {
            kept.insert(kept.end(), notes.begin(), notes.end());
        }
        notes.clear();
    };
    bool inOld = false;
    int oldStanzas = 0;
    for (std::string_view const line : linesOf(text)) {
        if (inOld && startsStanza(line)) {
            keepNotes();
        }
        oldStanzas += isHead(line) ? 1 : 0;
        inOld = isHead(line) || (inOld && !startsStanza(line));
        if (!inOld) {
            kept.push_back(line);
        } else if (isComment(line) || lineWords(line).empty()) {
            notes.push_back(line);
        } else {
            if (oldStanzas == 1 && !isHead(line)) {
                std::copy_if(notes.begin(), notes.end(), std::back_inserter(kept), isComment);
                if (!isAddressLine(line, toDhcp)) {
                    kept.push_back(line);
                }
            }
            notes.clear();
        }
    }
    if (inOld) {
        keepNotes();
    }
    auto next = outLines.begin();
    for (std::string_view const line : kept) {
        next = std::find(next, outLines.end(), line);
        check(next != outLines.end(),
              "a line outside eth0's inet stanzas, an option or comment of its first, or a note "
              "after one, lost or reordered");
        ++next;
    }
    // Beyond what is kept: the stanza, an "auto eth0" line and a blank line after the stanza.
    check(outLines.size() <= kept.size() + linesOf(stanza).size() + 2, "lines added");
    check(replaceInterfaceStanza(out, kName, config) == out, "a second rewrite changes the text");
    return 0;
}
