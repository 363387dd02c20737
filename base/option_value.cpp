#include "base/option_value.h"

std::optional<std::string_view> optionValue(std::span<char const* const> args, std::size_t& i) {
    std::string_view const arg(args[i]);
    if (auto const eq = arg.find('='); eq != std::string_view::npos) {
        return arg.substr(eq + 1);
    }
    if (i + 1 < args.size()) {
        return args[++i];
    }
    return std::nullopt;
}
