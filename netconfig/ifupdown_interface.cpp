#include "netconfig/ifupdown_interface.h"

#include <utility>

#include "base/command_limits.h"
#include "base/interface_flags.h"
#include "netconfig/apply_config.h"
#include "netconfig/link_wait.h"
#include "netconfig/run_command.h"

namespace QEL_Finder {

IfupdownInterface::IfupdownInterface(std::string name) : name_(std::move(name)) {}

Fd const& IfupdownInterface::query() {
    if (!query_ && !socketError_) {
        query_ = openInterfaceQuery(socketError_);
    }
    return query_;
}

std::error_code IfupdownInterface::readFlags(short& flags) {
    return query() ? readInterfaceFlags(query_, name_, flags) : socketError_;
}

std::error_code IfupdownInterface::writeFlags(short flags) {
    return query() ? writeInterfaceFlags(query_, name_, flags) : socketError_;
}

bool IfupdownInterface::bringUp() {
    // A link set down behind ifupdown's back (ip link, a re-probed NIC) leaves it believing the
    // interface is configured, and ifup then does nothing. Its complaints about addresses and
    // routes that are already gone are noise here.
    RunCommand("ifdown --force " + name_ + " >/dev/null 2>&1", false, ifupdownLimit());
    return RunCommand("ifup " + name_, false, ifupdownLimit());
}

InterfacesFileText IfupdownInterface::readInterfacesFile() {
    return ::readInterfacesFile();
}

ApplyOutcome IfupdownInterface::apply(InterfaceConfig const& config, std::string_view fileText) {
    return initNetworkInterface(config, name_, fileText);
}

void IfupdownInterface::waitForLink() {
    QEL_Finder::waitForLink(name_);
}

}  // namespace QEL_Finder
