// Replacing a configuration file so that it is never missing or cut short, whatever fails.
#pragma once

#include <filesystem>
#include <string_view>

// Writes content to tmp, syncs it, optionally keeps the current target as backup (a hard link,
// falling back to a copy, so the target never disappears), renames tmp over target and syncs
// the directory. On any failure the target is untouched, tmp is removed, one line goes to
// standard error and the result is false.
bool replaceFileSafely(std::filesystem::path const& target, std::filesystem::path const& tmp,
                       std::string_view content, std::filesystem::path const* backup);
