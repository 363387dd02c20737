#include "service/startup_check.h"

#include <net/if.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/temp_dir.h"
#include "base/text_file.h"

namespace fs = std::filesystem;

namespace {

constexpr short kDown = IFF_BROADCAST | IFF_MULTICAST;
constexpr short kUp = IFF_UP | IFF_BROADCAST | IFF_MULTICAST;
constexpr char kDhcpOnly[] = "auto eth0\niface eth0 inet dhcp\n\n";
constexpr char kOriginal[] =
    "auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet manual\n";
constexpr char kBackup[] = "auto eth0\niface eth0 inet static\n    address 192.0.2.10\n";

// One answer of the flag query: an errno, or the flags.
struct FlagAnswer {
    int error;
    short flags;
};

// Answers flag queries from a script and records what ifup would have read at each bring-up.
class ScriptedControl : public InterfaceControl {
  public:
    ScriptedControl(std::vector<FlagAnswer> answers, fs::path config)
        : answers_(std::move(answers)), config_(std::move(config)) {}

    int readFlags(short& flags) override {
        FlagAnswer const answer = next_ < answers_.size() ? answers_[next_] : FlagAnswer{EIO, 0};
        ++next_;
        if (answer.error == 0) {
            flags = answer.flags;
        }
        return answer.error;
    }
    int writeFlags(short flags) override {
        written.push_back(flags);
        return writeError;
    }
    void bringUp() override { configAtBringUp.push_back(readText(config_)); }

    std::vector<std::string> configAtBringUp;
    std::vector<short> written;
    int writeError = 0;

  private:
    std::vector<FlagAnswer> answers_;
    std::size_t next_ = 0;
    fs::path config_;
};

class StartupCheck : public testing::Test {
  protected:
    void SetUp() override {
        files = {directory_.path() / "interfaces", directory_.path() / "interfaces.tmp",
                 directory_.path() / "interfaces.bak"};
        writeText(files.config, kOriginal);
    }

    int check(ScriptedControl& control) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int const status = checkInterfaceUp("eth0", control, files);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return status;
    }

    ScriptedControl control(std::vector<FlagAnswer> answers) {
        return ScriptedControl(std::move(answers), files.config);
    }

    InterfacesFiles files;
    std::string out;
    std::string err;

  private:
    TempDir directory_;
};

TEST_F(StartupCheck, InterfaceUpOrMissingIsLeftAlone) {
    writeText(files.backup, kBackup);
    ScriptedControl up = control({{0, kUp}});
    EXPECT_EQ(check(up), 0);
    EXPECT_EQ(out + err, "");
    EXPECT_TRUE(up.written.empty());

    ScriptedControl missing = control({{ENODEV, 0}});
    EXPECT_EQ(check(missing), 1);
    EXPECT_EQ(err, std::string(std::strerror(ENODEV)) + " : eth0\n");

    EXPECT_TRUE(up.configAtBringUp.empty() && missing.configAtBringUp.empty());
    EXPECT_EQ(readText(files.config), kOriginal);
}

TEST_F(StartupCheck, LeftoversOfAnInterruptedRewriteAreRemoved) {
    fs::path const pendingBackup = files.backup.string() + ".tmp";
    writeText(files.temporary, "auto eth0\niface eth0 inet st");
    writeText(pendingBackup, kOriginal);
    ScriptedControl up = control({{0, kUp}});
    EXPECT_EQ(check(up), 0);
    EXPECT_EQ(out, "Removed " + files.temporary.string() +
                       " left by an interrupted rewrite\nRemoved " + pendingBackup.string() +
                       " left by an interrupted rewrite\n");
    EXPECT_FALSE(fs::exists(files.temporary));
    EXPECT_FALSE(fs::exists(pendingBackup));
    EXPECT_EQ(readText(files.config), kOriginal);
}

TEST_F(StartupCheck, WithoutBackupTheInterfaceGetsADhcpOnlyFile) {
    ScriptedControl recovering = control({{0, kDown}, {0, kUp}});
    EXPECT_EQ(check(recovering), 0);
    EXPECT_EQ(out, "Interface eth0 is down and no backupfile, trying dhcp\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(recovering.configAtBringUp, std::vector<std::string>{kDhcpOnly});
    EXPECT_EQ(recovering.written, std::vector<short>{kUp});
    EXPECT_FALSE(fs::exists(files.temporary));
}

TEST_F(StartupCheck, BackupIsTriedBeforeDhcpAndKept) {
    writeText(files.backup, kBackup);
    ScriptedControl restored = control({{0, kDown}, {0, kUp}});
    EXPECT_EQ(check(restored), 0);
    EXPECT_EQ(out, "Interface eth0 is down, trying backupFile\n");
    EXPECT_EQ(restored.configAtBringUp, std::vector<std::string>{kBackup});
    EXPECT_EQ(restored.written, std::vector<short>{kUp});

    ScriptedControl viaDhcp = control({{0, kDown}, {0, kDown}, {0, kUp}});
    EXPECT_EQ(check(viaDhcp), 0);
    EXPECT_EQ(out,
              "Interface eth0 is down, trying backupFile\n"
              "Interface eth0 is down, trying dhcp\n");
    EXPECT_EQ(viaDhcp.configAtBringUp, (std::vector<std::string>{kBackup, kDhcpOnly}));

    ScriptedControl stuck = control({{0, kDown}, {0, kDown}, {0, kDown}});
    EXPECT_EQ(check(stuck), 3);
    EXPECT_EQ(err, "cannot bring interface eth0 up, aborting.\n");
    EXPECT_EQ(stuck.configAtBringUp.size(), 2U);
    EXPECT_TRUE(stuck.written.empty());
    EXPECT_EQ(readText(files.config), kDhcpOnly);
    EXPECT_EQ(readText(files.backup), kBackup);
}

TEST_F(StartupCheck, FailuresAfterABringUp) {
    writeText(files.backup, kBackup);
    ScriptedControl lostAfterBackup = control({{0, kDown}, {ENODEV, 0}});
    EXPECT_EQ(check(lostAfterBackup), 1);
    EXPECT_EQ(err, std::string(std::strerror(ENODEV)) + "\n");
    EXPECT_EQ(lostAfterBackup.configAtBringUp.size(), 1U);

    // After the dhcp stage a failed query keeps the old flags: still down.
    ScriptedControl lostAfterDhcp = control({{0, kDown}, {0, kDown}, {ENODEV, 0}});
    EXPECT_EQ(check(lostAfterDhcp), 3);

    ScriptedControl refused = control({{0, kDown}, {0, kUp}});
    refused.writeError = EPERM;
    EXPECT_EQ(check(refused), 1);
    EXPECT_EQ(err, std::string(std::strerror(EPERM)) + "\n");
}

TEST_F(StartupCheck, BackupThatCannotBePutBackCountsAsAFailedStage) {
    fs::create_directory(files.backup);
    ScriptedControl unreadable = control({{0, kDown}, {0, kUp}});
    EXPECT_EQ(check(unreadable), 0);
    EXPECT_EQ(err, "Unable to read " + files.backup.string() + ": " + std::strerror(EISDIR) + "\n");
    EXPECT_EQ(out, "Interface eth0 is down, trying dhcp\n");
    EXPECT_EQ(unreadable.configAtBringUp, std::vector<std::string>{kDhcpOnly});

    // Nothing can be written next to the interfaces file: it stays as it was, never missing.
    fs::remove(files.backup);
    writeText(files.config, kOriginal);
    writeText(files.backup, kBackup);
    files.temporary = files.config.parent_path() / "no-such-dir" / "interfaces.tmp";
    ScriptedControl unwritable = control({{0, kDown}, {0, kUp}});
    EXPECT_EQ(check(unwritable), 0);
    EXPECT_EQ(out, "Interface eth0 is down, trying dhcp\n");
    EXPECT_EQ(unwritable.configAtBringUp, std::vector<std::string>{kOriginal});
    EXPECT_EQ(readText(files.config), kOriginal);
}

}  // namespace
