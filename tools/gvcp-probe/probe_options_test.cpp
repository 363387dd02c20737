#include "tools/gvcp-probe/probe_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/hex_text.h"
#include "tools/gvcp-probe/device_output.h"

namespace gvcp_probe {
namespace {

std::variant<ProbeOptions, UsageError> parse(std::vector<char const*> const& args) {
    return parseCommandLine(args);
}

ProbeOptions parsed(std::vector<char const*> const& args) {
    auto result = parse(args);
    if (auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << error->message;
        return {};
    }
    return std::get<ProbeOptions>(result);
}

std::string usageError(std::vector<char const*> const& args) {
    auto result = parse(args);
    if (!std::holds_alternative<UsageError>(result)) {
        ADD_FAILURE() << "accepted";
        return {};
    }
    return std::get<UsageError>(result).message;
}

TEST(ProbeOptions, DiscoverDefaultsAndOptions) {
    ProbeOptions const plain = parsed({"discover"});
    EXPECT_EQ(plain.command, Command::Discover);
    EXPECT_FALSE(plain.to.has_value());
    EXPECT_EQ(plain.timeoutMs, 1000);
    EXPECT_FALSE(plain.allowBroadcastAck);
    EXPECT_FALSE(plain.json);
    EXPECT_FALSE(plain.verbose);

    ProbeOptions const full =
        parsed({"discover", "--to", "192.0.2.10", "--timeout-ms=250", "--interface", "eth1",
                "--json", "--allow-broadcast-ack", "-v", "--interface=enp3s0f1.100"});
    ASSERT_TRUE(full.to.has_value());
    EXPECT_EQ(formatEndpoint(*full.to), "192.0.2.10:3956");
    EXPECT_EQ(full.interfaces, (std::vector<std::string>{"eth1", "enp3s0f1.100"}));
    EXPECT_EQ(full.timeoutMs, 250);
    EXPECT_TRUE(full.allowBroadcastAck);
    EXPECT_TRUE(full.json);
    EXPECT_TRUE(full.verbose);
}

TEST(ProbeOptions, ForceIpOperandsAndTheirTimeOuts) {
    ProbeOptions const fixed = parsed({"force-ip", "--allow-broadcast-ack", "00-1A-2B-3C-4D-5E",
                                       "192.0.2.20", "255.255.255.0", "192.0.2.1"});
    EXPECT_EQ(fixed.command, Command::ForceIp);
    EXPECT_EQ(formatMac(fixed.forceIp.mac), "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(formatIpv4(fixed.forceIp.address), "192.0.2.20");
    EXPECT_EQ(formatIpv4(fixed.forceIp.netmask), "255.255.255.0");
    EXPECT_EQ(formatIpv4(fixed.forceIp.gateway), "192.0.2.1");
    EXPECT_TRUE(fixed.allowBroadcastAck);
    EXPECT_FALSE(fixed.to.has_value());
    EXPECT_EQ(fixed.timeoutMs, 30000);

    // dhcp outwaits the DHCP client's 60 s; a restart-only request gets no acknowledge.
    EXPECT_EQ(parsed({"force-ip", "00:1a:2b:3c:4d:5e", "255.255.255.255", "0.0.0.0", "0.0.0.0"})
                  .timeoutMs,
              90000);
    EXPECT_EQ(parsed({"force-ip", "00:1a:2b:3c:4d:5e", "0.0.0.0", "0.0.0.0", "0.0.0.0"}).timeoutMs,
              3000);
    EXPECT_EQ(parsed({"force-ip", "00:1a:2b:3c:4d:5e", "0.0.0.0", "0.0.0.0", "0.0.0.0",
                      "--timeout-ms", "10"})
                  .timeoutMs,
              10);
    // Masks the device should refuse are still sent, so its refusal can be tested.
    EXPECT_EQ(
        formatIpv4(parsed({"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20", "255.0.255.0", "0.0.0.0"})
                       .forceIp.netmask),
        "255.0.255.0");
}

// The device by its MAC operand, --serial or --mac; dhcp, restart or addresses, old or new words.
TEST(ProbeOptions, ForceIpDeviceAndConfiguration) {
    // What the request names: "mac MAC" or "serial SERIAL", address, mask, gateway, the wait.
    auto const named = [](std::vector<char const*> const& args) {
        ProbeOptions const o = parsed(args);
        return (o.chosenBy == ChosenBy::Serial ? "serial " + o.serial
                                               : "mac " + formatMac(o.forceIp.mac)) +
               ' ' + formatIpv4(o.forceIp.address) + ' ' + formatIpv4(o.forceIp.netmask) + ' ' +
               formatIpv4(o.forceIp.gateway) + ' ' + std::to_string(o.timeoutMs);
    };
    char const* const mac = "00:1a:2b:3c:4d:5e";
    EXPECT_EQ(named({"force-ip", mac, "dhcp"}),
              "mac 00:1a:2b:3c:4d:5e 255.255.255.255 0.0.0.0 0.0.0.0 90000");
    EXPECT_EQ(named({"force-ip", mac, "restart"}),
              "mac 00:1a:2b:3c:4d:5e 0.0.0.0 0.0.0.0 0.0.0.0 3000");
    EXPECT_EQ(
        named({"force-ip", "--serial", "TLV0000001", "192.0.2.20", "255.255.255.0", "192.0.2.1"}),
        "serial TLV0000001 192.0.2.20 255.255.255.0 192.0.2.1 30000");
    EXPECT_EQ(named({"force-ip", "dhcp", "--mac=00-1A-2B-3C-4D-5E"}),
              "mac 00:1a:2b:3c:4d:5e 255.255.255.255 0.0.0.0 0.0.0.0 90000");
    // A serial number that reads like a word is still the serial number.
    EXPECT_EQ(named({"force-ip", "--serial", "dhcp", "restart"}),
              "serial dhcp 0.0.0.0 0.0.0.0 0.0.0.0 3000");
}

TEST(ProbeOptions, HelpWinsAnywhereThenVersion) {
    EXPECT_EQ(parsed({"--help"}).command, Command::Help);
    EXPECT_EQ(parsed({"discover", "--bogus", "-h"}).command, Command::Help);
    EXPECT_EQ(parsed({"discover", "--bogus", "--version"}).command, Command::Version);
    EXPECT_NE(helpText().find("Exit statuses"), std::string_view::npos);
}

TEST(ProbeOptions, UsageErrorsNameTheFault) {
    struct Case {
        std::vector<char const*> args;
        char const* message;
    };
    std::vector<Case> const cases{
        {{}, "no command"},
        {{"find"}, "unknown command 'find'"},
        {{"discover", "--bogus"}, "unknown option '--bogus'"},
        {{"discover", "--to"}, "'--to' needs a value"},
        {{"discover", "--to", "192.0.2"}, "bad address for --to: '192.0.2'"},
        {{"discover", "--timeout-ms", "0"}, "bad value for --timeout-ms: '0'"},
        {{"discover", "--timeout-ms", "-5"}, "bad value for --timeout-ms"},
        {{"discover", "--timeout-ms", "10ms"}, "bad value for --timeout-ms"},
        {{"discover", "--timeout-ms", "99999999999"}, "bad value for --timeout-ms"},
        {{"discover", "--json=yes"}, "'--json' takes no value"},
        {{"discover", "--interface="}, "bad interface name ''"},
        {{"discover", "--interface", "a-name-of-16-chr"}, "bad interface name 'a-name-of-16-chr'"},
        {{"discover", "--count", "5"}, "unknown option '--count'"},
        {{"discover", "192.0.2.10"}, "unexpected argument '192.0.2.10'"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20", "255.255.255.0", "0.0.0.0", "--json"},
         "not an option of force-ip"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20", "255.255.255.0"},
         "needs dhcp, restart or ADDRESS MASK GATEWAY"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20", "255.255.255.0", "0.0.0.0", "x"},
         "needs dhcp, restart or ADDRESS"},
        {{"force-ip"}, "needs MAC, --serial SERIAL or --mac MAC"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "--mac", "00:1a:2b:3c:4d:5e", "dhcp"},
         "a MAC operand and --mac both name the device"},
        {{"force-ip", "--serial", "SN1", "--mac", "00:1a:2b:3c:4d:5e", "dhcp"},
         "--serial and --mac both name the device"},
        {{"force-ip", "--mac", "00:1a", "dhcp"}, "bad MAC address for --mac: '00:1a'"},
        {{"force-ip", "--serial", "SN-0000000000000X", "dhcp"}, "(1 to 16 characters)"},
        {{"discover", "--long", "--json"}, "'--json' and '--long' exclude each other"},
        {{"force-ip", "00:1a:2b:3c:4d", "192.0.2.20", "255.255.255.0", "0.0.0.0"},
         "bad MAC address '00:1a:2b:3c:4d'"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.256", "255.255.255.0", "0.0.0.0"},
         "bad address '192.0.2.256'"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20", "255.255.255", "0.0.0.0"},
         "bad mask '255.255.255'"},
        {{"force-ip", "00:1a:2b:3c:4d:5e", "192.0.2.20", "255.255.255.0", "gw"},
         "bad gateway 'gw'"},
    };
    for (Case const& c : cases) {
        std::string const message = usageError(c.args);
        EXPECT_NE(message.find(c.message), std::string::npos)
            << "got: " << message << ", wanted: " << c.message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace gvcp_probe
