#include "netconfig/sourced_stanza.h"

#include <glob.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "netconfig/stanza_scan.h"

namespace fs = std::filesystem;

namespace {

// The paths a pattern of a source line names, in sorted order.
std::vector<fs::path> expand(std::string_view pattern, fs::path const& directory) {
    fs::path const full = pattern.starts_with('/') ? fs::path(pattern) : directory / pattern;
    std::vector<fs::path> paths;
    glob_t found{};
    if (glob(full.c_str(), 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) {
            std::error_code ec;
            fs::path const path = fs::weakly_canonical(found.gl_pathv[i], ec);
            paths.push_back(ec ? fs::path(found.gl_pathv[i]).lexically_normal() : path);
        }
    }
    globfree(&found);
    return paths;
}

bool isSourcedName(std::string const& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
}

std::vector<fs::path> directoryFiles(fs::path const& directory) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_entry const& entry : fs::directory_iterator(directory, ec)) {
        if (isSourcedName(entry.path().filename().string())) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The files one source line pulls in.
std::vector<fs::path> sourcedBy(std::vector<std::string_view> const& words,
                                fs::path const& directory) {
    std::vector<fs::path> files;
    bool const wholeDirectories = words[0] == "source-directory" || words[0] == "source-dir";
    if (words[0] != "source" && !wholeDirectories) {
        return files;
    }
    for (std::size_t i = 1; i < words.size(); ++i) {
        for (fs::path const& path : expand(words[i], directory)) {
            if (!wholeDirectories) {
                files.push_back(path);
                continue;
            }
            for (fs::path const& file : directoryFiles(path)) {
                files.push_back(file);
            }
        }
    }
    return files;
}

std::optional<fs::path> findStanza(fs::path const& file, std::string_view text,
                                   std::string_view name, std::vector<fs::path>& seen);

// A sourced file that can be read and has not been read before; each file is read once, which
// also ends files that source each other.
std::optional<fs::path> findInSourced(fs::path const& file, std::string_view name,
                                      std::vector<fs::path>& seen) {
    std::string text;
    if (std::find(seen.begin(), seen.end(), file) != seen.end() || readWholeFile(file, text)) {
        return std::nullopt;
    }
    seen.push_back(file);
    for (std::string_view rest = text; !rest.empty();) {
        if (isInetStanzaHead(nextLine(rest), name)) {
            return file;
        }
    }
    return findStanza(file, text, name, seen);
}

// The first sourced file, through the source lines of text (file's content), that holds the stanza.
std::optional<fs::path> findStanza(fs::path const& file, std::string_view text,
                                   std::string_view name, std::vector<fs::path>& seen) {
    std::string_view rest = text;
    while (!rest.empty()) {
        std::string_view const line = nextLine(rest);
        std::vector<std::string_view> const words = lineWords(line);
        if (words.empty()) {
            continue;
        }
        for (fs::path const& sourced : sourcedBy(words, file.parent_path())) {
            if (auto found = findInSourced(sourced, name, seen)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<fs::path> sourcedStanzaFile(fs::path const& interfaces, std::string_view name,
                                          std::error_code& unreadable) {
    std::string text;
    unreadable = readWholeFile(interfaces, text);
    if (unreadable) {
        return std::nullopt;
    }
    std::error_code ec;
    fs::path const main = fs::weakly_canonical(interfaces, ec);
    fs::path const start = ec ? interfaces.lexically_normal() : main;
    // Not seen.front(): the search grows seen, which would leave that reference dangling.
    std::vector<fs::path> seen{start};
    return findStanza(start, text, name, seen);
}
