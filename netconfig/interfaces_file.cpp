#include "netconfig/interfaces_file.h"

#include <iostream>
#include <optional>

#include "base/file_io.h"
#include "base/ipv4_address.h"
#include "netconfig/safe_file.h"
#include "netconfig/stanza_scan.h"

namespace fs = std::filesystem;

namespace {

// The whole file, or nothing after one line on standard error: a file read only in part must
// never be written back shortened.
std::optional<std::string> readConfiguration(fs::path const& file) {
    std::error_code ec;
    Fd const fd = openForReading(file, ec);
    if (!fd) {
        std::cerr << "Unable to open configuration file " << file.string() << std::endl;
        return std::nullopt;
    }
    std::string text;
    ec = readAll(fd, text);
    if (ec) {
        std::cerr << "Unable to read configuration file " << file.string() << ": " << ec.message()
                  << std::endl;
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::string getDynamicInterfaceDef(std::string_view name) {
    std::string stanza = "iface ";
    stanza += name;
    stanza += " inet dhcp\n";
    return stanza;
}

std::string getStaticInterfaceDef(QEL_Finder::InterfaceConfig const& config,
                                  std::string_view name) {
    std::string stanza = "iface ";
    stanza += name;
    stanza += " inet static";
    stanza += "\n  address " + formatIpv4(*config.address);
    stanza += "\n  netmask " + formatIpv4(*config.netmask);
    if (*config.gateway != 0) {
        stanza += "\n  gateway " + formatIpv4(*config.gateway);
    }
    stanza += '\n';
    return stanza;
}

InterfacesFiles interfacesFilesAt(fs::path const& file) {
    std::error_code ec;
    fs::path target = file;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        target = fs::canonical(file, ec);
        if (ec) {
            target = file;
        }
    }
    fs::path backup = target;
    backup += ".bak";
    return {target, temporaryPathFor(target), backup};
}

bool updateInterfacesFileAt(fs::path const& file, QEL_Finder::InterfaceConfig const& config,
                            std::string_view name) {
    InterfacesFiles const files = interfacesFilesAt(file);
    std::optional<std::string> const text = readConfiguration(files.config);
    if (!text) {
        return false;
    }
    std::string const stanza = *config.address == QEL_Finder::kDhcpAddress
                                   ? getDynamicInterfaceDef(name)
                                   : getStaticInterfaceDef(config, name);
    return replaceFileSafely(files.config, files.temporary,
                             replaceInterfaceStanza(*text, name, stanza), &files.backup);
}

bool update_interfaces_file(QEL_Finder::InterfaceConfig& config, std::string name) {
    static fs::path const interfacesFile = kInterfacesFile;
    return updateInterfacesFileAt(interfacesFile, config, name);
}
