#include "base/version.h"

// The build gives this file alone the version, so a new one recompiles nothing else.
std::string_view projectVersion() {
    return TARN_PROJECT_VERSION;
}
