// The force-IP branch of the handler.
#pragma once

#include "gvcp/request.h"

namespace QEL_Finder {

// For a request naming this device's MAC: refuses it, or applies it through the serving network
// configuration and, once the link runs, acknowledges it from the new address (by broadcast when
// asked). A copy of the last request carried out (same requester address, port and req_id, kept
// in the inbox) is only acknowledged again, as the first was. A request shorter than its payload
// is ignored with one line. Never throws; reports its own failures.
void answerForceIp(Request& request);

}  // namespace QEL_Finder
