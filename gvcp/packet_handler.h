// The datagram handler: key check, dispatch, discovery, force-IP and not-implemented replies.
#pragma once

#include "gvcp/request.h"
#include "net/datagram.h"

// Handles one received datagram and sends any reply itself, reporting its own failures.
void onPacketArrives(QEL_Finder::Serving& serving, QEL_Finder::Datagram const& datagram);
