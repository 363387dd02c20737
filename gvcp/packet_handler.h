// The datagram handler: key check, dispatch, discovery, force-IP and not-implemented replies.
#pragma once

#include <optional>

#include "gvcp/request.h"
#include "net/datagram.h"

// Handles one received datagram and sends any reply itself, reporting its own failures. The
// force-IP it carried out, for the responder to remember; none for anything else.
std::optional<QEL_Finder::LastForceIp> onPacketArrives(QEL_Finder::Serving& serving,
                                                       QEL_Finder::Datagram const& datagram);
