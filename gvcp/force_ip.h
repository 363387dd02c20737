// The force-IP branch of the handler, and the steps it takes on the system, replaceable so that
// the acknowledge logic can be exercised without files or restarting an interface.
#pragma once

#include <string>

#include "gvcp/request.h"
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

// For a request naming this device's MAC: refuses it, or applies it and, once the link runs,
// acknowledges it from the new address (by broadcast when asked). A copy of the last request
// carried out (same requester address, port and req_id) is only acknowledged again, as the first
// was. A request shorter than its payload is ignored with one line. Never throws; reports its own
// failures.
void answerForceIp(Request& request);

// Forgets the last request carried out, so that a copy of it runs in full (for tests).
void forgetLastForceIp();

}  // namespace QEL_Finder
