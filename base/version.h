// The project's version, as CMake's PROJECT_VERSION gives it: one number for every program.
#pragma once

#include <string_view>

// "1.0.0", say.
std::string_view projectVersion();
