#include "service/ioctl_interface_control.h"

#include <utility>

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

void IoctlInterfaceControl::bringUp() {
    RunCommand("ifup " + name_, false);
}
