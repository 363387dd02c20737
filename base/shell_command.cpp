#include "base/shell_command.h"

#include <cstdlib>

#include "base/fd.h"

std::variant<int, std::error_code> runShell(std::string const& command) {
    int const status = std::system(command.c_str());
    if (status == -1) {
        return lastError();
    }
    return status;
}

CommandPipe readCommandOutput(std::string const& command) {
    return CommandPipe(::popen(command.c_str(), "re"));
}
