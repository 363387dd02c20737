// The text-only core of the interfaces-file handling: which line heads an interface's inet
// stanza, and the stanza replacement itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "netconfig/interface_config.h"

// Lines are read as ifupdown reads them: words split at any white space (a CRLF line's carriage
// return too), indentation allowed, a line whose first word begins with '#' a comment. A stanza
// head is "iface <name> inet <method>"; "inet6" and "eth0.5" stanzas are others'.

// Takes the next line off rest, without its line feed; a last line without one is a line too.
std::string_view nextLine(std::string_view& rest);

// Every word of the line.
std::vector<std::string_view> lineWords(std::string_view line);

// True when the line heads the interface's inet stanza.
bool isInetStanzaHead(std::string_view line, std::string_view name);

// True when the line heads the interface's inet stanza and its method word is "dhcp".
bool isDhcpStanzaHead(std::string_view line, std::string_view name);

// The interface's first inet stanza as written: its method word and the first word of its
// address, netmask and gateway options, each empty when missing.
struct StanzaSettings {
    std::string_view method;
    std::string_view address;
    std::string_view netmask;
    std::string_view gateway;
    bool repeatedOption = false;  // one of the three given twice: ifupdown then sets up both
};

// The interface's first inet stanza in the file text; none when it has none.
std::optional<StanzaSettings> findInetStanza(std::string_view text, std::string_view name);

// The file text with the interface's first inet stanza (up to the next line whose first word is a
// stanza keyword) replaced by the stanza config asks for (a head and address lines), later ones
// dropped, and the stanza appended when the interface had none. The old stanza's head and address
// options go (for a dhcp stanza also scope); its other options and comment lines follow the new
// stanza's lines in their order. The stanza is then followed by an empty line, or, when comment
// lines follow the old stanza's last option line, by those lines and the blank lines among them as
// they stood. "auto <name>" is inserted before it unless an auto, allow-auto or allow-hotplug line
// anywhere lists the interface. Every output line ends in a line feed. Never fails.
std::string replaceInterfaceStanza(std::string_view text, std::string_view name,
                                   QEL_Finder::InterfaceConfig const& config);
