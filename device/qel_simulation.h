// The stand-in library's simulated device: its settings from the QEL_SIM_* variables and the
// library's last error. Internal to libQELInterface; nothing here is exported.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace QEL::sim {

enum class Failure { None, Create, HardwareType, Open, Serial };

// The call QEL_SIM_FAIL names; None when it is unset or names no call.
Failure configuredFailure();
// The text of QEL_SIM_HARDWARE_TYPE, or nullopt when it is unset.
std::optional<std::string> configuredHardwareTypeText();
// QEL_SIM_SERIAL_NUMBER, or the documented default "TLV0000001" when it is unset.
std::string configuredSerialNumber();

// Records a simulated failure of the named call: QEL_SIM_ERROR_TEXT when set, otherwise
// "QEL: simulated failure of <call>".
void failSimulated(std::string_view call);
// Records a failure with exactly this text.
void failWith(std::string text);
// The text of the latest failure; empty before the first.
const std::string& lastError();

}  // namespace QEL::sim
