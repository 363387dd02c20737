#include "base/text_file.h"

#include <stdexcept>

#include "base/file_io.h"

std::string readText(std::filesystem::path const& file) {
    std::string text;
    static_cast<void>(readWholeFile(file, text));
    return text;
}

void writeText(std::filesystem::path const& file, std::string const& text) {
    std::error_code ec;
    Fd fd = openForWriting(file, ec);
    if (!fd || writeAll(fd, text) || fd.close()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}
