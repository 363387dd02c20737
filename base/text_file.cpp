#include "base/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "base/fd.h"

std::string readText(std::filesystem::path const& file) {
    Fd const fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (!fd) {
        return text;
    }
    char buffer[4096];
    for (;;) {
        ssize_t const count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

void writeText(std::filesystem::path const& file, std::string const& text) {
    Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    std::size_t written = 0;
    while (fd && written < text.size()) {
        ssize_t const count = ::write(fd.get(), text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    if (!fd || written < text.size() || fd.close()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}
