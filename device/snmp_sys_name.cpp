#include <array>
#include <cstdio>
#include <variant>

#include "base/shell_command.h"
#include "device/device_info.h"

namespace {

// The update unit rewrites the agent's configuration; while it is failed the agent's name
// cannot be trusted.
constexpr const char* kUpdateUnitFailedQuery = "systemctl --quiet is-failed telvo-snmpd-update";

// Prints sysName.0 alone, quotes and line feeds removed, so one fgets takes the whole value.
constexpr const char* kSysNameQuery =
    "snmpget -Oqv -c tulmar -v 1 localhost 1.3.6.1.2.1.1.5.0 | tr -d '"
    "\""
    "' | tr -d '\\n'";

constexpr int kLineSize = 1024;

}  // namespace

void SNMP_getSysName(std::string& name) {
    // 0: the unit is failed; no shell at all tells nothing either.
    std::variant<int, std::error_code> const status = runShell(kUpdateUnitFailedQuery);
    if (!std::holds_alternative<int>(status) || std::get<int>(status) <= 0) {
        return;
    }
    CommandPipe const pipe = readCommandOutput(kSysNameQuery);
    if (!pipe) {
        return;
    }
    std::array<char, kLineSize> line{};
    if (std::fgets(line.data(), kLineSize, pipe.get()) != nullptr) {
        name = line.data();
    }
}
