#include "service/discovery_record.h"

#include <array>
#include <cstdint>
#include <iostream>

#include "base/process_state.h"
#include "device/device_info.h"
#include "netconfig/interface_state.h"

void prepareDiscoveryAck(QEL_Finder::DiscoveryAck& record, std::string const& interfaceName) {
    std::array<std::uint8_t, 6> const mac = getMacFromInterfaceName(interfaceName);
    bool const dhcp = isDHCPEnabled(interfaceName);
    std::string modelName;
    std::string serialNumber;
    GetDeviceInfo(modelName, serialNumber);
    QEL_Finder::fillDiscoveryAck(record, mac, dhcp, modelName, serialNumber);
    if (Verbose) {
        std::cout << "Serial number: " << serialNumber << std::endl;
        std::cout << "Model name: " << modelName << std::endl;
    }
}
