// The real InterfaceControl: SIOCGIFFLAGS/SIOCSIFFLAGS on a query socket, ifup through the shell.
#pragma once

#include <net/if.h>

#include <string>

#include "service/startup_check.h"

class IoctlInterfaceControl : public InterfaceControl {
  public:
    // Opens the query socket; when that fails every query fails with its errno.
    explicit IoctlInterfaceControl(std::string name);
    IoctlInterfaceControl(IoctlInterfaceControl const&) = delete;
    IoctlInterfaceControl& operator=(IoctlInterfaceControl const&) = delete;
    ~IoctlInterfaceControl() override;

    int readFlags(short& flags) override;
    int writeFlags(short flags) override;
    void bringUp() override;

  private:
    std::string name_;
    int socket_;
    int socketError_ = 0;
    ifreq request_{};
};
