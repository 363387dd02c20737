#include "tools/gvcp-probe/device_output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "base/hex_text.h"
#include "base/ipv4_address.h"

namespace gvcp_probe {

using QEL_Finder::DeviceDescription;
using QEL_Finder::ipConfigModeName;

bool addDevice(std::vector<FoundDevice>& devices, FoundDevice found) {
    bool const known = std::any_of(devices.begin(), devices.end(), [&](FoundDevice const& d) {
        return d.device.mac == found.device.mac && d.interface == found.interface;
    });
    if (!known) {
        devices.push_back(std::move(found));
    }
    return !known;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (char const c : text) {
        auto const byte = static_cast<std::uint8_t>(c);
        if (byte >= 0x80) {
            out += "\\ufffd";
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            (void)std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string printableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char const c : text) {
        auto const byte = static_cast<std::uint8_t>(c);
        out += byte >= 0x20 && byte < 0x7F ? c : '?';
    }
    return out;
}

// Not "'" + std::string(...), which GCC 12's -Wrestrict misreads.
std::string quoted(std::string_view text) {
    return std::string(1, '\'').append(text).append(1, '\'');
}

std::string devicesAsJson(std::vector<FoundDevice> const& devices) {
    if (devices.empty()) {
        return "[]\n";
    }
    std::string out = "[\n";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        DeviceDescription const& d = devices[i].device;
        out += "  {\"mac\": " + jsonString(formatMac(d.mac));
        out += ", \"address\": " + jsonString(formatIpv4(d.address));
        out += ", \"mask\": " + jsonString(formatIpv4(d.mask));
        out += ", \"gateway\": " + jsonString(formatIpv4(d.gateway));
        out += ", \"ip_config\": " + jsonString(ipConfigModeName(d.ipConfigCurrent));
        out += ", \"ip_config_current\": " + std::to_string(d.ipConfigCurrent);
        out += ", \"manufacturer\": " + jsonString(d.manufacturer);
        out += ", \"model\": " + jsonString(d.model);
        out += ", \"serial\": " + jsonString(d.serial);
        out += ", \"from\": " + jsonString(formatIpv4(devices[i].from.address));
        out += ", \"from_port\": " + std::to_string(devices[i].from.port);
        out += ", \"interface\": " + jsonString(devices[i].interface) + "}";
        out += i + 1 < devices.size() ? ",\n" : "\n";
    }
    out += "]\n";
    return out;
}

std::string devicesAsTable(std::vector<FoundDevice> const& devices) {
    if (devices.empty()) {
        return "";
    }
    constexpr std::size_t kColumns = 6;
    using Row = std::array<std::string, kColumns>;
    // printableText gives one character per byte, so a cell's size is its width.
    auto const cell = [](std::string_view text) {
        return text.empty() ? std::string("-") : printableText(text);
    };
    std::vector<Row> rows{Row{"MAC", "Address", "Mode", "Model", "Serial", "Interface"}};
    for (FoundDevice const& found : devices) {
        DeviceDescription const& d = found.device;
        rows.push_back(Row{formatMac(d.mac), formatIpv4(d.address),
                           std::string(ipConfigModeName(d.ipConfigCurrent)), cell(d.model),
                           cell(d.serial), cell(found.interface)});
    }
    std::array<std::size_t, kColumns> widths{};
    for (Row const& row : rows) {
        for (std::size_t i = 0; i < kColumns; ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    std::string out;
    for (Row const& row : rows) {
        for (std::size_t i = 0; i + 1 < kColumns; ++i) {
            out += row[i];
            out.append(widths[i] - row[i].size() + 2, ' ');
        }
        out += row[kColumns - 1];
        out += '\n';
    }
    return out;
}

std::string devicesAsText(std::vector<FoundDevice> const& devices) {
    std::string out;
    for (FoundDevice const& found : devices) {
        DeviceDescription const& d = found.device;
        if (!out.empty()) {
            out += '\n';
        }
        out += "device " + formatMac(d.mac) + '\n';
        out += "  address       " + formatIpv4(d.address) + '\n';
        out += "  mask          " + formatIpv4(d.mask) + '\n';
        out += "  gateway       " + formatIpv4(d.gateway) + '\n';
        out += "  ip config     " + std::string(ipConfigModeName(d.ipConfigCurrent)) + '\n';
        out += "  manufacturer  " + printableText(d.manufacturer) + '\n';
        out += "  model         " + printableText(d.model) + '\n';
        out += "  serial        " + printableText(d.serial) + '\n';
        out += "  reply from    " + formatEndpoint(found.from) + '\n';
        out += "  interface     " + printableText(found.interface) + '\n';
    }
    return out;
}

}  // namespace gvcp_probe
