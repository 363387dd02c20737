#include "base/process_state.h"

std::atomic<bool> _running{true};  // NOLINT(bugprone-reserved-identifier): see the header
bool Verbose = false;
int lockfile = 0;
