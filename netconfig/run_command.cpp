#include "netconfig/run_command.h"

#include <iostream>
#include <variant>

#include "base/shell_command.h"

bool RunCommand(std::string command, bool echo, std::chrono::milliseconds limit) {
    if (echo) {
        std::cout << command << std::endl;
    }
    std::variant<int, std::error_code> const status = runShell(command, limit);
    if (auto const* error = std::get_if<std::error_code>(&status)) {
        // A command past its limit was reported, with the limit, where it was killed.
        if (*error != std::errc::timed_out) {
            std::cerr << "command '" << command << "' could not be run: " << error->message()
                      << std::endl;
        }
        return false;
    }
    if (std::get<int>(status) > 0) {
        std::cerr << "command '" << command << "' failed with " << std::get<int>(status)
                  << std::endl;
        return false;
    }
    return true;
}
