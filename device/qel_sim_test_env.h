// Test helper: the stand-in library's QEL_SIM_* variables, cleared so each test starts from the
// library's defaults and leaves none behind.
#pragma once

#include <cstdlib>

inline void clearQelSimEnvironment() {
    for (const char* name :
         {"QEL_SIM_HARDWARE_TYPE", "QEL_SIM_SERIAL_NUMBER", "QEL_SIM_FAIL", "QEL_SIM_ERROR_TEXT"}) {
        ::unsetenv(name);
    }
}
