#include "netconfig/apply_config.h"

#include <iostream>

#include "base/process_state.h"
#include "netconfig/interfaces_file.h"
#include "netconfig/resolver.h"
#include "netconfig/run_command.h"

int initNetworkInterface(QEL_Finder::InterfaceConfig& config, std::string name) {
    RunCommand("ifdown " + name, Verbose);
    int result = 2;
    if (*config.address == QEL_Finder::kRestartOnly) {
        std::cout << "Restarting network service" << std::endl;
        result = 0;
    } else if (*config.address == QEL_Finder::kDhcpAddress) {
        std::cout << "Enabling DHCP..." << std::endl;
        // A failed rewrite has been reported and left the old file: bringing the interface
        // back up with it beats leaving it down.
        result = update_interfaces_file(config, name) ? 1 : kNotApplied;
    } else if (!update_interfaces_file(config, name)) {
        // The old configuration stays, and so do the resolver and IPv6 settings that go with it.
        result = kNotApplied;
    } else {
        if (*config.gateway != 0) {
            RunCommand(std::string("echo 'nameserver ") + kPublicResolver + "' > /etc/resolv.conf",
                       false);
        }
        // Mode 0 derives the link-local IPv6 address from the MAC, so it survives restarts.
        RunCommand("sysctl -w net.ipv6.conf." + name + ".addr_gen_mode=0", false);
    }
    if (Verbose) {
        std::cout << "ifup " << name << std::endl;
    }
    RunCommand("ifup " + name, Verbose);
    return result;
}
