// The force-IP branch of the handler.
#pragma once

#include <optional>

#include "gvcp/request.h"

namespace QEL_Finder {

// For a request naming this device's MAC: refuses it, or applies it through the served interface
// and, once the link runs, acknowledges it from the new address (by broadcast when asked). A copy
// of the last request carried out (same requester address, port and req_id) is only acknowledged
// again, as the first was. A request shorter than its payload is ignored with one line. The
// request carried out, for the responder to remember; none for one refused, ignored or repeated.
// Never throws; reports its own failures.
std::optional<LastForceIp> answerForceIp(Request const& request);

}  // namespace QEL_Finder
