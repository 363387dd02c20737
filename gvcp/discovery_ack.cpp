#include "gvcp/discovery_ack.h"

#include <algorithm>
#include <cstring>

#include "gvcp/byte_order.h"

namespace QEL_Finder {

namespace {

constexpr std::uint32_t kDeviceMode = 0xB0000001;  // big-endian, device class 3, UTF-8 names
constexpr std::uint32_t kIpConfigSupported =
    kIpConfigPersistent | kIpConfigDhcp | kIpConfigLinkLocal;
constexpr char kManufacturer[] = "TELVO Technologies";

template <typename Field>
std::uint8_t* bytesOf(Field& field) {
    return reinterpret_cast<std::uint8_t*>(&field);
}

template <typename Field>
std::uint8_t const* bytesOf(Field const& field) {
    return reinterpret_cast<std::uint8_t const*>(&field);
}

// Copies at most one byte less than the field holds, so the text always ends in a zero byte.
template <std::size_t N>
void copyText(char (&field)[N], std::string const& text) {
    std::copy_n(text.begin(), std::min(text.size(), N - 1), field);
}

template <std::size_t N>
std::string textOf(char const (&field)[N]) {
    return std::string(field, std::find(field, field + N, '\0'));
}

}  // namespace

void fillDiscoveryAck(DiscoveryAck& record, std::array<std::uint8_t, 6> const& mac, bool dhcp,
                      std::string const& modelName, std::string const& serialNumber) {
    std::memset(&record, 0, sizeof record);
    storeBe16(bytesOf(record.versionMajor), 1);
    storeBe16(bytesOf(record.versionMinor), 2);
    storeBe32(bytesOf(record.deviceMode), kDeviceMode);
    std::copy_n(mac.begin(), 2, bytesOf(record.macHigh));
    std::copy_n(mac.begin() + 2, 4, bytesOf(record.macLow));
    storeBe32(bytesOf(record.ipConfigOptions), kIpConfigSupported);
    storeBe32(bytesOf(record.ipConfigCurrent),
              kIpConfigLinkLocal | (dhcp ? kIpConfigDhcp : kIpConfigPersistent));
    std::memcpy(record.manufacturerName, kManufacturer, sizeof kManufacturer - 1);
    copyText(record.modelName, modelName);
    copyText(record.serialNumber, serialNumber);
}

std::array<std::uint8_t, 6> recordMac(DiscoveryAck const& record) {
    std::array<std::uint8_t, 6> mac{};
    std::copy_n(bytesOf(record.macHigh), 2, mac.begin());
    std::copy_n(bytesOf(record.macLow), 4, mac.begin() + 2);
    return mac;
}

std::variant<DeviceDescription, Rejection> decodeDiscoveryAck(std::span<std::uint8_t const> bytes,
                                                              ReqId reqId) {
    auto matched = matchAck(bytes, {kStatusSuccess, kDiscoveryAckCode, kDiscoveryAckLength, reqId},
                            AckStatus::MustSucceed);
    if (auto* rejection = std::get_if<Rejection>(&matched)) {
        return std::move(*rejection);
    }
    DiscoveryAck record;
    std::memcpy(&record, bytes.data() + kHeaderSize, sizeof record);
    DeviceDescription device;
    device.mac = recordMac(record);
    device.address = record.currentIp;
    device.mask = record.currentSubnetMask;
    device.gateway = record.defaultGateway;
    device.ipConfigCurrent = loadBe32(bytesOf(record.ipConfigCurrent));
    device.manufacturer = textOf(record.manufacturerName);
    device.model = textOf(record.modelName);
    device.serial = textOf(record.serialNumber);
    return device;
}

std::string_view ipConfigModeName(std::uint32_t ipConfigCurrent) {
    // A device that has both bits set tries its persistent address first.
    if ((ipConfigCurrent & kIpConfigPersistent) != 0) {
        return "static";
    }
    if ((ipConfigCurrent & kIpConfigDhcp) != 0) {
        return "dhcp";
    }
    if ((ipConfigCurrent & kIpConfigLinkLocal) != 0) {
        return "link-local";
    }
    return "none";
}

}  // namespace QEL_Finder
