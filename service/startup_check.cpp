#include "service/startup_check.h"

#include <net/if.h>

#include <iostream>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/file_io.h"
#include "netconfig/ifupdown_interface.h"
#include "netconfig/interfaces_file.h"
#include "netconfig/safe_file.h"

namespace fs = std::filesystem;

namespace {

bool isUp(short flags) {
    return (flags & IFF_UP) != 0;
}

// The backup's text; none when there is no backup, or after one line on standard error when it
// cannot be read (that stage then counts as failed).
std::optional<std::string> readBackup(fs::path const& backup, bool& exists) {
    std::string text;
    std::error_code const ec = readWholeFile(backup, text);
    exists = ec != std::errc::no_such_file_or_directory;
    if (ec) {
        if (exists) {
            std::cerr << "Unable to read " << backup.string() << ": " << ec.message() << std::endl;
        }
        return std::nullopt;
    }
    return text;
}

// Puts content in place of the interfaces file without the file ever going missing. A file whose
// text exists nowhere else is kept first, so that no stage loses what a user wrote. False after one
// line on standard error.
bool replaceConfig(InterfacesFiles const& files, std::string_view content,
                   std::string_view dhcpOnly, std::optional<std::string> const& backup) {
    std::string current;
    std::error_code const ec = readWholeFile(files.config, current);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        std::cerr << "Unable to read " << files.config.string() << ": " << ec.message()
                  << std::endl;
        return false;
    }
    bool const keep = !ec && current != dhcpOnly && current != backup;
    if (!replaceFileSafely(files.config, files.temporary, content, keep ? &files.kept : nullptr)) {
        return false;
    }
    if (keep) {
        std::cout << "Kept " << files.config.string() << " as " << files.kept.string() << std::endl;
    }
    return true;
}

// ifup's status tells a file it could not apply from one it did: a half-applied ifup (an "up"
// command that failed) can leave IFF_UP set without the configuration.
bool stageWorked(bool ifupSucceeded, short flags) {
    return ifupSucceeded && isUp(flags);
}

// The backup stage, then the dhcp-only stage: 0 when the interface came up, 1 after a failed
// flag query (reported), 3 when it stayed down (reported).
int recoverFromBackupOrDhcp(std::string const& name, QEL_Finder::InterfaceControl& control,
                            InterfacesFiles const& files, short& flags) {
    std::string const dhcpOnly = "auto " + name + "\n" + getDynamicInterfaceDef(name) + "\n";
    bool backupExists = false;
    std::optional<std::string> const backup = readBackup(files.backup, backupExists);
    if (!backupExists) {
        std::cout << "Interface " << name << " is down and no backupfile, trying dhcp" << std::endl;
    } else {
        if (backup && replaceConfig(files, *backup, dhcpOnly, backup)) {
            std::cout << "Interface " << name << " is down, trying backupFile" << std::endl;
            bool const ifupSucceeded = control.bringUp();
            if (std::error_code const error = control.readFlags(flags)) {
                std::cerr << error.message() << std::endl;
                return 1;
            }
            if (stageWorked(ifupSucceeded, flags)) {
                return 0;
            }
        }
        std::cout << "Interface " << name << " is down, trying dhcp" << std::endl;
    }
    // A file that cannot be written has been reported; ifup then runs on what is there.
    replaceConfig(files, dhcpOnly, dhcpOnly, backup);
    bool const ifupSucceeded = control.bringUp();
    if (!control.readFlags(flags) && stageWorked(ifupSucceeded, flags)) {
        return 0;
    }
    std::cerr << "cannot bring interface " << name << " up, aborting." << std::endl;
    return 3;
}

}  // namespace

int checkInterfaceUp(std::string const& name, QEL_Finder::InterfaceControl& control,
                     InterfacesFiles const& files) {
    removeInterruptedRewrites(files);
    short flags = 0;
    if (std::error_code const error = control.readFlags(flags)) {
        std::cerr << error.message() << " : " << name << std::endl;
        return 1;
    }
    if (isUp(flags)) {
        return 0;
    }

    // The file as it is first: the interface may simply not have been brought up yet (an
    // allow-hotplug stanza at boot), and the backup would undo the last force-IP.
    std::cout << "Interface " << name << " is down, trying interfaces file" << std::endl;
    bool const ifupSucceeded = control.bringUp();
    if (std::error_code const error = control.readFlags(flags)) {
        std::cerr << error.message() << std::endl;
        return 1;
    }
    if (!stageWorked(ifupSucceeded, flags)) {
        if (int const status = recoverFromBackupOrDhcp(name, control, files, flags); status != 0) {
            return status;
        }
    }
    if (std::error_code const error = control.writeFlags(static_cast<short>(flags | IFF_UP))) {
        std::cerr << error.message() << std::endl;
        return 1;
    }
    return 0;
}

int checkInterfaceUp(std::string const& name) {
    QEL_Finder::IfupdownInterface control(name);
    return checkInterfaceUp(name, control, interfacesFilesAt(kInterfacesFile));
}
