// Stand-in for the maker's device objects: one simulated device, index 0, with a serial number.
#include <algorithm>
#include <cstring>
#include <string>

#include <QELInterface.h>

#include "device/qel_simulation.h"

namespace QEL {

iDevice::iDevice() : open_(false) {}

iDevice::~iDevice() = default;

bool iDevice::Open(unsigned int index) {
    if (sim::configuredFailure() == sim::Failure::Open) {
        sim::failSimulated("Open");
        return false;
    }
    if (index != 0) {
        sim::failWith("QEL: no device with index " + std::to_string(index));
        return false;
    }
    open_ = true;
    return true;
}

Service::Service() : serialNumber_{}, failSerialNumber_(false) {
    const std::string serial = sim::configuredSerialNumber();
    const std::size_t length = std::min<std::size_t>(serial.size(), kSerialNumberCapacity - 1);
    std::memcpy(serialNumber_, serial.data(), length);
    serialNumber_[length] = '\0';
    failSerialNumber_ = sim::configuredFailure() == sim::Failure::Serial;
}

bool Service::GetSerialNumber(char* buffer) {
    if (buffer == nullptr) {
        sim::failWith("QEL: GetSerialNumber needs a buffer");
        return false;
    }
    if (!isOpen()) {
        sim::failWith("QEL: GetSerialNumber on a device that is not open");
        return false;
    }
    if (failSerialNumber_) {
        sim::failSimulated("GetSerialNumber");
        return false;
    }
    std::memcpy(buffer, serialNumber_, std::strlen(serialNumber_) + 1);
    return true;
}

}  // namespace QEL
