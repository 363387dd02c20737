// Orderly stop on SIGINT and SIGTERM.
#pragma once

// Writes "Sigint received" or "Sigterm received" on standard output and clears _running.
// Async-signal-safe; errno is preserved.
void signalHandler(int signal);

// Installs signalHandler for SIGINT and SIGTERM with signal().
void installStopHandlers();
