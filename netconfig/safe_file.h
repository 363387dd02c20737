// Replacing a configuration file so that it is never missing or cut short, whatever fails.
#pragma once

#include <filesystem>
#include <string_view>

// The name a file is written under before a rename puts it in place: file + ".tmp".
std::filesystem::path temporaryPathFor(std::filesystem::path const& file);

// Writes content to tmp, syncs it, optionally keeps the current target as backup (a hard link,
// falling back to a synced copy, made under temporaryPathFor(backup) and renamed over the old
// backup, so neither the target nor the previous backup is ever missing or partial), renames tmp
// over target and syncs the directory. The new file, and a copied backup, get the target's
// owner, group and mode before any content. On any failure the target is untouched, tmp is
// removed, one line goes to standard error and the result is false.
bool replaceFileSafely(std::filesystem::path const& target, std::filesystem::path const& tmp,
                       std::string_view content, std::filesystem::path const* backup);
