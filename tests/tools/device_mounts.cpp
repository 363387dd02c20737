// device_mounts TESTDIR: puts the test's own files over the paths the daemon and the platform
// tools write, in the mount namespace of the caller (tests/netlab/device_host.sh), which then runs
// the command. One process for every mount, because one mount(8) each cost the device host more
// than most commands run in it.
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

namespace {

bool exists(std::string const& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

// Non-recursive on purpose: the host's mounts below a path (its netns files below /run) stay out
// of sight.
bool bind(std::string const& from, std::string const& onto) {
    if (::mount(from.c_str(), onto.c_str(), nullptr, MS_BIND, nullptr) == 0) {
        return true;
    }
    std::cerr << "device_mounts: bind " << from << " onto " << onto << ": " << std::strerror(errno)
              << std::endl;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: device_mounts TESTDIR" << std::endl;
        return 2;
    }
    std::string const dev = std::string(argv[1]) + "/dev";
    // Everything else written under /etc (dhclient-script's temporary resolver file, for one)
    // lands in the test's upper directory instead of the host's /etc.
    std::string const layers =
        "lowerdir=/etc,upperdir=" + dev + "/etc-upper,workdir=" + dev + "/etc-work";
    if (::mount("overlay", "/etc", "overlay", 0, layers.c_str()) != 0) {
        std::cerr << "netlab: no overlay on /etc; writes outside the test's files reach the host's "
                     "/etc"
                  << std::endl;
    }
    if (!bind(dev + "/etc-network", "/etc/network") ||
        !bind(dev + "/resolv.conf", "/etc/resolv.conf") || !bind(dev + "/run", "/run")) {
        return 1;
    }
    for (char const* state : {"dhcp", "snmp", "avahi-autoipd"}) {
        std::string const path = std::string("/var/lib/") + state;
        if (exists(path) && !bind(dev + "/var-lib-" + state, path)) {
            return 1;
        }
    }
    return 0;
}
