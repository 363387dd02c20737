// Rewriting the served interface's stanza in "/etc/network/interfaces".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "netconfig/interface_config.h"
#include "netconfig/stanza_text.h"

// ifupdown's configuration, the one file the daemon rewrites.
inline constexpr char kInterfacesFile[] = "/etc/network/interfaces";

// An interfaces file and the names a rewrite and the start-up recovery use beside it.
struct InterfacesFiles {
    std::filesystem::path config;
    std::filesystem::path temporary;  // written and renamed over config, never left behind
    std::filesystem::path backup;     // the configuration before the last rewrite
    std::filesystem::path kept;       // a file the start-up recovery replaced
};

// file, file + ".tmp", file + ".bak", file + ".before-recovery"; when file is a symbolic link (a
// read-only root keeps the file on a data partition), the same names at its final target, so a
// rewrite keeps the link and replaces the file that persists. A link that cannot be followed gives
// file's own names.
InterfacesFiles interfacesFilesAt(std::filesystem::path const& file);

namespace QEL_Finder {

// The interfaces file as read for one force-IP: what is judged is what is rewritten.
struct InterfacesFileText {
    std::string text;
    std::error_code unreadable;  // set when it could not be read whole; text is then empty
};

}  // namespace QEL_Finder

// Removes the temporary files a rewrite cut short by a crash or a power loss leaves beside files
// (each that exists), one line on standard output for each removed, on standard error for each
// that cannot be.
void removeInterruptedRewrites(InterfacesFiles const& files);

// "/etc/network/interfaces" (at the final target of a link), read whole.
QEL_Finder::InterfacesFileText readInterfacesFile();

// Replaces the interface's inet stanza in text, the interfaces file's content, with the stanza
// config asks for, keeping the previous file as ".bak". False, with the configuration file
// untouched, after one line on standard error when anything fails.
bool update_interfaces_file(QEL_Finder::InterfaceConfig const& config, std::string name,
                            std::string_view text);

// The same rewrite of the interfaces file at any path (tests use temporary directories): uses
// file + ".tmp" and keeps file + ".bak". False, with the file untouched, after one line on
// standard error when anything fails.
bool updateInterfacesFileAt(std::filesystem::path const& file,
                            QEL_Finder::InterfaceConfig const& config, std::string_view name);
