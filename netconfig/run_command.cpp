#include "netconfig/run_command.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

void RunCommand(std::string command, bool echo) {
    if (echo) {
        std::cout << command << std::endl;
    }
    int const status = std::system(command.c_str());
    if (status == -1) {
        std::cerr << std::strerror(errno) << std::endl;
        return;
    }
    if (status > 0) {
        std::cerr << "command '" << command << "' failed with " << status << std::endl;
    }
}
