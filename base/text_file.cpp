#include "base/text_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

std::string readText(std::filesystem::path const& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(std::filesystem::path const& file, std::string const& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}
