#include "service/startup_check.h"

#include <net/if.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/file_io.h"
#include "netconfig/interfaces_file.h"
#include "netconfig/safe_file.h"
#include "service/ioctl_interface_control.h"

namespace fs = std::filesystem;

namespace {

bool isUp(short flags) {
    return (flags & IFF_UP) != 0;
}

// Where a stage keeps the interfaces file it replaces.
fs::path keptPathFor(InterfacesFiles const& files) {
    fs::path kept = files.config;
    kept += ".before-recovery";
    return kept;
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
    fs::path const kept = keptPathFor(files);
    if (!replaceFileSafely(files.config, files.temporary, content, keep ? &kept : nullptr)) {
        return false;
    }
    if (keep) {
        std::cout << "Kept " << files.config.string() << " as " << kept.string() << std::endl;
    }
    return true;
}

// ifup's status tells a file it could not apply from one it did: a half-applied ifup (an "up"
// command that failed) can leave IFF_UP set without the configuration.
bool stageWorked(bool ifupSucceeded, short flags) {
    return ifupSucceeded && isUp(flags);
}

// A rewrite cut short by a crash or a power loss leaves its temporary files; the interfaces file
// and its backup are whole either way, and a leftover must not pass for a configuration later.
// Only what exists is removed: removing a missing file on a read-only /etc/network reports EROFS.
void removeInterruptedRewrites(InterfacesFiles const& files) {
    for (fs::path const& leftover :
         {files.temporary, temporaryPathFor(files.backup), temporaryPathFor(keptPathFor(files))}) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(leftover, ec))) {
            continue;
        }
        if (fs::remove(leftover, ec)) {
            std::cout << "Removed " << leftover.string() << " left by an interrupted rewrite"
                      << std::endl;
        } else if (ec) {
            std::cerr << "Unable to remove " << leftover.string() << ": " << ec.message()
                      << std::endl;
        }
    }
}

// The backup stage, then the dhcp-only stage: 0 when the interface came up, 1 after a failed
// flag query (reported), 3 when it stayed down (reported).
int recoverFromBackupOrDhcp(std::string const& name, InterfaceControl& control,
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
            if (int const error = control.readFlags(flags); error != 0) {
                std::cerr << std::strerror(error) << std::endl;
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
    if (control.readFlags(flags) == 0 && stageWorked(ifupSucceeded, flags)) {
        return 0;
    }
    std::cerr << "cannot bring interface " << name << " up, aborting." << std::endl;
    return 3;
}

}  // namespace

int checkInterfaceUp(std::string const& name, InterfaceControl& control,
                     InterfacesFiles const& files) {
    removeInterruptedRewrites(files);
    short flags = 0;
    if (int const error = control.readFlags(flags); error != 0) {
        std::cerr << std::strerror(error) << " : " << name << std::endl;
        return 1;
    }
    if (isUp(flags)) {
        return 0;
    }

    // The file as it is first: the interface may simply not have been brought up yet (an
    // allow-hotplug stanza at boot), and the backup would undo the last force-IP.
    std::cout << "Interface " << name << " is down, trying interfaces file" << std::endl;
    bool const ifupSucceeded = control.bringUp();
    if (int const error = control.readFlags(flags); error != 0) {
        std::cerr << std::strerror(error) << std::endl;
        return 1;
    }
    if (!stageWorked(ifupSucceeded, flags)) {
        if (int const status = recoverFromBackupOrDhcp(name, control, files, flags); status != 0) {
            return status;
        }
    }
    if (int const error = control.writeFlags(static_cast<short>(flags | IFF_UP)); error != 0) {
        std::cerr << std::strerror(error) << std::endl;
        return 1;
    }
    return 0;
}

int checkInterfaceUp(std::string const& name) {
    IoctlInterfaceControl control(name);
    return checkInterfaceUp(name, control, interfacesFilesAt(kInterfacesFile));
}
