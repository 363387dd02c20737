// The discovered devices as text for a person or as JSON for a script.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gvcp/discovery_ack.h"
#include "gvcp/exchange.h"

namespace gvcp_probe {

struct FoundDevice {
    QEL_Finder::DeviceDescription device;
    QEL_Finder::Endpoint from;
    std::string interface;  // the PC's interface the answer came in on
};

// Adds found unless the same device already answered on the same interface; false then.
bool addDevice(std::vector<FoundDevice>& devices, FoundDevice found);

// A JSON string literal, quotes included, control characters escaped. The device's strings are
// ASCII fields, so every byte from 0x80 becomes U+FFFD and the result is valid JSON whatever the
// device sent.
std::string jsonString(std::string_view text);

// The text with every control character and non-ASCII byte shown as '?', so a device's strings
// cannot move the cursor or change the colours of the terminal.
std::string printableText(std::string_view text);

// The text in single quotes, for messages.
std::string quoted(std::string_view text);

// A JSON array with one object per device, in the given order, ending with a line end.
std::string devicesAsJson(std::vector<FoundDevice> const& devices);

// A header line and one line per device and interface: MAC, address, mode, model, serial number
// and interface, each column as wide as its widest entry, two spaces apart, no spaces at the
// ends of lines; a device's empty string as "-". Nothing for no device.
std::string devicesAsTable(std::vector<FoundDevice> const& devices);

// One block of lines per device, blocks separated by an empty line.
std::string devicesAsText(std::vector<FoundDevice> const& devices);

}  // namespace gvcp_probe
