// Finding an interface's inet stanzas where ifupdown finds them: in an interfaces file and the
// files it pulls in with "source" and "source-directory" lines. The daemon rewrites only the main
// file, so a stanza kept elsewhere would survive a rewrite beside the new one.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

// One "iface <name> inet <method>" line and the file that holds it.
struct InetStanza {
    std::filesystem::path file;
    bool dhcp;
};

// The interface's inet stanzas in the order ifupdown reads them: each source line's files read in
// its place, expanded as ifupdown expands them (shell wildcards, paths relative to the directory
// of the file holding the line, only names of letters, digits, '_' and '-' from a directory).
// Sourced files that cannot be read hold nothing; when interfaces itself cannot be read, none,
// and unreadable says why.
std::vector<InetStanza> inetStanzas(std::filesystem::path const& interfaces, std::string_view name,
                                    std::error_code& unreadable);

// The first file, other than interfaces itself, that holds one of the interface's inet stanzas;
// nothing when there is none or interfaces cannot be read (unreadable then says why).
std::optional<std::filesystem::path> sourcedStanzaFile(std::filesystem::path const& interfaces,
                                                       std::string_view name,
                                                       std::error_code& unreadable);

// The same for interfaces whose text has been read already: only the files it sources are read.
std::optional<std::filesystem::path> sourcedStanzaFile(std::filesystem::path const& interfaces,
                                                       std::string_view text,
                                                       std::string_view name);
