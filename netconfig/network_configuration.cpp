#include "netconfig/network_configuration.h"

#include "netconfig/apply_config.h"
#include "netconfig/config_checks.h"
#include "netconfig/link_wait.h"
#include "netconfig/stanza_in_force.h"

namespace QEL_Finder {

std::string IfupdownConfiguration::refusal(InterfaceConfig const& config, std::string const& name) {
    return forceIpRefusal(config, name);
}

bool IfupdownConfiguration::stanzaSays(InterfaceConfig const& config, std::string const& name) {
    return interfacesFileSays(config, name);
}

ApplyOutcome IfupdownConfiguration::apply(InterfaceConfig& config, std::string const& name) {
    return initNetworkInterface(config, name);
}

void IfupdownConfiguration::waitForLink(std::string const& name) {
    QEL_Finder::waitForLink(name);
}

}  // namespace QEL_Finder
