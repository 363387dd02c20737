#include "device/device_info.h"

#include <array>
#include <iostream>
#include <memory>
#include <stdexcept>

#include <QELInterface.h>

#include "device/hardware_types.h"

namespace {

constexpr unsigned int kLibraryTextSize = 512;

struct SystemDeleter {
    void operator()(QEL::QELSystem* system) const { QEL::QELSystem::DeleteInstance(system); }
};

// Reads the device's hardware type; throws std::runtime_error with the library's text.
QEL::eHardwareType readHardwareType() {
    QEL::QELSystem* created = nullptr;
    testResult(QEL::QELSystem::CreateInstance(&created, QEL::eSystemLocal, 0));
    if (created == nullptr) {
        throw std::runtime_error("QEL: CreateInstance gave no system object");
    }
    // Released also when GetHardwareType fails: nothing uses the object after this.
    const std::unique_ptr<QEL::QELSystem, SystemDeleter> system(created);
    QEL::eHardwareType hardwareType{};
    testResult(system->GetHardwareType(hardwareType));
    return hardwareType;
}

// Reads the serial number into buffer; throws std::runtime_error with the library's text.
void readSerialNumber(std::array<char, QEL::Service::kSerialNumberCapacity>& buffer) {
    QEL::Service service;
    testResult(service.Open(0));
    testResult(service.GetSerialNumber(buffer.data()));
}

}  // namespace

void testResult(bool result) {
    if (result) {
        return;
    }
    std::array<char, kLibraryTextSize> text{};
    QEL::QELSystem::GetLastErrorString(text[0], kLibraryTextSize);
    text.back() = '\0';  // a library that fills the whole buffer must not run us past it
    throw std::runtime_error(text.data());
}

void GetDeviceInfo(std::string& modelName, std::string& serialNumber) {
    modelName = "Unknown";
    serialNumber = "invalid";

    QEL::eHardwareType hardwareType{};
    try {
        hardwareType = readHardwareType();
    } catch (const std::runtime_error& error) {
        std::cerr << "Error reading the hardware type:" << std::endl << error.what() << std::endl;
        return;
    }

    std::array<char, QEL::Service::kSerialNumberCapacity> serialBuffer{};
    try {
        readSerialNumber(serialBuffer);
    } catch (const std::runtime_error& error) {
        serialBuffer[0] = '\0';
        std::cerr << "Error reading the serial number:" << std::endl << error.what() << std::endl;
    }
    serialBuffer.back() = '\0';

    if (const QEL_Finder::HardwareTypeRow* row = findHardwareType(hardwareType)) {
        modelName = row->modelName;
        serialNumber = row->defaultSerialNumber;
    }
    SNMP_getSysName(modelName);
    if (serialBuffer[0] != '\0') {
        serialNumber = serialBuffer.data();
    }
}
