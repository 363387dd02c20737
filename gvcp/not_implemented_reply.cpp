#include "gvcp/not_implemented_reply.h"

#include "gvcp/reply_message.h"
#include "gvcp/send_reply.h"

namespace QEL_Finder {

// Always to the requester: the broadcast flag only widens acknowledges of commands we serve.
void answerNotImplemented(Request& request) {
    ReplyMessage reply(request.requester, ackFor(request, kStatusAccessDeniedSentForNotImplemented,
                                                 notImplementedAnswer(request.header.command), 0));
    sendReply(request.serving, reply);
}

}  // namespace QEL_Finder
