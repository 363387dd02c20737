#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

Fd openForReading(std::filesystem::path const& file, std::error_code& ec) {
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    ec = fd ? std::error_code{} : lastError();
    return fd;
}

Fd openForWriting(std::filesystem::path const& file, std::error_code& ec) {
    Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    ec = fd ? std::error_code{} : lastError();
    return fd;
}

std::error_code readSome(int fd, std::span<char> buffer, std::size_t& got) {
    for (;;) {
        ssize_t const count = ::read(fd, buffer.data(), buffer.size());
        if (count >= 0) {
            got = static_cast<std::size_t>(count);
            return {};
        }
        if (errno != EINTR) {
            return lastError();
        }
    }
}

std::error_code readAll(Fd const& fd, std::string& out) {
    std::array<char, 4096> buffer{};
    for (;;) {
        std::size_t got = 0;
        if (std::error_code const error = readSome(fd.get(), buffer, got); error || got == 0) {
            return error;
        }
        out.append(buffer.data(), got);
    }
}

std::error_code readWholeFile(std::filesystem::path const& file, std::string& out) {
    std::error_code ec;
    Fd const fd = openForReading(file, ec);
    return fd ? readAll(fd, out) : ec;
}

std::error_code writeAll(Fd const& fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t const put = ::write(fd.get(), content.data(), content.size());
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        if (put == 0) {
            return std::make_error_code(std::errc::io_error);
        }
        content.remove_prefix(static_cast<std::size_t>(put));
    }
    return {};
}

std::error_code syncFile(Fd const& fd) {
    return ::fsync(fd.get()) == 0 ? std::error_code{} : lastError();
}

std::error_code syncDirectory(std::filesystem::path const& directory) {
    Fd const fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        return lastError();
    }
    return syncFile(fd);
}

std::error_code readFileAccess(std::filesystem::path const& file, FileAccess& access) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        return lastError();
    }
    access = {st.st_uid, st.st_gid, st.st_mode & 07777};
    return {};
}

std::error_code applyFileAccess(Fd const& fd, FileAccess const& access) {
    // Owner first: a change of owner clears set-ID bits, which the mode then puts back.
    if (::fchown(fd.get(), access.owner, access.group) != 0 ||
        ::fchmod(fd.get(), access.mode) != 0) {
        return lastError();
    }
    return {};
}
