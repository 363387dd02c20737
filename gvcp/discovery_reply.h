// The discovery branch of the handler.
#pragma once

#include "gvcp/request.h"

namespace QEL_Finder {

// Answers with the discovery record, by broadcast when the requester is outside the interface's
// subnet and allows it. Never throws; reports its own failures.
void answerDiscovery(Request& request);

}  // namespace QEL_Finder
