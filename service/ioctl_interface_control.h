// The real InterfaceControl: the interface's flags through a query socket, ifdown and ifup through
// the shell.
#pragma once

#include <string>
#include <system_error>

#include "base/fd.h"
#include "service/startup_check.h"

class IoctlInterfaceControl : public InterfaceControl {
  public:
    // Opens the query socket; when that fails every query fails with its errno.
    explicit IoctlInterfaceControl(std::string name);

    int readFlags(short& flags) override;
    int writeFlags(short flags) override;
    bool bringUp() override;

  private:
    std::string name_;
    std::error_code socketError_;
    Fd query_;
};
