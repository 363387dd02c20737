#include "base/session_kill.h"

#include <signal.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/file_io.h"
#include "base/whole_number.h"

namespace {

// A member's group once it has not yet ended: none for a zombie, another session's process or
// one that is gone.
std::optional<pid_t> liveGroupIn(std::string const& pid, pid_t session) {
    std::string stat;
    if (readWholeFile("/proc/" + pid + "/stat", stat)) {
        return std::nullopt;
    }
    // "PID (COMM) STATE PPID PGRP SESSION ...": the command name may hold spaces and brackets.
    std::size_t const end = stat.rfind(") ");
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string_view rest = std::string_view(stat).substr(end + 2);
    std::array<std::string_view, 4> fields{};
    for (std::string_view& field : fields) {
        std::size_t const space = rest.find(' ');
        field = rest.substr(0, space);
        rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
    }
    if (fields[0] == "Z" || parseWholeNumber<pid_t>(fields[3]) != session) {
        return std::nullopt;
    }
    return parseWholeNumber<pid_t>(fields[2]);
}

// The groups of the session's live members.
std::set<pid_t> liveGroups(pid_t session) {
    std::set<pid_t> groups;
    std::error_code error;
    for (auto const& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::string const name = entry.path().filename().string();
        if (!parseWholeNumber<pid_t>(name)) {
            continue;
        }
        if (std::optional<pid_t> const group = liveGroupIn(name, session)) {
            groups.insert(*group);
        }
    }
    return groups;
}

}  // namespace

void killSession(pid_t session) {
    // The leader's own group first: the shell and what it runs in the foreground stop forking.
    static_cast<void>(::kill(-session, SIGKILL));
    // A member forks until its SIGKILL lands, its child perhaps into a group of its own.
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) {
        std::set<pid_t> const groups = liveGroups(session);
        if (groups.empty()) {
            return;
        }
        for (pid_t const group : groups) {
            static_cast<void>(::kill(-group, SIGKILL));
        }
        // A killed process shows until the kernel has run it to its end.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
