// Every reply's road: the record's address fields, a reply socket, the send.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "gvcp/reply_message.h"
#include "net/interface_address.h"

namespace QEL_Finder {

// A socket bound to address on port 3956 for one reply; what it took in before it was ready goes
// to serving.takenIn. -1 when it could not be opened, whose cause has been reported.
int openReplySocket(Serving& serving, std::uint32_t address);

// What a reply may still do once its socket is open on the interface's address: choose its
// destination, wait for the link.
using BeforeSending = std::function<void(ReplyMessage&, InterfaceAddress const&)>;

// Looks the interface up and writes its address, mask and the host's default gateway into the
// record, opens the reply socket on that address, runs beforeSending, sends the reply and closes
// the socket. The address the reply left from; none, with nothing sent and the record unchanged,
// after "Could not get the ip address for the interface " and the name on standard error, or when
// the socket could not be opened (reported). A failed send is reported on standard error with
// the destination it was meant for.
std::optional<InterfaceAddress> sendReply(Serving& serving, ReplyMessage& reply,
                                          BeforeSending const& beforeSending = {});

}  // namespace QEL_Finder
