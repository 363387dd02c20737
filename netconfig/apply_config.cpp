#include "netconfig/apply_config.h"

#include <iostream>

#include "base/command_limits.h"
#include "base/process_state.h"
#include "netconfig/interfaces_file.h"
#include "netconfig/resolver.h"
#include "netconfig/run_command.h"

QEL_Finder::ApplyOutcome initNetworkInterface(QEL_Finder::InterfaceConfig const& config,
                                              std::string name, std::string_view fileText) {
    using QEL_Finder::ApplyOutcome;
    using QEL_Finder::ForceIpKind;
    RunCommand("ifdown " + name, Verbose, ifupdownLimit());
    ApplyOutcome result = ApplyOutcome::Static;
    if (config.kind == ForceIpKind::Restart) {
        std::cout << "Restarting network service" << std::endl;
        result = ApplyOutcome::RestartOnly;
    } else if (config.kind == ForceIpKind::Dhcp) {
        std::cout << "Enabling DHCP..." << std::endl;
        // A failed rewrite has been reported and left the old file: bringing the interface
        // back up with it beats leaving it down.
        result = update_interfaces_file(config, name, fileText) ? ApplyOutcome::Dhcp
                                                                : ApplyOutcome::NotApplied;
    } else if (!update_interfaces_file(config, name, fileText)) {
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
