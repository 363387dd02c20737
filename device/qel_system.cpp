// Stand-in for the maker's system object: the hardware type of the simulated device.
#include <algorithm>
#include <cstring>

#include <QELInterface.h>

#include "base/whole_number.h"
#include "device/qel_simulation.h"

namespace QEL {

namespace {
constexpr std::uint32_t kDefaultHardwareType = eHardwareDravikHlLumen;
}

QELSystem::QELSystem(eHardwareType hardwareType, bool failHardwareType)
    : hardwareType_(hardwareType), failHardwareType_(failHardwareType) {}

bool QELSystem::CreateInstance(QELSystem** system, eSystemType /*type*/, unsigned int /*options*/) {
    if (system == nullptr) {
        sim::failWith("QEL: CreateInstance needs a place for the system object");
        return false;
    }
    const sim::Failure failure = sim::configuredFailure();
    if (failure == sim::Failure::Create) {
        sim::failSimulated("CreateInstance");
        return false;
    }
    std::uint32_t hardwareType = kDefaultHardwareType;
    if (const auto text = sim::configuredHardwareTypeText()) {
        const auto parsed = parseWholeNumber<std::uint32_t>(*text);
        if (!parsed) {
            sim::failWith("QEL: QEL_SIM_HARDWARE_TYPE is not a decimal 32-bit number: " + *text);
            return false;
        }
        hardwareType = *parsed;
    }
    *system = new QELSystem(static_cast<eHardwareType>(hardwareType),
                            failure == sim::Failure::HardwareType);
    return true;
}

void QELSystem::DeleteInstance(QELSystem* system) {
    delete system;
}

void QELSystem::GetLastErrorString(char& buffer, unsigned int size) {
    if (size == 0) {
        return;
    }
    const std::string& text = sim::lastError();
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(&buffer, text.data(), length);
    (&buffer)[length] = '\0';
}

bool QELSystem::GetHardwareType(eHardwareType& type) {
    if (failHardwareType_) {
        sim::failSimulated("GetHardwareType");
        return false;
    }
    type = hardwareType_;
    return true;
}

}  // namespace QEL
