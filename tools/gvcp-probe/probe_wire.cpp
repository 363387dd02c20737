#include "tools/gvcp-probe/probe_wire.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "gvcp/discovery_ack.h"

namespace gvcp_probe {

using QEL_Finder::AckHeader;
using QEL_Finder::kHeaderSize;

namespace {

std::string hex16(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

std::string hexId(ReqId id) {
    return hex16(static_cast<std::uint16_t>((id[0] << 8) | id[1]));
}

// The checks every acknowledge shares: long enough for a header, the expected answer code and
// our own request identifier.
std::variant<AckHeader, Rejection> checkAckHeader(std::span<std::uint8_t const> bytes,
                                                  std::uint16_t expectedAnswer, ReqId reqId) {
    std::optional<AckHeader> const header = QEL_Finder::parseAckHeader(bytes);
    if (!header) {
        return Rejection{"wrong length " + std::to_string(bytes.size()) +
                         ", shorter than a header"};
    }
    if (header->answer != expectedAnswer) {
        return Rejection{"wrong answer code " + hex16(header->answer) + " (expected " +
                         hex16(expectedAnswer) + ")"};
    }
    if (header->ackId != reqId) {
        return Rejection{"wrong ack_id " + hexId(header->ackId) + " (expected " + hexId(reqId) +
                         ")"};
    }
    return *header;
}

template <std::size_t N>
std::string textField(char const (&field)[N]) {
    return std::string(field, std::find(field, field + N, '\0'));
}

}  // namespace

std::array<std::uint8_t, kHeaderSize> buildDiscoveryRequest(ReqId reqId, bool allowBroadcastAck) {
    QEL_Finder::CommandHeader header;
    header.flag = static_cast<std::uint8_t>(
        QEL_Finder::kFlagAckRequired | (allowBroadcastAck ? QEL_Finder::kFlagBroadcastAck : 0));
    header.command = QEL_Finder::kDiscoveryCmd;
    header.length = 0;
    header.reqId = reqId;
    return QEL_Finder::buildCommandHeader(header);
}

std::array<std::uint8_t, kForceIpRequestSize> buildForceIpRequest(
    ReqId reqId, bool allowBroadcastAck, QEL_Finder::ForceIpPayload const& payload) {
    QEL_Finder::CommandHeader header;
    header.flag = static_cast<std::uint8_t>(
        QEL_Finder::kFlagAckRequired | (allowBroadcastAck ? QEL_Finder::kFlagBroadcastAck : 0));
    header.command = QEL_Finder::kForceIpCmd;
    header.length = QEL_Finder::kForceIpPayloadSize;
    header.reqId = reqId;
    std::array<std::uint8_t, kForceIpRequestSize> bytes{};
    auto const headerBytes = QEL_Finder::buildCommandHeader(header);
    auto const payloadBytes = QEL_Finder::buildForceIpPayload(payload);
    std::copy(headerBytes.begin(), headerBytes.end(), bytes.begin());
    std::copy(payloadBytes.begin(), payloadBytes.end(), bytes.begin() + kHeaderSize);
    return bytes;
}

std::variant<DeviceDescription, Rejection> decodeDiscoveryReply(std::span<std::uint8_t const> bytes,
                                                                ReqId reqId) {
    auto checked = checkAckHeader(bytes, QEL_Finder::kDiscoveryAckCode, reqId);
    if (auto* rejection = std::get_if<Rejection>(&checked)) {
        return std::move(*rejection);
    }
    AckHeader const& header = std::get<AckHeader>(checked);
    if (header.status != QEL_Finder::kStatusSuccess) {
        return Rejection{"status " + hex16(header.status)};
    }
    if (bytes.size() != kDiscoveryReplySize || header.length != QEL_Finder::kDiscoveryAckLength) {
        return Rejection{"wrong length " + std::to_string(bytes.size()) + " bytes, length field " +
                         std::to_string(header.length) + " (expected 256 and 248)"};
    }

    QEL_Finder::DiscoveryAck record;
    std::memcpy(&record, bytes.data() + kHeaderSize, sizeof record);
    DeviceDescription device;
    std::memcpy(device.mac.data(), &record.macHigh, 2);
    std::memcpy(device.mac.data() + 2, &record.macLow, 4);
    device.address = record.currentIp;
    device.mask = record.currentSubnetMask;
    device.gateway = record.defaultGateway;
    device.ipConfigCurrent = ntohl(record.ipConfigCurrent);
    device.manufacturer = textField(record.manufacturerName);
    device.model = textField(record.modelName);
    device.serial = textField(record.serialNumber);
    return device;
}

std::variant<ForceIpAck, Rejection> decodeForceIpAck(std::span<std::uint8_t const> bytes,
                                                     ReqId reqId) {
    auto checked = checkAckHeader(bytes, QEL_Finder::kForceIpAckCode, reqId);
    if (auto* rejection = std::get_if<Rejection>(&checked)) {
        return std::move(*rejection);
    }
    AckHeader const& header = std::get<AckHeader>(checked);
    if (bytes.size() != kHeaderSize || header.length != 0) {
        return Rejection{"wrong length " + std::to_string(bytes.size()) + " bytes, length field " +
                         std::to_string(header.length) + " (expected 8 and 0)"};
    }
    return ForceIpAck{header.status};
}

bool isPaddedEcho(std::span<std::uint8_t const> bytes, std::span<std::uint8_t const> request) {
    return bytes.size() == kDiscoveryReplySize && request.size() <= bytes.size() &&
           std::equal(request.begin(), request.end(), bytes.begin());
}

std::string_view ipConfigModeName(std::uint32_t ipConfigCurrent) {
    // A device that has both bits set tries its persistent address first.
    if ((ipConfigCurrent & QEL_Finder::kIpConfigPersistent) != 0) {
        return "static";
    }
    if ((ipConfigCurrent & QEL_Finder::kIpConfigDhcp) != 0) {
        return "dhcp";
    }
    if ((ipConfigCurrent & QEL_Finder::kIpConfigLinkLocal) != 0) {
        return "link-local";
    }
    return "none";
}

}  // namespace gvcp_probe
