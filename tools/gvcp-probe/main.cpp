// gvcp-probe: the PC side of discovery and force-IP, for people and for test scripts.
#include <unistd.h>

#include <iostream>
#include <span>

#include "tools/gvcp-probe/probe_commands.h"

int main(int argc, char** argv) {
    std::span<char const* const> const args(argv + 1, static_cast<std::size_t>(argc - 1));
    auto const display =
        ::isatty(STDOUT_FILENO) == 1 ? gvcp_probe::Display::Terminal : gvcp_probe::Display::Lines;
    return gvcp_probe::runProbe(args, std::cout, std::cerr, display);
}
