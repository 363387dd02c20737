#include <sys/socket.h>

#include <iostream>

#include "net/sockets.h"

namespace {

// Turns a boolean socket option on unless it already is; false when setting it failed.
bool enableOption(int handle, int name, QEL_Finder::SocketManager* manager) {
    int value = 0;
    unsigned int length = sizeof value;
    manager->getsockopt(handle, SOL_SOCKET, name, &value, &length);
    if (value != 0) {
        return true;
    }
    int const on = 1;
    return manager->setsockopt(handle, SOL_SOCKET, name, &on, sizeof on) != -1;
}

}  // namespace

bool setupSocket(int& handle, sockaddr* address, QEL_Finder::SocketManager* manager) {
    if (handle == -1) {
        handle = manager->getSocketUDP();
        if (handle < 0) {
            std::cerr << "getting socket: " << manager->getError() << std::endl;
            return false;
        }
    }
    if (!enableOption(handle, SO_BROADCAST, manager)) {
        std::cerr << "setting socket option broadcast: " << manager->getError() << std::endl;
    }
    // Reply sockets bind the same port beside the listening socket; address reuse allows that.
    if (!enableOption(handle, SO_REUSEADDR, manager)) {
        std::cerr << "setting socket option reuse port: " << manager->getError() << std::endl;
    }
    if (manager->bindSocket(handle, address) == -1) {
        std::cerr << "binding socket: " << manager->getError() << std::endl;
        return false;
    }
    return true;
}
