// The real InterfaceControl: the flags through a query socket, the rest through ifupdown.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

#include "base/fd.h"
#include "netconfig/interface_control.h"

namespace QEL_Finder {

class IfupdownInterface final : public InterfaceControl {
  public:
    // name must be a safe interface name (isSafeInterfaceName). The flag queries' socket is
    // opened at the first of them: the responder, which only applies and waits, never needs it.
    explicit IfupdownInterface(std::string name);

    std::error_code readFlags(short& flags) override;
    std::error_code writeFlags(short flags) override;
    bool bringUp() override;
    InterfacesFileText readInterfacesFile() override;
    ApplyOutcome apply(InterfaceConfig const& config, std::string_view fileText) override;
    void waitForLink() override;

  private:
    // The query socket, opened once; when that fails every flag query fails with its error.
    Fd const& query();

    std::string name_;
    std::error_code socketError_;
    Fd query_;
};

}  // namespace QEL_Finder
