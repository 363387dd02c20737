#include "tools/gvcp-probe/device_output.h"

#include <gtest/gtest.h>

#include "base/ipv4_address.h"

namespace gvcp_probe {
namespace {

FoundDevice device(std::uint8_t lastMacOctet, char const* address, std::uint32_t ipConfig,
                   std::string model) {
    FoundDevice found;
    found.device.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, lastMacOctet};
    found.device.address = *parseIpv4(address);
    found.device.mask = *parseIpv4("255.255.255.0");
    found.device.gateway = *parseIpv4("192.0.2.1");
    found.device.ipConfigCurrent = ipConfig;
    found.device.manufacturer = "TELVO Technologies";
    found.device.model = std::move(model);
    found.device.serial = "SN1";
    found.from = QEL_Finder::Endpoint{found.device.address, 3956};
    found.interface = "eth1";
    return found;
}

TEST(JsonString, EscapesWhatJsonRequires) {
    EXPECT_EQ(jsonString("plain"), "\"plain\"");
    EXPECT_EQ(jsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(jsonString("line\nnext\ttab\r"), R"("line\nnext\ttab\r")");
    EXPECT_EQ(jsonString(std::string("\x01\x1f\x7f", 3)), R"("\u0001\u001f\u007f")");
    EXPECT_EQ(jsonString(""), "\"\"");
}

TEST(JsonString, ReplacesEveryByteBeyondAscii) {
    EXPECT_EQ(jsonString("caf\xc3\xa9 \xe2\x82\xac"), R"("caf\ufffd\ufffd \ufffd\ufffd\ufffd")");
    EXPECT_EQ(jsonString("\xff"), R"("\ufffd")");
    EXPECT_EQ(jsonString("a\xe2\x82"), R"("a\ufffd\ufffd")");                    // cut sequence
    EXPECT_EQ(jsonString("\xc0\xaf"), R"("\ufffd\ufffd")");                      // overlong '/'
    EXPECT_EQ(jsonString("\xed\xa0\x80"), R"("\ufffd\ufffd\ufffd")");            // surrogate
    EXPECT_EQ(jsonString("\xf4\x90\x80\x80"), R"("\ufffd\ufffd\ufffd\ufffd")");  // > U+10FFFF
    EXPECT_EQ(jsonString("\xc3"), R"("\ufffd")");  // lead byte at the very end
}

TEST(PrintableText, DefusesTerminalControlSequences) {
    EXPECT_EQ(printableText("\x1b[2Jcam\x07"), "?[2Jcam?");
    EXPECT_EQ(printableText("caf\xc3\xa9"), "caf??");
    EXPECT_EQ(printableText("Tarn C1 ~"), "Tarn C1 ~");
}

TEST(DeviceOutput, JsonListsEveryDeviceWithAllFields) {
    std::vector<FoundDevice> const devices{device(0x5E, "192.0.2.10", 5, "Tarn \"C1\""),
                                           device(0x5F, "192.0.2.11", 6, "Tarn C2")};
    EXPECT_EQ(devicesAsJson(devices),
              "[\n"
              R"(  {"mac": "00:1a:2b:3c:4d:5e", "address": "192.0.2.10", "mask": "255.255.255.0", )"
              R"("gateway": "192.0.2.1", "ip_config": "static", "ip_config_current": 5, )"
              R"("manufacturer": "TELVO Technologies", "model": "Tarn \"C1\"", "serial": "SN1", )"
              R"("from": "192.0.2.10", "from_port": 3956, "interface": "eth1"},)"
              "\n"
              R"(  {"mac": "00:1a:2b:3c:4d:5f", "address": "192.0.2.11", "mask": "255.255.255.0", )"
              R"("gateway": "192.0.2.1", "ip_config": "dhcp", "ip_config_current": 6, )"
              R"("manufacturer": "TELVO Technologies", "model": "Tarn C2", "serial": "SN1", )"
              R"("from": "192.0.2.11", "from_port": 3956, "interface": "eth1"})"
              "\n]\n");
    EXPECT_EQ(devicesAsJson({}), "[]\n");
}

TEST(DeviceOutput, OneEntryPerDeviceAndInterface) {
    std::vector<FoundDevice> devices;
    FoundDevice found = device(0x5E, "192.0.2.10", 5, "C1");
    EXPECT_TRUE(addDevice(devices, found));
    EXPECT_FALSE(addDevice(devices, found));
    found.interface = "eth2";
    EXPECT_TRUE(addDevice(devices, found));
}

// Each column as wide as its widest entry, header included; a device's strings defused and an
// empty one a dash, so every row has six columns; a device on two interfaces is two rows.
TEST(DeviceOutput, TableAlignsEachColumnToItsWidestEntry) {
    FoundDevice const hostile = device(0x5E, "192.0.2.10", 5, "Tarn\x1b[2J C1");
    FoundDevice onSecondInterface = hostile;
    onSecondInterface.interface = "enp3s0f1";
    FoundDevice unnamed = device(0x5F, "198.51.100.200", 6, "");
    unnamed.device.serial = "SN-0000000012345";
    EXPECT_EQ(
        devicesAsTable({hostile, onSecondInterface, unnamed}),
        "MAC                Address         Mode    Model        Serial            Interface\n"
        "00:1a:2b:3c:4d:5e  192.0.2.10      static  Tarn?[2J C1  SN1               eth1\n"
        "00:1a:2b:3c:4d:5e  192.0.2.10      static  Tarn?[2J C1  SN1               enp3s0f1\n"
        "00:1a:2b:3c:4d:5f  198.51.100.200  dhcp    -            SN-0000000012345  eth1\n");
    EXPECT_EQ(devicesAsTable({}), "");
}

TEST(DeviceOutput, TextShowsOneBlockPerDevice) {
    std::string const text = devicesAsText(
        {device(0x5E, "192.0.2.10", 5, "Tarn\x1b[0m"), device(0x5F, "192.0.2.11", 6, "C2")});
    EXPECT_EQ(text.substr(0, text.find("\n\n") + 2),
              "device 00:1a:2b:3c:4d:5e\n"
              "  address       192.0.2.10\n"
              "  mask          255.255.255.0\n"
              "  gateway       192.0.2.1\n"
              "  ip config     static\n"
              "  manufacturer  TELVO Technologies\n"
              "  model         Tarn?[0m\n"
              "  serial        SN1\n"
              "  reply from    192.0.2.10:3956\n"
              "  interface     eth1\n\n");
    EXPECT_NE(text.find("device 00:1a:2b:3c:4d:5f\n"), std::string::npos);
    EXPECT_NE(text.find("  ip config     dhcp\n"), std::string::npos);
    EXPECT_EQ(devicesAsText({}), "");
}

}  // namespace
}  // namespace gvcp_probe
