#include "service/startup_check.h"

#include <net/if.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/temp_dir.h"
#include "base/text_file.h"
#include "netconfig/fake_interface_control.h"

namespace fs = std::filesystem;

namespace {

constexpr short kDown = IFF_BROADCAST | IFF_MULTICAST;
constexpr short kUp = IFF_UP | kDown;
constexpr char kDhcpOnly[] = "auto eth0\niface eth0 inet dhcp\n\n";
constexpr char kOriginal[] =
    "auto lo\niface lo inet loopback\n\nauto eth0\niface eth0 inet manual\n";
constexpr char kBackup[] = "auto eth0\niface eth0 inet static\n    address 192.0.2.10\n";

// A file's text by letter: O the original, B the backup's, D the dhcp-only text, - none.
std::string text(char letter) {
    return letter == 'O' ? kOriginal : letter == 'B' ? kBackup : letter == 'D' ? kDhcpOnly : "";
}

// Plays a script of flag queries: the first at start, then one after each bring-up. U or D: up or
// down after an ifup that succeeded (u or d: one that failed); X: the query fails with ENODEV.
// Records the interfaces file as ifup would have read it, as letters.
class ScriptedControl : public QEL_Finder::testing::FakeInterfaceControl {
  public:
    ScriptedControl(std::string script, fs::path config)
        : script_(std::move(script)), config_(std::move(config)) {
        onReadFlags = [this](short& flags) {
            char const step = ifupRead.size() < script_.size() ? script_[ifupRead.size()] : 'X';
            if (step == 'X') {
                return std::make_error_code(std::errc::no_such_device);
            }
            flags = std::toupper(step) == 'U' ? kUp : kDown;
            return std::error_code();
        };
        onBringUp = [this] {
            std::string const now = readText(config_);
            ifupRead += now == kOriginal   ? 'O'
                        : now == kBackup   ? 'B'
                        : now == kDhcpOnly ? 'D'
                                           : '?';
            return ifupRead.size() < script_.size() && std::isupper(script_[ifupRead.size()]) != 0;
        };
    }

    std::string ifupRead;

  private:
    std::string script_;
    fs::path config_;
};

class StartupCheck : public testing::Test {
  protected:
    void SetUp() override {
        files = interfacesFilesAt(directory_.path() / "interfaces");
        kept = files.kept;
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

    // Standard output by letter: F the file as it is, K a file kept, B the backup, N no backup,
    // H dhcp after the backup.
    std::string lines(std::string const& letters) const {
        std::string all;
        for (char const letter : letters) {
            std::string const down = "Interface eth0 is down";
            all += letter == 'F'   ? down + ", trying interfaces file\n"
                   : letter == 'B' ? down + ", trying backupFile\n"
                   : letter == 'N' ? down + " and no backupfile, trying dhcp\n"
                   : letter == 'H'
                       ? down + ", trying dhcp\n"
                       : "Kept " + files.config.string() + " as " + kept.string() + "\n";
        }
        return all;
    }

    InterfacesFiles files;
    fs::path kept;
    std::string out;
    std::string err;

  private:
    TempDir directory_;
};

// Each stage's outcome and what it leaves. Files are the interfaces file, its backup and the kept
// copy, before and after, as letters.
TEST_F(StartupCheck, StagesInOrderWithoutLosingText) {
    std::string const gone = std::strerror(ENODEV);
    std::string const aborting = "cannot bring interface eth0 up, aborting.\n";
    struct Scenario {
        char const* name;
        char const* filesBefore;
        char const* flags;
        int status;
        char const* ifupRead;
        char const* filesAfter;
        char const* out;
        std::string err;
    } const scenarios[] = {
        {"up", "OB-", "U", 0, "", "OB-", "", ""},
        {"no such interface", "OB-", "X", 1, "", "OB-", "", gone + " : eth0\n"},
        {"the file as it is comes back", "OB-", "DU", 0, "O", "OB-", "F", ""},
        {"a half-applied file gives way", "OB-", "DuU", 0, "OB", "BBO", "FKB", ""},
        {"no backup", "O--", "DDU", 0, "OD", "D-O", "FNK", ""},
        {"nothing works", "OB-", "Dddu", 3, "OBD", "DBO", "FKBH", aborting},
        {"a repeated fallback keeps the first copy", "DBO", "DddU", 0, "DBD", "DBO", "FBH", ""},
        {"gone after the file's ifup", "OB-", "DX", 1, "O", "OB-", "F", gone + "\n"},
        {"gone after the backup's ifup", "OB-", "DdX", 1, "OB", "BBO", "FKB", gone + "\n"},
        // Flags left by a half-applied stage must not pass for the dhcp stage's.
        {"gone after the dhcp ifup", "O--", "DuX", 3, "OD", "D-O", "FNK", aborting},
    };
    for (Scenario const& s : scenarios) {
        SCOPED_TRACE(s.name);
        fs::path const paths[] = {files.config, files.backup, kept};
        for (int i = 0; i < 3; ++i) {
            fs::remove(paths[i]);
            if (s.filesBefore[i] != '-') {
                writeText(paths[i], text(s.filesBefore[i]));
            }
        }
        ScriptedControl control(s.flags, files.config);
        EXPECT_EQ(check(control), s.status);
        EXPECT_EQ(control.ifupRead, s.ifupRead);
        EXPECT_EQ(out, lines(s.out));
        EXPECT_EQ(err, s.err);
        bool const recovered = s.status == 0 && std::strlen(s.flags) > 1;
        EXPECT_EQ(control.written, recovered ? std::vector<short>{kUp} : std::vector<short>{});
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(fs::exists(paths[i]), s.filesAfter[i] != '-') << i;
            EXPECT_EQ(readText(paths[i]), text(s.filesAfter[i])) << i;
        }
        EXPECT_FALSE(fs::exists(files.temporary));
    }
}

TEST_F(StartupCheck, LeftoversOfAnInterruptedRewriteAreRemoved) {
    std::vector<fs::path> const leftovers = {files.temporary, files.backup.string() + ".tmp",
                                             kept.string() + ".tmp"};
    std::string expected;
    for (fs::path const& leftover : leftovers) {
        writeText(leftover, "auto eth0\niface eth0 inet st");
        expected += "Removed " + leftover.string() + " left by an interrupted rewrite\n";
    }
    ScriptedControl up("U", files.config);
    EXPECT_EQ(check(up), 0);
    EXPECT_EQ(out, expected);
    for (fs::path const& leftover : leftovers) {
        EXPECT_FALSE(fs::exists(leftover));
    }
}

TEST_F(StartupCheck, ReplacementsOrFlagsThatCannotBeWritten) {
    // A backup that cannot be read counts as a failed stage.
    fs::create_directory(files.backup);
    ScriptedControl unreadable("DdU", files.config);
    EXPECT_EQ(check(unreadable), 0);
    EXPECT_EQ(err, "Unable to read " + files.backup.string() + ": " + std::strerror(EISDIR) + "\n");
    EXPECT_EQ(out, lines("FHK"));
    EXPECT_EQ(unreadable.ifupRead, "OD");

    // Nothing can be written next to the interfaces file: it stays as it was, never missing.
    fs::remove(files.backup);
    writeText(files.config, kOriginal);
    writeText(files.backup, kBackup);
    files.temporary = files.config.parent_path() / "no-such-dir" / "interfaces.tmp";
    ScriptedControl unwritable("DdU", files.config);
    EXPECT_EQ(check(unwritable), 0);
    EXPECT_EQ(out, lines("FH"));
    EXPECT_EQ(unwritable.ifupRead, "OO");

    ScriptedControl refused("DU", files.config);
    refused.writeError = std::make_error_code(std::errc::operation_not_permitted);
    EXPECT_EQ(check(refused), 1);
    EXPECT_EQ(err, std::string(std::strerror(EPERM)) + "\n");
}

}  // namespace
