// The last steps of every acknowledge: the record's address fields, reply socket, send, close.
#pragma once

#include <cstdint>
#include <optional>

#include "gvcp/reply_message.h"

namespace QEL_Finder {

struct OwnAddress {
    std::uint32_t address;  // network byte order
    std::uint32_t mask;
};

// Looks the interface up and writes its address, mask and the host's default gateway into the
// record; the address and mask, or none after "Could not get the ip address for the interface "
// and the name on standard error, the record then unchanged.
std::optional<OwnAddress> refreshRecord(Serving& serving);

// A socket bound to address on port 3956 for one reply; what it took in before it was ready goes
// to the inbox. -1 when it could not be opened, whose cause has been reported.
int openReplySocket(Serving& serving, std::uint32_t address);

struct OwnReplySocket {
    int handle;
    std::uint32_t address;  // the interface's, network byte order, that the socket is bound to
};

// Refreshes the record and opens the reply socket on the interface's address; none when either
// fails, whose cause has been reported.
std::optional<OwnReplySocket> openOwnReplySocket(Serving& serving);

// Opens the reply socket as openOwnReplySocket does and sends the reply on it; sends nothing when
// it could not be opened.
void sendReply(Request& request, ReplyMessage& reply);

// Sends the reply on an open reply socket and closes it; a failed send is reported on standard
// error with the destination it was meant for.
void sendOnReplySocket(SocketManager& sockets, int handle, ReplyMessage& reply);

}  // namespace QEL_Finder
