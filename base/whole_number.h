// Whole numbers written in decimal, all of the text and nothing else, for every reader of numbers
// in options and environment values.
#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>

template <std::integral Number>
std::optional<Number> parseWholeNumber(std::string_view text) {
    Number value{};
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}
