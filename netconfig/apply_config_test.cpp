#include "netconfig/apply_config.h"

#include <sys/stat.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "base/process_state.h"
#include "base/temp_dir.h"
#include "base/text_file.h"
#include "netconfig/interface_state.h"
#include "netconfig/resolver.h"
#include "netconfig/test_config.h"
#include "netconfig/test_sandbox.h"

namespace fs = std::filesystem;

namespace {

using QEL_Finder::testing::configFrom;

}  // namespace

// Runs initNetworkInterface in a private mount namespace with /etc/network and /etc/resolv.conf
// replaced by files of this test, and ifdown/ifup/sysctl replaced by fakes that log each call
// together with the resolver file and the number of static stanzas they saw at that moment.
class ApplyConfiguration : public testing::Test {
  protected:
    static constexpr int kDhcpBit = 8;
    static constexpr char kInitial[] =
        "auto lo\niface lo inet loopback\n\nauto eth0\n"
        "iface eth0 inet dhcp\n";

    void SetUp() override {
        fs::create_directories(bin());
        fs::create_directories(network());
        writeText(network() / "interfaces", kInitial);
        writeText(resolver(), "nameserver 192.0.2.53\n");
        for (char const* tool : {"ifdown", "ifup", "sysctl"}) {
            fs::path const fake = bin() / tool;
            writeText(fake,
                      "#!/bin/sh\n"
                      "echo \"$(basename \"$0\") $* | $(cat /etc/resolv.conf) | "
                      "$(grep -c 'inet static' /etc/network/interfaces)\" >> " +
                          log().string() + "\n[ -e " + (dir.path() / "fail-").string() +
                          "$(basename \"$0\") ] && exit 1\nexit 0\n");
            fs::permissions(fake, fs::perms::owner_all);
        }
    }

    std::optional<ChildResult> apply(QEL_Finder::InterfaceConfig config, bool verbose) {
        return runInPrivateMounts(dir.path(), [&] {
            if (!bindMount(network(), "/etc/network", false) ||
                !bindMount(resolver(), "/etc/resolv.conf", false)) {
                return 99;
            }
            std::string const path = bin().string() + ":" + std::getenv("PATH");
            setenv("PATH", path.c_str(), 1);
            Verbose = verbose;
            int const result =
                static_cast<int>(initNetworkInterface(config, "eth0", readInterfacesFile().text));
            return result | (isDHCPEnabled("eth0") ? kDhcpBit : 0);
        });
    }

    fs::path bin() const { return dir.path() / "bin"; }
    fs::path network() const { return dir.path() / "network"; }
    fs::path resolver() const { return dir.path() / "resolv.conf"; }
    fs::path log() const { return dir.path() / "log"; }
    TempDir dir;
};

#define SKIP_WITHOUT_NAMESPACE(child) \
    if (!(child))                     \
    GTEST_SKIP() << "needs root and a private mount namespace"

TEST_F(ApplyConfiguration, StaticWithGatewayRunsEveryStepInOrder) {
    auto const child = apply(configFrom("192.168.2.20", "255.255.255.0", "192.168.2.1"), false);
    SKIP_WITHOUT_NAMESPACE(child);
    EXPECT_EQ(child->status, static_cast<int>(QEL_Finder::ApplyOutcome::Static));
    std::string const resolved = std::string("nameserver ") + kPublicResolver;
    EXPECT_EQ(readText(log()),
              "ifdown eth0 | nameserver 192.0.2.53 | 0\n"
              "sysctl -w net.ipv6.conf.eth0.addr_gen_mode=0 | " +
                  resolved + " | 1\nifup eth0 | " + resolved + " | 1\n");
    EXPECT_EQ(readText(resolver()), resolved + "\n");
    EXPECT_EQ(readText(network() / "interfaces.bak"), kInitial);
    EXPECT_EQ(child->out, "");
    EXPECT_EQ(child->err, "");
}

TEST_F(ApplyConfiguration, StaticWithoutGatewayLeavesTheResolverAlone) {
    auto const child = apply(configFrom("192.168.2.20", "255.255.255.0", "0.0.0.0"), false);
    SKIP_WITHOUT_NAMESPACE(child);
    EXPECT_EQ(child->status, static_cast<int>(QEL_Finder::ApplyOutcome::Static));
    EXPECT_EQ(readText(log()),
              "ifdown eth0 | nameserver 192.0.2.53 | 0\n"
              "sysctl -w net.ipv6.conf.eth0.addr_gen_mode=0 | "
              "nameserver 192.0.2.53 | 1\n"
              "ifup eth0 | nameserver 192.0.2.53 | 1\n");
}

TEST_F(ApplyConfiguration, DhcpRewritesAndRunsOnlyIfdownAndIfup) {
    writeText(network() / "interfaces", "auto eth0\niface eth0 inet static\n  address 10.0.0.2\n");
    auto const child = apply(configFrom("255.255.255.255", "0.0.0.0", "192.168.2.1"), false);
    SKIP_WITHOUT_NAMESPACE(child);
    EXPECT_EQ(child->status, static_cast<int>(QEL_Finder::ApplyOutcome::Dhcp) | kDhcpBit);
    EXPECT_EQ(child->out, "Enabling DHCP...\n");
    EXPECT_EQ(readText(log()),
              "ifdown eth0 | nameserver 192.0.2.53 | 1\n"
              "ifup eth0 | nameserver 192.0.2.53 | 0\n");
}

// The interface is brought back with its old file; nothing that belongs to the new one is set.
TEST_F(ApplyConfiguration, UnwritableFileIsNotApplied) {
    fs::create_directory(network() / "interfaces.tmp");
    auto const child = apply(configFrom("192.168.2.20", "255.255.255.0", "192.168.2.1"), false);
    SKIP_WITHOUT_NAMESPACE(child);
    EXPECT_EQ(child->status, static_cast<int>(QEL_Finder::ApplyOutcome::NotApplied) | kDhcpBit);
    EXPECT_EQ(child->err,
              "Unable to open configuration file /etc/network/interfaces.tmp for writing\n");
    EXPECT_EQ(readText(log()),
              "ifdown eth0 | nameserver 192.0.2.53 | 0\n"
              "ifup eth0 | nameserver 192.0.2.53 | 0\n");
    EXPECT_EQ(readText(network() / "interfaces"), kInitial);
}

TEST_F(ApplyConfiguration, RestartOnlyTouchesNoFile) {
    struct stat before {};
    ASSERT_EQ(stat((network() / "interfaces").c_str(), &before), 0);
    auto const child = apply(configFrom("0.0.0.0", "255.255.255.0", "192.168.2.1"), false);
    SKIP_WITHOUT_NAMESPACE(child);
    struct stat after {};
    ASSERT_EQ(stat((network() / "interfaces").c_str(), &after), 0);
    EXPECT_EQ(child->status, static_cast<int>(QEL_Finder::ApplyOutcome::RestartOnly) | kDhcpBit);
    EXPECT_EQ(child->out, "Restarting network service\n");
    EXPECT_EQ(readText(network() / "interfaces"), kInitial);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_FALSE(fs::exists(network() / "interfaces.bak"));
    EXPECT_EQ(readText(log()),
              "ifdown eth0 | nameserver 192.0.2.53 | 0\n"
              "ifup eth0 | nameserver 192.0.2.53 | 0\n");
}

TEST_F(ApplyConfiguration, FailingIfdownIsReportedAndVerboseEchoesEachCommand) {
    writeText(dir.path() / "fail-ifdown", "");
    auto const child = apply(configFrom("0.0.0.0", "0.0.0.0", "0.0.0.0"), true);
    SKIP_WITHOUT_NAMESPACE(child);
    EXPECT_EQ(child->status, static_cast<int>(QEL_Finder::ApplyOutcome::RestartOnly) | kDhcpBit);
    EXPECT_EQ(child->err, "command 'ifdown eth0' failed with 256\n");
    EXPECT_EQ(child->out, "ifdown eth0\nRestarting network service\nifup eth0\nifup eth0\n");
    EXPECT_EQ(readText(log()),
              "ifdown eth0 | nameserver 192.0.2.53 | 0\n"
              "ifup eth0 | nameserver 192.0.2.53 | 0\n");
}
