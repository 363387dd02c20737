// Replacing a configuration file so that it is never missing or cut short, whatever fails.
#pragma once

#include <filesystem>
#include <string_view>

// Writes content to tmp, syncs it, optionally keeps the current target as backup (a hard link,
// falling back to a synced copy, made under pendingBackupPath and renamed over the old backup, so
// neither the target nor the previous backup is ever missing or partial), renames tmp over
// target and syncs the directory. On any failure the target is untouched, tmp is removed, one line
// goes to standard error and the result is false. The name under which a new backup is made before
// it replaces the previous one: backup + ".tmp".
std::filesystem::path pendingBackupPath(std::filesystem::path const& backup);

bool replaceFileSafely(std::filesystem::path const& target, std::filesystem::path const& tmp,
                       std::string_view content, std::filesystem::path const* backup);
