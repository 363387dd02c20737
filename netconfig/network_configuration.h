// What a force-IP does to the system, behind one interface so that the handler's logic can be
// exercised without files, commands or a real interface.
#pragma once

#include <string>

#include "netconfig/interface_config.h"

namespace QEL_Finder {

// What applying a configuration changed.
enum class ApplyOutcome {
    RestartOnly,  // the interface was restarted with the configuration it had
    Dhcp,
    Static,
    NotApplied,  // the interfaces file could not be rewritten; the old configuration came back
};

class NetworkConfiguration {
  public:
    virtual ~NetworkConfiguration() = default;

    // Why the configuration must be refused before anything changes (one line), or empty.
    virtual std::string refusal(InterfaceConfig const& config, std::string const& name) = 0;
    // True when the interface's stanza already says what the configuration asks (see stanzaSays).
    virtual bool stanzaSays(InterfaceConfig const& config, std::string const& name) = 0;
    // Restarts the interface with the configuration; what that changed.
    virtual ApplyOutcome apply(InterfaceConfig& config, std::string const& name) = 0;
    // Returns when the interface runs, or after its time-out or a failed flag read.
    virtual void waitForLink(std::string const& name) = 0;
};

// The system's: forceIpRefusal, interfacesFileSays, initNetworkInterface (ifupdown) and
// waitForLink.
class IfupdownConfiguration final : public NetworkConfiguration {
  public:
    std::string refusal(InterfaceConfig const& config, std::string const& name) override;
    bool stanzaSays(InterfaceConfig const& config, std::string const& name) override;
    ApplyOutcome apply(InterfaceConfig& config, std::string const& name) override;
    void waitForLink(std::string const& name) override;
};

}  // namespace QEL_Finder
