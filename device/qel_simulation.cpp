#include "device/qel_simulation.h"

#include <cstdlib>
#include <utility>

namespace QEL::sim {
namespace {

std::string& lastErrorText() {
    static std::string text;
    return text;
}

}  // namespace

Failure configuredFailure() {
    const char* value = std::getenv("QEL_SIM_FAIL");
    if (value == nullptr) {
        return Failure::None;
    }
    const std::string_view call = value;
    if (call == "create") {
        return Failure::Create;
    }
    if (call == "hardware-type") {
        return Failure::HardwareType;
    }
    if (call == "open") {
        return Failure::Open;
    }
    if (call == "serial") {
        return Failure::Serial;
    }
    return Failure::None;
}

std::optional<std::string> configuredHardwareTypeText() {
    const char* value = std::getenv("QEL_SIM_HARDWARE_TYPE");
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string configuredSerialNumber() {
    const char* value = std::getenv("QEL_SIM_SERIAL_NUMBER");
    return value == nullptr ? std::string("TLV0000001") : std::string(value);
}

void failSimulated(std::string_view call) {
    const char* text = std::getenv("QEL_SIM_ERROR_TEXT");
    if (text != nullptr) {
        failWith(text);
    } else {
        failWith("QEL: simulated failure of " + std::string(call));
    }
}

void failWith(std::string text) {
    lastErrorText() = std::move(text);
}

const std::string& lastError() {
    return lastErrorText();
}

}  // namespace QEL::sim
