#include "base/process_state.h"

std::atomic<bool> _running{true};
bool Verbose = false;
int lockfile = 0;
