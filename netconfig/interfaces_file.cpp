#include "netconfig/interfaces_file.h"

#include <iostream>
#include <optional>

#include "base/file_io.h"
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

// The rewrite itself, over the file's text as read.
bool replaceStanza(InterfacesFiles const& files, QEL_Finder::InterfaceConfig const& config,
                   std::string_view name, std::string_view text) {
    return replaceFileSafely(files.config, files.temporary,
                             replaceInterfaceStanza(text, name, config), &files.backup);
}

}  // namespace

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
    fs::path kept = target;
    kept += ".before-recovery";
    return {target, temporaryPathFor(target), backup, kept};
}

// The interfaces file and its backup are whole either way, and a leftover must not pass for a
// configuration later. Only what exists is removed: removing a missing file on a read-only
// /etc/network reports EROFS.
void removeInterruptedRewrites(InterfacesFiles const& files) {
    for (fs::path const& leftover :
         {files.temporary, temporaryPathFor(files.backup), temporaryPathFor(files.kept)}) {
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

bool updateInterfacesFileAt(fs::path const& file, QEL_Finder::InterfaceConfig const& config,
                            std::string_view name) {
    InterfacesFiles const files = interfacesFilesAt(file);
    std::optional<std::string> const text = readConfiguration(files.config);
    return text && replaceStanza(files, config, name, *text);
}

QEL_Finder::InterfacesFileText readInterfacesFile() {
    QEL_Finder::InterfacesFileText file;
    file.unreadable = readWholeFile(interfacesFilesAt(kInterfacesFile).config, file.text);
    if (file.unreadable) {
        file.text.clear();
    }
    return file;
}

bool update_interfaces_file(QEL_Finder::InterfaceConfig const& config, std::string name,
                            std::string_view text) {
    return replaceStanza(interfacesFilesAt(kInterfacesFile), config, name, text);
}
