#include "net/default_gateway.h"

#include <string>
#include <variant>

#include "base/command_limits.h"
#include "base/ipv4_address.h"
#include "base/shell_command.h"

namespace QEL_Finder {

namespace {

constexpr std::string_view kDefaultVia = "default via ";

}  // namespace

bool isDefaultRouteLine(std::string_view line) {
    return line.find("default via") != std::string_view::npos &&
           line.find("dev") != std::string_view::npos;
}

unsigned int gatewayFromRouteLine(std::string_view line) {
    if (!line.starts_with(kDefaultVia)) {
        return 0;
    }
    std::string_view rest = line.substr(kDefaultVia.size());
    return parseIpv4(rest.substr(0, rest.find_first_of(" \t\n"))).value_or(0);
}

unsigned int readDefaultGateway() {
    auto const routes = readCommandOutput("ip route show", kQueryLimit);
    auto const* output = std::get_if<CommandOutput>(&routes);
    if (output == nullptr) {
        return 0;
    }
    std::string_view rest = output->text;
    while (!rest.empty()) {
        std::string_view const line = rest.substr(0, rest.find('\n') + 1);
        if (isDefaultRouteLine(line)) {
            // Only the first default route counts, whether or not its address is usable.
            return gatewayFromRouteLine(line);
        }
        rest.remove_prefix(line.size());
    }
    return 0;
}

}  // namespace QEL_Finder
