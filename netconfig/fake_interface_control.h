// Test double: an InterfaceControl that runs nothing. Its file text, flag reads and bring-ups are
// what the test sets; it logs every apply and answers it with a set outcome.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "netconfig/interface_control.h"

namespace QEL_Finder::testing {

class FakeInterfaceControl : public InterfaceControl {
  public:
    explicit FakeInterfaceControl(std::string name = "eth0") : name_(std::move(name)) {}

    ApplyOutcome outcome = ApplyOutcome::Static;
    InterfacesFileText file;                              // what readInterfacesFile answers
    std::function<void(InterfaceConfig const&)> onApply;  // e.g. gives the interface its address
    std::function<std::error_code(short&)> onReadFlags;   // none: flags 0
    std::function<bool()> onBringUp;                      // none: ifup succeeds
    std::vector<std::string>* log = nullptr;              // gets "apply" and "wait NAME" when set
    std::vector<std::string> applied;       // printed configuration and name, per apply
    std::vector<std::string> appliedTexts;  // the file text each apply was given
    std::vector<short> written;             // each writeFlags
    std::error_code writeError;             // what writeFlags answers
    int fileReads = 0;

    std::error_code readFlags(short& flags) override {
        if (onReadFlags) {
            return onReadFlags(flags);
        }
        flags = 0;
        return {};
    }
    std::error_code writeFlags(short flags) override {
        written.push_back(flags);
        return writeError;
    }
    bool bringUp() override { return !onBringUp || onBringUp(); }
    InterfacesFileText readInterfacesFile() override {
        ++fileReads;
        return file;
    }
    ApplyOutcome apply(InterfaceConfig const& config, std::string_view fileText) override {
        std::ostringstream text;
        text << config << " on " << name_;
        applied.push_back(text.str());
        appliedTexts.emplace_back(fileText);
        note("apply");
        if (onApply) {
            onApply(config);
        }
        return outcome;
    }
    void waitForLink() override { note("wait " + name_); }

  private:
    void note(std::string event) {
        if (log != nullptr) {
            log->push_back(std::move(event));
        }
    }

    std::string name_;
};

}  // namespace QEL_Finder::testing
