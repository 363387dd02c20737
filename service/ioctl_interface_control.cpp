#include "service/ioctl_interface_control.h"

#include <utility>

#include "base/command_limits.h"
#include "net/interface_flags.h"
#include "netconfig/run_command.h"

IoctlInterfaceControl::IoctlInterfaceControl(std::string name)
    : name_(std::move(name)), query_(QEL_Finder::openInterfaceQuery(socketError_)) {}

int IoctlInterfaceControl::readFlags(short& flags) {
    if (!query_) {
        return socketError_.value();
    }
    return QEL_Finder::readInterfaceFlags(query_, name_, flags).value();
}

int IoctlInterfaceControl::writeFlags(short flags) {
    if (!query_) {
        return socketError_.value();
    }
    return QEL_Finder::writeInterfaceFlags(query_, name_, flags).value();
}

bool IoctlInterfaceControl::bringUp() {
    // A link set down behind ifupdown's back (ip link, a re-probed NIC) leaves it believing the
    // interface is configured, and ifup then does nothing. Its complaints about addresses and
    // routes that are already gone are noise here.
    RunCommand("ifdown --force " + name_ + " >/dev/null 2>&1", false, ifupdownLimit());
    return RunCommand("ifup " + name_, false, ifupdownLimit());
}
