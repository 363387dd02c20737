// The last steps of every acknowledge: reply socket, send, close.
#pragma once

#include "gvcp/reply_message.h"

namespace QEL_Finder {

// Opens the reply socket (which refreshes the record's address fields) and sends the reply on
// it; sends nothing when the socket cannot be opened, whose cause the opener has reported.
void sendReply(Request& request, ReplyMessage& reply);

// Sends the reply on an open reply socket and closes it; a failed send is reported on standard
// error with the destination it was meant for.
void sendOnReplySocket(SocketManager& manager, int handle, ReplyMessage& reply);

}  // namespace QEL_Finder
