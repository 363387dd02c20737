#include <algorithm>
#include <cstddef>
#include <string>
#include <variant>

#include "base/command_limits.h"
#include "base/shell_command.h"
#include "device/device_info.h"

namespace {

// The update unit rewrites the agent's configuration; while it is failed the agent's name
// cannot be trusted.
constexpr const char* kUpdateUnitFailedQuery = "systemctl --quiet is-failed telvo-snmpd-update";

// Prints sysName.0 alone, quotes and line feeds removed: the whole output is the value.
constexpr const char* kSysNameQuery =
    "snmpget -Oqv -c tulmar -v 1 localhost 1.3.6.1.2.1.1.5.0 | tr -d '"
    "\""
    "' | tr -d '\\n'";

// A longer answer is cut: the record's model field holds far fewer.
constexpr std::size_t kLongestName = 1023;

}  // namespace

void SNMP_getSysName(std::string& name) {
    // 0: the unit is failed; no shell at all tells nothing either.
    std::variant<int, std::error_code> const status = runShell(kUpdateUnitFailedQuery, kQueryLimit);
    if (!std::holds_alternative<int>(status) || std::get<int>(status) <= 0) {
        return;
    }
    auto const reply = readCommandOutput(kSysNameQuery, kQueryLimit);
    auto const* output = std::get_if<CommandOutput>(&reply);
    // No answer (no agent) leaves the name the library gave.
    if (output != nullptr && !output->text.empty()) {
        name = output->text.substr(0, std::min(output->text.find('\n'), kLongestName));
    }
}
