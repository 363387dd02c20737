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

// Copies at most one byte less than the field holds, so the text always ends in a zero byte.
template <std::size_t N>
void copyText(char (&field)[N], std::string const& text) {
    std::copy_n(text.begin(), std::min(text.size(), N - 1), field);
}

}  // namespace

void fillDiscoveryAck(DiscoveryAck& record, std::array<std::uint8_t, 6> const& mac, bool dhcp,
                      std::string const& modelName, std::string const& serialNumber) {
    std::memset(&record, 0, sizeof record);
    storeBe16(bytesOf(record.specVersionMajor), 1);
    storeBe16(bytesOf(record.specVersionMinor), 2);
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

}  // namespace QEL_Finder
