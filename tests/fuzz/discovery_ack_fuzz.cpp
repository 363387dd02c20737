// Arbitrary datagrams, as the PC tool receives them in answer to a discovery with req_id 12 34,
// into the discovery-acknowledge decoder. Input: the datagram.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <variant>

#include "gvcp/byte_order.h"
#include "gvcp/discovery_ack.h"

namespace {

using namespace QEL_Finder;

constexpr ReqId kReqId{0x12, 0x34};

void check(bool holds, char const* what) {
    if (!holds) {
        std::fprintf(stderr, "discovery_ack_fuzz: %s\n", what);
        __builtin_trap();
    }
}

// A text field's value: its bytes up to the first zero, or all of them.
bool isTextOf(std::string const& text, std::span<std::uint8_t const> field) {
    auto const sameByte = [](char c, std::uint8_t byte) {
        return static_cast<std::uint8_t>(c) == byte;
    };
    return text.size() <= field.size() &&
           std::equal(text.begin(), text.end(), field.begin(), sameByte) &&
           (text.size() == field.size() || field[text.size()] == 0) &&
           text.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
    std::span<std::uint8_t const> const bytes(data, size);
    auto const decoded = decodeDiscoveryAck(bytes, kReqId);
    bool const whole = size == kDiscoveryAckSize && loadBe16(data) == kStatusSuccess &&
                       loadBe16(data + 2) == kDiscoveryAckCode &&
                       loadBe16(data + 4) == kDiscoveryAckLength && data[6] == kReqId[0] &&
                       data[7] == kReqId[1];
    if (auto const* rejection = std::get_if<Rejection>(&decoded)) {
        check(!whole, "a successful 256-byte acknowledge for our req_id rejected");
        check(!rejection->reason.empty(), "a rejection without a reason");
        return 0;
    }
    check(whole, "accepted: short, long, failed, another answer code, length or req_id");
    auto const& device = std::get<DeviceDescription>(decoded);
    auto const record = bytes.subspan(kHeaderSize);
    auto const word = [&record](std::size_t offset) {
        std::uint32_t value = 0;
        std::memcpy(&value, &record[offset], 4);
        return value;
    };
    check(std::equal(device.mac.begin(), device.mac.end(), &record[10]), "MAC not bytes 10 to 15");
    check(device.address == word(36) && device.mask == word(52) && device.gateway == word(68),
          "address, mask or gateway not as sent, in network order");
    check(device.ipConfigCurrent == loadBe32(&record[20]), "IP config current not as sent");
    check(isTextOf(device.manufacturer, record.subspan(72, 32)) &&
              isTextOf(device.model, record.subspan(104, 32)) &&
              isTextOf(device.serial, record.subspan(216, 16)),
          "a text field beyond its first zero or its end");
    return 0;
}
