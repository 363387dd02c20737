#include "net/default_gateway.h"

#include <cstdio>
#include <string>

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
    CommandPipe const pipe = readCommandOutput("ip route show");
    if (!pipe) {
        return 0;
    }
    std::string line;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe.get()) != nullptr) {
        line += chunk;
        if (line.back() != '\n' && !std::feof(pipe.get())) {
            continue;
        }
        if (isDefaultRouteLine(line)) {
            // Only the first default route counts, whether or not its address is usable.
            return gatewayFromRouteLine(line);
        }
        line.clear();
    }
    return 0;
}

}  // namespace QEL_Finder
