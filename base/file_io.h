// The file system calls, wrapped once: results carry the system's error.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "base/fd.h"

// Who owns a file and who may read or write it.
struct FileAccess {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;  // permission bits only, set-ID and sticky bits included
    bool operator==(FileAccess const&) const = default;
};

// Opens for reading; an empty Fd and the error in ec when it cannot.
Fd openForReading(std::filesystem::path const& file, std::error_code& ec);
// Creates or truncates for writing with the default creation mode; empty Fd and ec on failure.
Fd openForWriting(std::filesystem::path const& file, std::error_code& ec);
// One read of up to buffer's size into it, again when a signal interrupted it; got is the count
// of bytes read (0 at the end). The error, or none.
std::error_code readSome(int fd, std::span<char> buffer, std::size_t& got);
// Appends everything up to the end of the file to out; the first read error, or none.
std::error_code readAll(Fd const& fd, std::string& out);
// Opens the file and appends all of it to out; the error of the open or the first read, or none.
std::error_code readWholeFile(std::filesystem::path const& file, std::string& out);
// Writes all of content, retrying short writes; the first write error, or none.
std::error_code writeAll(Fd const& fd, std::string_view content);
// Pushes the file's data to storage; the error, or none.
std::error_code syncFile(Fd const& fd);
// Makes renames and links inside the directory durable; the error, or none.
std::error_code syncDirectory(std::filesystem::path const& directory);
// The owner, group and permission bits of the file (a link followed); the error, or none.
std::error_code readFileAccess(std::filesystem::path const& file, FileAccess& access);
// Gives the open file that owner, group and mode; the error, or none.
std::error_code applyFileAccess(Fd const& fd, FileAccess const& access);
