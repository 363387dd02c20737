// The served interface as the system runs it: its flags, ifupdown's commands and its file. Behind
// one interface so that the handler's and the start-up check's logic run without a real one.
#pragma once

#include <string_view>
#include <system_error>

#include "netconfig/interface_config.h"
#include "netconfig/interfaces_file.h"

namespace QEL_Finder {

// What applying a configuration changed.
enum class ApplyOutcome {
    RestartOnly,  // the interface was restarted with the configuration it had
    Dhcp,
    Static,
    NotApplied,  // the interfaces file could not be rewritten; the old configuration came back
};

class InterfaceControl {
  public:
    virtual ~InterfaceControl() = default;

    // Reads the interface flags; the error of the failed query, flags then untouched.
    virtual std::error_code readFlags(short& flags) = 0;
    // Writes the interface flags; the error of the failed write.
    virtual std::error_code writeFlags(short flags) = 0;
    // Clears what ifupdown remembers of the interface, then runs "ifup <name>"; true when ifup
    // succeeded. A failing command has been reported on standard error.
    virtual bool bringUp() = 0;
    // "/etc/network/interfaces" as it is now, read whole.
    virtual InterfacesFileText readInterfacesFile() = 0;
    // Restarts the interface with the configuration, rewriting its stanza in fileText (the file's
    // content as read for this request); what that changed.
    virtual ApplyOutcome apply(InterfaceConfig const& config, std::string_view fileText) = 0;
    // Returns when the interface runs, or after its time-out or a failed flag read.
    virtual void waitForLink() = 0;
};

}  // namespace QEL_Finder
