#include "netconfig/run_command.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

bool RunCommand(std::string command, bool echo) {
    if (echo) {
        std::cout << command << std::endl;
    }
    int const status = std::system(command.c_str());
    if (status == -1) {
        std::cerr << std::strerror(errno) << std::endl;
        return false;
    }
    if (status > 0) {
        std::cerr << "command '" << command << "' failed with " << status << std::endl;
        return false;
    }
    return true;
}
