// The value of a command-line option, for the programs' own option readers.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

// The value of the option at args[i]: the text after "=" in "--name=value", or else the next
// argument (i then moves to it); none when there is no next argument.
std::optional<std::string_view> optionValue(std::span<char const* const> args, std::size_t& i);
