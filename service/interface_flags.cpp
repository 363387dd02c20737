#include "service/interface_flags.h"

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "netconfig/apply_config.h"

IoctlInterfaceControl::IoctlInterfaceControl(std::string name)
    : name_(std::move(name)), socket_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)) {
    if (socket_ < 0) {
        socketError_ = errno;
    }
    // Longer names have been refused at start; the copy still never overruns the field.
    name_.copy(request_.ifr_name, sizeof(request_.ifr_name) - 1);
}

IoctlInterfaceControl::~IoctlInterfaceControl() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

int IoctlInterfaceControl::readFlags(short& flags) {
    if (socket_ < 0) {
        return socketError_;
    }
    if (ioctl(socket_, SIOCGIFFLAGS, &request_) == -1) {
        return errno;
    }
    flags = request_.ifr_flags;
    return 0;
}

int IoctlInterfaceControl::writeFlags(short flags) {
    if (socket_ < 0) {
        return socketError_;
    }
    request_.ifr_flags = flags;
    return ioctl(socket_, SIOCSIFFLAGS, &request_) == -1 ? errno : 0;
}

void IoctlInterfaceControl::bringUp() {
    RunCommand("ifup " + name_, false);
}
