#include "service/startup_check.h"

#include <net/if.h>

#include <cerrno>
#include <cstring>
#include <iostream>
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

bool backupExists(fs::path const& backup) {
    std::error_code ec;
    bool const exists = fs::exists(backup, ec);
    if (ec) {
        std::cerr << "Unable to look for " << backup.string() << ": " << ec.message() << std::endl;
    }
    return exists;
}

// Puts the backup's content over the interfaces file without the file ever going missing.
// False after one line on standard error.
bool restoreBackup(InterfacesFiles const& files) {
    std::string content;
    if (std::error_code const ec = readWholeFile(files.backup, content)) {
        std::cerr << "Unable to read " << files.backup.string() << ": " << ec.message()
                  << std::endl;
        return false;
    }
    return replaceFileSafely(files.config, files.temporary, content, nullptr);
}

// Replaces the interfaces file with a dhcp stanza for this interface alone and runs ifup; a file
// that cannot be written has been reported, and the flag query that follows decides. A failed
// query keeps the previous flags, so it counts as still down.
void tryDhcpOnly(std::string const& name, InterfaceControl& control, InterfacesFiles const& files,
                 short& flags) {
    std::string const content = "auto " + name + "\n" + getDynamicInterfaceDef(name) + "\n";
    replaceFileSafely(files.config, files.temporary, content, nullptr);
    control.bringUp();
    control.readFlags(flags);
}

// A rewrite cut short by a crash or a power loss leaves its temporary files; the interfaces file
// and its backup are whole either way, and a leftover must not pass for a configuration later.
void removeInterruptedRewrites(InterfacesFiles const& files) {
    for (fs::path const& leftover : {files.temporary, temporaryPathFor(files.backup)}) {
        std::error_code ec;
        if (fs::remove(leftover, ec)) {
            std::cout << "Removed " << leftover.string() << " left by an interrupted rewrite"
                      << std::endl;
        } else if (ec) {
            std::cerr << "Unable to remove " << leftover.string() << ": " << ec.message()
                      << std::endl;
        }
    }
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

    if (!backupExists(files.backup)) {
        std::cout << "Interface " << name << " is down and no backupfile, trying dhcp" << std::endl;
        tryDhcpOnly(name, control, files, flags);
    } else {
        if (restoreBackup(files)) {
            std::cout << "Interface " << name << " is down, trying backupFile" << std::endl;
            control.bringUp();
            if (int const error = control.readFlags(flags); error != 0) {
                std::cerr << std::strerror(error) << std::endl;
                return 1;
            }
        }
        if (!isUp(flags)) {
            std::cout << "Interface " << name << " is down, trying dhcp" << std::endl;
            tryDhcpOnly(name, control, files, flags);
        }
    }

    if (!isUp(flags)) {
        std::cerr << "cannot bring interface " << name << " up, aborting." << std::endl;
        return 3;
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
