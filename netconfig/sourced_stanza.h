// Finding an interface's stanza in the files that an interfaces file pulls in with "source" and
// "source-directory" lines. The daemon rewrites only the main file, so a stanza kept elsewhere
// would survive a rewrite beside the new one.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

// The first file, other than interfaces itself, that holds the interface's inet stanza, reached
// through the source lines as ifupdown expands them (shell wildcards, paths relative to the
// directory of the file holding the line, only names of letters, digits, '_' and '-' from a
// directory); nothing when there is none. Sourced files that cannot be read count as holding
// nothing; when interfaces itself cannot be read, unreadable says why.
std::optional<std::filesystem::path> sourcedStanzaFile(std::filesystem::path const& interfaces,
                                                       std::string_view name,
                                                       std::error_code& unreadable);
