// Whole numbers written in decimal, all of the text and nothing else, for every reader of numbers
// in options, arguments and environment values.
#pragma once

#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>

// The number the text is; nullopt for anything else (a sign other than '-', spaces, other
// characters, a value the type cannot hold).
template <std::integral Number>
std::optional<Number> parseWholeNumber(std::string_view text) {
    Number value{};
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The same, from min to max; nullopt outside.
template <std::integral Number>
std::optional<Number> parseWholeNumber(std::string_view text, Number min, Number max) {
    std::optional<Number> const value = parseWholeNumber<Number>(text);
    if (!value || *value < min || *value > max) {
        return std::nullopt;
    }
    return value;
}
