// The start-up check that the served interface is up, with recovery through the interfaces
// file: first the file as it is, then its backup, then a dhcp-only file.
#pragma once

#include <string>

#include "netconfig/interface_control.h"
#include "netconfig/interfaces_file.h"

// First removes what an interrupted rewrite left (the temporary files), saying so on standard
// output. When the interface is down, brings it up with the interfaces file as it is, then with
// the backup, then with a dhcp-only file; a stage works when ifup succeeds and IFF_UP is set. A
// file a stage replaces is kept as files.kept unless its text is the
// dhcp-only text or the backup's. Returns 0 when the interface is up (setting IFF_UP explicitly
// after a recovery), 1 when its flags cannot be read or written, 3 when it stays down after the
// dhcp stage. Every failure has been reported as one line on standard error.
int checkInterfaceUp(std::string const& name, QEL_Finder::InterfaceControl& control,
                     InterfacesFiles const& files);

// The same on the real interface and "/etc/network/interfaces". name must be a safe interface
// name (isSafeInterfaceName).
int checkInterfaceUp(std::string const& name);
