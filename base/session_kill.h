// Ending every process of a session: a command started as a session leader, and all it started.
#pragma once

#include <sys/types.h>

// Sends SIGKILL to every process group with members in session (each process's session and
// group read from /proc), again until none but zombies is left, or after 100 rounds. ifup puts
// itself in a group of its own, so one group is not enough; a process that left the session with
// setsid (dhclient, avahi-autoipd going to the background) is spared.
void killSession(pid_t session);
