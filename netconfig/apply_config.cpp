#include "netconfig/apply_config.h"

#include <iostream>

#include "base/command_limits.h"
#include "base/process_state.h"
#include "netconfig/interfaces_file.h"
#include "netconfig/resolver.h"
#include "netconfig/run_command.h"

QEL_Finder::ApplyOutcome initNetworkInterface(QEL_Finder::InterfaceConfig& config,
                                              std::string name) {
    using QEL_Finder::ApplyOutcome;
    RunCommand("ifdown " + name, Verbose, ifupdownLimit());
    ApplyOutcome result = ApplyOutcome::Static;
    if (*config.address == QEL_Finder::kRestartOnly) {
        std::cout << "Restarting network service" << std::endl;
        result = ApplyOutcome::RestartOnly;
    } else if (*config.address == QEL_Finder::kDhcpAddress) {
        std::cout << "Enabling DHCP..." << std::endl;
        // A failed rewrite has been reported and left the old file: bringing the interface
        // back up with it beats leaving it down.
        result =
            update_interfaces_file(config, name) ? ApplyOutcome::Dhcp : ApplyOutcome::NotApplied;
    } else if (!update_interfaces_file(config, name)) {
        // The old configuration stays, and so do the resolver and IPv6 settings that go with it.
        result = ApplyOutcome::NotApplied;
    } else {
        if (*config.gateway != 0) {
            RunCommand(std::string("echo 'nameserver ") + kPublicResolver + "' > /etc/resolv.conf",
                       false, kQueryLimit);
        }
        // Mode 0 derives the link-local IPv6 address from the MAC, so it survives restarts.
        RunCommand("sysctl -w net.ipv6.conf." + name + ".addr_gen_mode=0", false, kQueryLimit);
    }
    if (Verbose) {
        std::cout << "ifup " << name << std::endl;
    }
    RunCommand("ifup " + name, Verbose, ifupdownLimit());
    return result;
}
