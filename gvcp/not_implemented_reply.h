// The branch of the handler for every command this device does not serve.
#pragma once

#include "gvcp/request.h"

namespace QEL_Finder {

// Answers the requester with the not-implemented status. Never throws.
void answerNotImplemented(Request& request);

}  // namespace QEL_Finder
