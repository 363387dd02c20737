#include "net/recording_socket_manager.h"

#include <cstring>

namespace QEL_Finder::testing {

int RecordingSocketManager::setsockopt(int handle, int level, int name, void const* value,
                                       unsigned int length) {
    int recorded = 0;
    std::memcpy(&recorded, value, length < sizeof recorded ? length : sizeof recorded);
    optionsSet.push_back({handle, level, name, recorded});
    return optionsFail ? -1 : 0;
}

int RecordingSocketManager::getsockopt(int, int, int, void* value, unsigned int* length) {
    std::memset(value, 0, *length);
    return 0;
}

int RecordingSocketManager::getSocketUDP() {
    if (nextHandle < 0) {
        return -1;
    }
    created.push_back(nextHandle);
    return nextHandle++;
}

int RecordingSocketManager::bindSocket(int handle, sockaddr* address) {
    RecordedBind bind{handle, {}};
    std::memcpy(&bind.address, address, sizeof bind.address);
    binds.push_back(bind);
    return bindFails ? -1 : 0;
}

int RecordingSocketManager::connectSocket(int handle, sockaddr const* peer) {
    RecordedBind connect{handle, {}};
    std::memcpy(&connect.address, peer, sizeof connect.address);
    connects.push_back(connect);
    return 0;
}

bool RecordingSocketManager::getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                                           unsigned int& mask) {
    lookedUp.emplace_back(name);
    if (!interfaceFound) {
        return false;
    }
    address = interfaceAddress;
    mask = interfaceMask;
    return true;
}

}  // namespace QEL_Finder::testing
