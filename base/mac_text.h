// MAC addresses as people type them: the one reader for the probe's and the test tools' arguments.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// Six two-digit hex octets separated by all ':' or all '-', either case; nullopt otherwise.
std::optional<std::array<std::uint8_t, 6>> parseMac(std::string_view text);
