// The start-up check that the served interface is up, with recovery through the interfaces
// file: first the file as it is, then its backup, then a dhcp-only file.
#pragma once

#include <string>

#include "netconfig/interfaces_file.h"

// The system side of the check: the interface's flags and its bring-up commands.
class InterfaceControl {
  public:
    virtual ~InterfaceControl() = default;
    // Reads the interface flags; 0, or the errno of the failed query (flags then untouched).
    virtual int readFlags(short& flags) = 0;
    // Writes the interface flags; 0, or the errno of the failed write.
    virtual int writeFlags(short flags) = 0;
    // Clears what ifupdown remembers of the interface, then runs "ifup <name>"; true when ifup
    // succeeded. A failing command has been reported on standard error.
    virtual bool bringUp() = 0;
};

// First removes what an interrupted rewrite left (the temporary files), saying so on standard
// output. When the interface is down, brings it up with the interfaces file as it is, then with
// the backup, then with a dhcp-only file; a stage works when ifup succeeds and IFF_UP is set. A
// file a stage replaces is kept as files.config + ".before-recovery" unless its text is the
// dhcp-only text or the backup's. Returns 0 when the interface is up (setting IFF_UP explicitly
// after a recovery), 1 when its flags cannot be read or written, 3 when it stays down after the
// dhcp stage. Every failure has been reported as one line on standard error.
int checkInterfaceUp(std::string const& name, InterfaceControl& control,
                     InterfacesFiles const& files);

// The same on the real interface and "/etc/network/interfaces". name must be a safe interface
// name (isSafeInterfaceName).
int checkInterfaceUp(std::string const& name);
