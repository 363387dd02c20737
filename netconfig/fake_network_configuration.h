// Test double: a NetworkConfiguration that runs nothing. It refuses what the request's own checks
// refuse (the host's interfaces files are no test's business), logs every call and answers apply
// with a set outcome.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "netconfig/config_checks.h"
#include "netconfig/network_configuration.h"

namespace QEL_Finder::testing {

class FakeNetworkConfiguration : public NetworkConfiguration {
  public:
    ApplyOutcome outcome = ApplyOutcome::Static;
    bool stanzaSaysIt = false;                            // the answer of stanzaSays
    std::function<void(InterfaceConfig const&)> onApply;  // e.g. gives the interface its address
    std::vector<std::string>* log = nullptr;              // gets "apply" and "wait NAME" when set
    std::vector<std::string> applied;   // printed configuration and name, per apply
    std::vector<std::string> refusals;  // the answer of each refusal call

    std::string refusal(InterfaceConfig const& config, std::string const&) override {
        return refusals.emplace_back(configRejection(config));
    }
    bool stanzaSays(InterfaceConfig const&, std::string const&) override { return stanzaSaysIt; }
    ApplyOutcome apply(InterfaceConfig& config, std::string const& name) override {
        std::ostringstream text;
        text << config << " on " << name;
        applied.push_back(text.str());
        note("apply");
        if (onApply) {
            onApply(config);
        }
        return outcome;
    }
    void waitForLink(std::string const& name) override { note("wait " + name); }

  private:
    void note(std::string event) {
        if (log != nullptr) {
            log->push_back(std::move(event));
        }
    }
};

}  // namespace QEL_Finder::testing
