#include "netconfig/safe_file.h"

#include <iostream>
#include <optional>
#include <system_error>
#include <utility>

#include "base/file_io.h"

namespace fs = std::filesystem;

namespace {

// Writes and syncs the whole of content, then closes; the first error, or none.
std::error_code writeDurably(Fd fd, std::string_view content) {
    std::error_code ec = writeAll(fd, content);
    if (!ec) {
        ec = syncFile(fd);
    }
    std::error_code const closed = fd.close();
    return ec ? ec : closed;
}

void dropTemporary(fs::path const& tmp) {
    std::error_code ignored;
    fs::remove(tmp, ignored);
}

// A synced copy of source at copy, with source's owner, group and mode; the first error, or none.
std::error_code copyDurably(fs::path const& source, fs::path const& copy,
                            std::optional<FileAccess> const& access) {
    std::string content;
    std::error_code ec = readWholeFile(source, content);
    if (ec) {
        return ec;
    }
    Fd out = openForWriting(copy, ec);
    if (out && access) {
        ec = applyFileAccess(out, *access);
    }
    return out && !ec ? writeDurably(std::move(out), content) : ec;
}

// The target's present content under the backup name, while the target itself stays in place.
// The new backup is made under a name of its own and renamed over the old one, so a failure (a
// full disk, a copy cut short) leaves the previous backup whole, never missing or truncated.
std::error_code keepBackup(fs::path const& target, fs::path const& backup,
                           std::optional<FileAccess> const& access) {
    fs::path const pending = temporaryPathFor(backup);
    std::error_code ec;
    fs::remove(pending, ec);
    if (ec) {
        return ec;
    }
    fs::create_hard_link(target, pending, ec);
    if (ec) {
        // Some file systems (and immutable targets) refuse hard links; a copy keeps the same text.
        ec = copyDurably(target, pending, access);
    }
    if (!ec) {
        fs::rename(pending, backup, ec);
    }
    if (ec) {
        dropTemporary(pending);
    }
    return ec;
}

}  // namespace

fs::path temporaryPathFor(fs::path const& file) {
    fs::path temporary = file;
    temporary += ".tmp";
    return temporary;
}

bool replaceFileSafely(fs::path const& target, fs::path const& tmp, std::string_view content,
                       fs::path const* backup) {
    // The replacement keeps who may read the file: an interfaces file may hold a Wi-Fi key.
    std::optional<FileAccess> access;
    FileAccess current;
    if (std::error_code const ec = readFileAccess(target, current); !ec) {
        access = current;
    } else if (ec != std::errc::no_such_file_or_directory) {
        std::cerr << "Unable to read the owner and mode of " << target.string() << ": "
                  << ec.message() << std::endl;
        return false;
    }
    std::error_code ec;
    Fd fd = openForWriting(tmp, ec);
    if (!fd) {
        std::cerr << "Unable to open configuration file " << tmp.string() << " for writing"
                  << std::endl;
        return false;
    }
    if (access) {
        if (std::error_code const applied = applyFileAccess(fd, *access)) {
            dropTemporary(tmp);
            std::cerr << "Unable to give " << tmp.string() << " the owner and mode of "
                      << target.string() << ": " << applied.message() << std::endl;
            return false;
        }
    }
    if (std::error_code const written = writeDurably(std::move(fd), content)) {
        dropTemporary(tmp);
        std::cerr << "Unable to write " << tmp.string() << ": " << written.message() << std::endl;
        return false;
    }
    if (backup != nullptr) {
        if (std::error_code const kept = keepBackup(target, *backup, access)) {
            dropTemporary(tmp);
            std::cerr << "Unable to keep " << target.string() << " as " << backup->string() << ": "
                      << kept.message() << std::endl;
            return false;
        }
    }
    fs::rename(tmp, target, ec);
    if (ec) {
        dropTemporary(tmp);
        std::cerr << "Unable to rename " << tmp.string() << " to " << target.string() << ": "
                  << ec.message() << std::endl;
        return false;
    }
    fs::path const directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (std::error_code const synced = syncDirectory(directory)) {
        // The new file is already in place and will be read; only its durability across a power
        // loss is in doubt, so this is reported but not turned into a failure.
        std::cerr << "Unable to sync directory " << directory.string() << ": " << synced.message()
                  << std::endl;
    }
    return true;
}
