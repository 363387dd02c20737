// The steps of a force-IP that look at or act on the system, replaceable so that the
// acknowledgement logic can be exercised without files or restarting an interface.
#pragma once

#include <string>

#include "netconfig/interface_config.h"

namespace QEL_Finder {

struct ForceIpSteps {
    // Why the request must be refused before anything changes (one line), or empty.
    std::string (*refusal)(InterfaceConfig const& config, std::string const& name);
    // Applies the configuration: 0 restart only, 1 dhcp, 2 static, kNotApplied when the
    // interfaces file could not be rewritten.
    int (*applyConfig)(InterfaceConfig& config, std::string name);
    // Returns when the interface runs, or after its time-out or a failed flag read.
    void (*waitForLink)(std::string const& interfaceName);
};

// The steps in use: forceIpRefusal, initNetworkInterface and waitForLink unless replaced.
ForceIpSteps const& forceIpSteps();

// Installs other steps (for tests) and returns the ones they replace.
ForceIpSteps replaceForceIpSteps(ForceIpSteps steps);

}  // namespace QEL_Finder
