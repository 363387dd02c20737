// Test helpers: a forked child in a private mount namespace for cases that must mount over paths
// without touching the host's.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

struct ChildResult {
    int status = -1;  // the body's return value, or -1 when the child died otherwise
    std::string out;  // what the child wrote on standard output
    std::string err;  // and on standard error
};

// Runs body in a forked child inside its own mount namespace (mounts made there vanish with it),
// capturing both output streams in files under scratch. Nothing when not root or when the
// namespace cannot be made; the caller skips then.
std::optional<ChildResult> runInPrivateMounts(std::filesystem::path const& scratch,
                                              std::function<int()> const& body);

// Bind-mounts source over target (read-only on request); false with errno set on failure.
bool bindMount(std::filesystem::path const& source, std::filesystem::path const& target,
               bool readOnly);
