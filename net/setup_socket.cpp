#include "net/setup_socket.h"

#include <sys/socket.h>

#include <iostream>
#include <string>

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

// Takes the error text before anything is written: the write itself may change errno.
void reportFailure(char const* what, QEL_Finder::SocketManager* manager) {
    std::string const why = manager->getError();
    std::cerr << what << why << std::endl;
}

}  // namespace

bool setupSocket(int& handle, sockaddr* address, QEL_Finder::SocketManager* manager) {
    if (handle == -1) {
        handle = manager->getSocketUDP();
        if (handle < 0) {
            reportFailure("getting socket: ", manager);
            return false;
        }
    }
    if (!enableOption(handle, SO_BROADCAST, manager)) {
        reportFailure("setting socket option broadcast: ", manager);
    }
    // Reply sockets bind the same port beside the listening socket; address reuse allows that.
    if (!enableOption(handle, SO_REUSEADDR, manager)) {
        reportFailure("setting socket option reuse port: ", manager);
    }
    if (manager->bindSocket(handle, address) == -1) {
        reportFailure("binding socket: ", manager);
        return false;
    }
    return true;
}
