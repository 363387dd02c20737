// The PC side's test of a received datagram: is it the acknowledge of the request it sent?
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "gvcp/gvcp_header.h"

namespace QEL_Finder {

// Why a received datagram is not the acknowledge waited for, in words for a log line.
struct Rejection {
    std::string reason;
};

enum class AckStatus { MustSucceed, Any };

// The acknowledge of one request: a header with expected's answer code and ackId, a status of
// success unless any is accepted, and a length field equal to expected.length with that many
// bytes after the header. The header, or why the datagram is not it ("wrong ack_id ...").
std::variant<AckHeader, Rejection> matchAck(std::span<std::uint8_t const> bytes,
                                            AckHeader const& expected, AckStatus status);

// The status of an 8-byte FORCEIP_ACK answering reqId, whatever it is; anything else is rejected.
std::variant<std::uint16_t, Rejection> decodeForceIpAck(std::span<std::uint8_t const> bytes,
                                                        ReqId reqId);

}  // namespace QEL_Finder
