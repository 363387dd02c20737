// Test helper: a SocketManager without sockets that answers as configured and records what the
// code under test asked of it.
#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

#include "net/socket_manager.h"

namespace QEL_Finder::testing {

struct RecordedOption {
    int handle;
    int level;
    int name;
    int value;
};

struct RecordedBind {
    int handle;
    sockaddr_in address;
};

class RecordingSocketManager : public SocketManager {
  public:
    // What the fake answers.
    bool interfaceFound = true;
    unsigned int interfaceAddress = 0;
    unsigned int interfaceMask = 0;
    unsigned int gateway = 0;
    int nextHandle = 0;  // -1 makes socket creation fail
    bool bindFails = false;
    bool optionsFail = false;

    // What it was asked.
    std::vector<std::string> lookedUp;
    std::vector<int> created;
    std::vector<RecordedOption> optionsSet;
    std::vector<RecordedBind> binds;
    std::vector<RecordedBind> connects;
    std::vector<int> closed;

    unsigned int getDefaultGateway() override { return gateway; }
    int setsockopt(int handle, int level, int name, void const* value,
                   unsigned int length) override;
    // Every option reads as off.
    int getsockopt(int handle, int level, int name, void* value, unsigned int* length) override;
    long sendto(int, char const*, unsigned long, int, sockaddr const*, int) override { return -1; }
    long recvfrom(int, void*, unsigned long, int, sockaddr*, unsigned int*) override { return -1; }
    long sendmsg(int, msghdr*, int) override { return -1; }
    bool recvmsg(int, msghdr*, int, unsigned long*) override { return false; }
    bool wasBroadcastMessage(msghdr*) override { return false; }
    int getInterfaceIndex(msghdr*) override { return -1; }
    void closeSocket(int handle) override { closed.push_back(handle); }
    int getSocketUDP() override;
    int bindSocket(int handle, sockaddr* address) override;
    bool getIpAddressFromInterfaceName(char const* name, unsigned int& address,
                                       unsigned int& mask) override;
    // A fixed text, so expected messages do not depend on errno.
    std::string getError() override { return "fake failure"; }
    int connectSocket(int handle, sockaddr const* peer) override;
};

}  // namespace QEL_Finder::testing
