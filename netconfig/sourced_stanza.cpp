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

// The interface's inet stanzas in text (file's content) and, in place of each source line, in the
// files it pulls in. Each file is read once, which also ends files that source each other; files
// that cannot be read hold nothing, as ifupdown skips a pattern that matches nothing.
void collectStanzas(fs::path const& file, std::string_view text, std::string_view name,
                    std::vector<fs::path>& seen, std::vector<InetStanza>& found) {
    for (std::string_view rest = text; !rest.empty();) {
        std::string_view const line = nextLine(rest);
        std::vector<std::string_view> const words = lineWords(line);
        if (words.empty()) {
            continue;
        }
        if (isInetStanzaHead(line, name)) {
            found.push_back({file, isDhcpStanzaHead(line, name)});
            continue;
        }
        for (fs::path const& sourced : sourcedBy(words, file.parent_path())) {
            std::string sourcedText;
            if (std::find(seen.begin(), seen.end(), sourced) != seen.end() ||
                readWholeFile(sourced, sourcedText)) {
                continue;
            }
            seen.push_back(sourced);
            collectStanzas(sourced, sourcedText, name, seen, found);
        }
    }
}

// The path that sourced files are compared with: a file that sources interfaces by another name
// reaches it again.
fs::path mainFile(fs::path const& interfaces) {
    std::error_code ec;
    fs::path const main = fs::weakly_canonical(interfaces, ec);
    return ec ? interfaces.lexically_normal() : main;
}

}  // namespace

namespace {

std::vector<InetStanza> stanzasIn(fs::path const& main, std::string_view text,
                                  std::string_view name) {
    std::vector<InetStanza> found;
    std::vector<fs::path> seen{main};
    collectStanzas(main, text, name, seen, found);
    return found;
}

std::optional<fs::path> firstSourced(fs::path const& main, std::vector<InetStanza> const& found) {
    for (InetStanza const& stanza : found) {
        if (stanza.file != main) {
            return stanza.file;
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<InetStanza> inetStanzas(fs::path const& interfaces, std::string_view name,
                                    std::error_code& unreadable) {
    std::string text;
    unreadable = readWholeFile(interfaces, text);
    if (unreadable) {
        return {};
    }
    return stanzasIn(mainFile(interfaces), text, name);
}

std::optional<fs::path> sourcedStanzaFile(fs::path const& interfaces, std::string_view name,
                                          std::error_code& unreadable) {
    return firstSourced(mainFile(interfaces), inetStanzas(interfaces, name, unreadable));
}

std::optional<fs::path> sourcedStanzaFile(fs::path const& interfaces, std::string_view text,
                                          std::string_view name) {
    fs::path const main = mainFile(interfaces);
    return firstSourced(main, stanzasIn(main, text, name));
}
